// The real station on an X display run by a window manager (openbox with its
// stock bindings: Alt+Tab switches windows, Alt+F4 closes the active one,
// Super+d shows the desktop). Restricted, the board keeps those keys from the
// window manager and stays open and in front; unrestricted, they work.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <QThread>

#include "StationProcess.h"
#include "common/TestNet.h"
#include "common/TestSupport.h"
#include "common/XSession.h"
#include "platform/IniFile.h"

namespace {

class KioskStation : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(x_.Start());
        // Somewhere for Alt+Tab to go: another client's window, mapped first
        // so that the station's board is the newest and active one.
        other_.setProcessEnvironment(x_.Environment());
        other_.start("xmessage", {"-geometry", "300x100+20+20", "another program"});
        ASSERT_TRUE(other_.waitForStarted(10000));
        ASSERT_TRUE(WaitUntil(
            [&] {
                otherWindow_ = x_.Run("xdotool", {"search", "--onlyvisible", "--class", "Xmessage"})
                                   .split('\n')
                                   .value(0)
                                   .toUInt();
                return otherWindow_ != 0;
            },
            10000));
    }
    void TearDown() override {
        other_.kill();
        other_.waitForFinished(5000);
    }

    void StartStation(bool restricted) {
        port_ = FreePort(SOCK_DGRAM);
        station_.Configure({{"Communication", "0"},
                            {"Restriction", restricted ? "True" : "False"},
                            {"SoundNotification", "False"},
                            {"PortUDP", QString::number(port_)}});
        station_.SetDisplay(x_.Display());
        ASSERT_TRUE(station_.Start());
        ASSERT_TRUE(WaitUntil([&] { return BoardInFront(); }, 15000))
            << station_.Output().toStdString();
        // The board shows before it listens: orders sent earlier are lost.
        ASSERT_TRUE(WaitUntil([&] { return PortTaken(SOCK_DGRAM, port_); }, 15000));
    }

    // The active window is the station's.
    bool BoardInFront() const {
        const uint32_t window = x_.ActiveWindow();
        return window != 0 && x_.WindowPid(window) == station_.Pid();
    }

    // Gives the window manager time to act on a key it got.
    static void Settle() { QThread::msleep(400); }

    XSession x_;
    QProcess other_;
    uint32_t otherWindow_ = 0;
    int port_ = 0;
    StationProcess station_;
};

}  // namespace

TEST_F(KioskStation, RestrictedBoardKeepsWindowManagerKeys) {
    StartStation(true);
    const uint32_t board = x_.ActiveWindow();
    EXPECT_TRUE(WaitUntil(
        [&] { return x_.PropertyValues(board, "_NET_WM_STATE").contains("_NET_WM_STATE_ABOVE"); },
        5000));
    // The keyboard is the station's once nobody else can take it.
    WaitUntil(
        [&] {
            if (!x_.GrabKeyboard())
                return true;
            x_.ReleaseKeyboard();
            return false;
        },
        5000);
    for (const char* key : {"alt+F4", "alt+Tab", "super+d"}) {
        x_.Key(key);
        Settle();
        ASSERT_TRUE(BoardInFront())
            << key << " took the board from the front"
            << (WaitUntil([&] { return !station_.Running(); }, 3000) ? " and closed the station"
                                                                     : "");
    }
    // The station's own keys still reach it: F1 opens its help window.
    x_.Key("F1");
    EXPECT_TRUE(WaitUntil([&] { return x_.WindowName(x_.ActiveWindow()) == "Помощ"; }, 5000));
    x_.Key("Escape");
    EXPECT_TRUE(WaitUntil([&] { return BoardInFront(); }, 5000));
    station_.Stop();
}

TEST_F(KioskStation, ARightClickedPanelIsTheOrderTheKeysActOnAndOpensNoMenu) {
    StartStation(true);
    const QString backup = station_.DataFolder() + "BackUp.log";
    for (int i = 1; i <= 3; ++i)
        SendUdp(port_, OrderDatagram(i, "Bar-1", QString("Order %1").arg(QChar('A' + i - 1))));
    ASSERT_TRUE(WaitUntil(
        [&] { return platform::IniRead(backup, "OrdersCount", "Value", 255) == "3"; }, 10000));
    // The second of the four panels across the screen.
    x_.Run("xdotool", {"mousemove", "480", "300", "click", "3"});
    Settle();
    EXPECT_EQ(
        x_.Run("xdotool", {"search", "--onlyvisible", "--pid", QString::number(station_.Pid())})
            .split('\n')
            .size(),
        1)
        << "a menu opened";
    x_.Key("ctrl+Delete");  // Clear
    EXPECT_TRUE(WaitUntil(
        [&] { return platform::IniRead(backup, "OrdersCount", "Value", 255) == "2"; }, 5000));
    EXPECT_TRUE(ReadBytes(station_.DataFolder() + "history.txt").contains("Order B"));
    EXPECT_EQ(platform::IniRead(backup, "Order_00", "Row_000", 255), "Order A");
    station_.Stop();
}

TEST_F(KioskStation, UnrestrictedBoardLeavesThemToTheWindowManager) {
    StartStation(false);
    x_.Key("alt+Tab");
    ASSERT_TRUE(WaitUntil([&] { return x_.ActiveWindow() == otherWindow_; }, 5000));
    const uint32_t board = uint32_t(
        x_.Run("xdotool", {"search", "--onlyvisible", "--pid", QString::number(station_.Pid())})
            .split('\n')
            .value(0)
            .toUInt());
    x_.Run("xdotool", {"windowactivate", "--sync", QString::number(board)});
    ASSERT_TRUE(WaitUntil([&] { return BoardInFront(); }, 5000));
    x_.Key("alt+F4");
    EXPECT_TRUE(WaitUntil([&] { return !station_.Running(); }, 10000));
}
