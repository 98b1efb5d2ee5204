#pragma once

#include <QString>
#include <cstdint>

struct PanelFont;

// The work of one kind of board behind the board window: the arrived orders
// of modes 0 and 1 (ArrivalsBoard) or the orders of the point-of-sale
// database in mode 2 (DatabaseBoard). The window owns one of each, each
// filling its frame of orders (frmOrders), and hands the board of the
// station's mode what concerns the orders; the active order, the action
// buttons and the status bar stay the window's, shared by both.
class OrderBoard {
public:
    virtual ~OrderBoard() = default;

    // InitForm: the board of the mode shows its frame and starts receiving
    // orders (a socket, the message server, or the operator's login and the
    // first poll) and its timers; the other hides its frame and stops. A
    // refused login of mode 2 unloads the window inside Start.
    virtual void Start() = 0;
    virtual void Stop() = 0;
    // The orders of the last run are on the board again: true when there is
    // one to show.
    virtual bool RestoreOrders() = 0;

    virtual int16_t GetOrdersCount() const = 0;
    // Shows the active order again: the panels around it, or its items.
    virtual void RefreshOrderPanels() = 0;
    virtual void FinishActiveOrder() = 0;
    // Runs after every Finish, whether or not it succeeded.
    virtual void AfterFinish() = 0;
    // The tag of the button after Finish: "Clear" or "Refresh".
    virtual QString ClearOrRefreshTag() const = 0;
    // The input focus goes where the operator reads the active order.
    virtual void FocusActiveView() = 0;
    // The window laid out the frame anew; the order panels' font.
    virtual void Layout(const PanelFont& font) = 0;

    // The window unloads: first what the board keeps reaches the disk
    // (Unload), then, after the settings are saved and the keyboard is given
    // back, its connections close (Close).
    virtual void Unload() = 0;
    virtual void Close() = 0;
};
