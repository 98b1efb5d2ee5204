#pragma once

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

#include "board/DatabaseMonitor.h"
#include "board/DatabaseWorker.h"
#include "board/OrderBoard.h"

class MainWindow;
class QComboBox;
class QFrame;
class QLabel;
class QPlainTextEdit;
class QTimer;
namespace platform {
class DataGrid;
class Recordset;
}  // namespace platform

// The board of mode 2: the open orders of the point-of-sale database, polled
// every 30 seconds, the active order's header and items (tbDbOrder, dgView)
// and its waiting time (lblPassedTime), the operator's login, and Finish,
// which marks the items finished in the database. It owns the recordsets of
// the last poll, the database worker and its requests, and its timers
// (tmrOrders, tmrPassedTime, tmrNoAnswer).
//
// The database work (the connection check, the writes of a Finish, the two
// queries) runs on the database worker's thread; the poll's answer is taken
// on this thread, without pumping events, so nothing runs inside it.
// PollBusy is set while a request is under way: a timed poll then does
// nothing, and the answer under way is the news. Behind the connection box
// the polls and their answers go on.
class DatabaseBoard final : public QObject, public OrderBoard {
    Q_OBJECT
public:
    // The tag of tmrOrders: what the coming poll is for. Only the timer's own
    // poll plays the sound for changed items; the first poll of InitForm and
    // the poll after Finish do not.
    enum class PollTag { Timer, InitForm, Finish };

    // Fills `frame` (frmOrders(1) of the window) with the order's view.
    DatabaseBoard(MainWindow& window, QFrame* frame);
    // Lets go of the database worker (see Close).
    ~DatabaseBoard() override;

    void Start() override;
    void Stop() override;
    // The orders are in the database: there is always something to show.
    bool RestoreOrders() override { return true; }
    int16_t GetOrdersCount() const override;
    // Reloads the active order's items.
    void RefreshOrderPanels() override;
    // Writes the active order's items (all, or the grid's current one) with
    // the polling timer stopped, then polls again.
    void FinishActiveOrder() override;
    // The automatic lock asks for the operator again.
    void AfterFinish() override;
    QString ClearOrRefreshTag() const override { return QStringLiteral("Refresh"); }
    void FocusActiveView() override;
    void Layout(const PanelFont& font) override;
    void Unload() override {}
    // The worker's connection is closed on its own thread, after the call
    // under way (which ends at the latest with the driver's time-out); its
    // answer is not waited for.
    void Close() override;

    // Asks for a poll; its answer comes later (see PollBusy).
    void RefreshOrders();
    // The items grid's current row, one up or down.
    void SelectPreviousItem();
    void SelectNextItem();
    // Login: the users are read again and the operator asked for.
    void ChangeOperator();
    // The database the station reads, in a message box.
    void ShowDatabaseStatus();

    const QList<OrderHeader>& OrderHeaders() const { return orderHeaders_; }
    const QList<OrderItem>& OrderItems() const { return orderItems_; }
    int16_t GetItemsCount() const { return int16_t(orderItems_.size()); }
    bool PollBusy() const { return pollBusy_; }
    QString GroupNamesText() const { return groupNamesText_; }

private:
    friend class BoardTestAccess;

    void SetOrdersPollTag(PollTag tag) { ordersPollTag_ = tag; }
    void tmrOrders_Timer();
    void tmrPassedTime_Timer();
    void LoadOrderItems();
    QString GetGroupNameByCode(QString& code);
    QString GetDatabaseStatusText(bool withTitle);

    // --- start ---
    // The operator's login and the first poll; false when no operator logged
    // in: the window has then unloaded.
    bool StartDatabaseView();
    // The users, objects and goods groups, and the groups' names for the
    // order header; each step ignores its errors.
    void LoadDatabaseLists();
    bool LoginUser(bool changing, bool reload);
    // Status panel 5: the company of the logged-in operator.
    void ShowOperatorCompany();

    // --- the poll ---
    // The items a Finish writes, and the order (and, finishing one item, the
    // item) they were taken from.
    struct FinishTarget {
        OrderHeader Order;
        bool WholeOrder = true;
        int32_t ItemID = 0;
        QList<int32_t> ItemIDs;
    };
    // Queues a poll, or a Finish of the given items followed by a poll, with
    // the settings, version and filters of now.
    void SendDatabaseRequest(bool finish, const QList<int32_t>& itemIds, PollTag tag);
    // The worker's answer: the poll's steps on what it read, a Finish's
    // outcome, a database that could not be reached.
    void DatabaseAnswered(DatabaseAnswer answer);
    void ApplyPoll(const DatabaseAnswer& answer, PollTag tag);
    void ReadOrdersFromDatabase(const DatabaseAnswer& answer);
    void SaveOldState();
    void CompareStates(bool itemsChanged, PollTag tag);
    // A step of CompareStates: whether the poll brought more orders or changed
    // items against the saved state; keeps the saved active order inside the
    // list.
    bool ChangedSinceOldState(bool itemsChanged);
    // Whether the recordsets of the last poll hold what it asked for: the
    // orders, and their items when there are orders.
    bool PollReadItems() const;
    // A step of LoadOrderItems: reads the active order's items whole, then
    // shows them; raises at a row it cannot read, before anything changed.
    void ReadActiveOrderItems();
    void FillItemsGrid();
    void LayoutItemsGrid();
    // The items grid's current row changed: it alone is selected, and Finish
    // follows whether there is an order. Its caller ignores its errors.
    void dgView_RowColChange();

    // --- Finish ---
    // The active order's items, all or the grid's current one; raises for a
    // current row that names no item.
    FinishTarget ShownFinishTarget() const;
    // After a Finish whose items belonged to a connection made afresh since:
    // the same order still shown is finished now, else the status bar says
    // that the board changed.
    void FinishAgainIfStillShown();

    // --- a database that does not answer ---
    // The status bar says so while it lasts, the error log once (its first
    // failure), and the message box asks the operator once (and after a
    // Finish), without holding up the polls behind it.
    void DatabaseLost(const QList<DatabaseFailure>& failures);
    void DatabaseBack();
    void AskAboutConnection();
    void tmrNoAnswer_Timer();
    // The window's own connection, for the operator login: made afresh when
    // the worker found the database's connection lost since; false while the
    // database cannot be reached.
    bool WindowConnectionUsable();

    MainWindow& window_;
    QFrame* frame_ = nullptr;
    QPlainTextEdit* tbDbOrder_ = nullptr;
    QLabel* lblPassedTime_ = nullptr;
    platform::DataGrid* dgView_ = nullptr;
    QComboBox* cbObjects_ = nullptr;
    QTimer* tmrPassedTime_ = nullptr;
    QTimer* tmrOrders_ = nullptr;
    // Single shot: the request under way has waited too long for the database.
    QTimer* tmrNoAnswer_ = nullptr;

    std::shared_ptr<platform::Recordset> ordersRecordset_;
    std::shared_ptr<platform::Recordset> itemsRecordset_;
    QList<OrderHeader> orderHeaders_;
    QList<OrderItem> orderItems_;
    // Made at the first request; its thread ends with the board, or when the
    // station leaves mode 2 with no request under way.
    std::unique_ptr<DatabaseWorker> databaseWorker_;
    // The window unloaded: nothing more starts.
    bool closed_ = false;
    // Requests sent and not yet answered (a poll and a Finish at most).
    int pendingRequests_ = 0;
    bool pollBusy_ = false;
    bool finishPending_ = false;
    // The Finish under way, and whether it is already the second try after
    // a connection made afresh.
    FinishTarget finishTarget_;
    bool finishRetried_ = false;
    // A poll asked for while another was under way: sent once it answers.
    std::optional<PollTag> pollAgain_;
    PollTag ordersPollTag_ = PollTag::Timer;
    // The database has not answered (tmrNoAnswer) or could not be reached;
    // until a request reaches it again. The message box has been shown in
    // this episode; it is open now.
    bool databaseLost_ = false;
    bool connectionAsked_ = false;
    bool connectionBoxOpen_ = false;
    // The worker made its connection afresh since the window's was opened.
    bool windowConnectionStale_ = false;
    // Items whose time or quantity could not be read, already logged.
    QSet<int32_t> unreadableLogged_;
    // The tag of tmrPassedTime: the day number of the active order's earliest
    // item, from which the waiting time counts; none while no item is read.
    std::optional<double> passedTimeStart_;
    int32_t savedItemID_ = 0;
    int16_t savedOrdersCount_ = 0;
    int16_t savedActiveOrder_ = 0;
    // The failure LoadOrderItems last logged; empty once the items read.
    QString itemsFailure_;
    // The worker's connection generation the items were read under: a
    // Finish carries it, and writes nothing under another one.
    int itemsGeneration_ = -1;
    QString groupNamesText_;
};
