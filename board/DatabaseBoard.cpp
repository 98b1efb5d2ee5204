// Mode 2: the view of the active order, the operator's login and the start,
// the orders and items read from the point-of-sale database, the change
// detection around each poll, the items grid and the waiting time.
#include "board/DatabaseBoard.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QTimer>

#include "board/BoardHooks.h"
#include "board/BoardLayout.h"
#include "board/BoardTimer.h"
#include "board/MainWindow.h"
#include "core/Configuration.h"
#include "core/ErrorController.h"
#include "core/ModCommon.h"
#include "core/ModControls.h"
#include "core/ModWindowState.h"
#include "data/DatabaseClass.h"
#include "data/ModOperations.h"
#include "data/NomObjects.h"
#include "data/NomUsers.h"
#include "localization/MsgBoxExClass.h"
#include "localization/MsgBoxExForm.h"
#include "localization/ResManagerClass.h"
#include "platform/AppError.h"
#include "platform/Runtime.h"
#include "platform/System.h"
#include "platform/controls/CommandButton.h"
#include "platform/controls/DataGrid.h"
#include "platform/sql/Recordset.h"

namespace {

bool Open(const std::shared_ptr<platform::Recordset>& rs) {
    return rs && rs->State() == 1;
}

// The waiting-time label's size in the design.
constexpr QSize kPassedTimeDesignSize(120, 24);

}  // namespace

DatabaseBoard::DatabaseBoard(MainWindow& window, QFrame* frame) : window_(window), frame_(frame) {
    tbDbOrder_ = new QPlainTextEdit(frame_);
    tbDbOrder_->setObjectName(QStringLiteral("tbDbOrder"));
    tbDbOrder_->setReadOnly(true);
    tbDbOrder_->setContextMenuPolicy(Qt::NoContextMenu);
    lblPassedTime_ = new QLabel(frame_);
    lblPassedTime_->setObjectName(QStringLiteral("lblPassedTime"));
    lblPassedTime_->setText(QStringLiteral("00:00:00"));
    lblPassedTime_->setAlignment(Qt::AlignCenter);
    dgView_ = new platform::DataGrid(frame_);
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
            window_.Form_KeyDown(*keyCode, shift);
    });
    connect(dgView_, &platform::DataGrid::RowColChange, this, [this](int, int) {
        rt::ContainErrors("MainWindow.dgView_RowColChange", [this] { dgView_RowColChange(); });
    });
    cbObjects_ = new QComboBox(frame_);
    cbObjects_->setObjectName(QStringLiteral("cbObjects"));
    cbObjects_->hide();

    tmrPassedTime_ = NewBoardTimer(this, "tmrPassedTime", 250, [this] { tmrPassedTime_Timer(); });
    tmrOrders_ = NewBoardTimer(this, "tmrOrders", 30000, [this] { tmrOrders_Timer(); });
    tmrNoAnswer_ = NewBoardTimer(this, "tmrNoAnswer", 0, [this] { tmrNoAnswer_Timer(); });
    tmrNoAnswer_->setSingleShot(true);
}

DatabaseBoard::~DatabaseBoard() = default;

void DatabaseBoard::Start() {
    frame_->show();
    bool started = true;
    rt::IgnoreErrors([&] { started = StartDatabaseView(); });
    // A window that unloaded inside the start (a refused login) starts
    // nothing more.
    if (!started || closed_)
        return;
    tmrOrders_->start();
    tmrPassedTime_->start();
}

void DatabaseBoard::Stop() {
    frame_->hide();
    // A board that left mode 2 lets go of the database worker (after the
    // request under way) and of its connection.
    if (!pollBusy_)
        databaseWorker_.reset();
    tmrOrders_->stop();
    tmrPassedTime_->stop();
}

void DatabaseBoard::Close() {
    closed_ = true;
    databaseWorker_.reset();
}

bool DatabaseBoard::StartDatabaseView() {
    dgView_->SetColumnVisible(dgView_->ColumnIndex(QStringLiteral("Hour")), false);
    dgView_->SetColumnVisible(dgView_->ColumnIndex(QStringLiteral("Group")), false);
    window_.SetStatusText(GetDatabaseStatusText(false));
    if (!Database().IsConnected())
        return true;
    LoadDatabaseLists();
    if (!LoginUser(false, false)) {
        // No operator: the window unloads, and with it the program.
        window_.btnAction_Click(window_.GetActionButtonIndex(QStringLiteral("Exit")));
        return false;
    }
    window_.Panels(2)->setText(Users().ActiveUser().Name());
    window_.Panels(3)->setText(Objects().ActiveObject().Name());
    ShowOperatorCompany();
    // The first poll plays no sound. One under way (a restart of the board)
    // is answered first.
    if (pollBusy_)
        pollAgain_ = PollTag::InitForm;
    else
        SendDatabaseRequest(false, {}, PollTag::InitForm);
    return true;
}

void DatabaseBoard::LoadDatabaseLists() {
    const ConfigurationRecord& c = ConfigurationSettings;
    rt::IgnoreErrors([&] {
        Users().Load(Database());
        Users().SetActiveUser(Users().FindByID(1));
    });
    rt::IgnoreErrors([&] {
        Objects().Load(Database());
        Objects().FillComboBoxRestaurant(cbObjects_, c.ObjectCodeRange, false);
    });
    rt::IgnoreErrors([&] { LoadGoodsGroups(); });
    rt::IgnoreErrors([&] {
        QString names;
        // An empty setting names no group at all (not one empty one).
        const QStringList codes =
            c.GoodsGroups.isEmpty() ? QStringList() : c.GoodsGroups.split('|');
        for (QString code : codes)
            names += GetGroupNameByCode(code) + QStringLiteral(", ");
        groupNamesText_ = names.size() < 2 ? ResManager().GetResString(QStringLiteral("strAll"))
                                           : rt::Trim(names.left(names.size() - 2));
    });
}

void DatabaseBoard::ShowOperatorCompany() {
    // While the database cannot be reached the panel keeps what it shows:
    // the read would not answer.
    if (!databaseLost_)
        window_.Panels(5)->setText(DefaultObjectReg(false).Company);
}

bool DatabaseBoard::LoginUser(bool changing, bool reload) {
    const int32_t n = reload ? Users().Load(Database()) : Users().Count();
    if (n <= 0) {
        Users().ActiveUser().SetID(n < 0 ? 0 : n);
    } else if (n == 1) {
        Users().SetActiveUser(Users().FindByID(1));
        window_.Panels(2)->setText(Users().ActiveUser().Name());
        ShowOperatorCompany();
    } else {
        const bool accepted = Hooks().ShowLoginDialog && Hooks().ShowLoginDialog(changing);
        if (!accepted) {
            window_.close();
            return false;
        }
        window_.Panels(2)->setText(Users().ActiveUser().Name());
        ShowOperatorCompany();
    }
    return Users().ActiveUser().ID() != 0;
}

void DatabaseBoard::ChangeOperator() {
    SetHourglass(true);
    // While the database cannot be reached the operators are those read
    // before, and the company stays as shown: neither read would answer.
    const bool reachable = WindowConnectionUsable();
    window_.Panels(2)->clear();
    if (reachable)
        window_.Panels(5)->clear();
    if (LoginUser(true, reachable)) {
        window_.Panels(2)->setText(Users().ActiveUser().Name());
        ShowOperatorCompany();
        if (platform::CommandButton* setup =
                window_.btnAction(window_.GetActionButtonIndex(QStringLiteral("Setup"))))
            setup->SetEnabled(Users().ActiveUser().level() >= 2);
    }
    SetHourglass(false);
}

void DatabaseBoard::AfterFinish() {
    // Whether or not the Finish itself succeeded.
    if (!ConfigurationSettings.AutoLock)
        return;
    const int login = window_.GetActionButtonIndex(QStringLiteral("Login"));
    if (login >= 0)
        window_.btnAction_Click(login);
}

QString DatabaseBoard::GetDatabaseStatusText(bool withTitle) {
    const DatabaseClass& db = Database();
    const QString text =
        DatabaseStatusText(db.ConnectTo(), db.DatabasePath(), db.ServerName(), db.DatabaseName());
    if (!withTitle)
        return text;
    return ResManager().GetResString(QStringLiteral("strActiveBaseMessage")) +
           QStringLiteral(" '") + text + '\'';
}

void DatabaseBoard::ShowDatabaseStatus() {
    const QString text = GetDatabaseStatusText(true);
    SetNotTopMost(&window_);
    MsgBoxEx().Show(text, kMsgInformation,
                    ResManager().GetResString(QStringLiteral("strActiveBase")));
}

void DatabaseBoard::FocusActiveView() {
    dgView_->setFocus();
}

void DatabaseBoard::SelectPreviousItem() {
    const int r = dgView_->Row() - 1;
    if (r >= 0)
        dgView_->SetRow(r);
}

void DatabaseBoard::SelectNextItem() {
    const int r = dgView_->Row() + 1;
    if (r <= dgView_->Rows() - 1)
        dgView_->SetRow(r);
}

void DatabaseBoard::dgView_RowColChange() {
    SelectCurrentGridRow(dgView_);
    window_.OfferFinish(window_.GetOrdersCount() > 0);
}

void DatabaseBoard::Layout(const PanelFont& f) {
    // The waiting time is written in the order panels' font, its label at
    // least as large as its text.
    const int gap = 4;
    const int textHeight =
        4 * GetTextHeight(tbDbOrder_, QStringLiteral("Test")) / platform::TwipsPerPixelY();
    tbDbOrder_->setGeometry(0, 0, frame_->width(), textHeight);
    QFont timeFont = lblPassedTime_->font();
    timeFont.setPointSize(f.pointSize);
    timeFont.setBold(f.bold);
    lblPassedTime_->setFont(timeFont);
    lblPassedTime_->resize(lblPassedTime_->sizeHint().expandedTo(kPassedTimeDesignSize));
    lblPassedTime_->move(frame_->width() / 2 - lblPassedTime_->width() / 2,
                         frame_->height() - lblPassedTime_->height());
    dgView_->setGeometry(0, textHeight + gap, frame_->width(),
                         lblPassedTime_->y() - textHeight - 2 * gap);
    LayoutItemsGrid();
}

void DatabaseBoard::LayoutItemsGrid() {
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

int16_t DatabaseBoard::GetOrdersCount() const {
    if (!ordersRecordset_ || ordersRecordset_->State() != 1)
        return 0;
    try {
        const int32_t n = ordersRecordset_->RecordCount();
        return n > 0 ? int16_t(std::min(n, 32767)) : 0;
    } catch (const AppError&) {
        return 0;
    }
}

void DatabaseBoard::RefreshOrderPanels() {
    LoadOrderItems();
}

void DatabaseBoard::ApplyPoll(const DatabaseAnswer& answer, PollTag tag) {
    window_.EnableActionButtons(false);
    SaveOldState();
    ReadOrdersFromDatabase(answer);
    CompareStates(answer.ItemsChanged, tag);
    LoadOrderItems();
    window_.EnableActionButtons(true);
    window_.AutoSelectLastOrder();
}

void DatabaseBoard::ReadOrdersFromDatabase(const DatabaseAnswer& answer) {
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

void DatabaseBoard::LoadOrderItems() {
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

void DatabaseBoard::ReadActiveOrderItems() {
    if (GetOrdersCount() == 0) {
        orderItems_.clear();
        FillItemsGrid();
    }
    const int16_t activeOrder = window_.ActiveOrder();
    if (activeOrder <= 0)
        return;
    if (activeOrder > orderHeaders_.size() || !Open(itemsRecordset_))
        throw AppError::SubscriptOutOfRange();
    const OrderHeader& h = orderHeaders_[activeOrder - 1];
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

void DatabaseBoard::FillItemsGrid() {
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
        const int16_t activeOrder = window_.ActiveOrder();
        if (activeOrder > 0 && activeOrder <= orderHeaders_.size()) {
            const OrderHeader& h = orderHeaders_[activeOrder - 1];
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

bool DatabaseBoard::PollReadItems() const {
    return Open(ordersRecordset_) && (GetOrdersCount() == 0 || Open(itemsRecordset_));
}

void DatabaseBoard::SaveOldState() {
    savedItemID_ = 0;
    savedActiveOrder_ = 0;
    // A poll that could not read the orders or their items knows nothing
    // new: the next one compares with what the last poll that read them saw
    // (the worker keeps those items).
    if (ordersRecordset_ && !PollReadItems()) {
        savedActiveOrder_ = window_.ActiveOrder();
        return;
    }
    savedOrdersCount_ = 0;
    RecordFailure(QStringLiteral("SaveOldState"), [&] {
        if (GetOrdersCount() == 0)
            return;
        savedActiveOrder_ = window_.ActiveOrder();
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

void DatabaseBoard::CompareStates(bool itemsChanged, PollTag tag) {
    bool changed = false;
    RecordFailure(QStringLiteral("CompareStates"),
                  [&] { changed = ChangedSinceOldState(itemsChanged); });
    window_.SetActiveOrder(savedActiveOrder_);
    if (changed && tag == PollTag::Timer)
        PlayNotificationSound();
}

bool DatabaseBoard::ChangedSinceOldState(bool itemsChanged) {
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

QString DatabaseBoard::GetGroupNameByCode(QString& code) {
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

void DatabaseBoard::tmrPassedTime_Timer() {
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
