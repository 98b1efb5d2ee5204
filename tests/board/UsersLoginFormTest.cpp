// The operator login dialog driven offscreen: the keypad typing through
// synthesised keys, the station password, the users of a real SQLite file,
// the card reader's key protocol and the close rules with their message boxes.
#include <gtest/gtest.h>
#include <QApplication>
#include <QFrame>
#include <QLineEdit>
#include <QTest>

#include "board/UsersLoginForm.h"
#include "common/MessageBoxAnswers.h"
#include "common/ModalHelper.h"
#include "common/TestSupport.h"
#include "core/Configuration.h"
#include "core/CryptoClass.h"
#include "data/DatabaseClass.h"
#include "data/NomUsers.h"
#include "localization/BuiltInTexts.h"
#include "localization/MsgBoxExForm.h"
#include "localization/ResManagerClass.h"
#include "platform/Runtime.h"
#include "platform/Variant.h"
#include "platform/controls/CommandButton.h"

namespace {

using modal::AnswerBox;
using modal::SendKey;

// The reader: the Clear key before every character and before the Enter.
void SwipeCard(QWidget* window, const QString& digits) {
    for (QChar c : digits) {
        SendKey(window, Qt::Key_Clear);
        SendKey(window, Qt::Key_0 + (c.unicode() - '0'), QString(c));
    }
    SendKey(window, Qt::Key_Clear);
    SendKey(window, Qt::Key_Return, "\r");
}

class UsersLoginFormTest : public TempAppDataTest {
protected:
    void SetUp() override {
        TempAppDataTest::SetUp();
        if (ResManager().CountResources() == 0)
            RegisterBuiltInTexts();
        ConfigurationSettings.ConfigFile = PathIn("KestrelleApp.config");
        ConfigurationSettings.Restriction = false;
        ConfigurationSettings.Communication = 0;
        ConfigurationSettings.Password_2 = "741";
        rt::SetNow(QDateTime(QDate(2026, 3, 14), QTime(15, 30)));
    }
    void TearDown() override {
        form_.reset();
        Database().CloseConnection();
        TempAppDataTest::TearDown();
    }

    // A shown, active dialog with the focus in the password box.
    UsersLoginForm& Open() {
        form_ = std::make_unique<UsersLoginForm>(ConfigurationSettings);
        form_->show();
        form_->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form_.get()));
        QApplication::processEvents();
        return *form_;
    }
    void Type(const QString& text) {
        for (QChar c : text)
            SendKey(form_.get(), c.toUpper().unicode(), QString(c));
    }

    // Mode 2 on a fresh SQLite file holding users 1 (service) to 4, 5 deleted.
    void OpenUsersDatabase() {
        ConfigurationSettings.Communication = 2;
        const QString path = PathIn("pos.db");
        WriteBytes(path, QByteArray());
        DatabaseClass& db = Database();
        db.SetConnectTo(kDbAccess);
        db.SetDatabasePath(path);
        ASSERT_TRUE(db.OpenConnection());
        db.ExecuteNonQuery(
            "CREATE TABLE users (ID INTEGER PRIMARY KEY, Code TEXT, Name TEXT, Name2 TEXT, "
            "UserLevel INTEGER, Password TEXT, CardNumber TEXT, Deleted INTEGER NOT NULL "
            "DEFAULT 0)");
        db.ExecuteNonQuery(
            "CREATE TABLE applicationlog (ID INTEGER PRIMARY KEY, Message TEXT NOT NULL, "
            "MessageSource TEXT NOT NULL, UserID INTEGER NOT NULL, UserRealTime DATETIME NOT "
            "NULL)");
        AddUser(1, "Service", "9999", "", 0);
        AddUser(2, "Ivan", "1234", "10001", 0);
        AddUser(3, "Maria", "5555", "10002", 0);
        AddUser(4, "Manager", "7777", "10003", 0);
        AddUser(5, "Gone", "8888", "10004", -1);
        ASSERT_EQ(Users().Load(db), 4);
    }
    void AddUser(int id, const char* name, const char* password, const char* card, int deleted) {
        QString plain = QString::fromLatin1(password);
        const QString stored = Crypto().Encrypt(plain);
        Database().ExecuteNonQuery(
            QString("INSERT INTO users (ID, Code, Name, Name2, UserLevel, Password, CardNumber, "
                    "Deleted) VALUES (%1, '%1', '%2', '%2', 1, '%3', '%4', %5)")
                .arg(id)
                .arg(QString::fromLatin1(name), stored, QString::fromLatin1(card))
                .arg(deleted));
    }
    int FailedLogins() {
        return int(rt::Val(
            Database().ExecuteScalar("SELECT COUNT(*) FROM applicationlog", true).ToString()));
    }

    std::unique_ptr<UsersLoginForm> form_;
};

}  // namespace

TEST_F(UsersLoginFormTest, KeypadIsFourRowsOfThreeAroundOneGap) {
    UsersLoginForm form(ConfigurationSettings);
    EXPECT_FALSE(form.DialogAccepted());  // reset by loading
    EXPECT_TRUE(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    const int gap = 4;
    const int w = UsersLoginForm::kButtonWidth;
    const int h = UsersLoginForm::kButtonHeight;
    EXPECT_EQ(form.tbPassword()->geometry().topLeft(), QPoint(gap, 2 * gap));
    EXPECT_EQ(form.tbPassword()->width(), 3 * w + 2 * gap);
    EXPECT_EQ(form.tbPassword()->echoMode(), QLineEdit::Password);
    const QRect frame = form.frmDigits()->geometry();
    EXPECT_EQ(frame.left(), gap);
    EXPECT_EQ(frame.top(), form.tbPassword()->geometry().bottom() + 1 + 2 * gap);
    EXPECT_EQ(frame.size(), QSize(3 * w + 2 * gap, 4 * h + 3 * gap));
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 3; ++c) {
            const int i = 9 + c - 3 * r;
            platform::CommandButton* b = form.btnDigit(i);
            EXPECT_EQ(b->geometry(), QRect(c * (w + gap), r * (h + gap), w, h)) << i;
            EXPECT_EQ(b->Tag(), QString::number(i - 2));
            EXPECT_FALSE(b->Picture().isNull()) << i;
        }
    }
    EXPECT_EQ(form.btnDigit(9)->Tag(), "7");  // top left
    EXPECT_EQ(form.btnDigit(2)->Tag(), "0");  // Close, bottom right
    EXPECT_EQ(form.size(), QSize(frame.right() + 1 + gap, frame.bottom() + 1 + gap));
    EXPECT_EQ(form.windowTitle(), Res("UsersLoginForm|ME"));
}

TEST_F(UsersLoginFormTest, KeypadTypesLikeTheKeyboardAndOkChecksTheStationPassword) {
    UsersLoginForm& form = Open();
    form.btnDigit(9)->Press();
    form.btnDigit(6)->Press();
    form.btnDigit(3)->Press();
    // The digits arrive through the event loop, as typed keys do.
    QApplication::processEvents();
    EXPECT_EQ(form.tbPassword()->text(), "741");
    form.btnDigit(1)->Press();
    EXPECT_TRUE(form.DialogAccepted());
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Accepted);
    // Modes 0 and 1 leave the active user alone.
    EXPECT_EQ(Users().ActiveUser().ID(), 0);
}

TEST_F(UsersLoginFormTest, StationPasswordIsExactAndTheServicePasswordAlsoOpens) {
    UsersLoginForm& form = Open();
    modal::NoModalWindow none;
    for (const char* wrong : {" 741", "741 ", "7410", "74"}) {
        form.tbPassword()->setText(QString::fromLatin1(wrong));
        form.CheckLogin();
        EXPECT_FALSE(form.DialogAccepted()) << wrong;
        EXPECT_EQ(form.tbPassword()->text(), "") << wrong;
        EXPECT_TRUE(form.isVisible());
    }
    // The hourly service password, with no users list loaded.
    Type(Users().ServicePassword());
    SendKey(&form, Qt::Key_Return, "\r");
    EXPECT_TRUE(form.DialogAccepted());
    EXPECT_FALSE(form.isVisible());
}

TEST_F(UsersLoginFormTest, EmptyPasswordAsksForOneAndKeepsTheDialog) {
    UsersLoginForm& form = Open();
    for (const char* blank : {"", "   "}) {
        form.tbPassword()->setText(QString::fromLatin1(blank));
        QString prompt;
        AnswerBox(kMsgOk, &prompt);
        SendKey(&form, Qt::Key_Return, "\r");
        EXPECT_EQ(prompt, Res("strEnterPassword"));
        EXPECT_TRUE(form.isVisible());
        EXPECT_FALSE(form.DialogAccepted());
    }
}

TEST_F(UsersLoginFormTest, ModeTwoFindsServiceCardAndPasswordUsersAndLogsFailures) {
    OpenUsersDatabase();
    struct Case {
        QString Typed;
        int User;
    };
    const Case cases[] = {
        {"1234", 2},                     // a password
        {" 5555 ", 3},                   // passwords compare trimmed
        {"10003", 4},                    // a card number, typed
        {"97110002", 3},                 // the users' card prefix
        {Users().ServicePassword(), 1},  // the service user
    };
    for (const Case& c : cases) {
        Users().ActiveUser().Clear();
        UsersLoginForm& form = Open();
        form.tbPassword()->setText(c.Typed);
        form.btnDigit(1)->Press();
        EXPECT_TRUE(form.DialogAccepted()) << c.Typed.toStdString();
        EXPECT_EQ(Users().ActiveUser().ID(), c.User) << c.Typed.toStdString();
    }
    EXPECT_EQ(FailedLogins(), 0);

    Users().ActiveUser().Clear();
    UsersLoginForm& form = Open();
    modal::NoModalWindow none;
    // A deleted user's password, a wrong one, and the bare card prefix,
    // which must not match the users without a card.
    for (const char* wrong : {"8888", "4321", "971", "10004"}) {
        form.tbPassword()->setText(QString::fromLatin1(wrong));
        form.CheckLogin();
        EXPECT_FALSE(form.DialogAccepted()) << wrong;
        EXPECT_EQ(form.tbPassword()->text(), "") << wrong;
    }
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(Users().ActiveUser().ID(), 0);
    EXPECT_EQ(FailedLogins(), 4);
}

TEST_F(UsersLoginFormTest, CardReaderKeysLogTheCardHolderIn) {
    OpenUsersDatabase();
    UsersLoginForm& form = Open();
    modal::NoModalWindow none;
    // A reader that drops one Clear loses that character: no such card.
    SendKey(&form, Qt::Key_Clear);
    SendKey(&form, Qt::Key_1, "1");
    SendKey(&form, Qt::Key_0, "0");
    for (const char* rest : {"0", "0", "2"}) {
        SendKey(&form, Qt::Key_Clear);
        SendKey(&form, Qt::Key_0 + (rest[0] - '0'), rest);
    }
    EXPECT_EQ(form.CardBuffer(), "1002");
    EXPECT_EQ(form.tbPassword()->text(), "10002");  // every key reaches the box
    SendKey(&form, Qt::Key_Clear);
    SendKey(&form, Qt::Key_Return, "\r");
    EXPECT_FALSE(form.DialogAccepted());
    EXPECT_EQ(form.tbPassword()->text(), "");
    EXPECT_EQ(form.CardBuffer(), "");
    EXPECT_FALSE(form.CardArmed());

    // A read abandoned half way stays in the buffer until an armed Enter.
    SendKey(&form, Qt::Key_Clear);
    SendKey(&form, Qt::Key_9, "9");
    SwipeCard(&form, "10002");
    EXPECT_FALSE(form.DialogAccepted());
    EXPECT_EQ(form.CardBuffer(), "");

    // The bare prefix read from a card matches no card-less user.
    SwipeCard(&form, "971");
    EXPECT_FALSE(form.DialogAccepted());
    EXPECT_TRUE(form.isVisible());

    SwipeCard(&form, "10002");
    EXPECT_TRUE(form.DialogAccepted());
    EXPECT_EQ(Users().ActiveUser().ID(), 3);
    EXPECT_FALSE(form.isVisible());
    // Card reads through the armed Enter are not recorded as failures.
    EXPECT_EQ(FailedLogins(), 0);
}

TEST_F(UsersLoginFormTest, NoBreakSpaceNeverReachesThePasswordBox) {
    UsersLoginForm& form = Open();
    SendKey(&form, Qt::Key_1, "1");
    SendKey(&form, Qt::Key_nobreakspace, QString(QChar(0x00A0)));
    SendKey(&form, Qt::Key_2, "2");
    EXPECT_EQ(form.tbPassword()->text(), "12");
    EXPECT_EQ(form.tbPassword()->displayText(), "**");
}

TEST_F(UsersLoginFormTest, CloseRulesWithRestrictionAndInModeTwo) {
    // Kiosk lock: only a login leaves the dialog, by Esc, Close or close box.
    ConfigurationSettings.Restriction = true;
    UsersLoginForm& form = Open();
    QString prompt;
    AnswerBox(kMsgOk, &prompt);
    SendKey(&form, Qt::Key_Escape);
    EXPECT_EQ(prompt, Res("strNoPermission"));
    EXPECT_TRUE(form.isVisible());
    prompt.clear();
    AnswerBox(kMsgOk, &prompt);
    form.btnDigit(2)->Press();
    EXPECT_EQ(prompt, Res("strNoPermission"));
    prompt.clear();
    AnswerBox(kMsgOk, &prompt);
    form.close();
    EXPECT_EQ(prompt, Res("strNoPermission"));
    EXPECT_TRUE(form.isVisible());

    // Mode 2 without the lock asks whether to leave the program.
    ConfigurationSettings.Restriction = false;
    ConfigurationSettings.Communication = 2;
    prompt.clear();
    AnswerBox(kMsgNo, &prompt);
    SendKey(&form, Qt::Key_Escape);
    EXPECT_EQ(prompt, Res("strExit"));
    EXPECT_TRUE(form.isVisible());
    AnswerBox(kMsgYes, &prompt);
    SendKey(&form, Qt::Key_Escape);
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(form.DialogAccepted());
    EXPECT_EQ(form.result(), QDialog::Rejected);
}

TEST_F(UsersLoginFormTest, ModeZeroWithoutLockClosesWithoutAQuestion) {
    UsersLoginForm& form = Open();
    modal::NoModalWindow none;
    SendKey(&form, Qt::Key_Escape);
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(form.DialogAccepted());
}

TEST_F(UsersLoginFormTest, ShownModallyForAChangeOfOperatorWithACard) {
    OpenUsersDatabase();
    QString caption;
    bool focused = false;
    modal::WhenModal([&](QWidget* w) {
        caption = w->windowTitle();
        focused = w->focusWidget() && w->focusWidget()->objectName() == "tbPassword";
        SwipeCard(w, "10001");
    });
    EXPECT_TRUE(ShowUsersLoginForm(ConfigurationSettings, true));
    EXPECT_EQ(caption, Res("strChangeUser"));
    EXPECT_TRUE(focused);
    EXPECT_EQ(Users().ActiveUser().ID(), 2);

    // Refused: Esc and Yes to leaving.
    Users().ActiveUser().Clear();
    modal::WhenModal([](QWidget* w) {
        static QString prompt;
        AnswerBox(kMsgYes, &prompt);
        SendKey(w, Qt::Key_Escape);
    });
    EXPECT_FALSE(ShowUsersLoginForm(ConfigurationSettings, false));
    EXPECT_EQ(Users().ActiveUser().ID(), 0);
}
