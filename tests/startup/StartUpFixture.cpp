#include "StartUpFixture.h"

#include <sys/socket.h>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QTimer>

#include "DbTestSupport.h"
#include "board/MainWindow.h"
#include "board/UsersLoginForm.h"
#include "common/MessageBoxAnswers.h"
#include "common/TestNet.h"
#include "core/Configuration.h"
#include "core/ErrorController.h"
#include "data/DatabaseClass.h"
#include "data/NomUsers.h"
#include "dialogs/SetupForm.h"
#include "localization/LocalizationForm.h"
#include "localization/MsgBoxExForm.h"
#include "localization/ResManagerClass.h"
#include "platform/CodePage.h"
#include "platform/IniFile.h"
#include "platform/System.h"
#include "platform/controls/CommandButton.h"
#include "startup/SubMain.h"

void StartUpTest::SetUp() {
    TempAppDataTest::SetUp();
    config_ = GetConfigFileName();
    // Not the test program's own arguments.
    platform::SetCommandLine(QString());
    db_ = PathIn(QStringLiteral("pos.db"));
    CreateSqliteDatabase(db_, true);
    // No kiosk lock, no sound, and ports nobody else holds.
    Configure({{"Restriction", "False"},
               {"SoundNotification", "False"},
               {"PortUDP", QString::number(FreePort(SOCK_DGRAM))},
               {"PortTCP", QString::number(FreePort(SOCK_STREAM))}});
}

void StartUpTest::TearDown() {
    guard_.reset();
    delete Board();
    if (LocalizationForm* editor = LocalizationFormInstance()) {
        SetLocalizationFormClosed(nullptr);
        delete editor;
    }
    Database().CloseConnection();
    if (ProgramEnded())
        ForgetTheEnd();
    TempAppDataTest::TearDown();
}

void StartUpTest::Configure(const QList<QPair<QString, QString>>& settings) {
    for (const auto& [key, value] : settings)
        platform::IniWrite(config_, key, QStringLiteral("Value"), value);
}

QString StartUpTest::Setting(const QString& key) const {
    return platform::IniRead(config_, key, QStringLiteral("Value"), 255);
}

void StartUpTest::Answer(QList<Step> steps) {
    guard_.reset();
    if (steps.isEmpty()) {
        // The database loop asks until it is answered Yes: an unexpected
        // window ends the program, so that the loop stops.
        guard_ = std::make_unique<modal::NoModalWindow>([] { EndProgram(); });
        return;
    }
    const Step step = steps.takeFirst();
    modal::WhenModal([this, step, steps](QWidget* w) {
        auto* box = qobject_cast<MsgBoxExForm*>(w);
        shown_ << (box ? Box(box->MsgBoxStyle(), box->Prompt()) : w->objectName());
        // The next step is armed while this window is still up, so that it
        // waits for the window after this one.
        Answer(steps);
        step(w);
    });
}

StartUpTest::Step StartUpTest::Press(int result) {
    return [result](QWidget* w) { modal::PressResult(w, result); };
}

StartUpTest::Step StartUpTest::Settings(std::function<void(SetupForm*)> edit, bool save) {
    return [edit, save](QWidget* w) {
        auto* form = qobject_cast<SetupForm*>(w);
        if (!form) {
            ADD_FAILURE() << "not the settings dialog: " << modal::Describe(w);
            modal::ForceClose(w);
            return;
        }
        edit(form);
        form->findChild<platform::CommandButton*>(save ? "btnSave" : "btnCancel")->Press();
    };
}

StartUpTest::Step StartUpTest::Login(const QString& password) {
    return [password](QWidget* w) {
        auto* form = qobject_cast<UsersLoginForm*>(w);
        if (!form) {
            ADD_FAILURE() << "not the login dialog: " << modal::Describe(w);
            modal::ForceClose(w);
            return;
        }
        form->tbPassword()->setText(password);
        form->tbPassword()->setFocus();
        modal::SendKey(form, Qt::Key_Return, QStringLiteral("\r"));
    };
}

StartUpTest::Step StartUpTest::Refuse() {
    return [](QWidget* w) { modal::SendKey(w, Qt::Key_Escape); };
}

bool StartUpTest::StartBoard() {
    Answer({});
    return Main();
}

void StartUpTest::PressAction(const char* tag) {
    Board()->btnAction_Click(Board()->GetActionButtonIndex(QString::fromLatin1(tag)));
}

void StartUpTest::ForgetTheEnd() {
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
}

QString StartUpTest::Box(int style, const QString& prompt) {
    return QString::number(style) + ' ' + prompt;
}

QComboBox* StartUpTest::Combo(SetupForm* form, const char* name) {
    return form->findChild<QComboBox*>(QString::fromLatin1(name));
}

void StartUpTest::SetText(SetupForm* form, const char* name, const QString& text) {
    form->findChild<QLineEdit*>(QString::fromLatin1(name))->setText(text);
}

QString StartUpTest::LogText() const {
    return platform::FromAnsi(ReadBytes(ErrorLogger().LogFileName()));
}
