// The board's actions: one table, one row per action (its button's tag, its
// hot key, its tool tip, what it does and when its button is enabled), and
// the buttons, their enabling and the hot keys read from it.
#include <QFrame>
#include <QLabel>
#include <algorithm>

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
#include "data/NomUsers.h"
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

namespace {
// Design sizes of a button, in pixels.
constexpr int kButtonWidth = 84;
constexpr int kButtonHeight = 64;
}  // namespace

std::span<const MainWindow::Action> MainWindow::Actions() {
    using State = ActionState;
    using Enabled = std::optional<bool>;
    // tag, on the bar, hot key, tool tip, action, enabled when, navigation.
    // The bar's buttons are the rows marked for it, in their order; InitForm
    // puts Refresh on Clear's button in mode 2. Hot keys without a button
    // (the database status, the about box) have rows without a tag.
    static constexpr Action kActions[] = {
        {"First", true, kFnFirst, "strFirstOrder", [](MainWindow& w) { w.SelectFirstOrder(); },
         [](const State& s) -> Enabled { return s.active > 1; }, true},
        {"Previous", true, kFnPrevious, "strPreviousOrder",
         [](MainWindow& w) { w.SelectPreviousOrder(); },
         [](const State& s) -> Enabled { return s.active > 1; }, true},
        {"Next", true, kFnNext, "strNextOrder", [](MainWindow& w) { w.SelectNextOrder(); },
         [](const State& s) -> Enabled { return s.active < s.count; }, true},
        {"Last", true, kFnLast, "strLastOrder", [](MainWindow& w) { w.SelectLastOrder(); },
         [](const State& s) -> Enabled { return s.active < s.count; }, true},
        {"Up", true, kFnUp, "strRowUP", [](MainWindow& w) { w.database_->SelectPreviousItem(); },
         [](const State& s) -> Enabled { return s.database; }, false},
        {"Down", true, kFnDown, "strRowDown", [](MainWindow& w) { w.database_->SelectNextItem(); },
         [](const State& s) -> Enabled { return s.database; }, false},
        // In modes 0 and 1 the panels' focus and the blink own Finish.
        {"Finish", true, kFnFinish, "strFinish",
         [](MainWindow& w) { w.Current().FinishActiveOrder(); },
         [](const State& s) -> Enabled { return s.database ? Enabled(s.count > 0) : std::nullopt; },
         false},
        {"Clear", true, kFnClear, "strDeleteOrder",
         [](MainWindow& w) { w.arrivals_->ClearActiveOrder(); },
         [](const State& s) -> Enabled { return s.active >= 1 && s.active <= s.count; }, true},
        {"Refresh", false, kFnRefresh, "strRefresh",
         [](MainWindow& w) { w.database_->RefreshOrders(); },
         [](const State&) -> Enabled { return true; }, false},
        {"Login", true, kFnLogin, "strChangeUser",
         [](MainWindow& w) { w.database_->ChangeOperator(); },
         [](const State& s) -> Enabled { return s.database; }, false},
        {"Setup", true, kFnSetup, "strSetup", [](MainWindow& w) { w.OpenSettings(); },
         [](const State& s) -> Enabled { return s.level >= 2; }, false},
        {"Help", true, kFnHelp, "strHelp", [](MainWindow& w) { w.OpenHelp(); },
         [](const State&) -> Enabled { return true; }, false},
        {"Exit", true, 0, "strUnload", [](MainWindow& w) { w.CloseBoard(); },
         [](const State&) -> Enabled { return true; }, false},
        {"", false, kFnDatabaseStatus, nullptr,
         [](MainWindow& w) {
             if (DatabaseMode())
                 w.database_->ShowDatabaseStatus();
         },
         nullptr, false},
        {"", false, kFnAbout, nullptr, [](MainWindow& w) { w.OpenAbout(); }, nullptr, false},
    };
    static_assert(std::count_if(std::begin(kActions), std::end(kActions),
                                [](const Action& a) { return a.bar; }) == kActionButtons);
    return kActions;
}

const MainWindow::Action* MainWindow::ActionOfTag(const QString& tag) {
    if (tag.isEmpty())
        return nullptr;
    for (const Action& a : Actions()) {
        if (tag.compare(QLatin1String(a.tag), Qt::CaseInsensitive) == 0)
            return &a;
    }
    return nullptr;
}

void MainWindow::CreateButtonBar() {
    frmButtons_ = new QFrame(this);
    frmButtons_->setObjectName(QStringLiteral("frmButtons"));
    for (const Action& a : Actions()) {
        if (!a.bar)
            continue;
        auto* b = new platform::CommandButton(QStringLiteral("btnAction"), int(btnAction_.size()),
                                              frmButtons_);
        b->SetTag(QString::fromLatin1(a.tag));
        b->resize(kButtonWidth, kButtonHeight);
        b->setFocusPolicy(Qt::NoFocus);
        connect(b, &platform::CommandButton::ClickIndex, this,
                [this](int index) { btnAction_Click(index); });
        btnAction_.append(b);
    }
    lblOrdersStatus_ = new QLabel(frmButtons_);
    lblOrdersStatus_->setObjectName(QStringLiteral("lblOrdersStatus"));
    lblOrdersStatus_->setAlignment(Qt::AlignCenter);
    lblOrdersStatus_->resize(120, 32);
    QFont statusFont = lblOrdersStatus_->font();
    statusFont.setPointSize(14);
    statusFont.setBold(true);
    lblOrdersStatus_->setFont(statusFont);
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

platform::CommandButton* MainWindow::btnAction(int index) const {
    return index >= 0 && index < btnAction_.size() ? btnAction_[index] : nullptr;
}

void MainWindow::LogActionError(const QString& message, int number, const QString& tag) {
    ErrorLogger().Add(kSystemError, number,
                      message + QStringLiteral(" (") + tag + QStringLiteral(")"),
                      QStringLiteral("btnAction_Click"));
}

void MainWindow::btnAction_Click(int index) {
    platform::CommandButton* button = btnAction(index);
    if (!button)
        return;
    SetHourglass(true);
    const QString tag = button->Tag().toLower();
    const Action* action = ActionOfTag(tag);
    // A navigation moves in the orders list: the panels are refilled around
    // the active order and the buttons enabled anew.
    bool navigation = false;
    try {
        if (action) {
            action->run(*this);
            navigation = action->navigation;
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

void MainWindow::OpenAbout() {
    if (Hooks().ShowAbout)
        Hooks().ShowAbout();
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
        const Action* action = ActionOfTag(b->Tag());
        if (!action || !action->enabled)
            continue;
        const ActionState state{activeOrder_, GetOrdersCount(), DatabaseMode(),
                                Users().ActiveUser().level()};
        if (const std::optional<bool> enabled = action->enabled(state))
            b->SetEnabled(*enabled);
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

void MainWindow::KeyDownDispatcher(int32_t function) {
    // A hot key presses its action's button when it is enabled; one without
    // a button acts at once.
    if (function == 0)
        return;
    for (const Action& a : Actions()) {
        if (a.function != function)
            continue;
        if (!*a.tag) {
            a.run(*this);
            return;
        }
        const int b = GetActionButtonIndex(QString::fromLatin1(a.tag));
        if (b >= 0 && btnAction(b)->Enabled())
            btnAction_Click(b);
        return;
    }
}

void MainWindow::FocusActiveView() {
    Current().FocusActiveView();
}

void MainWindow::SetToolTips() {
    for (const Action& a : Actions()) {
        const int i = a.toolTip ? GetActionButtonIndex(QString::fromLatin1(a.tag)) : -1;
        if (i < 0)
            continue;
        SetToolTip(btnAction(i), ResManager().GetResString(QString::fromLatin1(a.toolTip)),
                   a.function ? GetFunctionKeyText(a.function) : QString());
    }
}

void MainWindow::AutoSelectLastOrder() {
    if (!ConfigurationSettings.FocusNewOrder)
        return;
    const int last = GetActionButtonIndex(QStringLiteral("Last"));
    if (last >= 0 && btnAction(last)->Enabled())
        btnAction_Click(last);
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

void MainWindow::ResetFinishPicture() {
    if (platform::CommandButton* finish = btnAction(GetActionButtonIndex(QStringLiteral("Finish"))))
        finish->SetPicture(SkinManager().GetButtonPicture(QStringLiteral("Kestrelle")));
}
