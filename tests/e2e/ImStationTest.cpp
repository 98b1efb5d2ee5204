// The real station in mode 1: simulated point-of-sale terminals join its
// message server, chat and send orders; every order they see acknowledged is
// on the board's backup once, and the server's log tells the story.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include "StationProcess.h"
#include "board/ArrivedOrders.h"
#include "common/TestNet.h"
#include "common/TestSupport.h"
#include "platform/CodePage.h"
#include "platform/IniFile.h"

namespace {

// Every order text on the board's backup, in order.
QStringList BackedUpOrders(const QString& backup) {
    platform::IniClearCache();
    const int count = platform::IniRead(backup, "OrdersCount", "Value", 255).toInt();
    QStringList texts;
    for (int i = 0; i < count; ++i)
        texts << platform::IniRead(backup, QStringLiteral("Order_%1").arg(i, 2, 10, QChar('0')),
                                   "Row_000", 255);
    return texts;
}

// A terminal on a blocking socket that gives up after a time-out.
class RawTerminal {
public:
    explicit RawTerminal(int port) : fd_(ConnectTcp(port)) {
        const timeval limit{15, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    }
    ~RawTerminal() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    // Sends "CON" with the name; answers the server's name from the list
    // it answers with, empty when none came.
    QString Join(const QString& name) {
        Send("CON" + QString(QChar(2)) + name + QChar(4));
        return ReadUntil("LST").section(QChar(2), 1).section("\r\n", 0, 0);
    }
    void Send(const QString& text) {
        const QByteArray bytes = platform::ToAnsi(text);
        ASSERT_EQ(::send(fd_, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL), bytes.size());
    }
    // The next message that starts with `start`; empty when none came in time.
    QString ReadUntil(const QString& start) {
        for (;;) {
            qsizetype end;
            while ((end = buffer_.indexOf('\x04')) >= 0) {
                const QString message = platform::FromAnsi(buffer_.left(end));
                buffer_.remove(0, end + 1);
                if (message.startsWith(start))
                    return message;
            }
            char chunk[4096];
            const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
            if (n <= 0)
                return QString();
            buffer_.append(chunk, int(n));
        }
    }

private:
    int fd_;
    QByteArray buffer_;
};

// Starts the station in mode 1 on a free port; answers the port, or 0 when
// the station did not listen.
int StartMessageServer(StationProcess& station) {
    const int port = FreePort(SOCK_STREAM);
    station.Configure({{"Communication", "1"},
                       {"Restriction", "False"},
                       {"SoundNotification", "False"},
                       {"PortTCP", QString::number(port)}});
    if (!station.Start() || !WaitUntil([&] { return PortTaken(SOCK_STREAM, port); }, 15000))
        return 0;
    return port;
}

}  // namespace

TEST(ImStation, AnAcknowledgedOrderIsAlreadyInTheBackup) {
    StationProcess station;
    const int port = StartMessageServer(station);
    ASSERT_NE(port, 0) << station.Output().toStdString();
    const QString STX(QChar(2));
    RawTerminal pos(port);
    const QString serverName = pos.Join("POS");
    ASSERT_FALSE(serverName.isEmpty());
    // Other terminals listening, so the acknowledgement has many to go to.
    std::vector<std::unique_ptr<RawTerminal>> others;
    for (int i = 0; i < 40; ++i) {
        others.push_back(std::make_unique<RawTerminal>(port));
        others.back()->Send("CON" + STX + "Idle-" + QString::number(i) + QChar(4));
        ASSERT_EQ(pos.ReadUntil("ENT" + STX + "Idle-"), "ENT" + STX + "Idle-" + QString::number(i));
    }
    pos.Send("ORD" + STX + "POS" + STX + serverName + STX + "1" + QChar(3) + "Table 3: 2 x Soup" +
             QChar(4));
    ASSERT_EQ(pos.ReadUntil("ORA"), "ORA" + STX + "ACK" + STX + "POS" + STX + "1");
    station.Kill();

    const auto kept = LoadArrivalsBackupFile(station.DataFolder() + "BackUp.log");
    ASSERT_TRUE(kept);
    ASSERT_EQ(kept->size(), 1);
    EXPECT_EQ(kept->first().Text, "Table 3: 2 x Soup");
    EXPECT_TRUE(platform::FromAnsi(ReadBytes(station.DataFolder() + "Logs/QVKServer.log"))
                    .contains("]: \r\nTable 3: 2 x Soup\r\n"));
}

TEST(ImStation, AnOrderOfAMegabyteHoldsUpNoOtherTerminal) {
    StationProcess station;
    const int port = StartMessageServer(station);
    ASSERT_NE(port, 0) << station.Output().toStdString();
    const QString STX(QChar(2));
    RawTerminal big(port);
    const QString serverName = big.Join("Big");
    ASSERT_FALSE(serverName.isEmpty());
    RawTerminal bar(port);
    ASSERT_FALSE(bar.Join("Bar").isEmpty());
    // One word without a blank is the hardest text to lay out.
    const QString text(1000000, 'x');
    big.Send("ORD" + STX + "Big" + STX + serverName + STX + "1" + QChar(3) + text + QChar(4));
    // The other terminal orders while the station takes the large one.
    ASSERT_TRUE(WaitUntil(
        [&] { return ReadBytes(station.DataFolder() + "Logs/QVKServer.log").contains("[Big -> "); },
        15000));
    bar.Send("ORD" + STX + "Bar" + STX + serverName + STX + "1" + QChar(3) + "Soup" + QChar(4));
    EXPECT_EQ(bar.ReadUntil("ORA" + STX + "ACK" + STX + "Bar"),
              "ORA" + STX + "ACK" + STX + "Bar" + STX + "1");
    EXPECT_EQ(big.ReadUntil("ORA" + STX + "ACK" + STX + "Big"),
              "ORA" + STX + "ACK" + STX + "Big" + STX + "1");
    station.Kill();

    const auto kept = LoadArrivalsBackupFile(station.DataFolder() + "BackUp.log");
    ASSERT_TRUE(kept);
    ASSERT_EQ(kept->size(), 2);
    EXPECT_EQ(kept->at(0).Text.size(), text.size());
    EXPECT_EQ(kept->at(0).Text, text);
    EXPECT_EQ(kept->at(1).Text, "Soup");
}

TEST(ImStation, IdleConnectionsLeaveTheStationDescriptorsForItsFiles) {
    StationProcess station;
    const int port = StartMessageServer(station);
    ASSERT_NE(port, 0) << station.Output().toStdString();
    const QString STX(QChar(2));
    RawTerminal pos(port);
    const QString serverName = pos.Join("POS");
    ASSERT_FALSE(serverName.isEmpty());
    // A small limit, and more connections than it allows, left idle.
    constexpr int kLimit = 256;
    const rlimit limit{kLimit, kLimit};
    ASSERT_EQ(::prlimit(pid_t(station.Pid()), RLIMIT_NOFILE, &limit, nullptr), 0);
    std::vector<int> idle;
    for (int i = 0; i < kLimit + 100; ++i)
        idle.push_back(ConnectTcp(port));
    WaitUntil([&] { return false; }, 1000);
    const int held = OpenDescriptors(station.Pid());
    pos.Send("ORD" + STX + "POS" + STX + serverName + STX + "1" + QChar(3) + "Table 5: Soup" +
             QChar(4));
    EXPECT_EQ(pos.ReadUntil("ORA"), "ORA" + STX + "ACK" + STX + "POS" + STX + "1");
    for (const int fd : idle)
        ::close(fd);
    EXPECT_LT(held, kLimit - 32);
    EXPECT_TRUE(
        ReadBytes(station.DataFolder() + "Logs/QVKServer.log").contains("]: \r\nTable 5: Soup"));
    station.Kill();
    const auto kept = LoadArrivalsBackupFile(station.DataFolder() + "BackUp.log");
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->first().Text, "Table 5: Soup");
}

TEST(ImStation, TerminationSignalsEndTheStationThroughItsUnload) {
    const QString STX(QChar(2));
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
        StationProcess station;
        const int port = StartMessageServer(station);
        ASSERT_NE(port, 0) << station.Output().toStdString();
        RawTerminal pos(port);
        const QString name = pos.Join("POS");
        pos.Send("ORD" + STX + "POS" + STX + name + STX + "1" + QChar(3) + "Soup" + QChar(4));
        ASSERT_FALSE(pos.ReadUntil("ORA").isEmpty());

        station.Signal(signal);
        ASSERT_TRUE(station.EndedCleanly(15000)) << signal << station.Output().toStdString();
        // The unload saved every setting, and the order is kept.
        const QString config = station.DataFolder() + "KestrelleApp.config";
        platform::IniClearCache();
        EXPECT_EQ(platform::IniRead(config, "DatabaseType", "Value", 255), "0") << signal;
        EXPECT_EQ(platform::IniRead(config, "PortTCP", "Value", 255), QString::number(port));
        const auto kept = LoadArrivalsBackupFile(station.DataFolder() + "BackUp.log");
        ASSERT_TRUE(kept);
        EXPECT_EQ(kept->first().Text, "Soup");
    }
}

TEST(ImStation, TerminationSignalEndsAStartWaitingForItsDatabase) {
    // Mode 2 with a database that cannot be opened: start-up asks about it.
    StationProcess station;
    station.Configure({{"Communication", "2"},
                       {"Restriction", "False"},
                       {"DatabaseType", "0"},
                       {"DatabasePath", station.AppData() + "/missing.mdb"}});
    ASSERT_TRUE(station.Start());
    const QString errorLog = station.DataFolder() + "Logs/Error.log";
    ASSERT_TRUE(
        WaitUntil([&] { return ReadBytes(errorLog).contains("Database.OpenConnection"); }, 15000))
        << station.Output().toStdString();
    station.Signal(SIGTERM);
    EXPECT_TRUE(station.EndedCleanly(15000)) << station.Output().toStdString();
    platform::IniClearCache();
    EXPECT_EQ(
        platform::IniRead(station.DataFolder() + "KestrelleApp.config", "PortTCP", "Value", 255),
        "7003");
}

TEST(ImStation, AcknowledgedOrdersOfSeveralTerminalsAreOnTheBoardOnce) {
    ASSERT_TRUE(QFile::exists(QCoreApplication::applicationDirPath() + "/kestrelle_simulator"));
    StationProcess station;
    const QString backup = station.DataFolder() + "BackUp.log";
    const QString serverLog = station.DataFolder() + "Logs/QVKServer.log";
    const int port = StartMessageServer(station);
    ASSERT_NE(port, 0) << station.Output().toStdString();

    int exitCode = 0;
    const QString output =
        RunSimulator({"im", "--port", QString::number(port), "--name", "POS", "--terminals", "4",
                      "--idle", "2", "--count", "5", "--chat", "1", "--text",
                      QString::fromUtf8("Маса %i: супа (%s)"), "--wait-ack", "--timeout", "60"},
                     &exitCode);
    ASSERT_EQ(exitCode, 0) << output.toStdString();
    EXPECT_TRUE(output.contains("acknowledged 20 of 20, doubled 0")) << output.toStdString();

    // A terminal addressing another station gets no acknowledgement and adds nothing.
    const QString stray = RunSimulator({"im", "--port", QString::number(port), "--name", "Stray",
                                        "--to", "Elsewhere_QVKServer", "--quiet"},
                                       &exitCode);
    EXPECT_EQ(exitCode, 0) << stray.toStdString();

    ASSERT_TRUE(WaitUntil([&] { return BackedUpOrders(backup).size() >= 20; }, 15000));
    const QStringList orders = BackedUpOrders(backup);
    EXPECT_EQ(orders.size(), 20);
    EXPECT_EQ(QSet<QString>(orders.begin(), orders.end()).size(), 20);
    for (int t = 1; t <= 4; ++t) {
        // Each terminal's orders reach the board in the order it sent them.
        const QString name = "POS-" + QString::number(t);
        int last = 0;
        for (const QString& text : orders) {
            if (!text.endsWith("(" + name + ")"))
                continue;
            const int id = text.section(' ', 1, 1).chopped(1).toInt();
            EXPECT_EQ(id, last + 1) << text.toStdString();
            last = id;
        }
        EXPECT_EQ(last, 5) << name.toStdString();
    }
    EXPECT_EQ(platform::IniRead(backup, "Order_00", "IsNew", 255), "-1");

    ASSERT_TRUE(WaitUntil(
        [&] {
            return platform::FromAnsi(ReadBytes(serverLog)).contains("Stray has left the room.");
        },
        10000));
    const QString log = platform::FromAnsi(ReadBytes(serverLog));
    EXPECT_TRUE(log.contains(QRegularExpression(
        "Server started on local IP \\([0-9.]+:" + QString::number(port) + "\\)\\.\r\n")))
        << log.toStdString();
    EXPECT_TRUE(log.contains("POS-3 has joined the room."));
    EXPECT_TRUE(log.contains("POS-6 has left the room."));
    EXPECT_EQ(log.count(QString::fromUtf8("]: \r\nМаса ")), 20);
    EXPECT_FALSE(log.contains("Elsewhere_QVKServer]"));
    station.Stop();
}
