// The action buttons, their enabling, and the hot keys.
#include <QApplication>
#include <QLabel>
#include <QScopeGuard>
#include <QTimer>

#include "board/ArrivalsBoard.h"
#include "board/BoardHooks.h"
#include "board/DatabaseBoard.h"
#include "board/HotKeys.h"
#include "board/MainWindow.h"
#include "core/Configuration.h"
#include "core/ErrorController.h"
#include "core/ModCommon.h"
#include "core/ModControls.h"
#include "core/ModSkin.h"
#include "core/ModWindowState.h"
#include "data/DatabaseClass.h"
#include "data/ModOperations.h"
#include "data/NomUsers.h"
#include "localization/MsgBoxExClass.h"
#include "localization/MsgBoxExForm.h"
#include "localization/ResManagerClass.h"
#include "platform/AppError.h"
#include "platform/Runtime.h"
#include "platform/controls/CommandButton.h"
#include "platform/controls/SkinManager.h"
#include "platform/controls/VirtualKeys.h"

void MainWindow::SetActiveOrder(int16_t value) {
    if (value < 1)
        value = 1;
    const int16_t count = GetOrdersCount();
    if (value > count)
        value = count;
    activeOrder_ = value;
    UpdateOrdersStatus();
}

void MainWindow::UpdateOrdersStatus() {
    lblOrdersStatus_->setText(QString::number(activeOrder_) + QStringLiteral(" / ") +
                              QString::number(GetOrdersCount()));
}

int MainWindow::GetActionButtonIndex(const QString& name) const {
    // A name that no button carries answers -1: a hot key for a button that
    // the current mode does not have presses nothing.
    const QString wanted = name.toLower();
    for (int i = 0; i < btnAction_.size(); ++i) {
        if (btnAction_[i]->Tag().toLower() == wanted)
            return i;
    }
    return -1;
}

void MainWindow::LogActionError(const QString& message, int number, const QString& tag) {
    ErrorLogger().Add(kSystemError, number,
                      message + QStringLiteral(" (") + tag + QStringLiteral(")"),
                      QStringLiteral("btnAction_Click"));
}

void MainWindow::btnAction_Click(int index) {
    // The actions by tag. A navigation moves in the orders list: the panels
    // are refilled around the active order and the buttons enabled anew.
    struct Action {
        const char* tag;
        void (MainWindow::*run)();
        bool navigation;
    };
    static constexpr Action kActions[] = {
        {"first", &MainWindow::SelectFirstOrder, true},
        {"previous", &MainWindow::SelectPreviousOrder, true},
        {"next", &MainWindow::SelectNextOrder, true},
        {"last", &MainWindow::SelectLastOrder, true},
        {"up", &MainWindow::SelectPreviousItem, false},
        {"down", &MainWindow::SelectNextItem, false},
        {"finish", &MainWindow::FinishActiveOrder, false},
        {"refresh", &MainWindow::RefreshOrders, false},
        {"clear", &MainWindow::ClearActiveOrder, true},
        {"login", &MainWindow::ChangeOperator, false},
        {"setup", &MainWindow::OpenSettings, false},
        {"help", &MainWindow::OpenHelp, false},
        {"exit", &MainWindow::CloseBoard, false},
    };
    platform::CommandButton* button = btnAction(index);
    if (!button)
        return;
    SetHourglass(true);
    const QString tag = button->Tag().toLower();
    bool navigation = false;
    try {
        for (const Action& action : kActions) {
            if (tag == QLatin1String(action.tag)) {
                (this->*action.run)();
                navigation = action.navigation;
                break;
            }
        }
    } catch (const AppError& e) {
        LogActionError(e.Description(), e.Number(), button->Tag());
    } catch (const std::exception& e) {
        LogActionError(QString::fromLocal8Bit(e.what()), 0, button->Tag());
    }
    SetHourglass(false);
    if (navigation) {
        RefreshOrderPanels();
        EnableActionButtons(true);
    }
    if (tag == "finish")
        Current().AfterFinish();
}

void MainWindow::SelectFirstOrder() {
    SetActiveOrder(1);
    activePanel_ = 0;
}

void MainWindow::SelectPreviousOrder() {
    SetActiveOrder(int16_t(activeOrder_ - 1));
    if (activePanel_ > 0)
        --activePanel_;
}

void MainWindow::SelectNextOrder() {
    SetActiveOrder(int16_t(activeOrder_ + 1));
    if (activePanel_ < kOrderPanels - 1)
        ++activePanel_;
}

void MainWindow::SelectLastOrder() {
    SetActiveOrder(GetOrdersCount());
    activePanel_ = int16_t(std::min<int>(GetOrdersCount(), kOrderPanels) - 1);
}

void MainWindow::SelectPreviousItem() {
    database_->SelectPreviousItem();
}

void MainWindow::SelectNextItem() {
    database_->SelectNextItem();
}

void MainWindow::FinishActiveOrder() {
    Current().FinishActiveOrder();
}

void MainWindow::RefreshOrders() {
    database_->RefreshOrders();
}

void MainWindow::ClearActiveOrder() {
    arrivals_->ClearActiveOrder();
}

void MainWindow::ChangeOperator() {
    database_->ChangeOperator();
}

void MainWindow::OpenSettings() {
    if (!setupAllowed_)
        return;
    if (Hooks().RunSetup)
        Hooks().RunSetup(true);
    SetButtonPictures(this);
    HideTaskbar();
    SetTopMost(this);
}

void MainWindow::OpenHelp() {
    if (Hooks().ShowHelp)
        Hooks().ShowHelp();
    SetTopMost(this);
    FocusActiveView();
}

void MainWindow::CloseBoard() {
    SetHourglass(false);
    close();
}

void MainWindow::EnableActionButtons(bool enable) {
    for (platform::CommandButton* b : btnAction_) {
        if (!enable) {
            b->SetEnabled(false);
            continue;
        }
        const QString tag = b->Tag().toLower();
        const int count = GetOrdersCount();
        if (tag == "first" || tag == "previous") {
            b->SetEnabled(activeOrder_ > 1);
        } else if (tag == "next" || tag == "last") {
            b->SetEnabled(activeOrder_ < count);
        } else if (tag == "up" || tag == "down" || tag == "login") {
            b->SetEnabled(DatabaseMode());
        } else if (tag == "finish") {
            if (DatabaseMode())
                b->SetEnabled(count > 0);
        } else if (tag == "refresh" || tag == "help" || tag == "exit") {
            b->SetEnabled(true);
        } else if (tag == "clear") {
            b->SetEnabled(activeOrder_ >= 1 && activeOrder_ <= count);
        } else if (tag == "setup") {
            b->SetEnabled(Users().ActiveUser().level() >= 2);
        }
    }
}

void MainWindow::Form_KeyDown(int& keyCode, int shift) {
    if (keyCode == platform::kVkDown || keyCode == platform::kVkNumLock)
        return;
    const int32_t action = GetHotKeyFunction(int16_t(keyCode), int16_t(shift));
    if (action == kFnNone)
        return;
    if (Users().ActiveUser().level() < 2 && !Users().IsFunctionAllowedForAll(int16_t(action)))
        return;
    keyCode = 0;
    KeyDownDispatcher(action);
}

void MainWindow::KeyDownDispatcher(int32_t action) {
    int b = -1;
    static const char* const kByFunction[] = {"First",  "Previous", "Next",  "Last",  "UP",  "Down",
                                              "Finish", "Refresh",  "Clear", "Login", "Help"};
    if (action == kFnDatabaseStatus) {
        if (DatabaseMode())
            database_->ShowDatabaseStatus();
    } else if (action == kFnSetup) {
        b = GetActionButtonIndex(QStringLiteral("Setup"));
    } else if (action >= kFnFirst && action <= kFnHelp) {
        b = GetActionButtonIndex(QString::fromLatin1(kByFunction[action - kFnFirst]));
    } else if (action == kFnAbout) {
        if (Hooks().ShowAbout)
            Hooks().ShowAbout();
        SetTopMost(this);
        FocusActiveView();
        return;
    }
    if (b >= 0 && btnAction(b)->Enabled())
        btnAction_Click(b);
}

void MainWindow::FocusActiveView() {
    Current().FocusActiveView();
}

void MainWindow::SetToolTips() {
    struct Tip {
        const char* tag;
        const char* resource;
        int32_t function;
    };
    const bool db = DatabaseMode();
    const Tip tips[] = {
        {"First", "strFirstOrder", kFnFirst},
        {"Previous", "strPreviousOrder", kFnPrevious},
        {"Next", "strNextOrder", kFnNext},
        {"Last", "strLastOrder", kFnLast},
        {"Up", "strRowUP", kFnUp},
        {"Down", "strRowDown", kFnDown},
        {"Finish", "strFinish", kFnFinish},
        db ? Tip{"Refresh", "strRefresh", kFnRefresh} : Tip{"Clear", "strDeleteOrder", kFnClear},
        {"Login", "strChangeUser", kFnLogin},
        {"Setup", "strSetup", kFnSetup},
        {"Help", "strHelp", kFnHelp},
        {"Exit", "strUnload", 0},
    };
    for (const Tip& t : tips) {
        const int i = GetActionButtonIndex(QString::fromLatin1(t.tag));
        if (i < 0)
            continue;
        SetToolTip(btnAction(i), ResManager().GetResString(QString::fromLatin1(t.resource)),
                   t.function ? GetFunctionKeyText(t.function) : QString());
    }
}

void MainWindow::AutoSelectLastOrder() {
    if (!ConfigurationSettings.FocusNewOrder)
        return;
    for (int i = 0; i < btnAction_.size(); ++i) {
        if (btnAction_[i]->Tag().toLower() == "last") {
            if (btnAction_[i]->Enabled())
                btnAction_Click(i);
            return;
        }
    }
}

void MainWindow::Form_Activate() {
    SetTopMost(this);
    SetHourglass(false);
}

void MainWindow::OfferFinish(bool offered) {
    platform::CommandButton* finish = btnAction(GetActionButtonIndex(QStringLiteral("Finish")));
    if (!finish)
        return;
    finish->SetEnabled(offered);
    if (!finish->Enabled())
        ResetFinishPicture();
}

void MainWindow::TimerNewOrder_Timer() {
    const int finish = GetActionButtonIndex(QStringLiteral("Finish"));
    if (finish < 0 || !btnAction(finish)->Enabled())
        return;
    blinkState_ = !blinkState_;
    btnAction(finish)->SetPicture(SkinManager().GetButtonPicture(
        blinkState_ ? QStringLiteral("Kestrelle_UP") : QStringLiteral("Kestrelle")));
}

int16_t MainWindow::GetOrdersCount() const {
    return Current().GetOrdersCount();
}

void MainWindow::RefreshOrderPanels() {
    Current().RefreshOrderPanels();
}

void MainWindow::ResetFinishPicture() {
    btnAction(6)->SetPicture(SkinManager().GetButtonPicture(QStringLiteral("Kestrelle")));
}
