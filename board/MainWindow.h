#pragma once

#include <QList>
#include <QSet>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "board/ArrivedOrders.h"
#include "board/DatabaseMonitor.h"
#include "board/DatabaseWorker.h"

class ArrivalsStore;

class CSocketMaster;
class ModServer;
class QComboBox;
class QFrame;
class QLabel;
class QPlainTextEdit;
class QTimer;

namespace platform {
class Recordset;
class CommandButton;
class DataGrid;
class RichTextBox;
}  // namespace platform

// The order board. Its members are named as the board's routines are; their
// implementation is split by concern: MainWindow.cpp (controls, window
// events), MainWindowActions.cpp (the action buttons and hot keys),
// MainWindowLifecycle.cpp (start, restart and end of the board),
// MainWindowArrivals.cpp (orders of modes 0 and 1), MainWindowDatabase.cpp
// and MainWindowDatabaseRequests.cpp (mode 2: the orders read from the
// database, and the requests to the database worker), MainWindowLayout.cpp
// (geometry, status bar and clock).
//
// Re-entrancy: no member pumps window events; each datagram, server
// message, timer, database answer and button runs to its end before the
// next. Only a modal window the board opens runs other handlers inside the
// member that opened it (behind mode 2's connection box the polls and their
// answers go on); members re-read every index they use after one instead of
// holding on to an element.
class MainWindow final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kActionButtons = 12;
    static constexpr int kOrderPanels = 4;

    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // --- controller ---
    int16_t ActiveOrder() const { return activeOrder_; }
    // Clamped to 1..GetOrdersCount (0 when there is no order).
    void SetActiveOrder(int16_t value);
    int16_t ActivePanel() const { return activePanel_; }
    void SetActivePanel(int16_t value) { activePanel_ = value; }
    bool SetupAllowed() const { return setupAllowed_; }
    void SetSetupAllowed(bool allowed) { setupAllowed_ = allowed; }

    void btnAction_Click(int index);
    void EnableActionButtons(bool enable);
    int GetActionButtonIndex(const QString& name) const;
    // keyCode is a virtual-key code; set to 0 when the key is consumed.
    void Form_KeyDown(int& keyCode, int shift);

    // --- start and end ---
    void Form_Load();
    void InitForm();
    void Form_Unload();

    // --- arrived orders (modes 0 and 1) ---
    // `saved` (may be empty) runs once BackUp.log holds the order.
    void AddArrivedOrder(const QString& text, std::function<void()> saved = {});
    int16_t GetOrdersCount() const;
    void RefreshOrderPanels();
    // Writes what waits of the list to BackUp.log (the index is kept for its
    // callers; the whole list is saved). Nothing in mode 2.
    void SaveArrivalsBackup(int16_t index);
    void timArrival_Timer();
    void TimerNewOrder_Timer();
    const QList<ArrivedOrder>& Arrivals() const { return arrivals_; }
    // The list's files: every change to the list goes through it.
    ArrivalsStore& Store() const { return *store_; }
    static QString BackupFilePath();
    static QString HistoryFilePath();

    // --- database view (mode 2) ---
    // The database work (the connection check, the writes of a Finish, the
    // two queries) runs on the database worker's thread; the poll's answer is
    // taken on this thread, without pumping events, so nothing runs inside
    // it. PollBusy is set while a request is under way: a timed poll then
    // does nothing, and the answer under way is the news.
    //
    // The tag of tmrOrders: what the coming poll is for. Only the timer's own
    // poll plays the sound for changed items; the first poll of InitForm and
    // the poll after Finish do not.
    enum class PollTag { Timer, InitForm, Finish };
    void SetOrdersPollTag(PollTag tag) { ordersPollTag_ = tag; }
    // Asks for a poll; its answer comes later (see PollBusy).
    void tmrOrders_Timer();
    void RefreshOrders();
    void LoadOrderItems();
    int16_t GetItemsCount() const { return int16_t(orderItems_.size()); }
    QString GetGroupNameByCode(QString& code);
    void tmrPassedTime_Timer();
    const QList<OrderHeader>& OrderHeaders() const { return orderHeaders_; }
    const QList<OrderItem>& OrderItems() const { return orderItems_; }
    bool PollBusy() const { return pollBusy_; }
    QString GroupNamesText() const { return groupNamesText_; }

    // --- layout and status bar ---
    void tmrClock_Timer();

    // --- controls ---
    platform::CommandButton* btnAction(int index) const;
    platform::RichTextBox* rtbOrder(int index) const;
    QLabel* Panels(int index) const;  // 1 to 5
    CSocketMaster* Server() const { return server_.get(); }
    // The message server of mode 1 (listening only in that mode).
    ModServer& ImServer() const { return *imServer_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Mode 2: the orders come from the point-of-sale database.
    static bool DatabaseMode();

    // --- controller, start and end ---
    void KeyDownDispatcher(int32_t action);
    void SetToolTips();
    void AutoSelectLastOrder();
    void Form_Activate();
    bool LoginUser(bool changing, bool reload);
    // Status panel 5: the company of the logged-in operator.
    void ShowOperatorCompany();

    // --- arrived orders (modes 0 and 1) ---
    void Server_DataArrival(int32_t bytesTotal);
    bool LoadArrivalsBackup();
    void rtbOrder_GotFocus(int index);
    void rtbOrder_Click(int index);

    // --- database view (mode 2) ---
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
    void FillItemsGrid();
    void LayoutItemsGrid();
    // The active order's items, all or the grid's current one; raises for a
    // current row that names no item.
    FinishTarget ShownFinishTarget() const;
    // After a Finish whose items belonged to a connection made afresh since:
    // the same order still shown is finished now, else the status bar says
    // that the board changed.
    void FinishAgainIfStillShown();
    // The database does not answer or cannot be reached: the status bar says
    // so while it lasts, the error log once (its first failure), and the
    // message box asks the operator once (and after a Finish), without
    // holding up the polls behind it.
    void DatabaseLost(const QList<DatabaseFailure>& failures);
    void DatabaseBack();
    void AskAboutConnection();
    void tmrNoAnswer_Timer();
    // The window's own connection, for the operator login: made afresh when
    // the worker found the database's connection lost since; false while the
    // database cannot be reached.
    bool WindowConnectionUsable();

    // --- layout and status bar ---
    void Form_Resize();
    void LayoutButtonBar();
    void InitStatusBar();
    void SetStatusText(const QString& text);
    // Shows the problem of the order files in status panel 1 in place of its
    // text; an empty problem gives the text back.
    void ShowStoreProblem(const QString& problem);
    // Mode 2: the database's refusal of the last Finish; empty once one
    // wrote. Shown in status panel 1 while it lasts (after the order files'
    // and the database's).
    void ShowFinishProblem(const QString& problem);
    // Mode 2: the database does not answer; empty once it does.
    void ShowDatabaseProblem(const QString& problem);
    QString GetDatabaseStatusText(bool withTitle);
    QFrame* frmOrders(int index) const;

    void CreateControls();
    void CreateButtonBar();
    // The two frames of frmOrders: the order panels (modes 0 and 1) in the
    // first; CreateDatabaseView fills the second.
    void CreateOrderPanels();
    void CreateDatabaseView();
    void CreateStatusBar();
    // The items grid's current row changed: it alone is selected, and Finish
    // follows whether there is an order. Its caller ignores its errors.
    void dgView_RowColChange();
    void CreateTimers();
    void ResetFinishPicture();

    // --- the actions of btnAction_Click, one per tag ---
    void SelectFirstOrder();
    void SelectPreviousOrder();
    void SelectNextOrder();
    void SelectLastOrder();
    // The items grid's current row, one up or down (mode 2).
    void SelectPreviousItem();
    void SelectNextItem();
    void FinishActiveOrder();
    // Finish of modes 0 and 1: the order of the active panel is no longer new.
    void FinishArrivedOrder();
    // Finish of mode 2: writes the active order's items (all, or the grid's
    // current one) with the polling timer stopped, then polls again.
    void FinishDatabaseItems();
    // Clear: the active order goes to the history file and leaves the list.
    void ClearActiveOrder();
    // Login: the users are read again and the operator asked for.
    void ChangeOperator();
    // Setup: the settings dialog (only once the start has allowed it), after
    // which the board has restarted in the possibly new mode.
    void OpenSettings();
    void OpenHelp();
    // Exit: the board unloads, which ends the program.
    void CloseBoard();

    // --- the steps of InitForm ---
    void ClearStatusPanels();
    void ShowOrdersViewOfMode();
    // The UDP socket (mode 0), the message server (mode 1) or the database
    // view with its operator login and first poll (mode 2).
    void StartReceivingOrders();
    void ListenForDatagrams();
    void StartMessageServer();
    // Returns early when no operator logged in: the board has then unloaded.
    void StartDatabaseView();
    // The users, objects and goods groups, and the groups' names for the
    // order header; each step ignores its errors.
    void LoadDatabaseLists();
    // The button after Finish is Refresh in mode 2 and Clear otherwise.
    void SetClearOrRefreshButton();
    void StartTimersOfMode();
    // The orders of the backup file, with the first one active.
    void RestoreArrivedOrders();

    void UpdateOrdersStatus();
    // A step of CompareStates: whether the poll brought more orders or changed
    // items against the saved state; keeps the saved active order inside the
    // list.
    bool ChangedSinceOldState(bool itemsChanged);
    // Whether the recordsets of the last poll hold what it asked for: the
    // orders, and their items when there are orders.
    bool PollReadItems() const;
    // Status panel 1: the order files' problem, else the database's, else the
    // last Finish's, else the status text.
    void ShowStatusPanel();
    // A step of LoadOrderItems: reads the active order's items whole, then
    // shows them; raises at a row it cannot read, before anything changed.
    void ReadActiveOrderItems();
    void FocusActiveView();
    void LogActionError(const QString& message, int number, const QString& tag);

    int16_t activeOrder_ = 0;
    int16_t activePanel_ = -1;
    bool setupAllowed_ = false;
    bool loaded_ = false;
    bool unloaded_ = false;
    bool blinkState_ = false;

    QList<ArrivedOrder> arrivals_;
    std::unique_ptr<ArrivalsStore> store_;
    // Status panel 1: what SetStatusText last gave it, and the problem of the
    // order files that stands in its place while it lasts.
    QString statusText_;
    QString storeProblem_;
    QString databaseProblem_;
    QString finishProblem_;

    std::shared_ptr<platform::Recordset> ordersRecordset_;
    std::shared_ptr<platform::Recordset> itemsRecordset_;
    QList<OrderHeader> orderHeaders_;
    QList<OrderItem> orderItems_;
    // Made at the first request of mode 2; its thread ends with the window.
    std::unique_ptr<DatabaseWorker> databaseWorker_;
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
    UdpSenderTable udpSenders_;
    std::unique_ptr<CSocketMaster> server_;
    std::unique_ptr<ModServer> imServer_;

    QFrame* frmButtons_ = nullptr;
    QList<platform::CommandButton*> btnAction_;
    QLabel* lblOrdersStatus_ = nullptr;
    QList<QFrame*> frmOrders_;
    QList<platform::RichTextBox*> rtbOrder_;
    // The whole text of the order each panel shows (a panel shows at most
    // PanelText of it): what RefreshOrderPanels compares against.
    QList<QString> panelTexts_;
    QList<QLabel*> lblTime_;
    QPlainTextEdit* tbDbOrder_ = nullptr;
    QLabel* lblPassedTime_ = nullptr;
    platform::DataGrid* dgView_ = nullptr;
    QComboBox* cbObjects_ = nullptr;
    QFrame* stbLite_ = nullptr;
    QList<QFrame*> frmPanel_;  // index 0 unused: frames 1 to 5
    QList<QLabel*> panels_;    // index 0 unused: labels 1 to 5

    QTimer* tmrClock_ = nullptr;
    QTimer* timerNewOrder_ = nullptr;
    QTimer* timArrival_ = nullptr;
    QTimer* tmrPassedTime_ = nullptr;
    QTimer* tmrOrders_ = nullptr;
    // Single shot: the request under way has waited too long for the database.
    QTimer* tmrNoAnswer_ = nullptr;
};

// The board window, once created: the main form it registers (see
// MainForm()), as the board's own class.
MainWindow* Board();
