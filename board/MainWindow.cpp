#include "board/MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QTimer>

#include "board/ArrivalsBoard.h"
#include "board/BoardTimer.h"
#include "board/DatabaseBoard.h"
#include "core/Configuration.h"
#include "core/ErrorController.h"
#include "core/ModControls.h"
#include "core/ModWindowState.h"
#include "platform/controls/CommandButton.h"
#include "platform/controls/ControlIndex.h"
#include "platform/controls/DestroyedWindows.h"
#include "platform/controls/VirtualKeys.h"

MainWindow* Board() {
    return qobject_cast<MainWindow*>(MainForm());
}

OrderBoard& MainWindow::Current() const {
    if (DatabaseMode())
        return *database_;
    return *arrivals_;
}

OrderBoard& MainWindow::Other() const {
    if (&Current() == database_.get())
        return *arrivals_;
    return *database_;
}

int16_t MainWindow::GetOrdersCount() const {
    return Current().GetOrdersCount();
}

void MainWindow::RefreshOrderPanels() {
    Current().RefreshOrderPanels();
}

MainWindow::MainWindow(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(QStringLiteral("Quillbarrow Kestrelle"));
    SetMainForm(this);
    CreateControls();
    CreateTimers();
    // Keys reach the window before its controls: this one filter sees every
    // key of the program once.
    qApp->installEventFilter(this);
}

MainWindow::~MainWindow() {
    qApp->removeEventFilter(this);
    if (MainForm() == this)
        SetMainForm(nullptr);
}

void MainWindow::CreateControls() {
    // In this order: it is the order of the window's children. The two
    // frames of orders come before what the boards put into them.
    CreateButtonBar();
    for (int f = 0; f < 2; ++f) {
        auto* frame = new QFrame(this);
        frame->setObjectName(QStringLiteral("frmOrders"));
        platform::SetControlIndex(frame, f);
        frmOrders_.append(frame);
    }
    arrivals_ = std::make_unique<ArrivalsBoard>(*this, frmOrders_[0]);
    database_ = std::make_unique<DatabaseBoard>(*this, frmOrders_[1]);
    CreateStatusBar();
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
    tmrClock_ = NewBoardTimer(this, "tmrClock", 1000, [this] { tmrClock_Timer(); });
    timerNewOrder_ = NewBoardTimer(this, "TimerNewOrder", 500, [this] { TimerNewOrder_Timer(); });
    tmrClock_->start();
    timerNewOrder_->start();
}

QLabel* MainWindow::Panels(int index) const {
    return index >= 1 && index <= 5 ? panels_[index] : nullptr;
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
    return QWidget::eventFilter(watched, event);
}
