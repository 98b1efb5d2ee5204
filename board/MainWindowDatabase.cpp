// Mode 2: the orders and items read from the point-of-sale database, the
// change detection around each poll, the items grid and the waiting time.
#include <QComboBox>
#include <QCoreApplication>
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

void MainWindow::tmrOrders_Timer() {
    if (pollBusy_)
        return;
    pollBusy_ = true;
    EnableActionButtons(false);
    SaveOldState();
    ReadOrdersFromDatabase();
    CompareStates();
    LoadOrderItems();
    EnableActionButtons(true);
    AutoSelectLastOrder();
    pollBusy_ = false;
}

void MainWindow::RefreshOrders() {
    tmrOrders_->stop();
    tmrOrders_Timer();
    tmrOrders_->start();
    rt::IgnoreErrors([&] { dgView_->setFocus(); });
}

void MainWindow::ReadOrdersFromDatabase() {
    RecordFailure(QStringLiteral("ReadOrdersFromDatabase"), [&] {
        if (!ReconnectToDB(1))
            return;
        const QString groupFilter = BuildGroupFilter(ConfigurationSettings.GoodsGroups);
        QList<int32_t> objects;
        for (int i = 0; i < cbObjects_->count(); ++i)
            objects.append(cbObjects_->itemData(i).toInt());
        const QString objectFilter = BuildObjectFilter(objects);
        DatabaseClass& db = Database();
        ordersRecordset_ =
            db.ExecuteRecordset(BuildOrdersQuery(groupFilter, objectFilter, db.ConnectTo()), 1);
        QCoreApplication::processEvents();
        if (GetOrdersCount() == 0) {
            orderHeaders_.clear();
            return;
        }
        itemsRecordset_ = db.ExecuteRecordset(BuildItemsQuery(groupFilter, objectFilter), 1);
        itemsOpenCount_ = db.OpenCount();
        QCoreApplication::processEvents();
        // The recordset may be replaced by a poll's refresh inside a pump:
        // hold this one while copying it.
        const auto orders = ordersRecordset_;
        orderHeaders_.clear();
        orders->MoveFirst();
        while (!orders->IsEOF()) {
            OrderHeader h;
            h.ObjID = orders->Fields("ObjID").ToLong();
            h.ObjName = orders->Fields("ObjName").ToString();
            h.PartID = orders->Fields("PartID").ToLong();
            h.UserID = orders->Fields("UserID").ToLong();
            h.UserName = orders->Fields("UserName").ToString();
            orderHeaders_.append(h);
            orders->MoveNext();
            QCoreApplication::processEvents();
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
    // The order's items are read whole before anything shows them.
    QList<OrderItem> read;
    QDateTime earliest = rt::Now();
    for (items->MoveFirst(); !items->IsEOF(); items->MoveNext()) {
        OrderItem item;
        item.ID = items->Fields("ID").ToLong();
        try {
            item.GoodID = items->Fields("GoodID").ToLong();
            item.Name = items->Fields("Name").ToString();
            item.Note = items->Fields("Note").ToString();
            const Variant qtty = items->Fields("Qtty");
            item.Qtty = qtty.IsNull() ? 0 : qtty.ToDouble();
            item.UserRealTime = ItemTime(items->Fields("UserRealTime"));
        } catch (const AppError& e) {
            throw AppError(e.Number(),
                           e.Description() + QStringLiteral(" (operations.ID ") +
                               QString::number(item.ID) + ')',
                           e.Source());
        }
        if (item.UserRealTime.isValid() && item.UserRealTime < earliest)
            earliest = item.UserRealTime;
        read.append(item);
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
                rt::Str(it.Qtty),
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
    // new: the next one compares with what the last poll that read them saw.
    if (ordersRecordset_ && !PollReadItems()) {
        savedActiveOrder_ = activeOrder_;
        return;
    }
    savedOrdersCount_ = 0;
    oldState_.clear();
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
        const auto items = itemsRecordset_;
        if (!Open(items))
            throw AppError::ObjectClosed();
        oldState_ = SaveItemsState(*items);
    });
}

void MainWindow::CompareStates() {
    bool changed = false;
    RecordFailure(QStringLiteral("CompareStates"), [&] { changed = ChangedSinceOldState(); });
    QCoreApplication::processEvents();
    SetActiveOrder(savedActiveOrder_);
    QCoreApplication::processEvents();
    if (changed && ordersPollTag_ == PollTag::Timer)
        PlayNotificationSound();
}

bool MainWindow::ChangedSinceOldState() {
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
    const auto items = itemsRecordset_;
    const bool changed = ItemsChangedSince(oldState_, *items);
    items->SetFilter(QString());
    return changed;
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
