// Mode 2: the orders and items read from the point-of-sale database, the
// change detection around each poll, the items grid and the waiting time.
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QTimer>

#include "board/MainWindow.h"
#include "core/Configuration.h"
#include "core/ErrorController.h"
#include "core/ModCommon.h"
#include "core/ModControls.h"
#include "core/ModWindowState.h"
#include "data/DatabaseClass.h"
#include "data/ModOperations.h"
#include "localization/ResManagerClass.h"
#include "platform/AppError.h"
#include "platform/Runtime.h"
#include "platform/System.h"
#include "platform/controls/DataGrid.h"
#include "platform/sql/Recordset.h"

namespace {

bool Open(const std::shared_ptr<platform::Recordset>& rs) {
    return rs && rs->State() == 1;
}

}  // namespace

void MainWindow::ApplyPoll(const DatabaseAnswer& answer, PollTag tag) {
    EnableActionButtons(false);
    SaveOldState();
    ReadOrdersFromDatabase(answer);
    CompareStates(answer.ItemsChanged, tag);
    LoadOrderItems();
    EnableActionButtons(true);
    AutoSelectLastOrder();
}

void MainWindow::ReadOrdersFromDatabase(const DatabaseAnswer& answer) {
    RecordFailure(QStringLiteral("ReadOrdersFromDatabase"), [&] {
        // Nothing read (a failure before the orders query): the board keeps
        // the last poll's data.
        if (!answer.Orders)
            return;
        ordersRecordset_ = answer.Orders;
        if (GetOrdersCount() == 0) {
            orderHeaders_.clear();
            return;
        }
        itemsRecordset_ = answer.Items;
        itemsGeneration_ = answer.Generation;
        const auto orders = ordersRecordset_;
        orderHeaders_.clear();
        orderHeaders_.reserve(orders->RecordCount());
        const int objId = orders->FieldIndex(QStringLiteral("ObjID"));
        const int objName = orders->FieldIndex(QStringLiteral("ObjName"));
        const int partId = orders->FieldIndex(QStringLiteral("PartID"));
        const int userId = orders->FieldIndex(QStringLiteral("UserID"));
        const int userName = orders->FieldIndex(QStringLiteral("UserName"));
        for (orders->MoveFirst(); !orders->IsEOF(); orders->MoveNext()) {
            OrderHeader h;
            h.ObjID = orders->Fields(objId).ToLong();
            h.ObjName = orders->Fields(objName).ToString();
            h.PartID = orders->Fields(partId).ToLong();
            h.UserID = orders->Fields(userId).ToLong();
            h.UserName = orders->Fields(userName).ToString();
            orderHeaders_.append(h);
        }
    });
}

void MainWindow::LoadOrderItems() {
    int number = 0;
    QString text;
    try {
        ReadActiveOrderItems();
        itemsFailure_.clear();
        return;
    } catch (const AppError& e) {
        number = e.Number();
        text = e.Description();
    } catch (const std::exception& e) {
        text = QString::fromUtf8(e.what());
    }
    // The items kept so far belong to the order shown before, and a part of
    // the active order's is no order at all: the active order is shown
    // without items, so that the grid, the header and what Finish writes
    // agree with the order the status bar names.
    orderItems_.clear();
    FillItemsGrid();
    passedTimeStart_.reset();
    // Every poll and every navigation meets the same row again: it is
    // logged once, until the items read again.
    const QString failure = QString::number(number) + ' ' + text;
    if (failure != itemsFailure_) {
        itemsFailure_ = failure;
        ErrorLogger().Add(kSystemError, number, text, QStringLiteral("LoadOrderItems"));
    }
}

void MainWindow::ReadActiveOrderItems() {
    if (GetOrdersCount() == 0) {
        orderItems_.clear();
        FillItemsGrid();
    }
    if (activeOrder_ <= 0)
        return;
    if (activeOrder_ > orderHeaders_.size() || !Open(itemsRecordset_))
        throw AppError::SubscriptOutOfRange();
    const OrderHeader& h = orderHeaders_[activeOrder_ - 1];
    const auto items = itemsRecordset_;
    // 0 is a key like any other (a "no partner" row): the filter always
    // holds all three, or Finish would reach the items of other tables.
    items->SetFilter(BuildOrderItemsFilter(h));
    const auto unfilter = qScopeGuard([&] {
        rt::ContainErrors("MainWindow.ReadActiveOrderItems", [&] { items->SetFilter({}); });
    });
    // The order's items are read whole before anything shows them. An item
    // whose time or quantity does not read is shown and finished all the
    // same; its failure is logged once, not at every poll.
    QList<OrderItem> read;
    QDateTime earliest = rt::Now();
    for (items->MoveFirst(); !items->IsEOF(); items->MoveNext()) {
        std::optional<AppError> unreadable;
        OrderItem item = ReadOrderItem(*items, &unreadable);
        if (unreadable && !unreadableLogged_.contains(item.ID)) {
            unreadableLogged_.insert(item.ID);
            ErrorLogger().Add(kSystemError, unreadable->Number(), unreadable->Description(),
                              QStringLiteral("LoadOrderItems"));
        }
        if (item.UserRealTime.isValid() && item.UserRealTime < earliest)
            earliest = item.UserRealTime;
        read.append(std::move(item));
    }
    orderItems_ = read;
    FillItemsGrid();
    if (read.isEmpty())
        passedTimeStart_.reset();
    else
        passedTimeStart_ = rt::ToDateSerial(earliest);
}

void MainWindow::FillItemsGrid() {
    rt::IgnoreErrors([&] {
        dgView_->SetRedraw(false);
        dgView_->RemoveAll();
        int select = 0;
        for (int i = 0; i < orderItems_.size(); ++i) {
            const OrderItem& it = orderItems_[i];
            // An item without a time (NULL or the zero date) shows none.
            const bool timed = it.UserRealTime.isValid();
            const QString hour =
                timed ? rt::FormatDate(it.UserRealTime, ShortDateFormat.isEmpty()
                                                            ? QStringLiteral("dd.MM.yyyy")
                                                            : ShortDateFormat) +
                            ' ' + rt::FormatDate(it.UserRealTime, QStringLiteral("hh:nn"))
                      : QString();
            const QStringList values = {
                QString::number(it.GoodID),
                it.Name,
                it.Note,
                QStringLiteral(" "),
                it.QttyText.isEmpty() ? rt::Str(it.Qtty) : it.QttyText,
                hour,
                QString::number(i),
                timed ? Variant::FromDateTime(it.UserRealTime).ToString() : QString()};
            dgView_->AddItem(values.join('\t') + '\t');
            if (it.ID == savedItemID_ && savedItemID_ != 0)
                select = i;
        }
        QString header = groupNamesText_;
        if (activeOrder_ > 0 && activeOrder_ <= orderHeaders_.size()) {
            const OrderHeader& h = orderHeaders_[activeOrder_ - 1];
            header += QStringLiteral("\r\n") +
                      AlignText(ResManager().GetResString(QStringLiteral("strOperatorBON")) +
                                    QStringLiteral(": "),
                                12, 1) +
                      h.UserName + QStringLiteral("\r\n") +
                      AlignText(ResManager().GetResString(QStringLiteral("strObjectBON")) +
                                    QStringLiteral(": "),
                                12, 1) +
                      h.ObjName;
        }
        tbDbOrder_->setPlainText(header);
        dgView_->SetRedraw(true);
        if (dgView_->Rows() > 0)
            dgView_->SetRow(select);
        dgView_->viewport()->update();
        SelectCurrentGridRow(dgView_);
    });
    savedItemID_ = 0;
}

bool MainWindow::PollReadItems() const {
    return Open(ordersRecordset_) && (GetOrdersCount() == 0 || Open(itemsRecordset_));
}

void MainWindow::SaveOldState() {
    savedItemID_ = 0;
    savedActiveOrder_ = 0;
    // A poll that could not read the orders or their items knows nothing
    // new: the next one compares with what the last poll that read them saw
    // (the worker keeps those items).
    if (ordersRecordset_ && !PollReadItems()) {
        savedActiveOrder_ = activeOrder_;
        return;
    }
    savedOrdersCount_ = 0;
    RecordFailure(QStringLiteral("SaveOldState"), [&] {
        if (GetOrdersCount() == 0)
            return;
        savedActiveOrder_ = activeOrder_;
        // No row is shown while the active order's items could not be read:
        // there is no item to keep selected.
        if (dgView_->Rows() > 0) {
            const int i = int(rt::Val(dgView_->CellText(dgView_->Row(), QStringLiteral("Sum"))));
            if (i < 0 || i >= orderItems_.size())
                throw AppError::SubscriptOutOfRange();
            savedItemID_ = orderItems_[i].ID;
        }
        savedOrdersCount_ = GetOrdersCount();
    });
}

void MainWindow::CompareStates(bool itemsChanged, PollTag tag) {
    bool changed = false;
    RecordFailure(QStringLiteral("CompareStates"),
                  [&] { changed = ChangedSinceOldState(itemsChanged); });
    SetActiveOrder(savedActiveOrder_);
    if (changed && tag == PollTag::Timer)
        PlayNotificationSound();
}

bool MainWindow::ChangedSinceOldState(bool itemsChanged) {
    const int16_t count = GetOrdersCount();
    if (count == 0) {
        savedActiveOrder_ = 0;
        return false;
    }
    if (savedActiveOrder_ > count && savedActiveOrder_ - 1 > 0)
        --savedActiveOrder_;
    // Orders without their items are no news yet (the query's failure is
    // in the log).
    if (!PollReadItems())
        return false;
    if (count > savedOrdersCount_)
        return true;
    // The items were compared on the worker's thread, against the items
    // of the last poll that read them.
    return itemsChanged;
}

QString MainWindow::GetGroupNameByCode(QString& code) {
    QString name;
    rt::IgnoreErrors([&] {
        if (code.size() > 3)
            code = code.left(3);
        const auto groups = GoodsGroupsRecordset();
        if (!Open(groups))
            return;
        groups->SetFilter(QStringLiteral("Code = '") + DatabaseClass::QualifySQL(code) + '\'');
        if (groups->RecordCount() > 0) {
            groups->MoveFirst();
            name = groups->Fields("Name").ToString();
        }
        groups->SetFilter(QString());
    });
    return name;
}

void MainWindow::tmrPassedTime_Timer() {
    // While the active order has no item read, the label keeps what it shows.
    const bool orders = GetOrdersCount() > 0;
    if (orders && !passedTimeStart_)
        return;
    rt::IgnoreErrors([&] {
        QString text = QStringLiteral("00:00:00");
        QColor colour(0, 0, 0);
        if (orders) {
            text = FormatElapsedTime(*passedTimeStart_, rt::ToDateSerial(rt::Now()));
            colour = AgeColour(text, true);
        }
        if (lblPassedTime_->text() != text) {
            lblPassedTime_->setText(text);
            QPalette p = lblPassedTime_->palette();
            p.setColor(QPalette::WindowText, colour);
            lblPassedTime_->setPalette(p);
        }
    });
}

void MainWindow::LayoutItemsGrid() {
    rt::IgnoreErrors([&] {
        const int avail =
            dgView_->width() * platform::TwipsPerPixelX() - GetColumnWidthExtra(false);
        const int comment = dgView_->ColumnIndex(QStringLiteral("Comment"));
        const int quantity = dgView_->ColumnIndex(QStringLiteral("Quantity"));
        dgView_->SetColumnWidth(comment, int(0.25 * avail));
        dgView_->SetColumnWidth(quantity, int(0.15 * avail));
        dgView_->SetColumnWidth(
            dgView_->ColumnIndex(QStringLiteral("Name")),
            avail - dgView_->ColumnWidth(comment) - dgView_->ColumnWidth(quantity));
    });
}
