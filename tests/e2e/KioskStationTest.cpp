// The real station on an X display run by a window manager (openbox with its
// stock bindings: Alt+Tab switches windows, Alt+F4 closes the active one,
// Super+d shows the desktop). Restricted, the board keeps those keys from the
// window manager and stays open and in front, and neither another program's
// window, an iconify, a desktop switch nor the end of its window leaves the
// station dead; unrestricted, the keys work. Restricted or not, a dialog
// whose window another client destroys gives the board its keys back.
#include <gtest/gtest.h>
#include <sys/socket.h>

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
        // The kiosk is in place last: a key that came before would open its
        // dialog under a board that is not kept yet.
        if (restricted) {
            ASSERT_TRUE(WaitUntil([&] { return Kept(x_.ActiveWindow()); }, 15000));
        }
    }

    // The active window is the station's.
    bool BoardInFront() const {
        const uint32_t window = x_.ActiveWindow();
        return window != 0 && x_.WindowPid(window) == station_.Pid();
    }

    // F1 opens the station's help window, in front.
    bool HelpOpened() {
        x_.Key("F1");
        return WaitUntil([&] { return x_.WindowName(x_.ActiveWindow()) == "Помощ"; }, 5000);
    }
    // Escape closes it and the board is in front again.
    bool HelpClosed() {
        x_.Key("Escape");
        return WaitUntil([&] { return BoardInFront(); }, 5000);
    }

    // The window is on every desktop and covers the screen.
    bool Kept(uint32_t window) const {
        return x_.PropertyValues(window, "_NET_WM_DESKTOP") == QStringList{"4294967295"} &&
               x_.PropertyValues(window, "_NET_WM_STATE").contains("_NET_WM_STATE_FULLSCREEN");
    }

    // The window is mapped and not iconified: it can be seen on the current
    // desktop.
    bool Shown(uint32_t window) const {
        return x_.Run("xwininfo", {"-id", QString::number(window)}).contains("IsViewable");
    }

    // One order on the board, new: what F9 acts on.
    QString SendOrder() {
        SendUdp(port_, OrderDatagramText(1, "Bar-1", "Table 4: 2 x Soup"));
        const QString backup = station_.DataFolder() + "BackUp.log";
        WaitUntil([&] { return platform::IniRead(backup, "OrdersCount", "Value", 255) == "1"; },
                  10000);
        return backup;
    }
    static QString IsNew(const QString& backup) {
        return platform::IniRead(backup, "Order_00", "IsNew", 255);
    }

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
        ASSERT_TRUE(x_.SyncWithWindowManager());
        ASSERT_TRUE(BoardInFront())
            << key << " took the board from the front"
            << (WaitUntil([&] { return !station_.Running(); }, 3000) ? " and closed the station"
                                                                     : "");
    }
    // The station's own keys still reach it: F1 opens its help window.
    EXPECT_TRUE(HelpOpened());
    EXPECT_TRUE(HelpClosed());
    station_.Stop();
}

TEST_F(KioskStation, RestrictedBoardTakesTheKeysBackFromANewWindow) {
    StartStation(true);
    const QString backup = SendOrder();
    ASSERT_EQ(IsNew(backup), "-1");
    // A notice of another program: the window manager gives it the focus.
    QProcess notice;
    notice.setProcessEnvironment(x_.Environment());
    notice.start("xmessage", {"-geometry", "300x100+400+400", "an update is ready"});
    ASSERT_TRUE(notice.waitForStarted(10000));
    ASSERT_TRUE(WaitUntil(
        [&] {
            return x_.Run("xdotool", {"search", "--onlyvisible", "--class", "Xmessage"})
                       .split('\n')
                       .size() == 2;
        },
        10000));
    // The window manager has given the notice the focus.
    ASSERT_TRUE(x_.SyncWithWindowManager());
    EXPECT_TRUE(WaitUntil([&] { return BoardInFront(); }, 5000));
    x_.Key("F9");
    EXPECT_TRUE(WaitUntil([&] { return IsNew(backup) == "0"; }, 5000))
        << "F9 did not reach the board";
    notice.kill();
    notice.waitForFinished(5000);
    station_.Stop();
}

TEST_F(KioskStation, ARightClickedPanelIsTheOrderTheKeysActOnAndOpensNoMenu) {
    StartStation(true);
    const QString backup = station_.DataFolder() + "BackUp.log";
    for (int i = 1; i <= 3; ++i)
        SendUdp(port_, OrderDatagramText(i, "Bar-1", QString("Order %1").arg(QChar('A' + i - 1))));
    ASSERT_TRUE(WaitUntil(
        [&] { return platform::IniRead(backup, "OrdersCount", "Value", 255) == "3"; }, 10000));
    // The second of the four panels across the screen.
    x_.Run("xdotool", {"mousemove", "480", "300", "click", "3"});
    x_.Key("ctrl+Delete");  // Clear
    EXPECT_TRUE(WaitUntil(
        [&] { return platform::IniRead(backup, "OrdersCount", "Value", 255) == "2"; }, 5000));
    // The click was handled before the key: a menu it opened would be open.
    EXPECT_EQ(
        x_.Run("xdotool", {"search", "--onlyvisible", "--pid", QString::number(station_.Pid())})
            .split('\n')
            .size(),
        1)
        << "a menu opened";
    EXPECT_TRUE(ReadBytes(station_.DataFolder() + "history.txt").contains("Order B"));
    EXPECT_EQ(platform::IniRead(backup, "Order_00", "Row_000", 255), "Order A");
    station_.Stop();
}

TEST_F(KioskStation, RestrictedDialogThatIsMinimizedComesBack) {
    StartStation(true);
    ASSERT_TRUE(HelpOpened());
    const uint32_t help = x_.ActiveWindow();
    x_.Run("xdotool", {"windowminimize", QString::number(help)});
    ASSERT_TRUE(x_.SyncWithWindowManager());
    EXPECT_TRUE(WaitUntil([&] { return Shown(help) && x_.ActiveWindow() == help; }, 5000))
        << "the help window stayed minimized";
    EXPECT_TRUE(HelpClosed()) << "the station does not answer";
    station_.Stop();
}

TEST_F(KioskStation, RestrictedBoardAndItsDialogStayOnAnotherDesktop) {
    StartStation(true);
    const uint32_t board = x_.ActiveWindow();
    ASSERT_TRUE(HelpOpened());
    const uint32_t help = x_.ActiveWindow();
    // Alt with the mouse wheel over the station: openbox's next desktop.
    x_.Run("xdotool", {"mousemove", "640", "500"});
    x_.Run("xdotool", {"keydown", "alt", "click", "5", "keyup", "alt"});
    ASSERT_TRUE(WaitUntil([&] { return x_.Run("xdotool", {"get_desktop"}) == "1"; }, 5000));
    EXPECT_TRUE(WaitUntil([&] { return Shown(board) && Shown(help); }, 5000))
        << "the station is not on the new desktop";
    EXPECT_TRUE(HelpClosed()) << "the station does not answer";
    station_.Stop();
}

TEST_F(KioskStation, RestrictedBoardIconifiedFromOutsideComesBack) {
    StartStation(true);
    const uint32_t board = x_.ActiveWindow();
    x_.Run("xdotool", {"windowminimize", QString::number(board)});
    ASSERT_TRUE(x_.SyncWithWindowManager());
    EXPECT_TRUE(WaitUntil([&] { return Shown(board) && BoardInFront(); }, 5000))
        << "the board stayed hidden";
    station_.Stop();
}

TEST_F(KioskStation, BoardWindowDestroyedFromOutsideEndsTheStationInOrder) {
    StartStation(true);
    const uint32_t board = x_.ActiveWindow();
    x_.Run("xdotool", {"windowclose", QString::number(board)});
    EXPECT_TRUE(station_.EndedCleanly(10000)) << "the station runs on without its board";
    // The settings were saved (the whole record, not only what was given)
    // and the keyboard is free again.
    EXPECT_TRUE(ReadBytes(station_.DataFolder() + "KestrelleApp.config").contains("[Skin]"));
    EXPECT_TRUE(x_.GrabKeyboard()) << "the keyboard is still taken";
    x_.ReleaseKeyboard();
}

// A dialog of the board (the help window, F1; the settings, Ctrl+S) whose
// window another client destroys, restricted or not: the station answers
// its keys again and opens the help window anew.
class KioskStationDialog : public KioskStation,
                           public ::testing::WithParamInterface<std::tuple<bool, const char*>> {};

TEST_P(KioskStationDialog, DestroyedFromOutsideGivesTheBoardItsKeysBack) {
    const auto [restricted, key] = GetParam();
    StartStation(restricted);
    const QString backup = SendOrder();
    ASSERT_EQ(IsNew(backup), "-1");
    const uint32_t board = x_.ActiveWindow();
    x_.Key(key);
    ASSERT_TRUE(WaitUntil([&] { return x_.ActiveWindow() != board && BoardInFront(); }, 5000))
        << key << " opened no dialog";
    x_.Run("xdotool", {"windowclose", QString::number(x_.ActiveWindow())});
    EXPECT_TRUE(WaitUntil([&] { return x_.ActiveWindow() == board; }, 5000))
        << "the board is not in front";
    x_.Key("F9");
    EXPECT_TRUE(WaitUntil([&] { return IsNew(backup) == "0"; }, 5000))
        << "F9 did not reach the board";
    EXPECT_TRUE(HelpOpened()) << "F1 opened nothing";
    EXPECT_TRUE(HelpClosed());
    station_.Stop();
}

INSTANTIATE_TEST_SUITE_P(
    HelpAndSettings, KioskStationDialog,
    ::testing::Combine(::testing::Bool(), ::testing::Values("F1", "ctrl+s")), [](const auto& test) {
        return std::string(std::get<0>(test.param) ? "Restricted" : "Unrestricted") +
               (std::get<1>(test.param) == std::string("F1") ? "Help" : "Settings");
    });

TEST_F(KioskStation, UnrestrictedBoardLeavesThemToTheWindowManager) {
    StartStation(false);
    x_.Key("alt+Tab");
    ASSERT_TRUE(WaitUntil([&] { return x_.ActiveWindow() == otherWindow_; }, 5000));
    const uint32_t board = uint32_t(
        x_.Run("xdotool", {"search", "--onlyvisible", "--pid", QString::number(station_.Pid())})
            .split('\n')
            .value(0)
            .toUInt());
    // The program's name and icon reach the window manager.
    EXPECT_TRUE(x_.PropertyValues(board, "WM_CLASS").contains("\"Kestrelle\""))
        << x_.PropertyValues(board, "WM_CLASS").join(", ").toStdString();
    EXPECT_FALSE(x_.PropertyValues(board, "_NET_WM_ICON").isEmpty());
    x_.Run("xdotool", {"windowactivate", "--sync", QString::number(board)});
    ASSERT_TRUE(WaitUntil([&] { return BoardInFront(); }, 5000));
    // Minimized, it stays so until someone brings it back.
    x_.Run("xdotool", {"windowminimize", "--sync", QString::number(board)});
    // An order, which the station handles after the minimize: it had its
    // turn to come back.
    const QString backup = SendOrder();
    ASSERT_EQ(IsNew(backup), "-1");
    EXPECT_FALSE(Shown(board)) << "the unrestricted board came back by itself";
    x_.Run("xdotool", {"windowactivate", "--sync", QString::number(board)});
    ASSERT_TRUE(WaitUntil([&] { return BoardInFront(); }, 5000));
    x_.Key("alt+F4");
    EXPECT_TRUE(WaitUntil([&] { return !station_.Running(); }, 10000));
}
