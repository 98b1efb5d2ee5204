#pragma once

#include <QList>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

class ArrivalsBoard;
class DatabaseBoard;
class OrderBoard;
class QFrame;
class QLabel;
class QTimer;

namespace platform {
class CommandButton;
}

// The order board window: the active order, the action buttons and their hot
// keys, the status bar, the layout and the window's start and end. The work
// of the two kinds of board, the arrived orders of modes 0 and 1
// (ArrivalsBoard) and the database board of mode 2 (DatabaseBoard), lives in
// two classes that the window owns and delegates to, each filling one frame
// of orders (frmOrders) and owning its state, timers and store. The window's
// members are named as the board's routines are; their implementation is
// split by concern: MainWindow.cpp (controls, window events),
// MainWindowActions.cpp (the one table of the board's actions: the buttons,
// their enabling, the hot keys, the tool tips),
// MainWindowLifecycle.cpp (start, restart and end of the board),
// MainWindowLayout.cpp (geometry, status bar and clock).
//
// Re-entrancy: neither the window nor its boards pump window events; each
// datagram, server message, timer, database answer and button runs to its
// end before the next. Only a modal window the board opens runs other
// handlers inside the member that opened it (behind mode 2's connection box
// the polls and their answers go on); members re-read the active order and
// panel after one instead of holding on to them.
class MainWindow final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kActionButtons = 12;
    static constexpr int kOrderPanels = 4;

    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Starts (and restarts, after Setup) the board in the station's mode.
    void InitForm();
    // Whether Setup may open the settings dialog: not before the start has
    // allowed it.
    void SetSetupAllowed(bool allowed) { setupAllowed_ = allowed; }

    // --- what the boards share: the active order, the buttons, the status
    // bar ---
    int16_t ActiveOrder() const { return activeOrder_; }
    // Clamped to 1..GetOrdersCount (0 when there is no order).
    void SetActiveOrder(int16_t value);
    // The order panel that shows the active order (modes 0 and 1); -1 after
    // InitForm until the operator navigates.
    int16_t ActivePanel() const { return activePanel_; }
    void SetActivePanel(int16_t value) { activePanel_ = value; }
    // The orders of the board of the station's mode.
    int16_t GetOrdersCount() const;
    void RefreshOrderPanels();
    // lblOrdersStatus: the active order and the count.
    void UpdateOrdersStatus();

    void btnAction_Click(int index);
    void EnableActionButtons(bool enable);
    // -1 for a name no button carries.
    int GetActionButtonIndex(const QString& name) const;
    platform::CommandButton* btnAction(int index) const;
    // The Finish button is enabled or not; a disabled one stops blinking.
    void OfferFinish(bool offered);
    void AutoSelectLastOrder();
    // keyCode is a virtual-key code; set to 0 when the key is consumed.
    void Form_KeyDown(int& keyCode, int shift);

    QLabel* Panels(int index) const;  // 1 to 5
    void SetStatusText(const QString& text);
    // A problem shows in status panel 1 in place of its text while it lasts
    // (an empty problem gives the text back); the first of these that has
    // one is shown: the order files', the database's (it does not answer),
    // the last Finish's (the database refused it).
    enum class StatusProblem { OrderFiles, Database, Finish };
    void ShowStatusProblem(StatusProblem which, const QString& problem);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class BoardTestAccess;

    // The board of the station's mode, and the other one.
    OrderBoard& Current() const;
    OrderBoard& Other() const;

    // --- controller, start and end ---
    void Form_Load();
    void Form_Unload();
    void Form_Activate();
    void KeyDownDispatcher(int32_t action);
    void SetToolTips();
    void FocusActiveView();
    void LogActionError(const QString& message, int number, const QString& tag);
    void TimerNewOrder_Timer();
    void ResetFinishPicture();

    // --- the board's actions ---
    // What an action's enable rule looks at.
    struct ActionState {
        int active = 0;         // ActiveOrder
        int count = 0;          // GetOrdersCount
        bool database = false;  // mode 2
        int level = 0;          // the operator's
    };
    // One row per action: its button's tag ("" for a hot key without a
    // button), whether the button is one of the bar as designed, its hot-key
    // function (0 for none), its tool tip's text resource, what it does, when
    // its button is enabled (null, or no answer: the button is left as it
    // is), and whether it moves in the orders list.
    struct Action {
        const char* tag;
        bool bar;
        int32_t function;
        const char* toolTip;
        void (*run)(MainWindow&);
        std::optional<bool> (*enabled)(const ActionState&);
        bool navigation;
    };
    static std::span<const Action> Actions();
    // The action of a button's tag (case-insensitive); null for none.
    static const Action* ActionOfTag(const QString& tag);

    void SelectFirstOrder();
    void SelectPreviousOrder();
    void SelectNextOrder();
    void SelectLastOrder();
    // Setup: the settings dialog (only once the start has allowed it), after
    // which the board has restarted in the possibly new mode.
    void OpenSettings();
    void OpenHelp();
    void OpenAbout();
    // Exit: the board unloads, which ends the program.
    void CloseBoard();

    // --- the steps of InitForm ---
    void ClearStatusPanels();
    // The button after Finish is Refresh in mode 2 and Clear otherwise.
    void SetClearOrRefreshButton();
    // The orders of the last run, with the first one active.
    void RestoreArrivedOrders();

    // --- layout and status bar ---
    void tmrClock_Timer();
    void Form_Resize();
    void LayoutButtonBar();
    void InitStatusBar();
    // Status panel 1: the first problem, else the status text.
    void ShowStatusPanel();

    void CreateControls();
    void CreateButtonBar();
    void CreateStatusBar();
    void CreateTimers();

    int16_t activeOrder_ = 0;
    int16_t activePanel_ = -1;
    bool setupAllowed_ = false;
    bool loaded_ = false;
    bool unloaded_ = false;
    bool blinkState_ = false;
    // Status panel 1: what SetStatusText last gave it, and the problems that
    // stand in its place while they last, by StatusProblem.
    QString statusText_;
    QString problems_[3];

    QFrame* frmButtons_ = nullptr;
    QList<platform::CommandButton*> btnAction_;
    QLabel* lblOrdersStatus_ = nullptr;
    QList<QFrame*> frmOrders_;
    QFrame* stbLite_ = nullptr;
    QList<QFrame*> frmPanel_;  // index 0 unused: frames 1 to 5
    QList<QLabel*> panels_;    // index 0 unused: labels 1 to 5

    QTimer* tmrClock_ = nullptr;
    QTimer* timerNewOrder_ = nullptr;

    // After the state they report to: a board's store may still show a
    // problem in the status bar as it is destroyed.
    std::unique_ptr<ArrivalsBoard> arrivals_;
    std::unique_ptr<DatabaseBoard> database_;
};

// The board window, once created: the main form it registers (see
// MainForm()), as the board's own class.
MainWindow* Board();
