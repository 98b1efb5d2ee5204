// Geometry, status bar and clock. The rules work in twips; widgets are
// placed in pixels (twips / twips per pixel).
#include <QFrame>
#include <QLabel>
#include <QScreen>

#include "board/ArrivalsBoard.h"
#include "board/BoardLayout.h"
#include "board/DatabaseBoard.h"
#include "board/MainWindow.h"
#include "core/ModCommon.h"
#include "platform/Runtime.h"
#include "platform/System.h"
#include "platform/controls/CommandButton.h"

namespace {
int Tx() {
    return platform::TwipsPerPixelX();
}
int Ty() {
    return platform::TwipsPerPixelY();
}
QRect ToPixels(const QRect& twips) {
    return QRect(twips.left() / Tx(), twips.top() / Ty(), twips.width() / Tx(),
                 twips.height() / Ty());
}
QSize ToTwips(const QSize& pixels) {
    return QSize(pixels.width() * Tx(), pixels.height() * Ty());
}
}  // namespace

void MainWindow::SetStatusText(const QString& text) {
    statusText_ = text;
    Panels(1)->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    ShowStatusPanel();
}

void MainWindow::ShowStatusProblem(StatusProblem which, const QString& problem) {
    problems_[int(which)] = problem;
    ShowStatusPanel();
}

void MainWindow::ShowStatusPanel() {
    for (const QString& problem : problems_) {
        if (!problem.isEmpty()) {
            Panels(1)->setText(problem);
            return;
        }
    }
    Panels(1)->setText(statusText_);
}

void MainWindow::tmrClock_Timer() {
    const QDateTime now = rt::Now();
    // An 800-pixel screen is a small one: the long form does not fit its panel.
    if (GetScreenWidthPixels() <= 800) {
        Panels(4)->setText(rt::FormatDate(now, QStringLiteral("dd.mm.yy hh:nn")));
    } else {
        const QString pattern =
            ShortDateFormat.isEmpty() ? QStringLiteral("dd.MM.yyyy") : ShortDateFormat;
        Panels(4)->setText(rt::FormatDate(now, pattern + QStringLiteral(" hh:nn:ss")));
    }
}

void MainWindow::InitStatusBar() {
    stbLite_->hide();
    const StatusBarLayout s = ComputeStatusBar(height() * Ty(), width() * Tx());
    stbLite_->setGeometry(ToPixels(s.strip));
    // The frames reach above the strip: the strip is their parent, so their
    // upper border is clipped as the design wants.
    for (int i = 1; i <= 5; ++i) {
        frmPanel_[i]->setGeometry(ToPixels(s.frames[i - 1]));
        panels_[i]->setGeometry(ToPixels(s.labels[i - 1]));
    }
    stbLite_->show();
}

void MainWindow::LayoutButtonBar() {
    QList<QSize> sizes;
    for (platform::CommandButton* b : btnAction_)
        sizes.append(ToTwips(b->size()));
    const int gap = 4 * Tx();
    const ButtonBarLayout b =
        ComputeButtonBar(width() * Tx(), height() * Ty(), stbLite_->height() * Ty(), sizes,
                         ToTwips(lblOrdersStatus_->size()), gap);
    frmButtons_->setGeometry(ToPixels(b.bar));
    for (int i = 0; i < btnAction_.size(); ++i)
        btnAction_[i]->setGeometry(ToPixels(b.buttons[i]));
    lblOrdersStatus_->setGeometry(ToPixels(b.statusLabel));
}

void MainWindow::Form_Resize() {
    // The board always covers the whole screen. A window system may answer
    // the request later (or not at all): lay out for the size there is now;
    // the answer's resize event lays out again.
    if (QScreen* screen = this->screen()) {
        const QSize full = screen->geometry().size();
        if (size() != full && !isFullScreen()) {
            resize(full);
            move(0, 0);
        }
    }
    InitStatusBar();
    const int gap = 4;
    LayoutButtonBar();
    for (QFrame* frame : frmOrders_)
        frame->setGeometry(gap, gap, width() - 2 * gap, frmButtons_->y() - gap - gap);

    // The frames' contents, the database view first.
    const PanelFont font = OrderPanelFont(GetScreenWidthPixels());
    database_->Layout(font);
    arrivals_->Layout(font);
}
