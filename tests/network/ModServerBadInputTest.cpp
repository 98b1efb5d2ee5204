// Terminals that misbehave: one byte at a time, megabytes without an end,
// bytes outside the code page, a connection cut in the middle of a message,
// one that never sends and one that never reads. None of them may stop the
// server or cost another terminal an order.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QFileInfo>
#include <algorithm>

#include "ImServerFixture.h"
#include "NetTestSupport.h"
#include "common/TestNet.h"
#include "common/TestSupport.h"
#include "network/CSocketMaster.h"
#include "platform/CodePage.h"

namespace {

const QString STX(QChar(2));

class ModServerBadInputTest : public ImServerTest {};

TEST_F(ModServerBadInputTest, OneByteAtATime) {
    auto other = Join("Other");
    auto t = Connect();
    const QByteArray bytes =
        platform::ToAnsi(ConMessage("Slow") + OrdMessage("Slow", server->ImServerName(), "1",
                                                         QString::fromUtf8("Шопска салата")));
    for (const char byte : bytes) {
        t->Send(QByteArray(1, byte));
        PumpEvents(1);
    }
    ASSERT_TRUE(WaitForOrders(1));
    PumpEvents(30);
    EXPECT_EQ(orders, QStringList{QString::fromUtf8("Шопска салата")});
    EXPECT_EQ(other->MessagesOf("ENT").count("ENT" + STX + "Slow"), 1);
    EXPECT_EQ(other->MessagesOf("ORA").size(), 1);
}

TEST_F(ModServerBadInputTest, MegabytesWithoutAnEndDisconnectTheSenderOnly) {
    auto other = Join("Other");
    auto flood = Join("Flood");
    const QByteArray chunk(64 * 1024, 'x');
    QElapsedTimer timer;
    timer.start();
    for (int sent = 0; sent < 4 * 1024 * 1024 && !flood->PeerClosed(); sent += chunk.size()) {
        try {
            flood->Send(chunk);
        } catch (const std::runtime_error&) {
            break;  // the server has closed the connection
        }
        PumpEvents(1);
    }
    ASSERT_TRUE(flood->WaitForPeerClose());
    ASSERT_TRUE(PumpEventsUntil([&] { return !other->MessagesOf("LEA").isEmpty(); }));
    EXPECT_EQ(other->MessagesOf("LEA"), QList<QString>{"LEA" + STX + "Flood"});
    EXPECT_LT(timer.elapsed(), 20000);
    // The others are served as before.
    other->SendText(OrdMessage("Other", server->ImServerName(), "1", "Soup"));
    ASSERT_TRUE(WaitForOrders(1));
    EXPECT_EQ(orders, QStringList{"Soup"});
    EXPECT_EQ(server->ImClients()[size_t(2)].Connection, 0u);
}

TEST_F(ModServerBadInputTest, BytesOutsideTheCodePageAndControlCharacters) {
    // 0x98 is not a character of CP1251; NUL and other control bytes are.
    // A terminal whose name holds it still knows its acknowledgement.
    auto t = Join(platform::FromAnsi("T\x98"));
    QByteArray order("ORD\x02T\x98\x02");
    order += platform::ToAnsi(server->ImServerName());
    order += QByteArray(
        "\x02"
        "5\x03"
        "Bad \x98 byte");
    order += QByteArray("\x00\x01\x7f\xff", 4);
    order += '\x04';
    t->Send(order);
    ASSERT_TRUE(WaitForOrders(1));
    EXPECT_TRUE(orders[0].startsWith("Bad "));
    EXPECT_EQ(orders[0].size(), 4 + 1 + 5 + 4);
    ASSERT_TRUE(PumpEventsUntil([&] { return !t->MessagesOf("ORA").isEmpty(); }));
    EXPECT_TRUE(
        t->Received().contains("ORA\x02"
                               "ACK\x02T\x98\x02"
                               "5\x04"));
}

TEST_F(ModServerBadInputTest, EmptyNameJoinsUnlistedAndLeavesEmpty) {
    auto watcher = Join("Watcher");
    auto t = Join("");
    EXPECT_EQ(t->MessagesOf("LST"),
              QList<QString>{"LST" + STX + server->ImServerName() + "\r\nWatcher"});
    EXPECT_EQ(watcher->MessagesOf("ENT").last(), "ENT" + STX);
    EXPECT_TRUE(LogTexts().contains(" has joined the room."));
    t->Close();
    ASSERT_TRUE(PumpEventsUntil([&] { return !watcher->MessagesOf("LEA").isEmpty(); }));
    EXPECT_EQ(watcher->MessagesOf("LEA"), QList<QString>{"LEA" + STX});
}

TEST_F(ModServerBadInputTest, ControlCharactersInNamesForgeNoListEntryAndNoLogLine) {
    // Each control character becomes a blank: the name stays one entry and one line.
    const QString header = "----- 01.01.2020 00:00:00---------- ";
    auto forger = Join("Bar\r\n" + header + "\r\nKitchen\t" + QChar(3));
    const QString cleaned = "Bar  " + header + "  Kitchen  ";
    auto next = Join("Next");
    const QString name = server->ImServerName();
    EXPECT_EQ(next->MessagesOf("LST"),
              QList<QString>{"LST" + STX + name + "\r\n" + cleaned + "\r\nNext"});
    forger->SendText(OrdMessage("Bar\r\n" + header + "\r\nKitchen", name, "7", "Soup"));
    ASSERT_TRUE(WaitForOrders(1));
    // The terminal still knows its acknowledgement by the name it sent.
    ASSERT_TRUE(PumpEventsUntil([&] { return !forger->MessagesOf("ORA").isEmpty(); }));
    EXPECT_EQ(forger->MessagesOf("ORA").first(),
              "ORA" + STX + "ACK" + STX + "Bar\r\n" + header + "\r\nKitchen" + STX + "7");
    const QStringList log = LogTexts();
    EXPECT_TRUE(log.contains(cleaned + " has joined the room.")) << log.join('|').toStdString();
    EXPECT_EQ(log.last(), "[Bar  " + header + "  Kitchen -> " + name + "]: \r\nSoup");
}

TEST_F(ModServerBadInputTest, CutInTheMiddleOfAMessage) {
    auto watcher = Join("Watcher");
    auto t = Join("Cut");
    t->SendText(OrdMessage("Cut", server->ImServerName(), "1", "Whole") + "ORD" + STX + "Cut" +
                STX);
    ASSERT_TRUE(WaitForOrders(1));
    t->Close();
    ASSERT_TRUE(PumpEventsUntil([&] { return !watcher->MessagesOf("LEA").isEmpty(); }));
    PumpEvents(30);
    EXPECT_EQ(orders, QStringList{"Whole"});
    EXPECT_TRUE(server->ImClients()[2].RecvBuffer.isEmpty());
    // The next terminal on that index starts with an empty buffer.
    auto next = Join("Next");
    next->SendText(OrdMessage("Next", server->ImServerName(), "1", "Fresh"));
    ASSERT_TRUE(WaitForOrders(2));
    EXPECT_EQ(orders, (QStringList{"Whole", "Fresh"}));
}

TEST_F(ModServerBadInputTest, SilentTerminalHoldsItsIndexAndBlocksNobody) {
    auto silent = Connect();
    auto t = Join("T1");
    t->SendText(OrdMessage("T1", server->ImServerName(), "1", "Soup"));
    ASSERT_TRUE(WaitForOrders(1));
    EXPECT_EQ(IndexOf("T1"), 2);
    EXPECT_EQ(server->sckServerIM()(1).State(), CSocketMaster::sckConnected);
    // The silent one hears the broadcasts all the same.
    EXPECT_TRUE(PumpEventsUntil([&] { return !silent->MessagesOf("ORA").isEmpty(); }));
}

TEST_F(ModServerBadInputTest, TerminalThatNeverReadsIsDroppedWhenItsBacklogIsFull) {
    auto reader = Join("Reader");
    auto deaf = std::make_unique<ImTerminal>(Port(), 4096);
    ASSERT_TRUE(PumpEventsUntil([&] { return ConnectedClients() == 2; }));
    deaf->SendText(ConMessage("Deaf"));
    ASSERT_TRUE(PumpEventsUntil([&] { return IndexOf("Deaf") == 2; }));
    const QString line = MsgMessage("Reader", "All", QString(60000, 'c'));
    const int readerSeen = int(reader->MessagesOf("MSG").size());
    int sent = 0;
    // The reader reads everything; the deaf terminal nothing, until the
    // station gives up on it.
    while (sent < 200 && server->ImClients()[2].Connection != 0) {
        reader->SendText(line);
        ++sent;
        ASSERT_TRUE(
            PumpEventsUntil([&] { return reader->MessagesOf("MSG").size() >= readerSeen + sent; }));
    }
    EXPECT_LT(sent, 200);
    ASSERT_TRUE(PumpEventsUntil([&] { return !reader->MessagesOf("LEA").isEmpty(); }));
    EXPECT_EQ(reader->MessagesOf("LEA"), QList<QString>{"LEA" + STX + "Deaf"});
    EXPECT_LE(server->sckServerIM().PendingSendBytes(2), 0);
    // Its index is free again.
    auto next = Join("Next");
    EXPECT_EQ(IndexOf("Next"), 2);
}

TEST_F(ModServerBadInputTest, TerminalsThatNeverReadHoldLittleMemoryTogether) {
    auto reader = Join("Reader");
    std::vector<std::unique_ptr<ImTerminal>> deaf;
    for (int i = 0; i < 200; ++i)
        deaf.push_back(std::make_unique<ImTerminal>(Port(), 4096));
    ASSERT_TRUE(PumpEventsUntil([&] { return ConnectedClients() == 201; }));
    // Each of them alone stays below its own limit for a good while; all of
    // them together would hold hundreds of megabytes.
    const QString line = MsgMessage("Reader", "All", QString(60000, 'c'));
    const qint64 before = ResidentBytes();
    qint64 most = 0;
    for (int sent = 1; sent <= 100; ++sent) {
        reader->SendText(line);
        ASSERT_TRUE(PumpEventsUntil([&] { return reader->MessagesOf("MSG").size() >= sent; }));
        most = std::max(most, ResidentBytes() - before);
    }
    EXPECT_LT(most, 128 << 20) << "megabytes: " << (most >> 20);
    EXPECT_LE(server->sckServerIM().TotalPendingSendBytes(), ModServer::kMaxTotalSendBacklogBytes);
    // The terminal that reads is served as before.
    reader->SendText(OrdMessage("Reader", server->ImServerName(), "1", "Soup"));
    ASSERT_TRUE(WaitForOrders(1));
    EXPECT_TRUE(PumpEventsUntil([&] { return !reader->MessagesOf("ORA").isEmpty(); }));
}

TEST_F(ModServerBadInputTest, ChatFloodKeepsTheLogUnderItsBoundBesideOneOlderFile) {
    // A terminal that never joins sends 64 KiB chat lines until the station
    // has logged more than twice the bound. It reads what the station relays
    // and keeps a few lines in flight, so that it is never dropped for its
    // backlog.
    auto flood = Connect();
    const QString text(64 * 1024, 'x');
    const QByteArray line = platform::ToAnsi(MsgMessage("F", "All", text));
    const int lines = int(2 * ModServer::kMaxLogBytes / line.size()) + 8;
    QByteArray scratch(1 << 16, 0);
    int relayed = 0;
    const auto drain = [&] {
        for (;;) {
            const ssize_t n = ::recv(flood->Fd(), scratch.data(), size_t(scratch.size()), 0);
            if (n <= 0)
                return;
            relayed += int(std::count(scratch.constData(), scratch.constData() + n, '\x04'));
        }
    };
    for (int sent = 0; sent < lines; ++sent) {
        ASSERT_TRUE(PumpEventsUntil([&] {
            drain();
            return relayed >= sent - 8;
        }));
        flood->Send(line);
    }
    ASSERT_TRUE(PumpEventsUntil([&] {
        drain();
        return relayed >= lines;
    }));

    const QString log = server->GetServerLogFile();
    const QString older = log + ".1";
    EXPECT_LE(QFileInfo(log).size(), ModServer::kMaxLogBytes);
    ASSERT_TRUE(QFileInfo::exists(older));
    EXPECT_LE(QFileInfo(older).size(), ModServer::kMaxLogBytes);
    // Both files hold whole entries only, and together the newest bound's
    // worth of them at least.
    const QString chat = "[F -> All]: \r\n" + text;
    int whole = 0;
    for (const QString& file : {older, log}) {
        for (const QString& entry : LogTexts(file)) {
            if (!entry.startsWith("[F -> All]"))
                continue;
            EXPECT_TRUE(entry == chat) << entry.size() << " characters in " << file.toStdString();
            ++whole;
        }
    }
    EXPECT_GE(whole, int(ModServer::kMaxLogBytes / line.size()));
}

TEST_F(ModServerBadInputTest, RequestsWaitWhileTheProcessHasNoDescriptorLeft) {
#ifdef __SANITIZE_ADDRESS__
    // The sanitizers test memory through a pipe: with no descriptor left they
    // take sound objects for broken ones.
    GTEST_SKIP() << "needs descriptors that a sanitized build uses for itself";
#endif
    auto t = Join("T1");
    // Three terminals wait in the listen queue; then every descriptor the
    // process may open is taken, so the station cannot accept them.
    std::vector<std::unique_ptr<ImTerminal>> waiting;
    for (int i = 0; i < 3; ++i)
        waiting.push_back(std::make_unique<ImTerminal>(Port()));
    int acceptedMeanwhile = 0;
    {
        const nettest::NoDescriptorLeft full;
        PumpEvents(300);
        acceptedMeanwhile = ConnectedClients() - 1;
    }
    EXPECT_EQ(acceptedMeanwhile, 0);
    // Descriptors free again: the waiting terminals are taken, the server serves.
    ASSERT_TRUE(PumpEventsUntil([&] { return ConnectedClients() == 4; }));
    t->SendText(OrdMessage("T1", server->ImServerName(), "1", "Soup"));
    ASSERT_TRUE(WaitForOrders(1));
}

}  // namespace
