#include "board/MainWindow.h"
#include "board/ArrivalsStore.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTimer>

#include "board/BoardHooks.h"
#include "core/Configuration.h"
#include "core/ErrorController.h"
#include "core/ModControls.h"
#include "core/ModWindowState.h"
#include "localization/ResManagerClass.h"
#include "network/CSocketMaster.h"
#include "network/ModServer.h"
#include "platform/AppError.h"
#include "platform/controls/CommandButton.h"
#include "platform/controls/ControlIndex.h"
#include "platform/controls/DataGrid.h"
#include "platform/controls/DestroyedWindows.h"
#include "platform/controls/RichTextBox.h"
#include "platform/controls/VirtualKeys.h"

namespace {
// Design sizes, in pixels.
constexpr int kButtonWidth = 84;
constexpr int kButtonHeight = 64;

struct ButtonDesign {
    const char* tag;
};
constexpr ButtonDesign kButtons[MainWindow::kActionButtons] = {
    {"First"},  {"Previous"}, {"Next"},  {"Last"},  {"Up"},   {"Down"},
    {"Finish"}, {"Clear"},    {"Login"}, {"Setup"}, {"Help"}, {"Exit"},
};
}  // namespace

MainWindow* Board() {
    return qobject_cast<MainWindow*>(MainForm());
}

bool MainWindow::DatabaseMode() {
    return ::DatabaseMode();
}

MainWindow::MainWindow(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(QStringLiteral("Quillbarrow Kestrelle"));
    SetMainForm(this);
    CreateControls();
    CreateTimers();
    imServer_ = std::make_unique<ModServer>();
    store_ = std::make_unique<ArrivalsStore>(arrivals_, BackupFilePath(), HistoryFilePath());
    store_->ProblemChanged = [this](const QString& problem) { ShowStoreProblem(problem); };
    imServer_->OrderArrived = [this](const QString& text, std::function<void()> saved) {
        AddArrivedOrder(text, std::move(saved));
    };
    // Keys reach the window before its controls. This one filter sees every
    // event of the program, the order panels' focus and clicks among them,
    // each once.
    qApp->installEventFilter(this);
}

MainWindow::~MainWindow() {
    qApp->removeEventFilter(this);
    if (MainForm() == this)
        SetMainForm(nullptr);
}

void MainWindow::CreateControls() {
    // In this order: it is the order of the window's children.
    CreateButtonBar();
    CreateOrderPanels();
    CreateDatabaseView();
    CreateStatusBar();
}

void MainWindow::CreateButtonBar() {
    frmButtons_ = new QFrame(this);
    frmButtons_->setObjectName(QStringLiteral("frmButtons"));
    for (int i = 0; i < kActionButtons; ++i) {
        auto* b = new platform::CommandButton(QStringLiteral("btnAction"), i, frmButtons_);
        b->SetTag(QString::fromLatin1(kButtons[i].tag));
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

void MainWindow::CreateOrderPanels() {
    for (int f = 0; f < 2; ++f) {
        auto* frame = new QFrame(this);
        frame->setObjectName(QStringLiteral("frmOrders"));
        platform::SetControlIndex(frame, f);
        frmOrders_.append(frame);
    }
    for (int i = 0; i < kOrderPanels; ++i) {
        auto* panel = new platform::RichTextBox(frmOrders_[0]);
        panel->setObjectName(QStringLiteral("rtbOrder"));
        platform::SetControlIndex(panel, i);
        platform::SetControlTag(panel, QString());
        panel->SetLocked(true);
        // A kiosk panel offers no editing menu (Copy, Select All).
        panel->setContextMenuPolicy(Qt::NoContextMenu);
        rtbOrder_.append(panel);
        panelTexts_.append(QString());
        auto* time = new QLabel(frmOrders_[0]);
        time->setObjectName(QStringLiteral("lblTime"));
        platform::SetControlIndex(time, i);
        time->setAlignment(Qt::AlignCenter);
        time->setText(QStringLiteral("00:00:00"));
        time->setAutoFillBackground(true);
        lblTime_.append(time);
    }
}

void MainWindow::CreateDatabaseView() {
    tbDbOrder_ = new QPlainTextEdit(frmOrders_[1]);
    tbDbOrder_->setObjectName(QStringLiteral("tbDbOrder"));
    tbDbOrder_->setReadOnly(true);
    tbDbOrder_->setContextMenuPolicy(Qt::NoContextMenu);
    lblPassedTime_ = new QLabel(frmOrders_[1]);
    lblPassedTime_->setObjectName(QStringLiteral("lblPassedTime"));
    lblPassedTime_->setText(QStringLiteral("00:00:00"));
    lblPassedTime_->setAlignment(Qt::AlignCenter);
    dgView_ = new platform::DataGrid(frmOrders_[1]);
    dgView_->setObjectName(QStringLiteral("dgView"));
    const char* const columns[] = {"ID",       "Name", "Comment", "Group",
                                   "Quantity", "Hour", "Sum",     "Lot"};
    for (const char* c : columns)
        dgView_->AddColumn(QString::fromLatin1(c), QString::fromLatin1(c));
    // Columns 1 to 5 carry the window's own texts; the dictionary, when
    // there is one, translates them later.
    for (int col = 1; col <= 5; ++col)
        dgView_->SetColumnCaption(
            col,
            ResManager().GetResString(QStringLiteral("MainWindow|dgView|") + QString::number(col)));
    for (const char* hidden : {"ID", "Group", "Hour", "Sum", "Lot"})
        dgView_->SetColumnVisible(dgView_->ColumnIndex(QString::fromLatin1(hidden)), false);
    dgView_->SetColumnAlignment(dgView_->ColumnIndex("Quantity"),
                                Qt::AlignRight | Qt::AlignVCenter);
    dgView_->SetColumnAlignment(dgView_->ColumnIndex("Hour"), Qt::AlignCenter);
    dgView_->SetColumnNumberFormat(dgView_->ColumnIndex("Quantity"), QStringLiteral("0.000"));
    // The items are for looking only: a tapped row is selected, never edited.
    dgView_->SetAllowUpdate(false);
    // Hot keys work while the grid has the focus.
    connect(dgView_, &platform::DataGrid::KeyDown, this, [this](int* keyCode, int shift) {
        if (keyCode)
            Form_KeyDown(*keyCode, shift);
    });
    connect(dgView_, &platform::DataGrid::RowColChange, this, [this](int, int) {
        rt::ContainErrors("MainWindow.dgView_RowColChange", [this] { dgView_RowColChange(); });
    });
    cbObjects_ = new QComboBox(frmOrders_[1]);
    cbObjects_->setObjectName(QStringLiteral("cbObjects"));
    cbObjects_->hide();
}

void MainWindow::CreateStatusBar() {
    stbLite_ = new QFrame(this);
    stbLite_->setObjectName(QStringLiteral("stbLite"));
    frmPanel_.append(nullptr);
    panels_.append(nullptr);
    for (int i = 1; i <= 5; ++i) {
        auto* frame = new QFrame(stbLite_);
        frame->setObjectName(QStringLiteral("frmPanel"));
        platform::SetControlIndex(frame, i);
        frame->setFrameShape(QFrame::Panel);
        frame->setFrameShadow(QFrame::Sunken);
        frmPanel_.append(frame);
        auto* label = new QLabel(frame);
        label->setObjectName(QStringLiteral("Panels"));
        // Names from the database, addresses, paths and error texts: shown
        // as written, also when they look like markup.
        label->setTextFormat(Qt::PlainText);
        platform::SetControlIndex(label, i);
        label->setAlignment(i == 1 ? (Qt::AlignLeft | Qt::AlignVCenter) : Qt::AlignCenter);
        panels_.append(label);
    }
}

void MainWindow::CreateTimers() {
    const auto make = [this](const char* name, int interval, auto slot) {
        auto* t = new QTimer(this);
        t->setObjectName(QString::fromLatin1(name));
        t->setInterval(interval);
        connect(t, &QTimer::timeout, this, slot);
        return t;
    };
    tmrClock_ = make("tmrClock", 1000, [this] { tmrClock_Timer(); });
    timerNewOrder_ = make("TimerNewOrder", 500, [this] { TimerNewOrder_Timer(); });
    timArrival_ = make("timArrival", 100, [this] { timArrival_Timer(); });
    tmrPassedTime_ = make("tmrPassedTime", 250, [this] { tmrPassedTime_Timer(); });
    tmrOrders_ = make("tmrOrders", 30000, [this] { tmrOrders_Timer(); });
    tmrNoAnswer_ = make("tmrNoAnswer", 0, [this] { tmrNoAnswer_Timer(); });
    tmrNoAnswer_->setSingleShot(true);
    tmrClock_->start();
    timerNewOrder_->start();
}

void MainWindow::dgView_RowColChange() {
    SelectCurrentGridRow(dgView_);
    platform::CommandButton* finish = btnAction(GetActionButtonIndex(QStringLiteral("Finish")));
    if (!finish)
        return;
    finish->SetEnabled(GetOrdersCount() > 0);
    if (!finish->Enabled())
        ResetFinishPicture();
}

platform::CommandButton* MainWindow::btnAction(int index) const {
    return index >= 0 && index < btnAction_.size() ? btnAction_[index] : nullptr;
}

platform::RichTextBox* MainWindow::rtbOrder(int index) const {
    return index >= 0 && index < rtbOrder_.size() ? rtbOrder_[index] : nullptr;
}

QLabel* MainWindow::Panels(int index) const {
    return index >= 1 && index <= 5 ? panels_[index] : nullptr;
}

QFrame* MainWindow::frmOrders(int index) const {
    return index >= 0 && index < frmOrders_.size() ? frmOrders_[index] : nullptr;
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

void MainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!loaded_) {
        loaded_ = true;
        // A board whose window another program destroyed cannot be seen or
        // reached any more: the station ends as if it had been closed.
        platform::WhenNativeWindowDestroyed(this, [board = QPointer<MainWindow>(this)] {
            if (board)
                board->close();
        });
        Form_Load();
    }
}

void MainWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        Form_Activate();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // The board never refuses to close; its unload ends the program.
    Form_Unload();
    event->accept();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        // Keys for this window or any control on it are the board's first. A
        // key the board leaves alone may come back here as it propagates to
        // the parents; the look-up then leaves it alone again.
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && widget->window() == this) {
            auto* key = static_cast<QKeyEvent*>(event);
            int keyCode = platform::VirtualKeyFromEvent(key);
            if (keyCode != 0) {
                Form_KeyDown(keyCode, platform::ShiftStateFromModifiers(key->modifiers()));
                if (keyCode == 0)
                    return true;
            }
        }
        return false;
    }
    for (int i = 0; i < rtbOrder_.size(); ++i) {
        platform::RichTextBox* panel = rtbOrder_[i];
        if (watched == panel && event->type() == QEvent::FocusIn) {
            rtbOrder_GotFocus(i);
        } else if (watched == panel->viewport() && event->type() == QEvent::MouseButtonRelease) {
            rtbOrder_Click(i);
        }
    }
    return QWidget::eventFilter(watched, event);
}
