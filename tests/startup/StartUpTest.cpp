// The start of the program: the database loop of mode 2 with its exit prompt,
// what the validation says about a database and in which order, the moved
// Access database, the country from the language and the "local" switch.
#include <errno.h>
#include <gtest/gtest.h>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>

#include "DbTestSupport.h"
#include "StartUpFixture.h"
#include "board/BoardTestAccess.h"
#include "board/MainWindow.h"
#include "core/BuildVersionClass.h"
#include "core/Configuration.h"
#include "core/ErrorController.h"
#include "data/DatabaseClass.h"
#include "data/NomUsers.h"
#include "dialogs/SetupForm.h"
#include "localization/BuiltInTexts.h"
#include "localization/LocalizationForm.h"
#include "localization/MsgBoxExForm.h"
#include "localization/ResManagerClass.h"
#include "platform/Files.h"
#include "platform/Registry.h"
#include "platform/System.h"
#include "startup/SubMain.h"

namespace {

constexpr const char* kFerromontKey = "SOFTWARE\\Quillbarrow\\Ferromont";

class StartUpDatabaseTest : public StartUpTest {
protected:
    void SetUp() override {
        StartUpTest::SetUp();
        // What Main sets up before it first connects.
        if (ResManager().CountResources() == 0)
            RegisterBuiltInTexts();
        AppVersion().SetApplication(8);
        ConfigurationSettings.Communication = 2;
        ConfigurationSettings.DatabaseType = 0;
    }
};

}  // namespace

TEST_F(StartUpTest, ModeTwoAsksUntilTheDatabaseOpensAndTheOneUserIsLoggedIn) {
    SqliteExec(db_, "DELETE FROM users WHERE ID <> 1");
    Configure({{"Communication", "2"}, {"DatabasePath", PathIn("moved.db")}});
    Answer({Press(kMsgOk), Press(kMsgNo),
            Settings([this](SetupForm* f) { SetText(f, "tbPath", db_); }, true)});
    EXPECT_TRUE(Main());
    EXPECT_EQ(shown_,
              (QStringList{Box(16, Res("strDBConn")), Box(36, Res("strExit")), "SetupForm"}));
    EXPECT_FALSE(ProgramEnded());
    EXPECT_TRUE(Database().IsConnected());
    EXPECT_EQ(Setting("DatabasePath"), db_) << "the dialog saved the path the loop then used";
    // The only user is the service user, ID 1: no login dialog.
    EXPECT_EQ(Users().ActiveUser().ID(), 1);
    EXPECT_EQ(Board()->Panels(2)->text(), "Сервиз");
    EXPECT_TRUE(BoardTestAccess::SetupAllowed(*Board()));
}

TEST_F(StartUpTest, YesAtTheExitPromptEndsTheProgramWhateverTheDialogChanged) {
    Configure({{"Communication", "2"}, {"DatabasePath", PathIn("moved.db")}});
    // The mode is tested once, before the loop: leaving mode 2 in the
    // dialog does not leave the loop.
    Answer({Press(kMsgOk), Press(kMsgNo),
            Settings([](SetupForm* f) { Combo(f, "cbCommunicationMethod")->setCurrentIndex(0); },
                     true),
            Press(kMsgOk), Press(kMsgYes)});
    EXPECT_FALSE(Main());
    EXPECT_TRUE(ProgramEnded());
    const QString connection = Box(16, Res("strDBConn"));
    const QString exit = Box(36, Res("strExit"));
    EXPECT_EQ(shown_, (QStringList{connection, exit, "SetupForm", connection, exit}));
    EXPECT_EQ(Setting("Communication"), "0");
    EXPECT_FALSE(BoardTestAccess::SetupAllowed(*Board())) << "the board was started";
}

TEST_F(StartUpDatabaseTest, ValidationNamesWhatIsWrongBeforeTheConnectionBox) {
    ConfigurationSettings.DatabasePath = db_;
    Answer({});
    EXPECT_TRUE(ConnectDatabase()) << "version 3.07 of product 1 is this program's";
    Database().CloseConnection();

    const QString unknown =
        Box(48, Res("strDatabaseLoad") + " '" + db_ + "' " + Res("strUnknownProduct"));
    const std::pair<const char*, QString> cases[] = {
        {"UPDATE system SET Version = '3.070'",
         Box(48, Res("strDiffVersion1") + " 3.070 " + Res("strDiffVersion2") + " 3.07" +
                     Res("strDiffVersion3"))},
        // The product is checked before the version.
        {"UPDATE system SET Version = '3.06', ProductID = 2", unknown},
        {"DROP TABLE system", unknown},
    };
    for (const auto& [sql, message] : cases) {
        CreateSqliteDatabase(db_, true);
        SqliteExec(db_, sql);
        shown_.clear();
        Answer({Press(kMsgOk), Press(kMsgOk)});
        EXPECT_FALSE(ConnectDatabase()) << sql;
        EXPECT_EQ(shown_, (QStringList{message, Box(16, Res("strDBConn"))})) << sql;
        Database().CloseConnection();
    }
    // The missing table is a failed query, which the log records.
    EXPECT_TRUE(LogText().contains("FROM [system] WHERE ProductID=1")) << LogText().toStdString();

    // A server database is named by its database name, two blanks after it.
    TempMySqlDatabase server(true);
    server.Exec("DELETE FROM `system`");
    ConfigurationSettings.DatabaseType = kDbMySql;
    ConfigurationSettings.ServerName = server.Server().ServerName();
    ConfigurationSettings.DatabaseName = server.Name();
    ConfigurationSettings.UserName = server.Server().user;
    ConfigurationSettings.Password = server.Server().password;
    shown_.clear();
    Answer({Press(kMsgOk), Press(kMsgOk)});
    EXPECT_FALSE(ConnectDatabase());
    EXPECT_EQ(shown_.value(0), Box(48, Res("strDatabaseLoad") + " '" + server.Name() + "'  " +
                                           Res("strUnknownProduct")));
}

TEST_F(StartUpDatabaseTest, AnAccessPathInTheInstallFolderIsLookedForInTheDataFolder) {
    const QString moved = AppData() + "/Quillbarrow/Ferromont/pos.mdb";
    ASSERT_TRUE(QDir().mkpath(AppData() + "/Quillbarrow/Ferromont"));
    CreateSqliteDatabase(moved, true);
    using platform::RegistryRoot;
    ASSERT_TRUE(platform::RegistryWriteString(RegistryRoot::LocalMachine, kFerromontKey,
                                              "Install Bin Path", "/opt/ferromont/bin/"));
    ASSERT_TRUE(platform::RegistryWriteString(RegistryRoot::LocalMachine, kFerromontKey,
                                              "Install Path", "/opt/ferromont/"));
    for (const QString path : {"/opt/ferromont/bin/pos.mdb", "/opt/ferromont/pos.mdb"}) {
        ConfigurationSettings.DatabasePath = path;
        Answer({});
        EXPECT_TRUE(ConnectDatabase()) << path.toStdString();
        EXPECT_EQ(Database().DatabasePath(), moved);
        EXPECT_EQ(ConfigurationSettings.DatabasePath, path) << "the setting keeps its path";
        Database().CloseConnection();
    }
    // The comparison is exact: another spelling is not the install folder.
    ConfigurationSettings.DatabasePath = "/opt/Ferromont/bin/pos.mdb";
    Answer({Press(kMsgOk)});
    EXPECT_FALSE(ConnectDatabase());
    EXPECT_EQ(Database().DatabasePath(), "/opt/Ferromont/bin/pos.mdb");
}

TEST(CountryFromLanguage, ExactCodesElseZero) {
    const std::pair<const char*, int32_t> cases[] = {{"RU", 1}, {"EN", 4},  {"RO", 2},  {"GR", 5},
                                                     {"US", 9}, {"ES", 15}, {"TR", 16}, {"ru", 0},
                                                     {"BG", 0}, {"DE", 0},  {"RUS", 0}, {"", 0}};
    for (const auto& [language, country] : cases)
        EXPECT_EQ(GetCountryFromLanguage(language), country) << language;
}

TEST_F(StartUpTest, LocalInAnyCaseAnywhereOpensTheTranslationEditorInstead) {
    for (const char* line : {"local", "-LOCAL", "/NoLocalMenu x"}) {
        platform::SetCommandLine(line);
        Answer({});
        EXPECT_TRUE(Main()) << line;
        LocalizationForm* editor = LocalizationFormInstance();
        ASSERT_TRUE(editor && editor->isVisible()) << line;
        EXPECT_EQ(Board(), nullptr) << "the board was made for " << line;
        EXPECT_FALSE(ProgramEnded());
        editor->close();
        EXPECT_TRUE(ProgramEnded()) << "closing the editor ends the program";
        ForgetTheEnd();
    }
    platform::SetCommandLine("loca l");
    EXPECT_TRUE(StartBoard());
    EXPECT_TRUE(Board()->isVisible());
}

// A copy that cannot lock its data folder tells so and ends before it writes
// anything there: another copy holds the lock (said, not logged), or taking
// it fails (the first write step of KESTRELLE_FILE_FAULT; logged as well).
TEST_F(StartUpTest, ACopyThatCannotLockTheDataFolderSaysSoAndWritesNothing) {
    const QString folder = GetProgramDataFolder();
    const QString lockFile = folder + "Kestrelle.lock";
    const QByteArray settings = ReadBytes(config_);
    {
        platform::FileLock other;
        ASSERT_EQ(other.Take(lockFile), platform::FileLock::Result::Taken);
        Answer({Press(kMsgOk)});
        EXPECT_FALSE(Main());
        EXPECT_EQ(shown_, QStringList{Box(48, Res("strAlreadyRunning").arg(folder))});
    }
    EXPECT_FALSE(QFile::exists(ErrorLogger().LogFileName()));
    ForgetTheEnd();

    qputenv("KESTRELLE_FILE_FAULT", "fail:1");
    platform::InstallFileFaultFromEnvironment();
    qunsetenv("KESTRELLE_FILE_FAULT");
    shown_.clear();
    Answer({Press(kMsgOk)});
    EXPECT_FALSE(Main());
    EXPECT_TRUE(ProgramEnded());
    EXPECT_EQ(shown_,
              QStringList{Box(
                  16, Res("strFolderNotLocked").arg(lockFile, platform::SystemErrorText(EIO)))});
    EXPECT_TRUE(LogText().contains("Main.LockDataFolder")) << LogText().toStdString();
    EXPECT_TRUE(LogText().contains(lockFile)) << LogText().toStdString();
    EXPECT_EQ(Board(), nullptr);
    EXPECT_EQ(ReadBytes(config_), settings);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden),
              (QStringList{"Kestrelle.lock", "KestrelleApp.config"}));
}
