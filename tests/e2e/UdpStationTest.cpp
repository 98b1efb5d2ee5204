// The real station in mode 0: orders sent as datagrams reach its board and
// its backup, and survive the process being killed.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <QDir>
#include <QFile>

#include "StationProcess.h"
#include "board/ArrivedOrders.h"
#include "common/TestSupport.h"
#include "common/XSession.h"
#include "platform/IniFile.h"

namespace {

// Mode 0 on a free datagram port, no kiosk, no sound; answers the port.
int ConfigureForDatagrams(StationProcess& station) {
    const int port = FreePort(SOCK_DGRAM);
    station.Configure({{"Communication", "0"},
                       {"Restriction", "False"},
                       {"SoundNotification", "False"},
                       {"PortUDP", QString::number(port)}});
    return port;
}

// Starts the station; true once it listens on the port.
bool StartListening(StationProcess& station, int port) {
    return station.Start() && WaitUntil([&] { return PortTaken(SOCK_DGRAM, port); }, 15000);
}

// The bytes of datagrams waiting to be read by the socket bound to the UDP
// port (its receive queue in /proc/net/udp); -1 when no socket is.
qint64 UnreadBytes(int port) {
    QFile table(QStringLiteral("/proc/net/udp"));
    if (!table.open(QIODevice::ReadOnly))
        return -1;
    const QString local = ':' + QString::number(port, 16).toUpper().rightJustified(4, '0');
    // "sl local_address rem_address st tx_queue:rx_queue ..."
    for (const QByteArray& line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 4 && fields[1].endsWith(local.toLatin1()))
            return fields[4].split(':').value(1).toLongLong(nullptr, 16);
    }
    return -1;
}

// The station has read every datagram sent to it so far.
bool ReadEverything(int port) {
    return WaitUntil([&] { return UnreadBytes(port) == 0; }, 10000);
}

}  // namespace

TEST(UdpStation, OrdersSurviveAHardKillAndARestart) {
    StationProcess station;
    const int port = ConfigureForDatagrams(station);
    const QString backup = station.DataFolder() + "BackUp.log";
    const auto count = [&] { return platform::IniRead(backup, "OrdersCount", "Value", 255); };

    ASSERT_TRUE(StartListening(station, port)) << station.Output().toStdString();
    SendUdp(port, OrderDatagramText(1, "Bar-1", "Table 4\r\n2 x Soup\r\n1 x Bread"));
    SendUdp(port, OrderDatagramText(1, "Bar-1", "the same number again: ignored"));
    SendUdp(port, OrderDatagramText(1, "Kitchen", "Маса 7\r\nШопска салата"));
    SendUdp(port, OrderDatagramText(2, "Bar-1", "Table 9: 3 x Espresso"));
    // Lines as a terminal may send them: indented, quoted, any line break.
    const QString layout = "\tTable 5 \n  \"2 x Soup\"\r'Bread'\r\n\r\n   end  ";
    SendUdp(port, OrderDatagramText(3, "Bar-1", layout));
    ASSERT_TRUE(WaitUntil([&] { return count() == "4"; }, 10000)) << count().toStdString();

    station.Kill();
    ASSERT_TRUE(StartListening(station, port));
    SendUdp(port, OrderDatagramText(1, "Bar-2", "Table 1: 1 x Tea, after the restart"));
    ASSERT_TRUE(WaitUntil([&] { return count() == "5"; }, 10000)) << count().toStdString();

    EXPECT_EQ(platform::IniRead(backup, "Order_00", "Row_002", 255), "1 x Bread");
    EXPECT_EQ(platform::IniRead(backup, "Order_01", "Row_001", 255), "Шопска салата");
    EXPECT_EQ(platform::IniRead(backup, "Order_02", "Row_000", 255), "Table 9: 3 x Espresso");
    EXPECT_EQ(platform::IniRead(backup, "Order_04", "Row_000", 255),
              "Table 1: 1 x Tea, after the restart");
    EXPECT_EQ(platform::IniRead(backup, "Order_00", "IsNew", 255), "-1");
    const auto restored = LoadArrivalsBackupFile(backup);
    ASSERT_TRUE(restored);
    ASSERT_EQ(restored->size(), 5);
    EXPECT_EQ((*restored)[3].Text, layout);
    station.Stop();
}

// A second copy of the program started on the folder of a running station
// says so in its message box and ends without writing the folder's files: the
// order that the first took meanwhile stays saved, and the first keeps taking
// orders. Once the first is killed, the next copy starts at once: the kernel
// let go of the first one's lock.
TEST(UdpStation, ASecondCopyOnTheSameFolderEndsWithoutWritingItsFiles) {
    XSession x;
    ASSERT_TRUE(x.Start(false));
    StationProcess first;
    const int port = ConfigureForDatagrams(first);
    const QString backup = first.DataFolder() + "BackUp.log";
    const QString settings = first.DataFolder() + "KestrelleApp.config";
    const auto count = [&] { return platform::IniRead(backup, "OrdersCount", "Value", 255); };
    ASSERT_TRUE(StartListening(first, port)) << first.Output().toStdString();
    SendUdp(port, OrderDatagramText(1, "Bar-1", "Table 4: 2 x Soup"));
    SendUdp(port, OrderDatagramText(2, "Bar-1", "Table 5: 1 x Tea"));
    ASSERT_TRUE(WaitUntil([&] { return count() == "2"; }, 10000)) << count().toStdString();
    const QByteArray configured = ReadBytes(settings);

    StationProcess second;
    second.UseFolderOf(first);
    second.SetDisplay(x.Display());
    ASSERT_TRUE(second.Start());
    const QString pid = QString::number(second.Pid());
    QString box;
    EXPECT_TRUE(WaitUntil(
        [&] {
            box = x.Run("xdotool", {"search", "--onlyvisible", "--pid", pid}).section('\n', 0, 0);
            return !box.isEmpty() && x.WindowName(box.toUInt()) == "Внимание";
        },
        15000))
        << "no message box of the second copy";
    SendUdp(port, OrderDatagramText(3, "Bar-1", "Table 6: 1 x Bread"));
    ASSERT_TRUE(WaitUntil([&] { return count() == "3"; }, 10000)) << count().toStdString();
    const QByteArray orders = ReadBytes(backup);
    if (!box.isEmpty()) {
        x.Run("xdotool", {"windowfocus", "--sync", box});
        x.Key("Escape");
    }
    EXPECT_TRUE(second.EndedCleanly(10000)) << "the second copy runs on";
    // A copy that ran on ends as a service stop would end it.
    second.Stop();
    EXPECT_EQ(ReadBytes(backup), orders);
    EXPECT_EQ(ReadBytes(settings), configured);

    SendUdp(port, OrderDatagramText(4, "Bar-1", "Table 7: 2 x Tea"));
    EXPECT_TRUE(WaitUntil([&] { return count() == "4"; }, 10000)) << count().toStdString();
    first.Kill();
    StationProcess third;
    third.UseFolderOf(first);
    ASSERT_TRUE(StartListening(third, port)) << third.Output().toStdString();
    third.Stop();
    const auto kept = LoadArrivalsBackupFile(backup);
    ASSERT_TRUE(kept);
    ASSERT_EQ(kept->size(), 4);
    EXPECT_EQ((*kept)[2].Text, "Table 6: 1 x Bread");
    EXPECT_EQ((*kept)[3].Text, "Table 7: 2 x Tea");
}

TEST(UdpStation, JunkThatNeverBecomesAnOrderLocksNoTerminalOut) {
    StationProcess station;
    const int port = ConfigureForDatagrams(station);
    ASSERT_TRUE(StartListening(station, port)) << station.Output().toStdString();
    // Sequence 000000 from 5,000 names, paced so that the station reads them all.
    for (int i = 0; i < 5000; ++i) {
        SendUdp(port, OrderDatagramText(0, "junk-" + QString::number(i), "nothing to cook here"));
        if (i % 200 == 199) {
            ASSERT_TRUE(ReadEverything(port)) << UnreadBytes(port);
        }
    }
    ASSERT_TRUE(ReadEverything(port)) << UnreadBytes(port);
    SendUdp(port, OrderDatagramText(1, "Kitchen", "Table 2: 1 x Soup"));
    const QString backup = station.DataFolder() + "BackUp.log";
    EXPECT_TRUE(WaitUntil(
        [&] {
            return platform::IniRead(backup, "Order_00", "Row_000", 255) == "Table 2: 1 x Soup";
        },
        10000));
    station.Stop();
}

TEST(UdpStation, ABurstOfOrdersWhileTheStationIsBusyIsKeptWhole) {
    StationProcess station;
    const int port = ConfigureForDatagrams(station);
    ASSERT_TRUE(StartListening(station, port)) << station.Output().toStdString();
    // Stopped, the station reads nothing: its socket alone keeps the burst.
    station.Signal(SIGSTOP);
    for (int i = 1; i <= 15; ++i) {
        for (int t = 1; t <= 20; ++t)
            SendUdp(port, OrderDatagramText(i, QString("POS-%1").arg(t),
                                            QString("Table %1: %2 x Soup").arg(t).arg(i)));
    }
    station.Signal(SIGCONT);
    const QString backup = station.DataFolder() + "BackUp.log";
    const auto count = [&] { return platform::IniRead(backup, "OrdersCount", "Value", 255); };
    EXPECT_TRUE(WaitUntil([&] { return count() == "300"; }, 20000)) << count().toStdString();
    station.Stop();
}

// The station is killed at each write step in turn, one step further in each
// run, while it clears the first of three orders (Ctrl+Del at a real
// display). After a restart that order is in history.txt once or on the board
// once, never both and never neither, the others are on the board once, and
// no temporary file of a killed save is left beside BackUp.log.
TEST(UdpStation, AKillAtAnyStepOfAClearLeavesEachOrderInOneFile) {
    XSession x;
    ASSERT_TRUE(x.Start(false));
    bool cleared = false;
    for (int n = 1; n <= 20 && !cleared; ++n) {
        StationProcess station;
        const int port = ConfigureForDatagrams(station);
        const QString folder = station.DataFolder();
        ASSERT_TRUE(SaveAllArrivalsBackupFile(
            folder + "BackUp.log",
            {{"Table 1", 46100.5, true}, {"Table 2", 46100.6, true}, {"Table 3", 46100.7, false}}));
        station.SetDisplay(x.Display());
        qputenv("KESTRELLE_FILE_FAULT",
                "kill:" + QByteArray::number(n) + ":BackUp.log,history.txt");
        const bool started = station.Start();
        qunsetenv("KESTRELLE_FILE_FAULT");
        ASSERT_TRUE(started);
        const QString pid = QString::number(station.Pid());
        QString board;
        WaitUntil(
            [&] {
                board =
                    x.Run("xdotool", {"search", "--onlyvisible", "--pid", pid}).section('\n', 0, 0);
                return !station.Running() || !board.isEmpty();
            },
            15000);
        if (station.Running()) {
            ASSERT_FALSE(board.isEmpty()) << station.Output().toStdString();
            x.Run("xdotool", {"windowfocus", "--sync", board});
            x.Key("ctrl+Delete");
            // Done once the order left BackUp.log; a kill at the last step
            // lands a moment later, before the station answers its next key
            // (F1 opens the help window).
            WaitUntil(
                [&] {
                    return !station.Running() ||
                           !ReadBytes(folder + "BackUp.log").contains("Table 1");
                },
                5000);
            x.Key("F1");
            WaitUntil(
                [&] {
                    return !station.Running() ||
                           x.Run("xdotool", {"search", "--onlyvisible", "--pid", pid})
                                   .split('\n')
                                   .size() == 2;
                },
                5000);
            cleared = station.Running();
        }
        station.Kill();

        station.SetDisplay(QString());
        ASSERT_TRUE(StartListening(station, port));
        station.Stop();
        const QStringList board2 = [&] {
            QStringList texts;
            for (const ArrivedOrder& o :
                 LoadArrivalsBackupFile(folder + "BackUp.log").value_or(QList<ArrivedOrder>()))
                texts << o.Text;
            return texts;
        }();
        const QByteArray history = ReadBytes(folder + "history.txt");
        EXPECT_EQ(board2.count("Table 1") + history.count("\r\nTable 1\r\n\r\n"), 1)
            << "killed at write " << n;
        EXPECT_EQ(board2.count("Table 2"), 1) << "killed at write " << n;
        EXPECT_EQ(board2.count("Table 3"), 1) << "killed at write " << n;
        EXPECT_TRUE(QDir(folder).entryList({".BackUp.log.*"}, QDir::Files | QDir::Hidden).isEmpty())
            << "killed at write " << n;
    }
    EXPECT_TRUE(cleared);
}
