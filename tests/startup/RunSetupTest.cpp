// The running program's Setup action and its end: the station-password gate,
// a cancelled dialog taking back its skin preview, an accepted one restarting
// the board, a failed reconnect ending the program, the operator login of
// mode 2 and the unload that saves the settings.
#include <gtest/gtest.h>
#include <QComboBox>
#include <QLabel>

#include "DbTestSupport.h"
#include "StartUpFixture.h"
#include "board/MainWindow.h"
#include "core/Configuration.h"
#include "core/ModSkin.h"
#include "core/startup/SubMain.h"
#include "data/DatabaseClass.h"
#include "dialogs/SetupForm.h"
#include "localization/MsgBoxExForm.h"
#include "localization/ResManagerClass.h"
#include "platform/controls/SkinManager.h"

namespace {

QColor BackColour(QWidget* w) {
    return w->palette().color(w->backgroundRole());
}

int SkinIndex(const QString& name) {
    for (int i = 0; i < SkinManager().Count(); ++i) {
        if (SkinManager().Item(i) == name)
            return i;
    }
    return -1;
}

}  // namespace

TEST_F(StartUpTest, TheStationPasswordGuardsTheSettingsDialog) {
    Configure({{"Password_2", "741"}});
    ASSERT_TRUE(StartBoard());
    Answer({Refuse()});
    PressAction("Setup");
    EXPECT_EQ(shown_, QStringList{"UsersLoginForm"}) << "a refused gate opens nothing more";
    Answer({Login("741"), Settings([](SetupForm*) {}, false)});
    PressAction("Setup");
    EXPECT_EQ(shown_, (QStringList{"UsersLoginForm", "UsersLoginForm", "SetupForm"}));
}

TEST_F(StartUpTest, ACancelledDialogTakesBackTheSkinAndASavedOneRestartsTheBoard) {
    Configure({{"Skin", "Blue"}});
    ASSERT_TRUE(StartBoard());
    const QColor blue = BackColour(Board());
    ASSERT_GE(SkinIndex("Lila"), 0);
    Answer({Settings(
        [blue](SetupForm* f) {
            Combo(f, "cbColorScheme")->setCurrentIndex(SkinIndex("Lila"));
            EXPECT_NE(BackColour(Board()), blue) << "the preview did not reach the board";
        },
        false)});
    PressAction("Setup");
    EXPECT_EQ(SkinManager().SelectedSkin(), "Blue");
    EXPECT_EQ(BackColour(Board()), blue);
    EXPECT_TRUE(Board()->Panels(1)->text().startsWith(" UDP  "));

    Answer({Settings([](SetupForm* f) { Combo(f, "cbCommunicationMethod")->setCurrentIndex(1); },
                     true)});
    PressAction("Setup");
    EXPECT_TRUE(Board()->Panels(1)->text().startsWith(" IM  ")) << "the board runs in mode 1";
    EXPECT_EQ(Board()->Server(), nullptr) << "the UDP socket of mode 0 is gone";
    EXPECT_FALSE(ProgramEnded());
}

TEST_F(StartUpTest, AFailedReconnectAfterTheDialogEndsTheProgram) {
    SqliteExec(db_, "DELETE FROM users WHERE ID <> 1");
    // The station password guards modes 0 and 1 only.
    Configure({{"Communication", "2"}, {"DatabasePath", db_}, {"Password_2", "741"}});
    ASSERT_TRUE(StartBoard());
    ASSERT_TRUE(Database().IsConnected());
    Answer({Settings([this](SetupForm* f) { SetText(f, "tbPath", PathIn("gone.db")); }, true),
            Press(kMsgOk)});
    PressAction("Setup");
    EXPECT_EQ(shown_, (QStringList{"SetupForm", Box(16, Res("strDBConn"))}));
    EXPECT_TRUE(ProgramEnded());
}

TEST_F(StartUpTest, ModeTwoWithoutItsServiceUserEndsAtOnceAndSavesTheSettings) {
    // No user at all, or one user who is not the user with ID 1.
    for (const char* sql : {"DELETE FROM users", "DELETE FROM users WHERE ID <> 2"}) {
        CreateSqliteDatabase(db_, true);
        SqliteExec(db_, sql);
        Configure({{"Communication", "2"}, {"DatabasePath", db_}, {"Skin", ""}});
        Answer({});
        EXPECT_FALSE(Main()) << sql;
        EXPECT_TRUE(ProgramEnded()) << sql;
        EXPECT_FALSE(Board()->isVisible()) << sql;
        EXPECT_EQ(Setting("Skin"), "Default") << "the unload saved the settings";
        delete Board();
        Database().CloseConnection();
        ForgetTheEnd();
    }
}

TEST_F(StartUpTest, ModeZeroNeverOpensTheDatabaseAndExitSavesTheSettings) {
    Configure({{"Language", "RU"}, {"DatabasePath", db_}});
    ASSERT_TRUE(StartBoard());
    EXPECT_FALSE(Database().IsConnected());
    EXPECT_EQ(ConfigurationSettings.Country, 1) << "derived from the language";
    ConfigurationSettings.Password_2 = "555";
    PressAction("Exit");
    EXPECT_TRUE(ProgramEnded());
    EXPECT_FALSE(Board()->isVisible());
    EXPECT_EQ(Setting("Password_2"), "555");
    EXPECT_EQ(Setting("Country"), "1");
}
