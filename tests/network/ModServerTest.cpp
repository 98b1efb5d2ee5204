// The station's message server on real sockets on 127.0.0.1: joining, chat,
// orders and their acknowledgement, leaving, index reuse, the log, and the
// wire rules underneath.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <QDateTime>
#include <QElapsedTimer>

#include "ImServerFixture.h"
#include "NetTestSupport.h"
#include "common/TestSupport.h"
#include "core/ModCommon.h"
#include "network/CSocketMaster.h"
#include "network/ImServerProtocol.h"
#include "platform/AppError.h"
#include "platform/CodePage.h"
#include "platform/Runtime.h"

namespace proto = ImServerProtocol;

namespace {

const QString STX(QChar(2));
const QString ETX(QChar(3));

// ---- the wire rules ------------------------------------------------------------

TEST(ImServerProtocolTest, FramingTakesCompleteMessagesAndKeepsTheRest) {
    QByteArray buffer("CON\x02T1\x04MSG\x02T1\x02X\x02hi\x04ORD\x02T");
    const auto messages = proto::TakeCompleteMessages(buffer);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], QByteArray("CON\x02T1"));
    EXPECT_EQ(messages[1], QByteArray("MSG\x02T1\x02X\x02hi"));
    EXPECT_EQ(buffer, QByteArray("ORD\x02T"));

    // No EOT: nothing taken, nothing lost.
    EXPECT_TRUE(proto::TakeCompleteMessages(buffer, 3).empty());
    EXPECT_EQ(buffer, QByteArray("ORD\x02T"));

    // Empty messages between EOTs are messages too (skipped later as short).
    QByteArray empties(
        "\x04\x04"
        "abc\x04");
    const auto pieces = proto::TakeCompleteMessages(empties);
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_TRUE(pieces[0].isEmpty());
    EXPECT_EQ(pieces[2], QByteArray("abc"));
    EXPECT_TRUE(empties.isEmpty());
}

TEST(ImServerProtocolTest, OrderFieldsIdAndText) {
    auto order =
        proto::ParseOrder("ORD" + STX + "T1" + STX + "S_QVKServer" + STX + "17" + ETX + "2 x Soup");
    ASSERT_TRUE(order);
    EXPECT_EQ(order->Sender, "T1");
    EXPECT_EQ(order->Addressee, "S_QVKServer");
    EXPECT_EQ(order->Id, "17");
    EXPECT_EQ(order->Text, "2 x Soup");

    // No ETX: the whole field is the id and the text.
    order = proto::ParseOrder("ORD" + STX + "T1" + STX + "S" + STX + "Salad");
    ASSERT_TRUE(order);
    EXPECT_EQ(order->Id, "Salad");
    EXPECT_EQ(order->Text, "Salad");

    // Every "id ETX" goes from the text, wherever it stands.
    order =
        proto::ParseOrder("ORD" + STX + "T1" + STX + "S" + STX + "5" + ETX + "Tea 5" + ETX + "x");
    ASSERT_TRUE(order);
    EXPECT_EQ(order->Text, "Tea x");

    // Fields beyond the fourth do not belong to the text.
    order = proto::ParseOrder("ORD" + STX + "T1" + STX + "S" + STX + "1" + ETX + "a" + STX + "b");
    ASSERT_TRUE(order);
    EXPECT_EQ(order->Text, "a");

    EXPECT_FALSE(proto::ParseOrder("ORD" + STX + "T1" + STX + "S"));
    EXPECT_FALSE(proto::ParseOrder("ORDER"));
    EXPECT_FALSE(proto::ParseChat("MSG" + STX + "a" + STX + "b"));
}

TEST(ImServerProtocolTest, ServerMessagesByteForByte) {
    EXPECT_EQ(platform::ToAnsi(proto::EnterMessage("T1")), QByteArray("ENT\x02T1\x04"));
    EXPECT_EQ(platform::ToAnsi(proto::LeaveMessage("")), QByteArray("LEA\x02\x04"));
    EXPECT_EQ(platform::ToAnsi(proto::AcknowledgeMessage("T1", "17")), QByteArray("ORA\x02"
                                                                                  "ACK\x02T1\x02"
                                                                                  "17\x04"));
    EXPECT_EQ(platform::ToAnsi(proto::ListMessage(proto::UserList("S_QVKServer", {"T1", "T2"}))),
              QByteArray("LST\x02S_QVKServer\r\nT1\r\nT2\x04"));
    EXPECT_EQ(proto::UserList("S", {}), "S");
}

TEST(ImServerProtocolTest, LogEntryFormat) {
    const QDateTime when(QDate(2026, 3, 4), QTime(9, 5, 7));
    EXPECT_EQ(
        proto::LogEntry(when, "T1 has joined the room."),
        QByteArray("----- 04.03.2026 09:05:07---------- \r\nT1 has joined the room.\r\n\r\n"));
    EXPECT_TRUE(proto::LogEntry(when, "").isEmpty());
    // Every entry carries its own second and day.
    EXPECT_TRUE(proto::LogEntry(when.addMSecs(999), "x").startsWith("----- 04.03.2026 09:05:07-"));
    EXPECT_TRUE(proto::LogEntry(when.addSecs(1), "x").startsWith("----- 04.03.2026 09:05:08-"));
    EXPECT_TRUE(proto::LogEntry(when.addDays(1), "x").startsWith("----- 05.03.2026 09:05:07-"));
    // Cyrillic in the station's code page.
    EXPECT_TRUE(proto::LogEntry(when, QString::fromUtf8("Маса 5"))
                    .endsWith(QByteArray("\xCC\xE0\xF1\xE0 5\r\n\r\n")));
}

// ---- the indexed control -----------------------------------------------------------

TEST(IndexedServerSocketTest, LoadingUnloadingAndTheHighestIndex) {
    IndexedServerSocket control;
    EXPECT_TRUE(control.IsLoaded(0));
    EXPECT_EQ(control.UBound(), 0);
    control.Load(1);
    control.Load(2);
    EXPECT_EQ(control.UBound(), 2);
    EXPECT_EQ(control.Count(), 3);
    try {
        control.Load(2);
        ADD_FAILURE() << "loaded twice";
    } catch (const AppError& e) {
        EXPECT_EQ(e.Number(), 360);
    }
    control.Unload(2);
    EXPECT_EQ(control.UBound(), 1);
    try {
        control.Item(2);
        ADD_FAILURE() << "unloaded index answered";
    } catch (const AppError& e) {
        EXPECT_EQ(e.Number(), 340);
        EXPECT_EQ(e.Description(), "Control array element '2' doesn't exist");
    }
    control.Unload(1);
    EXPECT_EQ(control.UBound(), 0);
    EXPECT_EQ(control(0).State(), CSocketMaster::sckClosed);
}

// ---- the server ----------------------------------------------------------------------

class ModServerTest : public ImServerTest {};

TEST_F(ModServerTest, StartsUnderTheMachineNameAndLogsTheStart) {
    EXPECT_EQ(server->ImServerName(), GetMachineName() + "_QVKServer");
    EXPECT_EQ(server->sckServerIM()(0).State(), CSocketMaster::sckListening);
    EXPECT_TRUE(server->GetServerLogFile().endsWith("/Quillbarrow/Kestrelle/Logs/QVKServer.log"))
        << server->GetServerLogFile().toStdString();
    const QStringList log = LogTexts();
    ASSERT_EQ(log.size(), 1);
    EXPECT_EQ(log[0], "Server started on local IP (" + server->ListenerLocalIP() + ":0).");
}

TEST_F(ModServerTest, ConnectionIsLoggedAndItsRecordFilled) {
    auto t = Connect();
    ASSERT_EQ(server->GetClientsUBound(), 1);
    EXPECT_EQ(server->ImClients()[1].RemoteIP, "127.0.0.1");
    EXPECT_TRUE(server->ImClients()[1].Name.isEmpty());
    EXPECT_EQ(LogTexts().last(), "127.0.0.1 connected!");
    // Its answers leave at once, not after the terminal's delayed
    // acknowledgement of the one before.
    int noDelay = 0;
    socklen_t length = sizeof noDelay;
    ASSERT_EQ(::getsockopt(server->sckServerIM()(1).SocketHandle(), IPPROTO_TCP, TCP_NODELAY,
                           &noDelay, &length),
              0);
    EXPECT_EQ(noDelay, 1);
}

TEST_F(ModServerTest, JoinInTwoPiecesIsHandledOnceWithTheWholeName) {
    auto other = Join("Bar");
    other->Messages();
    const int otherSeen = int(other->Messages().size());
    auto t = Connect();
    t->SendText("CON" + STX + "Kit");
    ASSERT_TRUE(PumpEventsUntil([&] { return server->ImClients()[2].RecvBuffer == "CON\x02Kit"; }));
    t->SendText(QString("chen") + QChar(4));
    ASSERT_TRUE(PumpEventsUntil([&] { return !t->MessagesOf("LST").isEmpty(); }));
    PumpEvents(50);
    // The newcomer hears its own arrival, then the list; byte for byte.
    EXPECT_EQ(t->Received(),
              platform::ToAnsi("ENT" + STX + "Kitchen" + QChar(4) + "LST" + STX +
                               server->ImServerName() + "\r\nBar\r\nKitchen" + QChar(4)));
    // The others hear the arrival once and get no list.
    EXPECT_EQ(other->Messages().mid(otherSeen), QList<QString>{"ENT" + STX + "Kitchen"});
    EXPECT_EQ(LogTexts().count("Kitchen has joined the room."), 1);
    EXPECT_EQ(server->ImClients()[2].Name, "Kitchen");
    EXPECT_TRUE(server->ImClients()[2].RecvBuffer.isEmpty());
}

TEST_F(ModServerTest, TwoMessagesInOneArrivalAreHandledInOrderAndAHalfIsKept) {
    auto t = Connect();
    const QString name = server->ImServerName();
    t->SendText(ConMessage("T1") + OrdMessage("T1", name, "1", "Soup") + "ORD" + STX + "T1");
    ASSERT_TRUE(WaitForOrders(1));
    PumpEvents(30);
    EXPECT_EQ(server->ImClients()[1].Name, "T1");
    EXPECT_EQ(server->ImClients()[1].RecvBuffer, QByteArray("ORD\x02T1"));
    t->SendText(STX + name + STX + "2" + ETX + "Tea" + QChar(4));
    ASSERT_TRUE(WaitForOrders(2));
    EXPECT_EQ(orders, (QStringList{"Soup", "Tea"}));
    EXPECT_EQ(t->MessagesOf("ORA"), (QList<QString>{"ORA" + STX + "ACK" + STX + "T1" + STX + "1",
                                                    "ORA" + STX + "ACK" + STX + "T1" + STX + "2"}));
    // The join came first: its "ENT" precedes the first acknowledgement.
    EXPECT_TRUE(t->Messages().first().startsWith("ENT"));
}

TEST_F(ModServerTest, OrderIsAcknowledgedToEveryoneLoggedAndHandedOver) {
    auto t1 = Join("T1");
    auto t2 = Join("T2");
    // The board has the order, and the log its entry, before any terminal
    // hears the acknowledgement; it leaves only once the board saved the
    // order and runs the function it was given.
    int acksBeforeHandOver = -1;
    QString logBeforeHandOver;
    std::function<void()> acknowledge;
    server->OrderArrived = [&](const QString& text, std::function<void()> saved) {
        acksBeforeHandOver = int(t1->MessagesOf("ORA").size() + t2->MessagesOf("ORA").size());
        logBeforeHandOver = LogTexts().last();
        orders.append(text);
        acknowledge = std::move(saved);
    };
    t1->SendText(OrdMessage("T1", server->ImServerName(), "17", "2 x Soup"));
    ASSERT_TRUE(WaitForOrders(1));
    EXPECT_EQ(acksBeforeHandOver, 0);
    EXPECT_EQ(logBeforeHandOver, "[T1 -> " + server->ImServerName() + "]: \r\n2 x Soup");
    PumpEvents(100);
    EXPECT_TRUE(t1->MessagesOf("ORA").isEmpty());
    EXPECT_TRUE(t2->MessagesOf("ORA").isEmpty());
    ASSERT_TRUE(acknowledge);
    acknowledge();
    const QString ack = "ORA" + STX + "ACK" + STX + "T1" + STX + "17";
    ASSERT_TRUE(PumpEventsUntil([&] { return !t2->MessagesOf("ORA").isEmpty(); }));
    EXPECT_EQ(t1->MessagesOf("ORA"), QList<QString>{ack});
    EXPECT_EQ(t2->MessagesOf("ORA"), QList<QString>{ack});
    EXPECT_TRUE(
        t2->Received().endsWith(QByteArray("ORA\x02"
                                           "ACK\x02T1\x02"
                                           "17\x04")));
    EXPECT_EQ(orders, QStringList{"2 x Soup"});
    EXPECT_EQ(LogTexts().last(), "[T1 -> " + server->ImServerName() + "]: \r\n2 x Soup");
}

TEST_F(ModServerTest, OrderOfBlanksIsAcknowledgedAndLoggedButNotAdded) {
    auto t = Join("T1");
    t->SendText(OrdMessage("T1", server->ImServerName(), "3", "   "));
    ASSERT_TRUE(PumpEventsUntil([&] { return !t->MessagesOf("ORA").isEmpty(); }));
    PumpEvents(30);
    EXPECT_TRUE(orders.isEmpty());
    EXPECT_EQ(LogTexts().last(), "[T1 -> " + server->ImServerName() + "]: \r\n   ");
}

TEST_F(ModServerTest, OrderForAnotherNameOrDifferingInCaseIsIgnored) {
    auto t = Join("T1");
    const int logged = int(LogTexts().size());
    t->SendText(OrdMessage("T1", server->ImServerName().toLower(), "1", "Soup"));
    t->SendText(OrdMessage("T1", "Other_QVKServer", "2", "Tea"));
    // A chat line after them proves they were read and passed over.
    t->SendText(MsgMessage("T1", "T2", "done"));
    ASSERT_TRUE(PumpEventsUntil([&] { return !t->MessagesOf("MSG").isEmpty(); }));
    EXPECT_TRUE(t->MessagesOf("ORA").isEmpty());
    EXPECT_TRUE(orders.isEmpty());
    EXPECT_EQ(LogTexts().size(), logged + 1);
}

TEST_F(ModServerTest, OrderWithoutIdSeparatorUsesTheWholeField) {
    auto t = Join("T1");
    t->SendText("ORD" + STX + "T1" + STX + server->ImServerName() + STX + "Salad" + QChar(4));
    ASSERT_TRUE(WaitForOrders(1));
    EXPECT_EQ(orders, QStringList{"Salad"});
    EXPECT_EQ(t->MessagesOf("ORA"),
              QList<QString>{"ORA" + STX + "ACK" + STX + "T1" + STX + "Salad"});
}

TEST_F(ModServerTest, ChatIsRelayedUnchangedToEveryoneWithTheSender) {
    auto t1 = Join("T1");
    auto t2 = Join("T2");
    const QString line =
        "MSG" + STX + "T1" + STX + "T2" + STX + QString::fromUtf8("Две супи") + STX + "extra";
    t1->SendText(line + QChar(4));
    ASSERT_TRUE(PumpEventsUntil([&] { return !t2->MessagesOf("MSG").isEmpty(); }));
    ASSERT_TRUE(PumpEventsUntil([&] { return !t1->MessagesOf("MSG").isEmpty(); }));
    // The message as sent, EOT included and fields beyond the fourth kept.
    EXPECT_EQ(t1->MessagesOf("MSG"), QList<QString>{line});
    EXPECT_EQ(t2->MessagesOf("MSG"), t1->MessagesOf("MSG"));
    EXPECT_EQ(LogTexts().last(), QString::fromUtf8("[T1 -> T2]: \r\nДве супи"));

    // Bytes the code page does not define are relayed as received.
    const QByteArray raw("MSG\x02T1\x02T2\x02\x98 and \xff\x04");
    t1->Send(raw);
    ASSERT_TRUE(PumpEventsUntil([&] { return t2->Received().endsWith(raw); }));
}

TEST_F(ModServerTest, UnknownShortAndIncompleteMessagesAreIgnored) {
    auto t = Join("T1");
    const int logged = int(LogTexts().size());
    const int seen = int(t->Messages().size());
    t->SendText("con" + STX + "lower" + QChar(4));
    t->SendText("CON" + QString(QChar(4)) + "MSG" + QChar(4) + "ORD" + QChar(4));
    t->SendText("CONnoseparator" + QString(QChar(4)));
    t->SendText("MSG" + STX + "T1" + STX + "T2" + QChar(4));
    t->SendText("ORD" + STX + "T1" + STX + server->ImServerName() + QChar(4));
    t->SendText("XYZ" + STX + "a" + STX + "b" + STX + "c" + QChar(4));
    t->SendText(QString(QChar(4)) + QChar(4));
    t->SendText(OrdMessage("T1", server->ImServerName(), "9", "Last"));
    ASSERT_TRUE(WaitForOrders(1));
    EXPECT_EQ(orders, QStringList{"Last"});
    // Only the last order was answered and logged; the name is unchanged.
    EXPECT_EQ(t->Messages().mid(seen),
              QList<QString>{"ORA" + STX + "ACK" + STX + "T1" + STX + "9"});
    EXPECT_EQ(LogTexts().size(), logged + 1);
    EXPECT_EQ(server->ImClients()[1].Name, "T1");
}

TEST_F(ModServerTest, TerminalWithoutJoinIsNotListedAndLeavesWithAnEmptyName) {
    auto silent = Connect();
    auto t = Join("T1");
    EXPECT_EQ(t->MessagesOf("LST"),
              QList<QString>{"LST" + STX + server->ImServerName() + "\r\nT1"});
    silent->Close();
    ASSERT_TRUE(PumpEventsUntil([&] { return !t->MessagesOf("LEA").isEmpty(); }));
    EXPECT_EQ(t->MessagesOf("LEA"), QList<QString>{"LEA" + STX});
    EXPECT_EQ(LogTexts().last(), " has left the room.");
    EXPECT_EQ(server->ImClients()[1].Connection, 0u);
    EXPECT_TRUE(server->ImClients()[1].RemoteIP.isEmpty());
    // The index stays loaded, closed, for the next terminal.
    EXPECT_EQ(server->sckServerIM()(1).State(), CSocketMaster::sckClosed);
}

TEST_F(ModServerTest, NamedTerminalLeavesByNameAndDropsFromTheList) {
    auto t1 = Join("T1");
    auto t2 = Join("T2");
    t1->Close();
    ASSERT_TRUE(PumpEventsUntil([&] { return !t2->MessagesOf("LEA").isEmpty(); }));
    EXPECT_EQ(t2->MessagesOf("LEA"), QList<QString>{"LEA" + STX + "T1"});
    EXPECT_EQ(LogTexts().last(), "T1 has left the room.");
    EXPECT_EQ(server->BuildUserList(), server->ImServerName() + "\r\nT2");
}

TEST_F(ModServerTest, ClosedIndexIsReusedBeforeANewOneIsLoaded) {
    auto t1 = Join("T1");
    auto t2 = Join("T2");
    auto t3 = Join("T3");
    ASSERT_EQ(server->sckServerIM().UBound(), 3);
    t2->Close();
    ASSERT_TRUE(PumpEventsUntil([&] { return server->ImClients()[2].Connection == 0; }));
    auto t4 = Join("T4");
    EXPECT_EQ(IndexOf("T4"), 2);
    EXPECT_EQ(server->sckServerIM().UBound(), 3);
    auto t5 = Join("T5");
    EXPECT_EQ(IndexOf("T5"), 4);
    EXPECT_EQ(server->GetClientsUBound(), 4);
    EXPECT_EQ(server->BuildUserList(), server->ImServerName() + "\r\nT1\r\nT4\r\nT3\r\nT5");
}

TEST_F(ModServerTest, ResetConnectionLeavesAndFreesItsIndex) {
    auto t1 = Join("T1");
    auto t2 = Join("T2");
    t1->Reset();
    ASSERT_TRUE(PumpEventsUntil([&] { return !t2->MessagesOf("LEA").isEmpty(); }));
    EXPECT_EQ(t2->MessagesOf("LEA"), QList<QString>{"LEA" + STX + "T1"});
    EXPECT_EQ(server->sckServerIM()(1).State(), CSocketMaster::sckClosed);
    auto t3 = Join("T3");
    EXPECT_EQ(IndexOf("T3"), 1);
}

TEST_F(ModServerTest, RequestWithoutAFreeIndexIsClosedAtOnceAndNothingElseHappens) {
    server->SetClientIndexLimit(2);
    auto t1 = Join("T1");
    auto t2 = Join("T2");
    const int logged = int(LogTexts().size());
    ImTerminal refused(Port());
    ASSERT_TRUE(refused.WaitForPeerClose());
    EXPECT_TRUE(refused.Received().isEmpty());
    EXPECT_EQ(server->sckServerIM().UBound(), 2);
    EXPECT_EQ(LogTexts().size(), logged);
    // The server goes on, and a freed index takes the next terminal.
    t1->Close();
    ASSERT_TRUE(PumpEventsUntil([&] { return server->ImClients()[1].Connection == 0; }));
    auto t3 = Join("T3");
    EXPECT_EQ(IndexOf("T3"), 1);
}

TEST_F(ModServerTest, RestartClosesEveryClientAndForgetsThem) {
    auto t1 = Join("T1");
    auto t2 = Join("T2");
    Restart();
    ASSERT_TRUE(t1->WaitForPeerClose());
    ASSERT_TRUE(t2->WaitForPeerClose());
    EXPECT_EQ(server->GetClientsUBound(), 0);
    EXPECT_EQ(server->sckServerIM().UBound(), 0);
    // Closed by the station: no leave is announced or logged.
    EXPECT_FALSE(LogTexts().join("|").contains("has left"));
    auto t3 = Join("T3");
    EXPECT_EQ(IndexOf("T3"), 1);
}

TEST_F(ModServerTest, TerminalsJoiningAtOnceAllWaitInTheListenQueue) {
    // While the station's thread is busy (no events pumped here), the system
    // completes every connection into the listen queue; none is held back
    // to try again a second later.
    constexpr int kTerminals = 100;
    std::vector<nettest::PlainSocket> terminals;
    std::vector<pollfd> fds;
    for (int i = 0; i < kTerminals; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(Port());
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
        terminals.emplace_back(fd);
        fds.push_back({fd, POLLOUT, 0});
    }
    int connected = 0;
    QElapsedTimer clock;
    clock.start();
    while (connected < kTerminals && clock.elapsed() < 500) {
        ::poll(fds.data(), fds.size(), 50);
        connected = 0;
        for (pollfd& p : fds)
            connected += (p.revents & POLLOUT) ? 1 : 0;
    }
    EXPECT_EQ(connected, kTerminals);
    EXPECT_TRUE(PumpEventsUntil([&] { return ConnectedClients() == kTerminals; }));
}

TEST_F(ModServerTest, StopRunsOnceAndClosesEverything) {
    auto t1 = Join("T1");
    server->StopServer();
    EXPECT_TRUE(server->ImServerStopped());
    ASSERT_TRUE(t1->WaitForPeerClose());
    EXPECT_EQ(server->sckServerIM()(0).State(), CSocketMaster::sckClosed);
    EXPECT_EQ(server->GetClientsUBound(), 0);
    server->StopServer();
    EXPECT_THROW(ImTerminal late(Port()), std::runtime_error);
}

TEST_F(ModServerTest, PortInUseIsRaised) {
    ModServer second;
    try {
        second.StartServer(Port());
        ADD_FAILURE() << "listened on a port in use";
    } catch (const AppError& e) {
        EXPECT_EQ(e.Number(), 10048);
    }
    EXPECT_EQ(second.sckServerIM()(0).State(), CSocketMaster::sckClosed);
    // The first server is untouched.
    auto t = Join("T1");
    EXPECT_EQ(IndexOf("T1"), 1);
}

TEST_F(ModServerTest, LogEntriesCarryTheClockAndAnEmptyTextWritesNothing) {
    rt::SetNow(QDateTime(QDate(2026, 12, 8), QTime(21, 4, 9)));
    const QByteArray before = ReadBytes(server->GetServerLogFile());
    server->WriteServerLog("");
    server->WriteServerLog("x");
    EXPECT_EQ(ReadBytes(server->GetServerLogFile()),
              before + "----- 08.12.2026 21:04:09---------- \r\nx\r\n\r\n");
}

}  // namespace
