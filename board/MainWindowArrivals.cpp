// Orders of modes 0 and 1: the datagram, the panels and their ages, the
// Finish blink, and the backup and history files.
#include <QLabel>

#include "board/ArrivalsStore.h"
#include "board/MainWindow.h"
#include "core/Configuration.h"
#include "core/ErrorController.h"
#include "core/ModSkin.h"
#include "core/ModSpecialFolders.h"
#include "core/ModWindowState.h"
#include "network/CSocketMaster.h"
#include "platform/AppError.h"
#include "platform/Runtime.h"
#include "platform/controls/CommandButton.h"
#include "platform/controls/ControlIndex.h"
#include "platform/controls/RichTextBox.h"
#include "platform/controls/SkinManager.h"
#include "platform/sql/Recordset.h"

namespace {
int PanelOrderNumber(const QWidget* panel) {
    return int(rt::Val(platform::ControlTag(panel)));
}

void SetLabelColours(QLabel* label, const QColor& background, const QColor& foreground) {
    QPalette p = label->palette();
    if (p.color(QPalette::Window) == background && p.color(QPalette::WindowText) == foreground)
        return;
    p.setColor(QPalette::Window, background);
    p.setColor(QPalette::WindowText, foreground);
    label->setPalette(p);
}
}  // namespace

QString MainWindow::BackupFilePath() {
    return GetProgramDataFolder() + QStringLiteral("BackUp.log");
}

QString MainWindow::HistoryFilePath() {
    return GetAppDataFolder(kAppKestrelle, 0, true) + QStringLiteral("history.txt");
}

void MainWindow::Server_DataArrival(int32_t bytesTotal) {
    // A datagram that cannot be read or makes no order is dropped; the
    // station keeps listening.
    try {
        if (!server_)
            return;
        Variant received;
        server_->GetData(received, Variant(int32_t(VarType::String)), Variant(bytesTotal));
        const auto datagram = ParseOrderDatagram(received.ToString());
        if (!datagram)
            return;
        if (udpSenders_.Accept(datagram->Sender, datagram->Sequence))
            AddArrivedOrder(datagram->Text);
    } catch (const AppError& e) {
        ErrorLogger().Add(kSystemError, e.Number(), e.Description(),
                          QStringLiteral("MainWindow.Server_DataArrival"));
    }
}

void MainWindow::AddArrivedOrder(const QString& text, std::function<void()> saved) {
    try {
        // NUL is no character of an order and the backup cannot hold it: it
        // is dropped here, so the panel, the backup and the history agree.
        QString kept = text;
        kept.remove(QChar(0));
        store_->Add(ArrivedOrder{kept, rt::ToDateSerial(rt::Now()), true}, std::move(saved));
        if (GetOrdersCount() == 1) {
            activePanel_ = 0;
            SetActiveOrder(1);
        }
        RefreshOrderPanels();
        EnableActionButtons(true);
        UpdateOrdersStatus();
        PlayNotificationSound();
        AutoSelectLastOrder();
    } catch (const AppError&) {
    } catch (...) {
        // An arrival is an event of the sockets or the message server: nothing
        // may go back into the event loop.
        rt::ReportUnexpectedError("MainWindow.AddArrivedOrder");
    }
}

int16_t MainWindow::GetOrdersCount() const {
    if (DatabaseMode()) {
        if (!ordersRecordset_ || ordersRecordset_->State() != 1)
            return 0;
        try {
            const int32_t n = ordersRecordset_->RecordCount();
            return n > 0 ? int16_t(std::min(n, 32767)) : 0;
        } catch (const AppError&) {
            return 0;
        }
    }
    return int16_t(std::min<qsizetype>(arrivals_.size(), 32767));
}

void MainWindow::RefreshOrderPanels() {
    if (DatabaseMode()) {
        LoadOrderItems();
        return;
    }
    const PanelRange range =
        ComputePanelRange(GetOrdersCount(), kOrderPanels, activeOrder_, activePanel_);
    // A panel that goes on showing the same order with the same text is left
    // as it is: its text is not laid out again and its scroll position stays.
    for (int j = 0; j < rtbOrder_.size(); ++j) {
        const int k = range.first + j;
        const bool shows = k <= range.last && k < arrivals_.size();
        const QString tag = shows ? QString::number(k + 1) : QString();
        const QString text = shows ? arrivals_[k].Text : QString();
        platform::RichTextBox* panel = rtbOrder_[j];
        if (platform::ControlTag(panel) == tag && panelTexts_[j] == text)
            continue;
        panel->SetText(PanelText(text));
        platform::SetControlTag(panel, tag);
        panelTexts_[j] = text;
    }
    if (platform::RichTextBox* panel = rtbOrder(activePanel_)) {
        panel->setFocus();
        // The focus handler sets the Finish button; run it also when the
        // panel had the focus already or the window is not active.
        rtbOrder_GotFocus(activePanel_);
    }
}

void MainWindow::timArrival_Timer() {
    const QColor white(255, 255, 255);
    const QColor other = SkinManager().SelectedSkin() == "Default" ? SkinManager().BackColor()
                                                                   : SkinManager().OddRowsColor();
    const double now = rt::ToDateSerial(rt::Now());
    // The panels repaint when the event loop next runs; an order that arrives
    // meanwhile is added after this pass, never in the middle of it.
    for (int i = 0; i < rtbOrder_.size(); ++i) {
        platform::RichTextBox* panel = rtbOrder_[i];
        const int k = PanelOrderNumber(panel) - 1;
        QString age = QStringLiteral("00:00:00");
        QColor colour(0, 0, 0);
        if (k >= 0 && k < arrivals_.size()) {
            age = FormatElapsedTime(arrivals_[k].ArrivalTime, now);
            colour = AgeColour(age, arrivals_[k].IsNew);
        }
        const QColor background = i == activePanel_ ? white : other;
        if (panel->BackColor() != background)
            panel->SetBackColor(background);
        QLabel* label = lblTime_[i];
        if (label->text() != age)
            label->setText(age);
        SetLabelColours(label, background, colour);
    }
}

void MainWindow::TimerNewOrder_Timer() {
    const int finish = GetActionButtonIndex(QStringLiteral("Finish"));
    if (finish < 0 || !btnAction(finish)->Enabled())
        return;
    blinkState_ = !blinkState_;
    btnAction(finish)->SetPicture(SkinManager().GetButtonPicture(
        blinkState_ ? QStringLiteral("Kestrelle_UP") : QStringLiteral("Kestrelle")));
}

void MainWindow::rtbOrder_GotFocus(int index) {
    platform::RichTextBox* panel = rtbOrder(index);
    if (!panel)
        return;
    if (PanelOrderNumber(panel) <= 0) {
        const int help = GetActionButtonIndex(QStringLiteral("Help"));
        if (help >= 0)
            btnAction(help)->setFocus();
        return;
    }
    // The focus reaches a panel in many ways (a click, Tab, its scroll bar,
    // a right click, the board's own refill): whichever it was, the panel now
    // highlighted and the order the keys and buttons act on are one order.
    const bool moved = activePanel_ != index || activeOrder_ != PanelOrderNumber(panel);
    activePanel_ = int16_t(index);
    if (moved) {
        SetActiveOrder(int16_t(PanelOrderNumber(panel)));
        EnableActionButtons(true);
    }
    platform::CommandButton* finish = btnAction(6);
    const int k = PanelOrderNumber(panel) - 1;
    finish->SetEnabled(GetOrdersCount() > 0 && k < arrivals_.size() && arrivals_[k].IsNew);
    if (!finish->Enabled())
        ResetFinishPicture();
}

void MainWindow::rtbOrder_Click(int index) {
    platform::RichTextBox* panel = rtbOrder(index);
    if (!panel)
        return;
    const int number = PanelOrderNumber(panel);
    if (number <= 0)
        return;
    SetActiveOrder(int16_t(number));
    EnableActionButtons(true);
    // The selection goes, the view stays: an operator who scrolled down a
    // long order and taps it keeps reading where he was.
    panel->ClearSelection();
}

void MainWindow::SaveArrivalsBackup(int16_t) {
    if (!DatabaseMode())
        store_->Flush();
}

bool MainWindow::LoadArrivalsBackup() {
    if (DatabaseMode())
        return true;
    return store_->Load();
}
