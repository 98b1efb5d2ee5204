// Mode 2: the orders and items read from the point-of-sale database, the
// change detection around each poll, the items grid and the waiting time.
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPlainTextEdit>
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
    RecordFailure(QStringLiteral("LoadOrderItems"), [&] {
        if (GetOrdersCount() == 0) {
            orderItems_.clear();
            FillItemsGrid();
        }
        if (activeOrder_ <= 0)
            return;
        if (activeOrder_ > orderHeaders_.size() || !Open(itemsRecordset_)) {
            // The items kept so far belong to the order shown before; Finish
            // must not take them for the active one's.
            orderItems_.clear();
            FillItemsGrid();
            throw AppError::SubscriptOutOfRange();
        }
        const OrderHeader& h = orderHeaders_[activeOrder_ - 1];
        const auto items = itemsRecordset_;
        // 0 is a key like any other (a "no partner" row): the filter always
        // holds all three, or Finish would reach the items of other tables.
        items->SetFilter(BuildOrderItemsFilter(h));
        if (items->RecordCount() <= 0) {
            orderItems_.clear();
            FillItemsGrid();
            passedTimeStart_.reset();
        } else {
            QDateTime earliest = rt::Now();
            orderItems_.clear();
            items->MoveFirst();
            while (!items->IsEOF()) {
                OrderItem item;
                item.GoodID = items->Fields("GoodID").ToLong();
                item.Name = items->Fields("Name").ToString();
                item.Note = items->Fields("Note").ToString();
                const Variant qtty = items->Fields("Qtty");
                item.Qtty = qtty.IsNull() ? 0 : qtty.ToDouble();
                item.ID = items->Fields("ID").ToLong();
                item.UserRealTime = items->Fields("UserRealTime").ToDateTime();
                if (item.UserRealTime < earliest)
                    earliest = item.UserRealTime;
                orderItems_.append(item);
                items->MoveNext();
            }
            FillItemsGrid();
            passedTimeStart_ = rt::ToDateSerial(earliest);
        }
        items->SetFilter(QString());
    });
}

void MainWindow::FillItemsGrid() {
    rt::IgnoreErrors([&] {
        dgView_->SetRedraw(false);
        dgView_->RemoveAll();
        int select = 0;
        for (int i = 0; i < orderItems_.size(); ++i) {
            const OrderItem& it = orderItems_[i];
            const QString hour = rt::FormatDate(it.UserRealTime, ShortDateFormat.isEmpty()
                                                                     ? QStringLiteral("dd.MM.yyyy")
                                                                     : ShortDateFormat) +
                                 ' ' + rt::FormatDate(it.UserRealTime, QStringLiteral("hh:nn"));
            const QStringList values = {QString::number(it.GoodID),
                                        it.Name,
                                        it.Note,
                                        QStringLiteral(" "),
                                        rt::Str(it.Qtty),
                                        hour,
                                        QString::number(i),
                                        Variant::FromDateTime(it.UserRealTime).ToString()};
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

void MainWindow::SaveOldState() {
    savedItemID_ = 0;
    savedOrdersCount_ = 0;
    savedActiveOrder_ = 0;
    oldState_.clear();
    RecordFailure(QStringLiteral("SaveOldState"), [&] {
        if (GetOrdersCount() == 0)
            return;
        savedActiveOrder_ = activeOrder_;
        const int i = int(rt::Val(dgView_->CellText(dgView_->Row(), QStringLiteral("Sum"))));
        if (i < 0 || i >= orderItems_.size())
            throw AppError::SubscriptOutOfRange();
        savedItemID_ = orderItems_[i].ID;
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
    if (count > savedOrdersCount_)
        return true;
    const auto items = itemsRecordset_;
    if (!Open(items))
        throw AppError::ObjectClosed();
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
