#include "board/UsersLoginForm.h"

#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>

#include "board/ApplicationLog.h"
#include "core/Configuration.h"
#include "core/CryptoClass.h"
#include "core/ModCommon.h"
#include "core/ModSkin.h"
#include "core/ModWindowState.h"
#include "core/cSendKeys.h"
#include "data/NomUsers.h"
#include "localization/MsgBoxExClass.h"
#include "localization/MsgBoxExForm.h"
#include "localization/ResManagerClass.h"
#include "platform/AppError.h"
#include "platform/Runtime.h"
#include "platform/System.h"
#include "platform/controls/CommandButton.h"
#include "platform/controls/ControlIndex.h"
#include "platform/controls/VirtualKeys.h"

namespace {

constexpr QChar kNoBreakSpace(0x00A0);

// A card number found by the users list is a login only when the user really
// has one: a number reduced to nothing by the prefix rule would otherwise
// match every user whose card number is empty, the service user among them.
bool IsCardMatch(const NomUsersItem& user) {
    return user.ID() > 0 && !rt::Trim(user.CardNumber()).isEmpty();
}

}  // namespace

UsersLoginForm::UsersLoginForm(const ConfigurationRecord& settings, QWidget* parent)
    : KeyPreviewDialog(parent), settings_(settings) {
    setObjectName(QStringLiteral("UsersLoginForm"));
    // The design caption; the translation replaces it when a dictionary has one.
    setWindowTitle(ResManager().GetDefaultResource(QStringLiteral("UsersLoginForm|ME")));
    CreateControls();
    Form_Load();
}

UsersLoginForm::~UsersLoginForm() = default;

void UsersLoginForm::CreateControls() {
    tbPassword_ = new QLineEdit(this);
    tbPassword_->setObjectName(QStringLiteral("tbPassword"));
    tbPassword_->setEchoMode(QLineEdit::Password);
    tbPassword_->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    QFont font = tbPassword_->font();
    font.setPointSize(16);
    tbPassword_->setFont(font);

    frmDigits_ = new QFrame(this);
    frmDigits_->setObjectName(QStringLiteral("frmDigits"));
    for (int i = 0; i < kDigitButtons; ++i) {
        auto* b = new platform::CommandButton(QStringLiteral("btnDigit"), i, frmDigits_);
        b->resize(kButtonWidth, kButtonHeight);
        b->setIconSize(QSize(32, 32));
        // The keypad types into the password box, which keeps the focus.
        b->setFocusPolicy(Qt::NoFocus);
        connect(b, &platform::CommandButton::ClickIndex, this,
                [this](int index) { btnDigit_Click(index); });
        btnDigit_.append(b);
    }
    tbPassword_->setFocus();
}

platform::CommandButton* UsersLoginForm::btnDigit(int index) const {
    return index >= 0 && index < btnDigit_.size() ? btnDigit_[index] : nullptr;
}

void UsersLoginForm::Form_Load() {
    ResManager().SetLanguage(this);
    ApplySkinToForm(this);
    LayoutKeypad();
    dialogAccepted_ = false;
}

void UsersLoginForm::Form_Activate() {
    KeyPreviewDialog::Form_Activate();
    tbPassword_->setFocus();
}

void UsersLoginForm::LayoutKeypad() {
    // Measures in twips, as the board's layout; every value is a whole
    // number of pixels, so the conversion back is exact.
    const int tx = platform::TwipsPerPixelX();
    const int ty = platform::TwipsPerPixelY();
    const int gap = 4 * tx;
    const int w = kButtonWidth * tx;
    const int h = kButtonHeight * ty;

    const int passwordLeft = gap;
    const int passwordTop = 2 * gap;
    const int passwordWidth = 3 * w + 2 * gap;
    const int passwordHeight = tbPassword_->sizeHint().height() * ty;
    auto place = [](QWidget* control, int left, int top, int width, int height) {
        control->setGeometry(platform::TwipsToPixelsX(left), platform::TwipsToPixelsY(top),
                             platform::TwipsToPixelsX(width), platform::TwipsToPixelsY(height));
    };
    place(tbPassword_, passwordLeft, passwordTop, passwordWidth, passwordHeight);

    const int frameLeft = passwordLeft;
    const int frameTop = passwordTop + passwordHeight + 2 * gap;
    const int frameWidth = 3 * w + 2 * gap;
    const int frameHeight = 4 * h + 3 * gap;
    place(frmDigits_, frameLeft, frameTop, frameWidth, frameHeight);

    struct Box {
        int left = 0, top = 0, width = 0, height = 0;
    };
    Box boxes[kDigitButtons];
    for (int r = 0; r <= 3; ++r) {
        for (int c = 0; c <= 2; ++c) {
            const int i = 9 + c - 3 * r;
            Box& b = boxes[i];
            b.width = c == 2 ? frameWidth - (boxes[i - 1].left + boxes[i - 1].width) - gap : w;
            b.left = c == 0 ? 0 : boxes[i - 1].left + boxes[i - 1].width + gap;
            b.height = h;
            b.top = r == 0 ? 0 : boxes[i + 3].top + boxes[i + 3].height + gap;
            place(btnDigit_[i], b.left, b.top, b.width, b.height);
            btnDigit_[i]->SetTag(QString::number(i - 2));
        }
    }

    // The inner size: the keypad with one gap to its right and below. The
    // window manager adds its frame around it.
    setFixedSize(platform::TwipsToPixelsX(frameLeft + frameWidth + gap),
                 platform::TwipsToPixelsY(frameTop + frameHeight + gap));
}

void UsersLoginForm::btnDigit_Click(int index) {
    if (index == 0)
        TypeDigit(QStringLiteral("0"));
    else if (index == 1)
        CheckLogin();
    else if (index == 2)
        Unload();
    else if (index >= 3 && index < kDigitButtons)
        TypeDigit(btnDigit_[index]->Tag());
}

void UsersLoginForm::TypeDigit(const QString& text) {
    rt::ContainErrors("UsersLoginForm.TypeDigit", [&] {
        tbPassword_->setFocus();
        SendKeystrokes(text, true);
    });
}

void UsersLoginForm::CheckLogin() {
    const QString text = tbPassword_->text();
    if (rt::Trim(text).isEmpty()) {
        MsgBoxEx().Show(Res("strEnterPassword"), kMsgExclamation, Res("strAttention"));
        tbPassword_->setFocus();
        return;
    }
    const ConfigurationRecord& c = settings_;
    if (c.Communication != 2) {
        // The station password is compared exactly, blanks and all.
        if (text == c.Password_2 || text == Users().ServicePassword())
            AcceptLogin(NomUsersItem());
        else
            tbPassword_->clear();
        return;
    }
    if (rt::Trim(text) == Users().ServicePassword()) {
        AcceptLogin(Users().FindByID(1));
        return;
    }
    QString card = text;
    const NomUsersItem byCard = Users().FindByCard(card, c.PrefixUsers);
    if (IsCardMatch(byCard)) {
        AcceptLogin(byCard);
        return;
    }
    const NomUsersItem byPassword = Users().FindByPassword(text, Crypto());
    if (byPassword.ID() > 0) {
        AcceptLogin(byPassword);
        return;
    }
    LogFailedLogin();
    tbPassword_->clear();
}

void UsersLoginForm::AcceptLogin(const NomUsersItem& user) {
    if (DatabaseMode(settings_))
        Users().SetActiveUser(user);
    dialogAccepted_ = true;
    Unload();
}

void UsersLoginForm::Form_KeyDown(int keyCode, int shift) {
    Q_UNUSED(shift);
    switch (keyCode) {
        case platform::kVkReturn:
            if (cardArmed_) {
                QString card = cardBuffer_;
                const NomUsersItem user = Users().FindByCard(card, settings_.PrefixUsers);
                cardBuffer_.clear();
                cardArmed_ = false;
                if (IsCardMatch(user))
                    AcceptLogin(user);
                else
                    tbPassword_->clear();
            } else {
                cardArmed_ = false;
                CheckLogin();
            }
            cardArmed_ = false;
            break;
        case platform::kVkEscape:
            cardArmed_ = false;
            Unload();
            break;
        case platform::kVkClear:
            cardArmed_ = true;
            break;
        default:
            if (cardArmed_) {
                cardBuffer_ += QChar(char16_t(keyCode));
                cardArmed_ = false;
            }
            break;
    }
}

bool UsersLoginForm::tbPassword_KeyPress(QKeyEvent* event) {
    const QString text = event->text();
    if (!text.contains(kNoBreakSpace))
        return false;
    QString rest = text;
    rest.remove(kNoBreakSpace);
    if (!rest.isEmpty())
        tbPassword_->insert(rest);
    return true;
}

bool UsersLoginForm::PreviewKey(QWidget* receiver, QKeyEvent* key) {
    // A key arrives first at the focused control and then, when the control
    // leaves it, at its parents: the window looks at it only at the first.
    QWidget* first = focusWidget() ? focusWidget() : this;
    if (receiver != first)
        return false;
    QPointer<QLineEdit> box = tbPassword_;
    const int keyCode = platform::VirtualKeyFromEvent(key);
    if (keyCode != 0)
        Form_KeyDown(keyCode, platform::ShiftStateFromModifiers(key->modifiers()));
    return receiver == tbPassword_ && box && tbPassword_KeyPress(key);
}

void UsersLoginForm::keyPressEvent(QKeyEvent* event) {
    // Enter and Esc were the window's already (Form_KeyDown); the dialog's
    // own default button and cancel handling must not act a second time.
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            event->accept();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

void UsersLoginForm::reject() {
    Unload();
}

void UsersLoginForm::closeEvent(QCloseEvent* event) {
    if (closeAllowed_ || !isVisible()) {
        event->accept();
        return;
    }
    // The close box: the same rules as every other way out.
    event->ignore();
    Unload();
}

bool UsersLoginForm::Unload() {
    if (closing_ || closeAllowed_)
        return closeAllowed_;
    closing_ = true;
    bool cancel = false;
    Form_QueryUnload(cancel);
    if (!cancel)
        Form_Unload(cancel);
    closing_ = false;
    if (cancel)
        return false;
    closeAllowed_ = true;
    done(dialogAccepted_ ? QDialog::Accepted : QDialog::Rejected);
    return true;
}

void UsersLoginForm::Form_QueryUnload(bool& cancel) {
    if (settings_.Restriction && !dialogAccepted_) {
        MsgBoxEx().Show(Res("strNoPermission"), kMsgExclamation, Res("strAttention"));
        cancel = true;
    }
}

void UsersLoginForm::Form_Unload(bool& cancel) {
    if (DatabaseMode(settings_) && !dialogAccepted_) {
        if (MsgBoxEx().Show(Res("strExit"), kMsgYesNo + kMsgQuestion, Res("strAttention")) ==
            kMsgNo)
            cancel = true;
    }
}

bool ShowUsersLoginForm(const ConfigurationRecord& settings, bool changing) {
    QWidget* owner = MainForm();
    if (owner && !owner->isVisible())
        owner = nullptr;
    // On the heap and watched: the owner may go while the dialog is modal.
    QPointer<UsersLoginForm> form = new UsersLoginForm(settings, owner);
    if (changing)
        form->setWindowTitle(Res("strChangeUser"));
    const bool accepted = form->exec() == QDialog::Accepted;
    delete form.data();
    return accepted;
}
