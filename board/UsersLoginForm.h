#pragma once

#include <QList>
#include <QString>

#include "core/KeyPreviewDialog.h"

struct ConfigurationRecord;
class NomUsersItem;
class QFrame;
class QLineEdit;
namespace platform {
class CommandButton;
}

// The modal dialog in which an operator proves who he is: a password typed on
// the keyboard or on the on-screen keypad, or a card swiped through a reader
// that types the card number as keys. In mode 2 it logs the operator in
// (Users().ActiveUser()); in modes 0 and 1 it is the station-password gate of
// the settings. The outcome is only DialogAccepted() (and the active user).
// It reads the settings record it is given (mode, Restriction, station
// password, card prefix), which outlives it.
//
// Keys reach the window before the password box (and still reach the box):
// Enter checks the login, Esc closes, and the Clear key (virtual key 12) arms
// the card protocol: the one key after it is a character of the card number,
// and an armed Enter looks the collected number up.
//
// Closing, by Esc, the Close key or the window's close box, obeys two rules:
// with Restriction on only a successful login leaves the dialog; in mode 2
// an unaccepted close asks whether to leave the program. Message boxes shown
// by these rules and by CheckLogin run nested event loops: keys and clicks are
// handled again inside them, guarded against a second close.
class UsersLoginForm final : public KeyPreviewDialog {
    Q_OBJECT
public:
    static constexpr int kDigitButtons = 12;
    // The design size of one keypad button, in pixels.
    static constexpr int kButtonWidth = 72;
    static constexpr int kButtonHeight = 60;

    // Loads the window: translation, skin, layout, DialogAccepted False.
    explicit UsersLoginForm(const ConfigurationRecord& settings, QWidget* parent = nullptr);
    ~UsersLoginForm() override;

    // A login was accepted; the dialog closes with QDialog::Accepted then.
    bool DialogAccepted() const { return dialogAccepted_; }

    QLineEdit* tbPassword() const { return tbPassword_; }
    QFrame* frmDigits() const { return frmDigits_; }
    platform::CommandButton* btnDigit(int index) const;
    bool CardArmed() const { return cardArmed_; }
    QString CardBuffer() const { return cardBuffer_; }

    void LayoutKeypad();
    void btnDigit_Click(int index);
    // Types the text into the password box through synthesised keys, so a
    // keypad digit arrives as a typed one would (after this call returns).
    void TypeDigit(const QString& text);
    void CheckLogin();
    // The window's look at a key before the focused control gets it.
    void Form_KeyDown(int keyCode, int shift);
    // Closes the dialog unless a close rule keeps it open; true when it closed.
    bool Unload();

protected:
    // Form_KeyDown, never consuming; then the password box's own filter.
    bool PreviewKey(QWidget* receiver, QKeyEvent* key) override;
    // The default cursor, top-most, the focus in the password box.
    void Form_Activate() override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void reject() override;

private:
    void CreateControls();
    void Form_Load();
    void Form_QueryUnload(bool& cancel);
    void Form_Unload(bool& cancel);
    // Drops a typed no-break space; true when nothing of the key is left.
    bool tbPassword_KeyPress(QKeyEvent* event);
    void AcceptLogin(const NomUsersItem& user);

    const ConfigurationRecord& settings_;
    bool dialogAccepted_ = false;
    QLineEdit* tbPassword_ = nullptr;
    QFrame* frmDigits_ = nullptr;
    QList<platform::CommandButton*> btnDigit_;
    bool cardArmed_ = false;
    QString cardBuffer_;
    // Inside the close rules (their message boxes pump events).
    bool closing_ = false;
    // The close rules have let the dialog go; the close itself follows.
    bool closeAllowed_ = false;
};

// Creates the dialog on settings, captions it "strChangeUser" when the
// operator is being changed, shows it modally and answers whether a login was
// accepted.
bool ShowUsersLoginForm(const ConfigurationRecord& settings, bool changing);
