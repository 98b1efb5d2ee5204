#include "startup/SubMain.h"

#include <QApplication>
#include <QIcon>

#include "board/BoardHooks.h"
#include "board/HotKeys.h"
#include "board/KeyboardLock.h"
#include "board/MainWindow.h"
#include "board/UsersLoginForm.h"
#include "core/BuildVersionClass.h"
#include "core/Configuration.h"
#include "core/ErrorController.h"
#include "core/ModCommon.h"
#include "core/ModSkin.h"
#include "core/ModSpecialFolders.h"
#include "core/ModWindowState.h"
#include "data/DatabaseClass.h"
#include "data/NomObjects.h"
#include "data/NomUsers.h"
#include "dialogs/AboutForm.h"
#include "dialogs/AuxiliaryWindows.h"
#include "dialogs/HelpForm.h"
#include "dialogs/SetupForm.h"
#include "localization/BuiltInTexts.h"
#include "localization/LocalizationForm.h"
#include "localization/MsgBoxExClass.h"
#include "localization/MsgBoxExForm.h"
#include "localization/ResManagerClass.h"
#include "platform/AppError.h"
#include "platform/Files.h"
#include "platform/Folders.h"
#include "platform/ProgramState.h"
#include "platform/Registry.h"
#include "platform/Runtime.h"
#include "platform/System.h"
#include "platform/TerminationSignals.h"
#include "platform/controls/SkinManager.h"

namespace {

bool gEnded = false;
[[maybe_unused]] const bool kEndedResetRegistered =
    platform::RegisterStateReset([] { gEnded = false; });

QString Text(const char* name) {
    return ResManager().GetResString(QString::fromLatin1(name));
}

int32_t Box(const QString& prompt, int32_t style, const char* title) {
    return MsgBoxEx().Show(prompt, style, Text(title));
}

// The board, made on first use; a board that was deleted is made anew. The
// board registers itself as the main form, so Board() finds it from then on.
MainWindow& Window() {
    if (MainWindow* board = Board())
        return *board;
    return *new MainWindow();
}

}  // namespace

void EndProgram() {
    gEnded = true;
    SetHourglass(false);
    QCoreApplication::exit(0);
}

bool ProgramEnded() {
    return gEnded;
}

void SetProgramIdentity() {
    QCoreApplication::setApplicationName(QStringLiteral("Kestrelle"));
    // The program's picture of the skin component, in the default scheme.
    const platform::SkinManager skin;
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128})
        icon.addPixmap(skin.GetButtonPicture(QStringLiteral("Kestrelle"), size));
    QApplication::setWindowIcon(icon);
}

void EndOnTerminationSignals() {
    static platform::TerminationSignals* watcher = new platform::TerminationSignals(
        [](int) {
            if (MainWindow* board = Board()) {
                SetHourglass(false);
                board->close();
                return;
            }
            QApplication::closeAllWindows();
            EndProgram();
        },
        qApp);
    Q_UNUSED(watcher);
}

int32_t GetCountryFromLanguage(const QString& language) {
    static const std::pair<const char*, int32_t> kCountries[] = {
        {"RU", 1}, {"EN", 4}, {"RO", 2}, {"GR", 5}, {"US", 9}, {"ES", 15}, {"TR", 16}};
    for (const auto& [code, country] : kCountries) {
        if (language == QLatin1String(code))
            return country;
    }
    return 0;
}

QString GetFerromontInstallPath(bool useBinPath) {
    const auto value = platform::RegistryReadString(
        platform::RegistryRoot::LocalMachine, QStringLiteral("SOFTWARE\\Quillbarrow\\Ferromont"),
        useBinPath ? QStringLiteral("Install Bin Path") : QStringLiteral("Install Path"));
    if (!value)
        return QString();
    const qsizetype nul = value->indexOf(QChar(0));
    return nul < 0 ? *value : value->left(nul);
}

void InitErrorController() {
    ErrorLogger().SetBuildDate(AppVersion().DateString());
    ErrorLogger().SetBuildVersion(AppVersion().Number());
    ErrorLogger().SetLogFileName(GetErrorLogPath(kAppKestrelle, true));
    Database().SetErrorLogging(&ErrorLogger());
}

void InitMessageBoxes() {
    MsgBoxEx().SetStandard(ConfigurationSettings.StandartMessage);
    MsgBoxEx().SetConfigFile(GetConfigFileName());
    MsgBoxEx().SetDictionaryFile(ResManager().DictionaryFile());
    MsgBoxEx().SetDefaultTitle(ResManager().GetResString(QStringLiteral("MainWindow|ME")));
}

void MigrateAccessPath() {
    DatabaseClass& db = Database();
    const QString name = GetFileNameFromPath(db.DatabasePath());
    const QString candidate = GetAppDataFolder(kAppFerromont, 0, false) + name;
    if (!FileExists(rt::Trim(candidate)) || rt::Trim(db.DatabasePath()) == rt::Trim(candidate))
        return;
    if (db.DatabasePath() == GetFerromontInstallPath(true) + name ||
        db.DatabasePath() == GetFerromontInstallPath(false) + name) {
        db.SetDatabasePath(rt::Trim(candidate));
    }
}

bool DatabaseValidation() {
    DatabaseClass& db = Database();
    try {
        QString namePart;
        switch (db.ConnectTo()) {
            case 0:
                namePart = QStringLiteral(" '") + db.DatabasePath() + QStringLiteral("' ");
                break;
            case 1:
            case 2:
            case 3:
                namePart = QStringLiteral(" '") + db.DatabaseName() + QStringLiteral("'  ");
                break;
            default:
                break;
        }
        const Variant count = db.ExecuteScalar(
            QStringLiteral("SELECT COUNT(ProductID) FROM [system] WHERE ProductID=1"), false);
        if ((count.IsEmpty() || count.IsNull() ? 0 : count.ToInteger()) <= 0) {
            Box(Text("strDatabaseLoad") + namePart + Text("strUnknownProduct"), kMsgExclamation,
                "strAttention");
            return false;
        }
        const QString dbVersion =
            db.ExecuteScalar(QStringLiteral("SELECT Version FROM [system]"), false).ToString();
        const QString programVersion = AppVersion().Number().left(4);
        if (dbVersion != programVersion) {
            Box(Text("strDiffVersion1") + ' ' + dbVersion + ' ' + Text("strDiffVersion2") + ' ' +
                    programVersion + Text("strDiffVersion3"),
                48, "strAttention");
            return false;
        }
        return true;
    } catch (const AppError& e) {
        ErrorLogger().Add(kSystemError, e.Number(), e.Description(),
                          QStringLiteral("Main.DatabaseValidation"));
    } catch (const std::exception& e) {
        ErrorLogger().Add(kSystemError, 0, QString::fromLocal8Bit(e.what()),
                          QStringLiteral("Main.DatabaseValidation"));
    }
    return false;
}

bool ConnectDatabase() {
    DatabaseClass& db = Database();
    const ConfigurationRecord& c = ConfigurationSettings;
    db.SetConnectTo(c.DatabaseType);
    db.SetDatabasePath(c.DatabasePath);
    db.SetDatabaseName(c.DatabaseName);
    db.SetServerName(c.ServerName);
    db.SetLocalServerName(c.LocalServerName);
    db.SetUser(c.UserName);
    db.SetPassword(c.Password);
    bool open = db.OpenConnection();
    if (!open) {
        if (db.ConnectTo() == 0)
            MigrateAccessPath();
        open = db.OpenConnection();
    }
    if (!open) {
        QString prompt = Text("strDBConn");
        if (db.ConnectTo() == 2 && db.MyODBCMissing())
            prompt += ' ' + Text("strMyODBCMissing");
        Box(prompt, kMsgCritical, "strAttention");
        return false;
    }
    if (!DatabaseValidation()) {
        Box(Text("strDBConn"), kMsgCritical, "strAttention");
        return false;
    }
    return true;
}

bool OpenSetupWindow() {
    const bool accepted = ShowSetupForm(ConfigurationSettings).DialogAccepted;
    ResManager().SetLanguage(&Window());
    return accepted;
}

void AskExitOrSetup() {
    if (Box(Text("strExit"), kMsgYesNo | kMsgQuestion, "strAttention") == kMsgYes) {
        EndProgram();
        return;
    }
    OpenSetupWindow();
}

void RunSetup(bool showSetup) {
    ConfigurationRecord& c = ConfigurationSettings;
    if (!DatabaseMode() && !rt::Trim(c.Password_2).isEmpty()) {
        if (!ShowUsersLoginForm(c, false))
            return;
    }
    SetHourglass(true);
    // Without the dialog the settings count as accepted and the connection
    // as unchanged.
    const SetupResult setup = showSetup ? ShowSetupForm(c) : SetupResult{true, false};
    MainWindow& window = Window();
    if (!setup.DialogAccepted) {
        ResManager().SetLanguage(&window);
        if (SkinManager().SelectedSkin() != c.Skin) {
            SkinManager().SetSelectedSkin(c.Skin);
            ApplySkinToForm(&window);
        }
        return;
    }
    if (setup.ConnectionChanged && DatabaseMode()) {
        // The close is over when CloseConnection returns: nothing is left to
        // wait for before the new settings are connected.
        try {
            if (Database().IsConnected())
                Database().CloseConnection();
        } catch (const AppError&) {
        }
        if (!ConnectDatabase()) {
            EndProgram();
            return;
        }
    }
    ResManager().SetCurrentLanguage(c.Language);
    LoadConfiguration();
    LoadHotKeys();
    ResManager().SetLanguage(&window);
    window.InitForm();
    HideTaskbar();
    SetTopMost(&window);
    // The window manager's keys follow the new Restriction at once; the
    // hook stays as it was installed at start-up.
    GrabSystemKeys();
}

namespace {

// The program's own ground: its name, settings file, command line, error log
// and the number and date formats every later step reads with.
void PrepareRun() {
    SetHourglass(true);
    AppVersion().SetApplication(kAppKestrelle);
    GetConfigFileName();
    ReadCommandLineSwitches();
    InitErrorController();
    GetDecimalSeparator();
    ReadDateSettings();
    SetHourglass(true);
}

// The dictionary and the station's language (its country follows), then the
// skin, before the first window is made.
void LoadLanguageAndSkin() {
    ResManager().SetDictionaryFile(platform::ProgramFolder() +
                                   QStringLiteral("/Dictionary_Kestrelle.lng"));
    ResManager().LoadLanguages(QString(), GetConfigFileName(), GetProgramDataFolder());
    RegisterBuiltInTexts();
    ConfigurationSettings.Language = ResManager().CurrentLanguage();
    ConfigurationSettings.Country = GetCountryFromLanguage(ConfigurationSettings.Language);
    SelectSkin();
}

// One program per data folder: its first copy holds an exclusive lock on a
// file there for as long as it lives; every other copy finds it taken and ends
// without writing the settings, the order files or the language files of the
// folder (a second copy would later write its stale list of orders over the
// first one's). The translation editor takes it too: it writes the same
// settings file, and a restricted station holds the screen and the keyboard,
// so the two are not used side by side.
// Within one process the lock is taken once and kept; a fresh start (of the
// tests) lets it go.
platform::FileLock& DataFolderLock() {
    static platform::FileLock lock;
    return lock;
}
[[maybe_unused]] const bool kLockResetRegistered =
    platform::RegisterStateReset([] { DataFolderLock().Release(); });

// The texts of a copy that must not run: the dictionary in the stored
// language, read without writing anything (LoadLanguages stores the language
// list and its choice in the settings file, and may delete language markers
// in the data folder).
void LoadTextsWithoutWriting() {
    ResManager().SetDictionaryFile(platform::ProgramFolder() +
                                   QStringLiteral("/Dictionary_Kestrelle.lng"));
    ResManager().GetLanguages(GetConfigFileName());
    const QString stored = rt::Trim(ReadIniValue(
        QStringLiteral("Language"), QStringLiteral("Value"), GetConfigFileName(), 255));
    ResManager().SetCurrentLanguage(stored.size() == 2 ? stored : QStringLiteral("BG"));
    RegisterBuiltInTexts();
    InitMessageBoxes();
}

// Takes the data folder's lock before anything reads or writes the folder's
// files or opens a port. False, after telling the person who started this
// copy, when another copy holds it or it cannot be taken (that is logged).
bool LockDataFolder() {
    const QString path = GetProgramDataFolder() + QStringLiteral("Kestrelle.lock");
    platform::FileLock& lock = DataFolderLock();
    if (lock.Held() && lock.Path() == path)
        return true;
    errno = 0;
    const platform::FileLock::Result result = lock.Take(path);
    if (result == platform::FileLock::Result::Taken)
        return true;
    const int error = errno ? errno : EIO;
    LoadTextsWithoutWriting();
    SetHourglass(false);
    if (result == platform::FileLock::Result::HeldElsewhere) {
        Box(Text("strAlreadyRunning").arg(GetProgramDataFolder()), kMsgExclamation, "strAttention");
    } else {
        const QString reason = platform::SystemErrorText(error);
        ErrorLogger().Add(kSystemError, error, reason + QStringLiteral(" (") + path + ')',
                          QStringLiteral("Main.LockDataFolder"));
        Box(Text("strFolderNotLocked").arg(path, reason), kMsgCritical, "strAttention");
    }
    EndProgram();
    return false;
}

// "local" on the command line: the translation editor instead of the board.
bool TranslationEditorWanted() {
    return platform::CommandLine().toLower().contains(QStringLiteral("local"));
}

// The message boxes, the error logging of the lists, the board and what it
// asks of the program.
MainWindow& MakeBoard() {
    InitMessageBoxes();
    Users().SetErrorLogging(&ErrorLogger());
    Objects().SetErrorLogging(&ErrorLogger());
    MainWindow& window = Window();
    Hooks().RunSetup = [](bool showSetup) { RunSetup(showSetup); };
    Hooks().EndProgram = [] { EndProgram(); };
    Hooks().ShowHelp = [] { ShowHelpForm(ConfigurationSettings); };
    Hooks().ShowAbout = [] { ShowAboutForm(ConfigurationSettings); };
    Hooks().ShowLoginDialog = [](bool changing) {
        return ShowUsersLoginForm(ConfigurationSettings, changing);
    };
    Hooks().UnloadOtherWindows = [] { UnloadAuxiliaryWindows(); };
    return window;
}

// The settings and hot keys; settings that do not load open the setup
// window, and what it accepts is saved.
void LoadSettings() {
    const bool ConfigLoaded = LoadConfiguration();
    LoadHotKeys();
    if (!ConfigLoaded) {
        if (OpenSetupWindow())
            SaveConfiguration();
    }
}

// A database station does not start without its database: the operator
// tries again, changes the setup or ends the program. False when it ended.
bool ConnectDatabaseOfDatabaseMode() {
    if (!DatabaseMode())
        return true;
    while (!ConnectDatabase()) {
        AskExitOrSetup();
        if (gEnded)
            return false;
    }
    return true;
}

// The kiosk: setup opens only now, system keys, task manager and taskbar are
// taken away, and the board stands above every other window.
void LockStation(MainWindow& window) {
    window.SetSetupAllowed(true);
    DisableSystemKeys();
    DisableTaskManager();
    HideTaskbar();
    SetTopMost(&window);
}

}  // namespace

bool Main() {
    gEnded = false;
    PrepareRun();
    if (!LockDataFolder())
        return false;
    LoadLanguageAndSkin();
    if (TranslationEditorWanted()) {
        // The translation editor is the window the program lives in; the
        // program ends when it closes.
        SetLocalizationFormClosed([] { EndProgram(); });
        ShowLocalizationForm();
        return true;
    }
    // Start-up runs straight through: the board paints, and datagrams,
    // terminals and timers are served, once the event loop runs. Only the
    // modal windows below (the setup window, the database prompts, the
    // login) run events in between, and any of them may end the program.
    MainWindow& window = MakeBoard();
    window.show();
    LoadSettings();
    if (!ConnectDatabaseOfDatabaseMode() || gEnded)
        return false;
    window.InitForm();
    if (gEnded)
        return false;
    LockStation(window);
    return true;
}
