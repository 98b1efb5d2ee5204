// Orders of modes 0 and 1: the datagram, the panels and their ages, the
// socket and the message server, and the backup and history files.
#include "board/ArrivalsBoard.h"

#include <QAbstractEventDispatcher>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QTimer>

#include "board/ArrivalsStore.h"
#include "board/BoardLayout.h"
#include "board/BoardTimer.h"
#include "board/MainWindow.h"
#include "core/Configuration.h"
#include "core/ErrorController.h"
#include "core/ModSkin.h"
#include "core/ModSpecialFolders.h"
#include "core/ModWindowState.h"
#include "network/CSocketMaster.h"
#include "network/ModServer.h"
#include "platform/AppError.h"
#include "platform/Runtime.h"
#include "platform/controls/CommandButton.h"
#include "platform/controls/ControlIndex.h"
#include "platform/controls/RichTextBox.h"
#include "platform/controls/SkinManager.h"

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

// A listener that could not be opened (its port taken by another program) is
// logged with its socket error, and the status bar shows the port and the
// error in place of an address the station does not listen on. The board
// goes on; the next InitForm (Setup, restart) tries the port again.
QString ListenFailed(const QString& prefix, int port, const AppError& e) {
    ErrorLogger().Add(kSystemError, e.Number(), e.Description(),
                      QStringLiteral("MainWindow.InitForm"));
    return prefix + ':' + QString::number(port) + QStringLiteral(" (") +
           QString::number(e.Number()) + QStringLiteral(") ") + e.Description();
}
}  // namespace

ArrivalsBoard::ArrivalsBoard(MainWindow& window, QFrame* frame) : window_(window), frame_(frame) {
    for (int i = 0; i < MainWindow::kOrderPanels; ++i) {
        auto* panel = new platform::RichTextBox(frame_);
        panel->setObjectName(QStringLiteral("rtbOrder"));
        platform::SetControlIndex(panel, i);
        platform::SetControlTag(panel, QString());
        panel->SetLocked(true);
        // A kiosk panel offers no editing menu (Copy, Select All).
        panel->setContextMenuPolicy(Qt::NoContextMenu);
        panel->installEventFilter(this);
        panel->viewport()->installEventFilter(this);
        rtbOrder_.append(panel);
        panelTexts_.append(QString());
        auto* time = new QLabel(frame_);
        time->setObjectName(QStringLiteral("lblTime"));
        platform::SetControlIndex(time, i);
        time->setAlignment(Qt::AlignCenter);
        time->setText(QStringLiteral("00:00:00"));
        time->setAutoFillBackground(true);
        lblTime_.append(time);
    }
    timArrival_ = NewBoardTimer(this, "timArrival", 100, [this] { timArrival_Timer(); });
    showArrivals_ = NewBoardTimer(this, "showArrivals", 0, [this] { ShowArrivals(); });
    showArrivals_->setSingleShot(true);
    imServer_ = std::make_unique<ModServer>();
    store_ = std::make_unique<ArrivalsStore>(arrivals_, BackupFilePath(), HistoryFilePath());
    store_->ProblemChanged = [this](const QString& problem) {
        window_.ShowStatusProblem(MainWindow::StatusProblem::OrderFiles, problem);
    };
    imServer_->OrderArrived = [this](const QString& text, std::function<void()> saved) {
        AddArrivedOrder(text, std::move(saved));
    };
    // The orders that one pass of the event loop read are saved together at
    // its end, before it waits again, and their acknowledgements leave right
    // after the save. (The store's own queued save is there for loops that
    // never wait, such as a pump.)
    if (QAbstractEventDispatcher* loop = QAbstractEventDispatcher::instance())
        connect(loop, &QAbstractEventDispatcher::aboutToBlock, this, [this] {
            rt::ContainErrors("MainWindow.AddArrivedOrder", [&] { SaveArrivals(); });
        });
}

ArrivalsBoard::~ArrivalsBoard() = default;

QString ArrivalsBoard::BackupFilePath() {
    return GetProgramDataFolder() + QStringLiteral("BackUp.log");
}

QString ArrivalsBoard::HistoryFilePath() {
    return GetAppDataFolder(kAppKestrelle, 0, true) + QStringLiteral("history.txt");
}

platform::RichTextBox* ArrivalsBoard::rtbOrder(int index) const {
    return index >= 0 && index < rtbOrder_.size() ? rtbOrder_[index] : nullptr;
}

void ArrivalsBoard::Start() {
    frame_->show();
    // Every step ignores the program's errors; the next one runs whatever
    // happened. A restart drops the clients and the socket of the last start.
    rt::IgnoreErrors([&] { server_.reset(); });
    rt::IgnoreErrors([&] { imServer_->CloseAllClients(); });
    rt::IgnoreErrors([&] {
        if (ConfigurationSettings.Communication == 0)
            ListenForDatagrams();
        else if (ConfigurationSettings.Communication == 1)
            StartMessageServer();
    });
    timArrival_->start();
}

void ArrivalsBoard::Stop() {
    frame_->hide();
    rt::IgnoreErrors([&] { server_.reset(); });
    rt::IgnoreErrors([&] { imServer_->CloseAllClients(); });
    timArrival_->stop();
    // The window may go on with another board: the next start shows the list.
    showArrivals_->stop();
}

void ArrivalsBoard::ListenForDatagrams() {
    const int port = ConfigurationSettings.PortUDP;
    server_ = std::make_unique<CSocketMaster>();
    connect(server_.get(), &CSocketMasterEvents::DataArrival, this,
            [this](int32_t bytesTotal) { Server_DataArrival(bytesTotal); });
    server_->SetProtocol(CSocketMaster::sckUDPProtocol);
    server_->CloseSck();
    try {
        server_->Bind(Variant(int32_t(port)));
        window_.SetStatusText(QStringLiteral(" UDP  ") + server_->LocalIP() + ':' +
                              QString::number(port));
    } catch (const AppError& e) {
        window_.SetStatusText(ListenFailed(QStringLiteral(" UDP  "), port, e));
    }
}

void ArrivalsBoard::StartMessageServer() {
    const int port = ConfigurationSettings.PortTCP;
    try {
        imServer_->StartServer(port);
        window_.SetStatusText(QStringLiteral(" IM  ") + imServer_->ListenerLocalIP() + ':' +
                              QString::number(port));
    } catch (const AppError& e) {
        window_.SetStatusText(ListenFailed(QStringLiteral(" IM  "), port, e));
    }
}

void ArrivalsBoard::Server_DataArrival(int32_t bytesTotal) {
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

void ArrivalsBoard::AddArrivedOrder(const QString& text, std::function<void()> saved) {
    try {
        // NUL is no character of an order and the backup cannot hold it: it
        // is dropped here, so the panel, the backup and the history agree.
        QString kept = text;
        kept.remove(QChar(0));
        store_->Add(ArrivedOrder{kept, rt::ToDateSerial(rt::NowOften()), true}, std::move(saved));
        if (window_.GetOrdersCount() == 1) {
            window_.SetActivePanel(0);
            window_.SetActiveOrder(1);
        }
        if (!showArrivals_->isActive())
            showArrivals_->start(shown_.isValid()
                                     ? int(std::max<qint64>(0, kShowIntervalMs - shown_.elapsed()))
                                     : 0);
    } catch (const AppError&) {
    } catch (...) {
        // An arrival is an event of the sockets or the message server: nothing
        // may go back into the event loop.
        rt::ReportUnexpectedError("MainWindow.AddArrivedOrder");
    }
}

void ArrivalsBoard::SaveArrivals() {
    if (!store_->SaveDue())
        return;
    // Acknowledgements of an earlier save still queued (a large order's save
    // comes apart from the others) leave before this save, the new ones
    // right after it.
    imServer_->SendQueued();
    imServer_->SendQueuedAfter([this] { store_->Flush(); });
}

void ArrivalsBoard::ShowArrivals() {
    showArrivals_->stop();
    shown_.start();
    try {
        // Laying out and painting the panels takes longer than the save: a
        // terminal has its acknowledgement first.
        SaveArrivals();
        window_.RefreshOrderPanels();
        window_.EnableActionButtons(true);
        window_.UpdateOrdersStatus();
        PlayNotificationSound();
        window_.AutoSelectLastOrder();
    } catch (const AppError&) {
    } catch (...) {
        rt::ReportUnexpectedError("MainWindow.AddArrivedOrder");
    }
}

int16_t ArrivalsBoard::GetOrdersCount() const {
    return int16_t(std::min<qsizetype>(arrivals_.size(), 32767));
}

void ArrivalsBoard::RefreshOrderPanels() {
    const int16_t activePanel = window_.ActivePanel();
    const PanelRange range = ComputePanelRange(window_.GetOrdersCount(), MainWindow::kOrderPanels,
                                               window_.ActiveOrder(), activePanel);
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
    if (platform::RichTextBox* panel = rtbOrder(activePanel)) {
        panel->setFocus();
        // The focus handler sets the Finish button; run it also when the
        // panel had the focus already or the window is not active.
        rtbOrder_GotFocus(activePanel);
    }
}

void ArrivalsBoard::timArrival_Timer() {
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
        const QColor background = i == window_.ActivePanel() ? white : other;
        if (panel->BackColor() != background)
            panel->SetBackColor(background);
        QLabel* label = lblTime_[i];
        if (label->text() != age)
            label->setText(age);
        SetLabelColours(label, background, colour);
    }
}

void ArrivalsBoard::rtbOrder_GotFocus(int index) {
    platform::RichTextBox* panel = rtbOrder(index);
    if (!panel)
        return;
    if (PanelOrderNumber(panel) <= 0) {
        if (platform::CommandButton* help =
                window_.btnAction(window_.GetActionButtonIndex(QStringLiteral("Help"))))
            help->setFocus();
        return;
    }
    // The focus reaches a panel in many ways (a click, Tab, its scroll bar,
    // a right click, the board's own refill): whichever it was, the panel now
    // highlighted and the order the keys and buttons act on are one order.
    const bool moved =
        window_.ActivePanel() != index || window_.ActiveOrder() != PanelOrderNumber(panel);
    window_.SetActivePanel(int16_t(index));
    if (moved) {
        window_.SetActiveOrder(int16_t(PanelOrderNumber(panel)));
        window_.EnableActionButtons(true);
    }
    const int k = PanelOrderNumber(panel) - 1;
    window_.OfferFinish(window_.GetOrdersCount() > 0 && k < arrivals_.size() && arrivals_[k].IsNew);
}

void ArrivalsBoard::rtbOrder_Click(int index) {
    platform::RichTextBox* panel = rtbOrder(index);
    if (!panel)
        return;
    const int number = PanelOrderNumber(panel);
    if (number <= 0)
        return;
    window_.SetActiveOrder(int16_t(number));
    window_.EnableActionButtons(true);
    // The selection goes, the view stays: an operator who scrolled down a
    // long order and taps it keeps reading where he was.
    panel->ClearSelection();
}

bool ArrivalsBoard::eventFilter(QObject* watched, QEvent* event) {
    for (int i = 0; i < rtbOrder_.size(); ++i) {
        platform::RichTextBox* panel = rtbOrder_[i];
        if (watched == panel && event->type() == QEvent::FocusIn) {
            rtbOrder_GotFocus(i);
        } else if (watched == panel->viewport() && event->type() == QEvent::MouseButtonRelease) {
            rtbOrder_Click(i);
        }
    }
    return QObject::eventFilter(watched, event);
}

void ArrivalsBoard::FinishActiveOrder() {
    platform::RichTextBox* panel = rtbOrder(window_.ActivePanel());
    if (!panel)
        throw AppError::SubscriptOutOfRange();
    const int i = int(rt::Val(platform::ControlTag(panel))) - 1;
    if (i < 0 || i >= arrivals_.size())
        throw AppError::SubscriptOutOfRange();
    // A failed save is logged and shown by the store, which saves again.
    store_->Finish(i);
    panel->setFocus();
    rtbOrder_GotFocus(window_.ActivePanel());
}

void ArrivalsBoard::ClearActiveOrder() {
    const int removed = window_.ActiveOrder() - 1;
    if (removed < 0 || removed >= arrivals_.size())
        throw AppError::SubscriptOutOfRange();
    // The order goes to history.txt and out of the list and BackUp.log as one
    // step; one that history.txt or BackUp.log cannot take stays on the
    // board, and the status bar says why.
    if (store_->Clear(removed) != ArrivalsStore::ClearResult::Cleared)
        return;
    if (arrivals_.isEmpty())
        window_.OfferFinish(false);
    window_.SetActiveOrder(int16_t(window_.ActiveOrder() - 1));
    // The white panel is what the operator acts on: after the list shrank it
    // must show the active order, wherever the panels' window now starts.
    window_.SetActivePanel(
        int16_t(PanelOfActiveOrder(window_.GetOrdersCount(), MainWindow::kOrderPanels,
                                   window_.ActiveOrder(), window_.ActivePanel())));
}

void ArrivalsBoard::FocusActiveView() {
    if (platform::RichTextBox* panel = rtbOrder(window_.ActivePanel()))
        panel->setFocus();
}

void ArrivalsBoard::Layout(const PanelFont& f) {
    const int gap = 4;
    const int labelHeight = lblTime_[0]->sizeHint().height() + 4;
    const QList<QRect> panels = ComputeOrderPanels(frame_->width(), frame_->height(),
                                                   MainWindow::kOrderPanels, gap, labelHeight);
    for (int i = 0; i < rtbOrder_.size(); ++i) {
        QFont font = rtbOrder_[i]->font();
        font.setPointSize(f.pointSize);
        font.setBold(f.bold);
        rtbOrder_[i]->setFont(font);
        rtbOrder_[i]->setGeometry(panels[i]);
        lblTime_[i]->setGeometry(panels[i].left(), panels[i].bottom() + 1, panels[i].width(),
                                 labelHeight);
    }
}

void ArrivalsBoard::SaveArrivalsBackup() {
    store_->Flush();
}

bool ArrivalsBoard::LoadArrivalsBackup() {
    return store_->Load();
}

bool ArrivalsBoard::RestoreOrders() {
    return LoadArrivalsBackup();
}

void ArrivalsBoard::Unload() {
    // What waits reaches BackUp.log while the terminals can still have
    // their acknowledgements.
    SaveArrivalsBackup();
}

void ArrivalsBoard::Close() {
    server_.reset();
    if (ConfigurationSettings.Communication == 1)
        rt::ContainErrors("MainWindow.Form_Unload", [&] { imServer_->StopServer(); });
}
