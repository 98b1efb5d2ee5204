// Handlers of the message server running inside one another. Sending pumps
// events between terminals, and the board's hand-over of an order may pump;
// these tests take over such a moment (a send completing inside a broadcast
// raises SendComplete, whose handler here pumps events as the sending would)
// and make other connections send, connect, close, the server restart or the
// window go away, then check that every message was handled exactly once, in
// order, and that no record was mixed up.
#include <gtest/gtest.h>
#include <QElapsedTimer>
#include <QTimer>

#include "ImServerFixture.h"
#include "NetTestSupport.h"
#include "common/TestSupport.h"
#include "network/CSocketMaster.h"

namespace {

const QString STX(QChar(2));

class ModServerReentrancyTest : public ImServerTest {
protected:
    // Runs `action` once, inside the next broadcast, right after the first
    // send of it has completed.
    void OnceInsideNextBroadcast(std::function<void()> action) {
        auto fired = std::make_shared<bool>(false);
        hook_ = QObject::connect(&server->sckServerIM(), &IndexedServerSocket::SendComplete,
                                 [this, fired, action](int) {
                                     if (*fired)
                                         return;
                                     *fired = true;
                                     QObject::disconnect(hook_);
                                     action();
                                 });
    }

    QString Ack(const QString& sender, const QString& id) const {
        return "ORA" + STX + "ACK" + STX + sender + STX + id;
    }

    QMetaObject::Connection hook_;
};

TEST_F(ModServerReentrancyTest, ArrivalsConnectsAndClosesInsideABroadcast) {
    auto observer = Join("Observer");
    auto a = Join("A");
    auto c = Join("C");
    const int indexA = IndexOf("A");
    const int indexC = IndexOf("C");
    const QString name = server->ImServerName();
    std::vector<std::unique_ptr<ImTerminal>> newcomers;
    QStringList ordersSeenInside;

    OnceInsideNextBroadcast([&] {
        // The acknowledgement of order 1 is being broadcast; order 1 is
        // handed over already. Now A sends order 2 and half of order 3, twenty
        // terminals connect (ImClients grows and moves), C goes away.
        a->SendText(OrdMessage("A", name, "2", "Tea") + "ORD" + STX + "A" + STX + name);
        // One at a time: the listen queue is short, and its owner is this
        // very thread.
        for (int i = 0; i < 20; ++i) {
            const int before = ConnectedClients();
            newcomers.push_back(std::make_unique<ImTerminal>(Port()));
            EXPECT_TRUE(PumpEventsUntil([&] { return ConnectedClients() > before; }));
        }
        c->Close();
        EXPECT_TRUE(PumpEventsUntil([&] {
            return ConnectedClients() == 3 - 1 + 20 &&
                   server->ImClients()[size_t(indexA)].RecvBuffer ==
                       "ORD\x02"
                       "A\x02" +
                           name.toLatin1() &&
                   server->ImClients()[size_t(indexC)].Connection == 0;
        }));
        ordersSeenInside = orders;
    });
    a->SendText(OrdMessage("A", name, "1", "Soup"));
    ASSERT_TRUE(WaitForOrders(2));
    // Order 1's handling was over before its acknowledgement left, so order 2
    // was handed over inside the sending.
    EXPECT_EQ(ordersSeenInside, (QStringList{"Soup", "Tea"}));
    EXPECT_EQ(orders, (QStringList{"Soup", "Tea"}));

    a->SendText(STX + QString("3") + QChar(3) + "Bread" + QChar(4));
    ASSERT_TRUE(WaitForOrders(3));
    PumpEvents(50);
    EXPECT_EQ(orders, (QStringList{"Soup", "Tea", "Bread"}));
    EXPECT_EQ(observer->MessagesOf("ORA"),
              (QList<QString>{Ack("A", "1"), Ack("A", "2"), Ack("A", "3")}));
    EXPECT_EQ(observer->MessagesOf("LEA"), QList<QString>{"LEA" + STX + "C"});
    // Records after the growth: A still A, C's index free, every newcomer known.
    EXPECT_EQ(server->ImClients()[size_t(indexA)].Name, "A");
    EXPECT_TRUE(server->ImClients()[size_t(indexA)].RecvBuffer.isEmpty());
    EXPECT_EQ(server->GetClientsUBound(), 23);
    for (int i = 4; i <= 23; ++i)
        EXPECT_EQ(server->ImClients()[size_t(i)].RemoteIP, "127.0.0.1") << i;
    const QStringList log = LogTexts();
    EXPECT_EQ(log.count("[A -> " + name + "]: \r\nTea"), 1);
    EXPECT_EQ(log.count("C has left the room."), 1);
}

TEST_F(ModServerReentrancyTest, SecondArrivalOfTheSameConnectionWaitsItsTurn) {
    auto a = Join("A");
    const int indexA = IndexOf("A");
    const QString name = server->ImServerName();
    int nested = 0;
    OnceInsideNextBroadcast([&] {
        // Ten more orders, one arrival each, all read while order 1 is
        // still being handled.
        for (int i = 2; i <= 11; ++i) {
            a->SendText(OrdMessage("A", name, QString::number(i), "Order " + QString::number(i)));
            EXPECT_TRUE(PumpEventsUntil([&] {
                return PendingInSystem(*server, indexA) == 0 &&
                       server->sckServerIM()(indexA).BytesReceived() == 0;
            }));
            ++nested;
        }
    });
    a->SendText(OrdMessage("A", name, "1", "Order 1"));
    ASSERT_TRUE(WaitForOrders(11));
    PumpEvents(50);
    EXPECT_EQ(nested, 10);
    QStringList expected;
    QList<QString> acks;
    for (int i = 1; i <= 11; ++i) {
        expected << "Order " + QString::number(i);
        acks << Ack("A", QString::number(i));
    }
    EXPECT_EQ(orders, expected);
    EXPECT_EQ(a->MessagesOf("ORA"), acks);
}

TEST_F(ModServerReentrancyTest, RestartInsideHandlingNeitherLosesTakenMessagesNorMixesRecords) {
    auto a = Join("A");
    const QString name = server->ImServerName();
    std::unique_ptr<ImTerminal> newcomer;
    server->OrderArrived = [&](const QString& text, std::function<void()> acknowledge) {
        orders.append(text);
        // Inside the hand-over of order 1: A renames itself (queued behind
        // order 1), then the station restarts and a new terminal takes A's
        // old index.
        a->SendText("CON" + STX + "Renamed" + QChar(4));
        EXPECT_TRUE(PumpEventsUntil([&] { return PendingInSystem(*server, 1) == 0; }));
        Restart();
        newcomer = std::make_unique<ImTerminal>(Port());
        newcomer->SendText(ConMessage("Newbie"));
        EXPECT_TRUE(PumpEventsUntil([&] { return IndexOf("Newbie") == 1; }));
        acknowledge();
    };
    a->SendText(OrdMessage("A", name, "1", "Soup"));
    ASSERT_TRUE(WaitForOrders(1));
    PumpEvents(50);
    // The order taken before the restart is handed over once; the rename of
    // the closed connection does not land on the newcomer's record.
    EXPECT_EQ(orders, QStringList{"Soup"});
    EXPECT_EQ(server->ImClients()[1].Name, "Newbie");
    EXPECT_FALSE(LogTexts().contains("Renamed has joined the room."));
    EXPECT_TRUE(a->WaitForPeerClose());
}

TEST_F(ModServerReentrancyTest, LeaveDuringJoinSendsTheListToTheJoinerOnly) {
    auto observer = Join("Observer");
    auto b = Connect();
    const int indexB = 2;
    std::unique_ptr<ImTerminal> replacement;
    OnceInsideNextBroadcast([&] {
        // B's "ENT" is on its way; B leaves and another terminal takes its
        // index before the list would be sent.
        b->Close();
        EXPECT_TRUE(PumpEventsUntil([&] { return server->ImClients()[indexB].Connection == 0; }));
        replacement = std::make_unique<ImTerminal>(Port());
        EXPECT_TRUE(PumpEventsUntil([&] { return server->ImClients()[indexB].Connection != 0; }));
    });
    b->SendText(ConMessage("B"));
    ASSERT_TRUE(PumpEventsUntil([&] { return !observer->MessagesOf("LEA").isEmpty(); }));
    PumpEvents(100);
    EXPECT_TRUE(replacement->MessagesOf("LST").isEmpty());
    EXPECT_TRUE(server->ImClients()[indexB].Name.isEmpty());
    EXPECT_EQ(observer->MessagesOf("LEA"), QList<QString>{"LEA" + STX + "B"});
}

TEST_F(ModServerReentrancyTest, ServerDestroyedByTheBoardWhileHandling) {
    auto a = Join("A");
    auto b = Join("B");
    const QString name = server->ImServerName();
    server->OrderArrived = [this](const QString& text, std::function<void()> acknowledge) {
        orders.append(text);
        server.reset();
        acknowledge();  // after its server: nothing  // the window closed inside the hand-over
    };
    a->SendText(OrdMessage("A", name, "1", "Soup") + OrdMessage("A", name, "2", "Tea"));
    ASSERT_TRUE(PumpEventsUntil([&] { return server == nullptr; }));
    PumpEvents(50);
    EXPECT_EQ(orders, QStringList{"Soup"});
    EXPECT_TRUE(a->WaitForPeerClose());
}

TEST_F(ModServerReentrancyTest, AHandlerWaitingBetweenTheSendsOfABroadcastDoesNotHoldBackTheRest) {
    auto a = Join("A");
    auto b = Join("B");
    auto c = Join("C");
    bool waited = false;
    bool restArrived = false;
    OnceInsideNextBroadcast([&] {
        // The send to A outlasts a slice of the sending.
        QElapsedTimer spent;
        spent.start();
        while (spent.elapsed() <= ModServer::kSendSliceMs) {
        }
        // A timer comes due, and its handler waits as a modal window would.
        auto* due = new QTimer(server.get());
        due->setSingleShot(true);
        QObject::connect(due, &QTimer::timeout, [&] {
            waited = true;
            restArrived = PumpEventsUntil(
                [&] { return !b->MessagesOf("MSG").isEmpty() && !c->MessagesOf("MSG").isEmpty(); },
                5000);
        });
        due->start(0);
    });
    a->SendText(MsgMessage("A", "B", "hello"));
    ASSERT_TRUE(PumpEventsUntil([&] { return waited; }));
    EXPECT_TRUE(restArrived);
}

TEST_F(ModServerReentrancyTest, ServerDestroyedInsideABroadcast) {
    auto a = Join("A");
    auto b = Join("B");
    auto c = Join("C");
    OnceInsideNextBroadcast([&] { server.reset(); });
    a->SendText(MsgMessage("A", "B", "hello"));
    ASSERT_TRUE(PumpEventsUntil([&] { return server == nullptr; }));
    EXPECT_TRUE(c->WaitForPeerClose());
}

}  // namespace
