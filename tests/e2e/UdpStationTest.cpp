// The real station in mode 0: orders sent as datagrams reach its board and
// its backup, and survive the process being killed.
#include <gtest/gtest.h>
#include <sys/socket.h>

// Ahead of the terminal helpers, whose OrderDatagram() hides the struct.
#include "board/ArrivedOrders.h"

#include "StationProcess.h"
#include "common/TestSupport.h"
#include "platform/IniFile.h"

TEST(UdpStation, OrdersSurviveAHardKillAndARestart) {
    StationProcess station;
    const int port = FreePort(SOCK_DGRAM);
    station.Configure({{"Communication", "0"},
                       {"Restriction", "False"},
                       {"SoundNotification", "False"},
                       {"PortUDP", QString::number(port)}});
    const QString backup = station.DataFolder() + "BackUp.log";
    const auto count = [&] { return platform::IniRead(backup, "OrdersCount", "Value", 255); };

    ASSERT_TRUE(station.Start());
    ASSERT_TRUE(WaitUntil([&] { return PortTaken(SOCK_DGRAM, port); }, 15000))
        << station.Output().toStdString();
    SendUdp(port, OrderDatagram(1, "Bar-1", "Table 4\r\n2 x Soup\r\n1 x Bread"));
    SendUdp(port, OrderDatagram(1, "Bar-1", "the same number again: ignored"));
    SendUdp(port, OrderDatagram(1, "Kitchen", "Маса 7\r\nШопска салата"));
    SendUdp(port, OrderDatagram(2, "Bar-1", "Table 9: 3 x Espresso"));
    // Lines as a terminal may send them: indented, quoted, any line break.
    const QString layout = "\tTable 5 \n  \"2 x Soup\"\r'Bread'\r\n\r\n   end  ";
    SendUdp(port, OrderDatagram(3, "Bar-1", layout));
    ASSERT_TRUE(WaitUntil([&] { return count() == "4"; }, 10000)) << count().toStdString();

    station.Kill();
    ASSERT_TRUE(station.Start());
    ASSERT_TRUE(WaitUntil([&] { return PortTaken(SOCK_DGRAM, port); }, 15000));
    SendUdp(port, OrderDatagram(1, "Bar-2", "Table 1: 1 x Tea, after the restart"));
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
