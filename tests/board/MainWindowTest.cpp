// The board window driven offscreen: the controller's rules, the arrived
// orders through a real UDP socket, and the backup across a restart.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <cerrno>
#include <cstring>

#include "board/ArrivalsBoard.h"
#include "board/ArrivalsStore.h"
#include "board/BoardTestAccess.h"
#include "board/HotKeys.h"
#include "board/MainWindow.h"
#include "common/ImTerminal.h"
#include "common/TestNet.h"
#include "common/TestSupport.h"
#include "core/Configuration.h"
#include "core/ErrorController.h"
#include "core/ModCommon.h"
#include "core/ModSkin.h"
#include "data/NomUsers.h"
#include "localization/BuiltInTexts.h"
#include "localization/ResManagerClass.h"
#include "network/ModServer.h"
#include "platform/CodePage.h"
#include "platform/Files.h"
#include "platform/IniFile.h"
#include "platform/Runtime.h"
#include "platform/controls/CommandButton.h"
#include "platform/controls/ControlIndex.h"
#include "platform/controls/RichTextBox.h"
#include "platform/controls/SkinManager.h"

class MainWindowTest : public TempAppDataTest {
protected:
    void SetUp() override {
        TempAppDataTest::SetUp();
        if (ResManager().CountResources() == 0)
            RegisterBuiltInTexts();
        ConfigurationSettings.ConfigFile = GetConfigFileName();
        ConfigurationSettings.Restriction = false;
        ConfigurationSettings.SoundNotification = false;
        ConfigurationSettings.PortUDP = FreePort(SOCK_DGRAM);
        LoadHotKeys();
        window_ = std::make_unique<MainWindow>();
        window_->resize(1024, 768);
    }
    void TearDown() override {
        window_.reset();
        TempAppDataTest::TearDown();
    }

    ArrivalsBoard& arrivals() { return BoardTestAccess::Arrivals(*window_); }
    // An order handed to the board as the socket or the message server hand it.
    void Arrive(const QString& text) { BoardTestAccess::AddArrivedOrder(*window_, text); }
    void Add(int n) {
        for (int i = 0; i < n; ++i)
            Arrive(QString("Order %1").arg(arrivals().Arrivals().size() + 1));
    }
    int Button(const char* tag) { return window_->GetActionButtonIndex(tag); }
    bool Enabled(const char* tag) { return window_->btnAction(Button(tag))->Enabled(); }
    void Press(const char* tag) { window_->btnAction_Click(Button(tag)); }
    // The board's controls, found by name (and index).
    QLabel* lblOrdersStatus() const {
        return window_->findChild<QLabel*>(QStringLiteral("lblOrdersStatus"));
    }
    QLabel* lblPassedTime() const {
        return window_->findChild<QLabel*>(QStringLiteral("lblPassedTime"));
    }
    platform::RichTextBox* rtbOrder(int index) const {
        return qobject_cast<platform::RichTextBox*>(
            platform::FindIndexedControl(window_.get(), QStringLiteral("rtbOrder"), index));
    }
    QLabel* lblTime(int index) const {
        return qobject_cast<QLabel*>(
            platform::FindIndexedControl(window_.get(), QStringLiteral("lblTime"), index));
    }

    bool WaitForOrders(int count) {
        return PumpEventsUntil([&] { return window_->GetOrdersCount() >= count; }, 3000);
    }

    std::unique_ptr<MainWindow> window_;
};

TEST_F(MainWindowTest, ActiveOrderIsClampedAndShown) {
    window_->InitForm();
    window_->SetActiveOrder(5);
    EXPECT_EQ(window_->ActiveOrder(), 0);
    EXPECT_EQ(lblOrdersStatus()->text(), "0 / 0");
    Add(3);
    window_->SetActiveOrder(0);
    EXPECT_EQ(window_->ActiveOrder(), 1);
    window_->SetActiveOrder(-4);
    EXPECT_EQ(window_->ActiveOrder(), 1);
    window_->SetActiveOrder(10);
    EXPECT_EQ(window_->ActiveOrder(), 3);
    EXPECT_EQ(lblOrdersStatus()->text(), "3 / 3");
}

TEST_F(MainWindowTest, NavigationStaysInsideTheOrdersAndPanels) {
    window_->InitForm();
    Add(6);
    Press("First");
    EXPECT_EQ(window_->ActiveOrder(), 1);
    EXPECT_EQ(window_->ActivePanel(), 0);
    EXPECT_FALSE(Enabled("Previous"));
    window_->btnAction_Click(Button("Previous"));  // pressed anyway
    EXPECT_EQ(window_->ActiveOrder(), 1);
    EXPECT_EQ(window_->ActivePanel(), 0);
    for (int i = 0; i < 8; ++i)
        Press("Next");
    EXPECT_EQ(window_->ActiveOrder(), 6);
    EXPECT_EQ(window_->ActivePanel(), MainWindow::kOrderPanels - 1);
    EXPECT_FALSE(Enabled("Next"));
    EXPECT_FALSE(Enabled("Last"));
    EXPECT_TRUE(Enabled("First"));
    // The focused panel shows the active order.
    EXPECT_EQ(platform::ControlTag(rtbOrder(window_->ActivePanel())), "6");
    EXPECT_EQ(rtbOrder(window_->ActivePanel())->Text(), "Order 6");
    Press("First");
    Press("Last");
    EXPECT_EQ(window_->ActiveOrder(), 6);
    EXPECT_EQ(window_->ActivePanel(), MainWindow::kOrderPanels - 1);
}

TEST_F(MainWindowTest, EnableTableOfModeZero) {
    window_->InitForm();
    EXPECT_EQ(window_->btnAction(7)->Tag(), "Clear");
    EXPECT_FALSE(Enabled("Up"));
    EXPECT_FALSE(Enabled("Down"));
    EXPECT_FALSE(Enabled("Login"));
    EXPECT_FALSE(Enabled("Clear"));  // no order
    EXPECT_TRUE(Enabled("Help"));
    EXPECT_TRUE(Enabled("Exit"));
    EXPECT_TRUE(Enabled("Setup"));  // the default user has level 2
    Add(2);
    EXPECT_TRUE(Enabled("Clear"));
    EXPECT_TRUE(Enabled("Finish"));  // the focused panel shows a new order
    Users().ActiveUser().Setlevel(1);
    window_->EnableActionButtons(true);
    EXPECT_FALSE(Enabled("Setup"));
    window_->EnableActionButtons(false);
    for (int i = 0; i < MainWindow::kActionButtons; ++i)
        EXPECT_FALSE(window_->btnAction(i)->Enabled());
}

TEST_F(MainWindowTest, FinishEndsTheNewStateAndClearMovesTheOrderToHistory) {
    window_->InitForm();
    Add(1);
    ASSERT_TRUE(Enabled("Finish"));
    Press("Finish");
    EXPECT_FALSE(arrivals().Arrivals()[0].IsNew);
    EXPECT_FALSE(Enabled("Finish"));
    EXPECT_EQ(platform::IniRead(ArrivalsBoard::BackupFilePath(), "Order_00", "IsNew", 255), "0");
    Press("Clear");
    EXPECT_EQ(window_->GetOrdersCount(), 0);
    EXPECT_EQ(window_->ActiveOrder(), 0);
    EXPECT_FALSE(Enabled("Finish"));
    EXPECT_EQ(platform::IniRead(ArrivalsBoard::BackupFilePath(), "OrdersCount", "Value", 255), "0");
    EXPECT_TRUE(ReadBytes(ArrivalsBoard::HistoryFilePath()).contains("\r\nOrder 1\r\n\r\n"));
}

TEST_F(MainWindowTest, ClearInTheMiddleRewritesTheBackup) {
    window_->InitForm();
    Add(4);
    window_->SetActiveOrder(2);
    Press("Clear");
    ASSERT_EQ(window_->GetOrdersCount(), 3);
    EXPECT_EQ(window_->ActiveOrder(), 1);
    const QString file = ArrivalsBoard::BackupFilePath();
    EXPECT_EQ(platform::IniRead(file, "OrdersCount", "Value", 255), "3");
    EXPECT_EQ(platform::IniRead(file, "Order_01", "Row_000", 255), "Order 3");
    EXPECT_EQ(platform::IniRead(file, "Order_02", "Row_000", 255), "Order 4");
}

TEST_F(MainWindowTest, AfterClearTheKeysActOnTheHighlightedOrder) {
    window_->show();
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get(), 3000));
    window_->InitForm();
    Add(3);
    QTest::mouseClick(rtbOrder(1)->viewport(), Qt::LeftButton);
    ASSERT_EQ(window_->ActiveOrder(), 2);
    ASSERT_EQ(window_->ActivePanel(), 1);
    Press("Clear");
    ASSERT_EQ(window_->ActiveOrder(), 1);
    BoardTestAccess::timArrival_Timer(*window_);
    platform::RichTextBox* white = nullptr;
    for (int i = 0; i < MainWindow::kOrderPanels; ++i)
        if (rtbOrder(i)->BackColor() == QColor(255, 255, 255))
            white = rtbOrder(i);
    ASSERT_NE(white, nullptr);
    EXPECT_EQ(white->Text(), "Order 1");
    QTest::keyClick(window_.get(), Qt::Key_F9);  // Finish
    EXPECT_FALSE(arrivals().Arrivals()[0].IsNew);
    EXPECT_TRUE(arrivals().Arrivals()[1].IsNew);
}

TEST_F(MainWindowTest, TheHighlightIsTheActiveOrderHoweverThePanelGetsTheFocus) {
    window_->show();
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get(), 3000));
    window_->InitForm();
    // Long orders: every panel has a scroll bar to read them by.
    for (int i = 1; i <= 3; ++i)
        Arrive(QString("Order %1").arg(i) + QString("\r\nline").repeated(80));
    ASSERT_EQ(window_->ActiveOrder(), 1);
    const auto highlighted = [&] {
        BoardTestAccess::timArrival_Timer(*window_);
        for (int i = 0; i < MainWindow::kOrderPanels; ++i)
            if (rtbOrder(i)->BackColor() == QColor(255, 255, 255))
                return platform::ControlTag(rtbOrder(i));
        return QString();
    };

    QTest::keyClick(rtbOrder(0), Qt::Key_Tab);
    EXPECT_EQ(highlighted(), "2");
    EXPECT_EQ(lblOrdersStatus()->text(), "2 / 3");

    QScrollBar* bar = rtbOrder(2)->verticalScrollBar();
    // The panel lays its long text out when the event loop next runs.
    ASSERT_TRUE(PumpEventsUntil([&] { return bar->isVisible(); }, 3000));
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() / 2, bar->height() - 40));
    EXPECT_EQ(highlighted(), "3");
    EXPECT_EQ(lblOrdersStatus()->text(), "3 / 3");
    QTest::keyClick(window_.get(), Qt::Key_Delete, Qt::ControlModifier);  // Clear
    EXPECT_TRUE(ReadBytes(ArrivalsBoard::HistoryFilePath()).contains("\r\nOrder 3\r\n"));
    ASSERT_EQ(window_->GetOrdersCount(), 2);
    EXPECT_TRUE(arrivals().Arrivals()[0].Text.startsWith("Order 1"));
}

TEST_F(MainWindowTest, AClickIntoAPanelLeavesItsViewWhereItWas) {
    window_->show();
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get(), 3000));
    window_->InitForm();
    Arrive("Table 9" + QString("\r\n1 x Soup").repeated(120));
    platform::RichTextBox* panel = rtbOrder(0);
    QScrollBar* bar = panel->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    bar->setValue(bar->maximum());
    QTest::mouseClick(panel->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(bar->value(), bar->maximum()) << "the order went back to its top";
    EXPECT_EQ(panel->textCursor().selectedText(), "");
}

TEST_F(MainWindowTest, FinishIsOfferedAndBlinksOnlyForANewOrder) {
    const QString previousLog = ErrorLogger().LogFileName();
    ErrorLogger().SetLogFileName(PathIn("Error.log"));
    window_->InitForm();  // a fresh day: no order
    EXPECT_FALSE(Enabled("Finish"));
    BoardTestAccess::TimerNewOrder_Timer(*window_);
    const QImage still = SkinManager().GetButtonPicture("Kestrelle").toImage();
    EXPECT_EQ(window_->btnAction(Button("Finish"))->Picture().toImage(), still);
    QTest::keyClick(window_.get(), Qt::Key_F9);
    EXPECT_FALSE(QFile::exists(PathIn("Error.log")))
        << ReadBytes(PathIn("Error.log")).toStdString();

    // A new order: both phases of the blink show a picture, and not the same.
    Add(1);
    ASSERT_TRUE(Enabled("Finish"));
    BoardTestAccess::TimerNewOrder_Timer(*window_);
    const QImage first = window_->btnAction(Button("Finish"))->Picture().toImage();
    BoardTestAccess::TimerNewOrder_Timer(*window_);
    const QImage second = window_->btnAction(Button("Finish"))->Picture().toImage();
    EXPECT_FALSE(first.isNull());
    EXPECT_FALSE(second.isNull());
    EXPECT_NE(first, second);
    ErrorLogger().SetLogFileName(previousLog);
}

TEST_F(MainWindowTest, TheStatusBarIsReadableUnderEverySkin) {
    // WCAG's contrast ratio between the label's background and its text.
    const auto luminance = [](QRgb c) {
        const auto channel = [](int v) {
            const double s = v / 255.0;
            return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(qRed(c)) + 0.7152 * channel(qGreen(c)) + 0.0722 * channel(qBlue(c));
    };
    const QString saved = SkinManager().SelectedSkin();
    window_->show();
    window_->InitForm();
    for (int i = 0; i < SkinManager().Count(); ++i) {
        const QString skin = SkinManager().Item(i);
        SkinManager().SetSelectedSkin(skin);
        ApplySkinToForm(window_.get());
        for (QLabel* label : {window_->Panels(1), lblOrdersStatus()}) {
            label->setText("UDP 127.0.0.1:7002");
            const QImage image = label->grab().toImage();
            const double back = luminance(image.pixel(1, 1));
            double ratio = 1;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) {
                    const double l = luminance(image.pixel(x, y));
                    ratio =
                        std::max(ratio, (std::max(l, back) + 0.05) / (std::min(l, back) + 0.05));
                }
            EXPECT_GE(ratio, 4.5) << skin.toStdString() << " " << label->objectName().toStdString();
        }
    }
    SkinManager().SetSelectedSkin(saved);
    ApplySkinToForm(window_.get());
}

TEST_F(MainWindowTest, HotKeysRespectLevelAndSkipDownAndNumLock) {
    window_->InitForm();
    Add(3);
    int key = 37;  // Left: Previous
    Press("Last");
    window_->Form_KeyDown(key, 0);
    EXPECT_EQ(key, 0);
    EXPECT_EQ(window_->ActiveOrder(), 2);

    Users().ActiveUser().Setlevel(1);
    key = 83;  // Ctrl+S: Setup, refused to level 1
    window_->Form_KeyDown(key, 2);
    EXPECT_EQ(key, 83);
    key = 39;  // the same user may use every other key
    window_->Form_KeyDown(key, 0);
    EXPECT_EQ(key, 0);
    EXPECT_EQ(window_->ActiveOrder(), 3);

    key = 40;
    window_->Form_KeyDown(key, 0);
    EXPECT_EQ(key, 40);
    key = 144;
    window_->Form_KeyDown(key, 0);
    EXPECT_EQ(key, 144);
    key = 116;  // F5 names Refresh, which mode 0 does not have: nothing happens
    window_->Form_KeyDown(key, 0);
    EXPECT_EQ(window_->GetOrdersCount(), 3);
    EXPECT_EQ(window_->ActiveOrder(), 3) << "F5 pressed another button";
}

TEST_F(MainWindowTest, AgesTurnRedAtTenMinutesAndGreyWhenFinished) {
    const QDateTime start(QDate(2026, 12, 8), QTime(12, 0, 0));
    rt::SetNow(start);
    window_->InitForm();
    Add(2);
    window_->SetActiveOrder(1);
    window_->SetActivePanel(0);
    window_->RefreshOrderPanels();
    rt::SetNow(start.addSecs(599));
    BoardTestAccess::timArrival_Timer(*window_);
    EXPECT_EQ(lblTime(0)->text(), "00:09:59");
    EXPECT_EQ(lblTime(0)->palette().color(QPalette::WindowText), QColor(0, 0, 0));
    rt::SetNow(start.addSecs(600));
    BoardTestAccess::timArrival_Timer(*window_);
    EXPECT_EQ(lblTime(0)->text(), "00:10:00");
    EXPECT_EQ(lblTime(0)->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    arrivals().Store().Finish(1);
    BoardTestAccess::timArrival_Timer(*window_);
    EXPECT_EQ(lblTime(1)->palette().color(QPalette::WindowText), QColor(128, 128, 128));
    EXPECT_EQ(lblTime(2)->text(), "00:00:00");
    EXPECT_EQ(rtbOrder(0)->BackColor(), QColor(255, 255, 255));
}

// A datagram, a terminal's message or the board's end that is waiting runs
// after these, never in the middle of them.
TEST_F(MainWindowTest, TimersClearAndHotKeysRunNoOtherHandlerInside) {
    window_->InitForm();
    Add(3);
    const QStringList after{"returned", "queued"};
    EXPECT_EQ(QueuedHandlerOrder([&] { BoardTestAccess::timArrival_Timer(*window_); }), after);
    EXPECT_EQ(QueuedHandlerOrder([&] { BoardTestAccess::tmrClock_Timer(*window_); }), after);
    EXPECT_EQ(QueuedHandlerOrder([&] { Press("Clear"); }), after);
    ASSERT_EQ(window_->GetOrdersCount(), 2);
    EXPECT_EQ(QueuedHandlerOrder([] { LoadHotKeys(); }), after);
}

TEST_F(MainWindowTest, DatagramsArriveAndSurviveARestart) {
    window_->InitForm();
    ASSERT_NE(arrivals().Server(), nullptr);
    const int port = ConfigurationSettings.PortUDP;
    SendUdp(port, OrderDatagramText(1, "T1", "Table 4\r\n2 x Soup"));
    SendUdp(port, OrderDatagramText(1, "T1", "repeat of 1"));
    SendUdp(port, OrderDatagramText(2, "T2", "Маса 5: 1 x Кафе"));
    SendUdp(port, OrderDatagramText(3, "T1", "nineteen!"));  // 19 characters: ignored
    SendUdp(port, OrderDatagramText(2, "T1", "third order here"));
    SendUdp(port,
            OrderDatagramText(3, "T2", QString("Table 6:") + QChar(0) + " 1 x Tea" + QChar(0)));
    ASSERT_TRUE(WaitForOrders(4));
    QApplication::processEvents();
    EXPECT_EQ(window_->GetOrdersCount(), 4);
    EXPECT_EQ(arrivals().Arrivals()[0].Text, "Table 4\r\n2 x Soup");
    EXPECT_EQ(arrivals().Arrivals()[1].Text, "Маса 5: 1 x Кафе");
    EXPECT_EQ(arrivals().Arrivals()[2].Text, "third order here");
    // NUL is kept neither on the board nor in the backup.
    EXPECT_EQ(arrivals().Arrivals()[3].Text, "Table 6: 1 x Tea");
    EXPECT_EQ(window_->ActiveOrder(), 1);
    window_->btnAction_Click(Button("Finish"));

    window_ = std::make_unique<MainWindow>();
    window_->InitForm();
    ASSERT_EQ(window_->GetOrdersCount(), 4);
    EXPECT_EQ(arrivals().Arrivals()[3].Text, "Table 6: 1 x Tea");
    EXPECT_EQ(window_->ActiveOrder(), 1);
    EXPECT_EQ(window_->ActivePanel(), 0);
    EXPECT_EQ(arrivals().Arrivals()[0].Text, "Table 4\r\n2 x Soup");
    EXPECT_FALSE(arrivals().Arrivals()[0].IsNew);
    EXPECT_TRUE(arrivals().Arrivals()[2].IsNew);
    EXPECT_EQ(rtbOrder(1)->Text(), "Маса 5: 1 x Кафе");
}

TEST_F(MainWindowTest, AnArrivalLeavesAPanelThatShowsTheSameOrderAsItWas) {
    window_->show();
    window_->InitForm();
    QStringList lines;
    for (int i = 1; i <= 80; ++i)
        lines << QString("%1 x Soup").arg(i);
    Arrive(lines.join("\r\n"));
    platform::RichTextBox* first = rtbOrder(0);
    QScrollBar* bar = first->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 10);
    bar->setValue(bar->maximum() / 2);
    const int scrolled = bar->value();
    Add(2);
    ASSERT_EQ(window_->GetOrdersCount(), 3);
    EXPECT_EQ(platform::ControlTag(first), "1");
    EXPECT_EQ(first->Text(), lines.join("\n"));
    EXPECT_EQ(bar->value(), scrolled);
    EXPECT_EQ(rtbOrder(2)->Text(), "Order 3");
}

TEST_F(MainWindowTest, OrdersComingAndGoingLeaveTheMemoryAsItWas) {
    window_->show();
    window_->InitForm();
    const auto cycle = [&](int orders) {
        for (int i = 0; i < orders; ++i) {
            Add(1);
            QApplication::processEvents();
            Press("Clear");
            QApplication::processEvents();
        }
    };
    cycle(200);
    const qint64 before = ResidentBytes();
    cycle(1000);
    EXPECT_EQ(window_->GetOrdersCount(), 0);
    EXPECT_LT(ResidentBytes() - before, 2 << 20)
        << "kilobytes: " << (ResidentBytes() - before) / 1024;
}

TEST_F(MainWindowTest, TheNewestOrderIsSelectedWhenAsked) {
    ConfigurationSettings.FocusNewOrder = true;
    window_->InitForm();
    Add(3);
    EXPECT_EQ(window_->ActiveOrder(), 3);
    ConfigurationSettings.FocusNewOrder = false;
    Add(1);
    EXPECT_EQ(window_->ActiveOrder(), 3);
}

TEST_F(MainWindowTest, MessageServerOrdersReachTheBoardAndARestartDropsTheOldClients) {
    ConfigurationSettings.Communication = 1;
    ConfigurationSettings.PortTCP = FreePort(SOCK_STREAM);
    window_->InitForm();
    EXPECT_TRUE(window_->Panels(1)->text().startsWith(" IM  "));
    const int fd = ConnectTcp(ConfigurationSettings.PortTCP);
    ASSERT_GE(fd, 0);
    const QString name = arrivals().ImServer().ImServerName();
    const QByteArray message = platform::ToAnsi(QString("CON\x02T1\x04ORD\x02T1\x02") + name +
                                                QString("\x02") + "17\x03" + "2 x Супа\x04");
    ASSERT_EQ(::send(fd, message.constData(), size_t(message.size()), 0), message.size());
    ASSERT_TRUE(WaitForOrders(1));
    EXPECT_EQ(arrivals().Arrivals()[0].Text, "2 x Супа");

    // A second start closes the connection of the first.
    window_->InitForm();
    EXPECT_TRUE(PumpEventsUntil(
        [fd] {
            char byte;
            return ::recv(fd, &byte, 1, MSG_DONTWAIT) == 0;
        },
        3000));
    ::close(fd);
    EXPECT_EQ(window_->GetOrdersCount(), 1);  // restored from the backup
}

TEST_F(MainWindowTest, AnOrderIsSavedAndAcknowledgedBeforeThePanelsShowIt) {
    window_->InitForm();
    QString shownWhenSaved = "not saved";
    BoardTestAccess::AddArrivedOrder(*window_, "Soup",
                                     [&] { shownWhenSaved = rtbOrder(0)->Text(); });
    ASSERT_TRUE(PumpEventsUntil(
        [&] { return shownWhenSaved != "not saved" && rtbOrder(0)->Text() == "Soup"; }, 3000));
    EXPECT_EQ(shownWhenSaved, "");
}

TEST_F(MainWindowTest, ATakenPortIsLoggedAndShownAndALaterStartTakesIt) {
    const QString previousLog = ErrorLogger().LogFileName();
    ErrorLogger().SetLogFileName(PathIn("Error.log"));
    for (const int type : {SOCK_DGRAM, SOCK_STREAM}) {
        const int port = FreePort(type);
        const bool udp = type == SOCK_DGRAM;
        ConfigurationSettings.Communication = udp ? 0 : 1;
        (udp ? ConfigurationSettings.PortUDP : ConfigurationSettings.PortTCP) = port;
        const QString prefix = udp ? " UDP  " : " IM  ";
        // Another program holds the port.
        const int holder = ::socket(AF_INET, type, 0);
        sockaddr_in any{};
        any.sin_family = AF_INET;
        any.sin_port = htons(uint16_t(port));
        ASSERT_EQ(::bind(holder, reinterpret_cast<sockaddr*>(&any), sizeof any), 0);
        if (!udp)
            ::listen(holder, 1);
        window_->InitForm();
        EXPECT_EQ(window_->Panels(1)->text(),
                  prefix + ":" + QString::number(port) + " (10048) Address already in use.");
        const QString log = platform::FromAnsi(ReadBytes(PathIn("Error.log")));
        EXPECT_EQ(log.count("Error code:      10048"), udp ? 1 : 2) << log.toStdString();
        EXPECT_TRUE(log.contains("Method Name:     MainWindow.InitForm"));

        // Free again: the next start (Setup, restart) takes it.
        ::close(holder);
        window_->InitForm();
        EXPECT_TRUE(QRegularExpression("^" + prefix + "[0-9.]+:" + QString::number(port) + "$")
                        .match(window_->Panels(1)->text())
                        .hasMatch())
            << window_->Panels(1)->text().toStdString();
        EXPECT_TRUE(PortTaken(type, port));
    }
    ErrorLogger().SetLogFileName(previousLog);
}

TEST_F(MainWindowTest, KeysReachTheBoardBeforeItsControls) {
    window_->InitForm();
    Add(4);
    window_->SetActiveOrder(1);
    window_->EnableActionButtons(true);
    QTest::keyClick(rtbOrder(0), Qt::Key_Right);
    EXPECT_EQ(window_->ActiveOrder(), 2);
    QTest::keyClick(window_.get(), Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(window_->ActiveOrder(), 4);
    QTest::keyClick(window_.get(), Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(window_->ActiveOrder(), 1);
    QTest::keyClick(window_.get(), Qt::Key_F9);  // Finish on the focused new order
    EXPECT_FALSE(arrivals().Arrivals()[0].IsNew);
    QTest::keyClick(window_.get(), Qt::Key_Delete, Qt::ControlModifier);  // Clear
    EXPECT_EQ(window_->GetOrdersCount(), 3);
}

TEST_F(MainWindowTest, ClockFitsTheScreenAndTheWaitingTimeIsCentredInThePanelFont) {
    rt::SetNow(QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)));
    BoardTestAccess::tmrClock_Timer(*window_);
    rt::ClearNow();
    // An 800 x 600 screen is a small one: the short form.
    EXPECT_EQ(window_->Panels(4)->text(),
              QString(GetScreenWidthPixels() <= 800 ? "05.03.24 14:07" : "05.03.2024 14:07:09"));

    // For a person to look at: the board with orders, as large as the screen.
    BoardTestAccess::Form_Load(*window_);
    window_->InitForm();
    Add(3);
    window_->resize(QGuiApplication::primaryScreen()->size());
    SaveScreenshot(window_.get(), "board");

    window_->resize(1000, 700);
    QLabel* passed = lblPassedTime();
    const QFont panel = rtbOrder(0)->font();
    EXPECT_EQ(passed->font().pointSize(), panel.pointSize());
    EXPECT_EQ(passed->font().bold(), panel.bold());
    // The text stands in the middle of the label, whole.
    const QImage image = passed->grab().toImage();
    const QColor background = passed->palette().color(passed->backgroundRole());
    int left = image.width(), right = -1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(image.pixel(x, y)) < qGray(background.rgb()) - 64) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
    }
    ASSERT_GE(right, left);
    EXPECT_LE(std::abs(left - (image.width() - 1 - right)), 2);
    EXPECT_GT(left, 0);
}

namespace {

// The messages of a terminal that name an acknowledgement of its order.
bool Acknowledged(ImTerminal& t, const QString& sender, int id) {
    return t.MessagesOf("ORA").contains(
        "ORA\x02"
        "ACK\x02" +
        sender + "\x02" + QString::number(id));
}

// Error.log's blocks of one method, or of every method for an empty name.
int ErrorBlocks(const QString& method = QString()) {
    return int(platform::FromAnsi(ReadBytes(ErrorLogger().LogFileName()))
                   .count("Method Name:     " + method));
}

bool SetImmutable(const QString& path, bool on) {
    return QProcess::execute("chattr", {on ? "+i" : "-i", path}) == 0;
}

}  // namespace

TEST_F(MainWindowTest, AnOrderThatCannotBeSavedIsShownButNotAcknowledgedUntilItIs) {
    ConfigurationSettings.Communication = 1;
    ConfigurationSettings.PortTCP = FreePort(SOCK_STREAM);
    window_->InitForm();
    arrivals().Store().SetRetryInterval(50);
    const QString server = arrivals().ImServer().ImServerName();
    const QString backup = ArrivalsBoard::BackupFilePath();
    ImTerminal t(uint16_t(ConfigurationSettings.PortTCP));
    t.SendText(ConMessage("T1") + OrdMessage("T1", server, "1", "Soup"));
    ASSERT_TRUE(PumpEventsUntil([&] { return Acknowledged(t, "T1", 1); }, 5000));

    // The file refuses every write, as an immutable file or a full disk does.
    ASSERT_TRUE(SetImmutable(backup, true));
    t.SendText(OrdMessage("T1", server, "2", "Tea") + OrdMessage("T1", server, "3", "Bread"));
    ASSERT_TRUE(WaitForOrders(3));
    PumpEvents(300);
    const bool acknowledgedUnsaved = Acknowledged(t, "T1", 2) || Acknowledged(t, "T1", 3);
    const int blocks = ErrorBlocks("MainWindow.SaveArrivalsBackup");
    const QString shown = window_->Panels(1)->text();
    ASSERT_TRUE(SetImmutable(backup, false));
    EXPECT_FALSE(acknowledgedUnsaved);
    EXPECT_EQ(blocks, 1);  // once for the whole episode, not once per try
    EXPECT_TRUE(shown.contains("BackUp.log")) << shown.toStdString();

    // Writable again: without a restart the file holds every order shown, the
    // terminal has its acknowledgements and the status bar its address.
    ASSERT_TRUE(PumpEventsUntil(
        [&] { return Acknowledged(t, "T1", 2) && Acknowledged(t, "T1", 3); }, 5000));
    EXPECT_EQ(ReadBytes(backup), BuildBackupFile(arrivals().Arrivals()).Bytes);
    EXPECT_TRUE(window_->Panels(1)->text().startsWith(" IM  "));
    window_ = std::make_unique<MainWindow>();
    window_->InitForm();
    ASSERT_EQ(window_->GetOrdersCount(), 3);
    EXPECT_EQ(arrivals().Arrivals()[2].Text, "Bread");
}

TEST_F(MainWindowTest, ASaveThatAFullDiskRefusedIsInErrorLogOnceThereIsRoomAgain) {
    // The station's folder and its error log on a small disk of their own.
    const QString disk = PathIn("Quillbarrow");
    ASSERT_TRUE(QDir().mkpath(disk));
    ASSERT_EQ(::mount("tmpfs", QFile::encodeName(disk).constData(), "tmpfs", 0, "size=256k"), 0)
        << std::strerror(errno);
    struct Unmount {
        QByteArray path;
        ~Unmount() { ::umount2(path.constData(), MNT_DETACH); }
    } unmount{QFile::encodeName(disk)};
    ASSERT_TRUE(QDir().mkpath(QFileInfo(ArrivalsBoard::BackupFilePath()).path()));
    ErrorLogger().SetLogFileName(disk + "/Error.log");
    window_->InitForm();
    arrivals().Store().SetRetryInterval(50);
    Add(1);

    // Full to the last page: the next order's save fails, and so does the
    // Error.log entry that reports it.
    const QByteArray filler = QFile::encodeName(disk + "/filler");
    const int fd = ::open(filler.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    const QByteArray chunk(4096, 'f');
    while (::write(fd, chunk.constData(), size_t(chunk.size())) > 0) {
    }
    ::close(fd);
    Arrive(QString(6000, 'o'));
    ASSERT_TRUE(PumpEventsUntil([&] { return window_->Panels(1)->text().contains("BackUp.log"); }));

    ::unlink(filler.constData());
    ASSERT_TRUE(PumpEventsUntil([&] {
        const auto saved = LoadArrivalsBackupFile(ArrivalsBoard::BackupFilePath());
        return saved && saved->size() == 2;
    }));
    EXPECT_TRUE(PumpEventsUntil([&] { return ErrorBlocks("MainWindow.SaveArrivalsBackup") == 1; }))
        << ReadBytes(ErrorLogger().LogFileName()).toStdString();
    EXPECT_TRUE(ReadBytes(ErrorLogger().LogFileName()).contains("No space left on device"));
}

TEST_F(MainWindowTest, ADamagedBackupIsWrittenAgainAsTheListItGave) {
    WriteBytes(ArrivalsBoard::BackupFilePath(),
               "[OrdersCount]\r\nValue=3\r\n[Order_00]\r\nRow_000=A\r\nRows=1\r\n"
               "[Order_01\r\nRow_000=B\r\nRows=1\r\n[Order_02]\r\nRow_000=C\r\nRows=1\r\n");
    // What a save killed half-way leaves beside it goes at the start.
    const QString leftover =
        QFileInfo(ArrivalsBoard::BackupFilePath()).path() + "/.BackUp.log.Xq7Rz2";
    WriteBytes(leftover, "[OrdersCount]\r\nValue=1");
    window_->InitForm();
    EXPECT_FALSE(QFile::exists(leftover));
    Add(1);
    QStringList shown;
    for (const ArrivedOrder& o : arrivals().Arrivals())
        shown << o.Text;
    window_ = std::make_unique<MainWindow>();
    window_->InitForm();
    QStringList restored;
    for (const ArrivedOrder& o : arrivals().Arrivals())
        restored << o.Text;
    EXPECT_EQ(restored, shown);
}

TEST_F(MainWindowTest, AClearThatHistoryCannotTakeKeepsTheOrderAndSaysSo) {
    QDir().mkpath(ArrivalsBoard::HistoryFilePath());  // a folder in its place
    window_->InitForm();
    Add(2);
    Press("Clear");
    EXPECT_EQ(window_->GetOrdersCount(), 2);
    EXPECT_EQ(LoadArrivalsBackupFile(ArrivalsBoard::BackupFilePath())->size(), 2);
    EXPECT_TRUE(window_->Panels(1)->text().contains("history.txt"));
    EXPECT_EQ(window_->Panels(1)->textFormat(), Qt::PlainText);  // a path, shown as written
    EXPECT_EQ(ErrorBlocks("MainWindow.AppendOrderHistory"), 1);

    QDir().rmdir(ArrivalsBoard::HistoryFilePath());
    Press("Clear");
    EXPECT_EQ(window_->GetOrdersCount(), 1);
    EXPECT_TRUE(ReadBytes(ArrivalsBoard::HistoryFilePath()).endsWith("\r\nOrder 1\r\n\r\n"));
    EXPECT_TRUE(window_->Panels(1)->text().startsWith(" UDP  "));
}

// The order files are the station's own: a link planted at either is neither
// written through nor replaced, and the failed save or clear says so.
TEST_F(MainWindowTest, ALinkPlantedAtAnOrderFileIsRefusedAndReported) {
    const QString target = PathIn("elsewhere.txt");
    const QByteArray elsewhere = "somebody else's file\r\n";
    WriteBytes(target, elsewhere);
    ASSERT_TRUE(QFile::link(target, ArrivalsBoard::BackupFilePath()));
    window_->InitForm();
    Add(2);
    EXPECT_FALSE(arrivals().Store().Flush());
    EXPECT_EQ(ReadBytes(target), elsewhere);
    EXPECT_TRUE(QFileInfo(ArrivalsBoard::BackupFilePath()).isSymLink());
    EXPECT_EQ(ErrorBlocks("MainWindow.SaveArrivalsBackup"), 1);
    EXPECT_TRUE(window_->Panels(1)->text().contains("BackUp.log"));

    QFile::remove(ArrivalsBoard::BackupFilePath());
    ASSERT_TRUE(arrivals().Store().Flush());
    ASSERT_TRUE(QFile::link(target, ArrivalsBoard::HistoryFilePath()));
    Press("Clear");
    EXPECT_EQ(window_->GetOrdersCount(), 2);
    EXPECT_EQ(ReadBytes(target), elsewhere);
    EXPECT_EQ(ErrorBlocks("MainWindow.AppendOrderHistory"), 1);
    EXPECT_TRUE(window_->Panels(1)->text().contains("history.txt"));
}

TEST_F(MainWindowTest, SettingsNeverLoadedAreNotSavedAtTheEnd) {
    // A signal during the start ends the board before the settings are read.
    const QByteArray settings = "[Communication]\r\nValue=1\r\n[PortTCP]\r\nValue=7100\r\n";
    WriteBytes(ConfigurationSettings.ConfigFile, settings);
    BoardTestAccess::Form_Unload(*window_);
    EXPECT_EQ(ReadBytes(ConfigurationSettings.ConfigFile), settings);
}

// Every write step of the station's files fails in turn, the Nth in run N,
// in one scenario: orders of two terminals, a Finish, two Clears and a
// restart. After each run every acknowledged order is exactly once on the
// board or in history.txt, and the failure was logged. The first Clear
// creates history.txt: when its name cannot be put on the disk, the order
// stays on the board and the status bar says so.
TEST_F(MainWindowTest, EachFailingWriteOfAScenarioLosesAndDoublesNothing) {
    ConfigurationSettings.Communication = 1;
    const QString history = ArrivalsBoard::HistoryFilePath();
    bool completed = false;
    bool historyCreationFailed = false;
    for (int n = 1; n <= 200 && !completed; ++n) {
        QFile::remove(ArrivalsBoard::BackupFilePath());
        QFile::remove(history);
        QFile::remove(ErrorLogger().LogFileName());
        ConfigurationSettings.PortTCP = FreePort(SOCK_STREAM);
        window_ = std::make_unique<MainWindow>();
        window_->InitForm();
        arrivals().Store().SetRetryInterval(20);
        int step = 0;
        bool failed = false;
        bool creationFailed = false;
        platform::SetFileStepFaultForTesting([&](const QString& path, platform::FileStep kind) {
            if (path == ErrorLogger().LogFileName() || ++step != n)
                return false;
            failed = true;
            creationFailed = path == history && kind == platform::FileStep::FolderFlush;
            return true;
        });
        const QString server = arrivals().ImServer().ImServerName();
        const uint16_t port = uint16_t(ConfigurationSettings.PortTCP);
        ImTerminal t1(port), t2(port);
        const QString a = QString("A%1").arg(n), b = QString("B%1").arg(n),
                      c = QString("C%1").arg(n);
        t1.SendText(ConMessage("T1") + OrdMessage("T1", server, "1", a));
        t2.SendText(ConMessage("T2") + OrdMessage("T2", server, "1", b));
        t1.SendText(OrdMessage("T1", server, "2", c));
        const bool acknowledged = PumpEventsUntil(
            [&] {
                return Acknowledged(t1, "T1", 1) && Acknowledged(t1, "T2", 1) &&
                       Acknowledged(t1, "T1", 2);
            },
            5000);
        window_->SetActiveOrder(1);
        Press("Finish");
        const int before = window_->GetOrdersCount();
        Press("Clear");
        if (creationFailed) {
            historyCreationFailed = true;
            EXPECT_EQ(window_->GetOrdersCount(), before) << "write " << n;
            EXPECT_TRUE(window_->Panels(1)->text().contains("history.txt")) << "write " << n;
            EXPECT_EQ(ErrorBlocks("MainWindow.AppendOrderHistory"), 1) << "write " << n;
        }
        Press("Clear");
        window_.reset();
        platform::SetFileFaultForTesting({});
        completed = !failed;

        window_ = std::make_unique<MainWindow>();
        window_->InitForm();
        const QString kept = platform::FromAnsi(ReadBytes(history));
        for (const QString& text : {a, b, c}) {
            int onBoard = 0;
            for (const ArrivedOrder& o : arrivals().Arrivals())
                onBoard += o.Text == text;
            const int inHistory = int(kept.count("\r\n" + text + "\r\n\r\n"));
            EXPECT_EQ(onBoard + inHistory, 1) << "write " << n << ", order " << text.toStdString();
        }
        EXPECT_TRUE(acknowledged) << "write " << n;
        if (failed) {
            EXPECT_GE(ErrorBlocks(), 1) << "write " << n << ": the failure was not logged";
        } else {
            // The run without a failure did the whole scenario.
            EXPECT_EQ(window_->GetOrdersCount(), 1);
            EXPECT_EQ(kept.count("Finish time: "), 2);
        }
    }
    EXPECT_TRUE(completed);
    EXPECT_TRUE(historyCreationFailed);
}
