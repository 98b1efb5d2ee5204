#pragma once

#include <QDialog>

class QKeyEvent;

// The base of the station's dialogs that see their keys before their
// controls and put themselves on top when they are activated.
//
// Key preview: every key pressed in this window (on the window itself or on
// one of its controls, also those created after construction) reaches
// PreviewKey before the control it is meant for. A key pressed in another
// window never does, and neither does a key of a popup or menu that the
// window opened: its menus keep their own keys (Enter chooses the item,
// Escape closes the menu). A key PreviewKey does not consume travels on to
// the control and, when the control leaves it, to the control's parents;
// PreviewKey sees it again at each of them, so a preview that acts without
// consuming checks the receiver.
//
// Activation: the window is top-most from its construction; each time it
// becomes the active one, Form_Activate runs, which by default makes it
// top-most again and restores the default cursor, errors ignored.
class KeyPreviewDialog : public QDialog {
    Q_OBJECT
public:
    explicit KeyPreviewDialog(QWidget* parent = nullptr);
    ~KeyPreviewDialog() override;

protected:
    // A key pressed in this window, before receiver (a control of the window
    // or the window itself) sees it. True consumes it.
    virtual bool PreviewKey(QWidget* receiver, QKeyEvent* event);
    // Any other event of one of the window's controls (focus changes, say),
    // before the control sees it. True consumes it.
    virtual bool ControlEvent(QWidget* control, QEvent* event);
    // Top-most and the default cursor. A window that does more on activation
    // calls this first.
    virtual void Form_Activate();

    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;
};
