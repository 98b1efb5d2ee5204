// Geometry, status bar and clock. The rules work in twips; widgets are
// placed in pixels (twips / twips per pixel).
#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScreen>

#include "board/BoardLayout.h"
#include "board/MainWindow.h"
#include "core/ModCommon.h"
#include "data/DatabaseClass.h"
#include "localization/ResManagerClass.h"
#include "platform/Runtime.h"
#include "platform/System.h"
#include "platform/controls/CommandButton.h"
#include "platform/controls/DataGrid.h"
#include "platform/controls/RichTextBox.h"

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
// The waiting-time label's size in the design.
constexpr QSize kPassedTimeDesignSize(120, 24);
QSize ToTwips(const QSize& pixels) {
    return QSize(pixels.width() * Tx(), pixels.height() * Ty());
}
}  // namespace

QString MainWindow::GetDatabaseStatusText(bool withTitle) {
    const DatabaseClass& db = Database();
    const QString text =
        DatabaseStatusText(db.ConnectTo(), db.DatabasePath(), db.ServerName(), db.DatabaseName());
    if (!withTitle)
        return text;
    return ResManager().GetResString(QStringLiteral("strActiveBaseMessage")) +
           QStringLiteral(" '") + text + '\'';
}

void MainWindow::SetStatusText(const QString& text) {
    statusText_ = text;
    Panels(1)->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    ShowStatusPanel();
}

void MainWindow::ShowStoreProblem(const QString& problem) {
    storeProblem_ = problem;
    ShowStatusPanel();
}

void MainWindow::ShowFinishProblem(const QString& problem) {
    finishProblem_ = problem;
    ShowStatusPanel();
}

void MainWindow::ShowDatabaseProblem(const QString& problem) {
    databaseProblem_ = problem;
    ShowStatusPanel();
}

void MainWindow::ShowStatusPanel() {
    Panels(1)->setText(!storeProblem_.isEmpty()      ? storeProblem_
                       : !databaseProblem_.isEmpty() ? databaseProblem_
                       : !finishProblem_.isEmpty()   ? finishProblem_
                                                     : statusText_);
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

    // Database view. The waiting time is written in the order panels' font,
    // its label at least as large as its text.
    const PanelFont f = OrderPanelFont(GetScreenWidthPixels());
    QFrame* db = frmOrders_[1];
    const int textHeight = 4 * GetTextHeight(tbDbOrder_, QStringLiteral("Test")) / Ty();
    tbDbOrder_->setGeometry(0, 0, db->width(), textHeight);
    QFont timeFont = lblPassedTime_->font();
    timeFont.setPointSize(f.pointSize);
    timeFont.setBold(f.bold);
    lblPassedTime_->setFont(timeFont);
    lblPassedTime_->resize(lblPassedTime_->sizeHint().expandedTo(kPassedTimeDesignSize));
    lblPassedTime_->move(db->width() / 2 - lblPassedTime_->width() / 2,
                         db->height() - lblPassedTime_->height());
    dgView_->setGeometry(0, textHeight + gap, db->width(),
                         lblPassedTime_->y() - textHeight - 2 * gap);
    LayoutItemsGrid();

    // Order panels.
    QFrame* orders = frmOrders_[0];
    const int labelHeight = lblTime_[0]->sizeHint().height() + 4;
    const QList<QRect> panels =
        ComputeOrderPanels(orders->width(), orders->height(), kOrderPanels, gap, labelHeight);
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
