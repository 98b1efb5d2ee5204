// The running program's Setup action and its end: the station-password gate,
// a cancelled dialog taking back its skin preview, an accepted one restarting
// the board, a failed reconnect ending the program, the operator login of
// mode 2 and the unload that saves the settings; the languages the dialog
// offers, with the dictionary that comes with the station.
#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTableWidget>

#include "DbTestSupport.h"
#include "StartUpFixture.h"
#include "board/BoardTestAccess.h"
#include "board/MainWindow.h"
#include "core/Configuration.h"
#include "core/ModSkin.h"
#include "data/DatabaseClass.h"
#include "dialogs/SetupForm.h"
#include "dialogs/SetupGroupsForm.h"
#include "localization/MsgBoxExForm.h"
#include "localization/ResManagerClass.h"
#include "platform/IniFile.h"
#include "platform/controls/CommandButton.h"
#include "platform/controls/SkinManager.h"
#include "startup/SubMain.h"

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

bool HasCyrillic(const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() >= 0x0400 && c.unicode() <= 0x04FF)
            return true;
    }
    return false;
}

// The window's texts in Cyrillic letters, each with the control that shows
// it, hidden controls included (a page not shown yet is read as well). The
// language list is left out: it names each language in its own script.
QStringList CyrillicTexts(QWidget* window) {
    QStringList found;
    auto check = [&found, window](const QObject* where, const QString& text) {
        if (HasCyrillic(text))
            found << window->objectName() + '|' + where->objectName() + ": " + text;
    };
    check(window, window->windowTitle());
    for (QWidget* w : window->findChildren<QWidget*>()) {
        check(w, w->toolTip());
        if (auto* label = qobject_cast<QLabel*>(w))
            check(w, label->text());
        else if (auto* button = qobject_cast<QAbstractButton*>(w))
            check(w, button->text());
        else if (auto* line = qobject_cast<QLineEdit*>(w))
            check(w, line->text());
        else if (auto* text = qobject_cast<QPlainTextEdit*>(w))
            check(w, text->toPlainText());
        else if (auto* frame = qobject_cast<QGroupBox*>(w))
            check(w, frame->title());
        else if (auto* list = qobject_cast<QListWidget*>(w)) {
            for (int i = 0; i < list->count(); ++i)
                check(w, list->item(i)->text());
        } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
            for (int i = 0; combo->objectName() != "cbLanguage" && i < combo->count(); ++i)
                check(w, combo->itemText(i));
        } else if (auto* grid = qobject_cast<QTableWidget*>(w)) {
            for (int c = 0; c < grid->columnCount(); ++c) {
                if (grid->horizontalHeaderItem(c))
                    check(w, grid->horizontalHeaderItem(c)->text());
                for (int r = 0; r < grid->rowCount(); ++r) {
                    if (grid->item(r, c))
                        check(w, grid->item(r, c)->text());
                }
            }
        }
    }
    return found;
}

platform::CommandButton* Button(QWidget* window, const char* name) {
    return window->findChild<platform::CommandButton*>(QString::fromLatin1(name));
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
    EXPECT_EQ(BoardTestAccess::Arrivals(*Board()).Server(), nullptr)
        << "the UDP socket of mode 0 is gone";
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

// A datagram, a terminal or a timer that is waiting is served after the start
// and after a restart of the board, never in the middle of them.
TEST_F(StartUpTest, StartAndRestartOfTheBoardRunNoOtherHandlerInside) {
    Configure({{"Communication", "0"}});
    const QStringList after{"returned", "queued"};
    bool started = false;
    EXPECT_EQ(QueuedHandlerOrder([&] { started = StartBoard(); }), after);
    ASSERT_TRUE(started);
    EXPECT_EQ(QueuedHandlerOrder([] { RunSetup(false); }), after);
    EXPECT_TRUE(Board()->Panels(1)->text().startsWith(" UDP  "));
    EXPECT_FALSE(ProgramEnded());
}

// The dictionary beside the program holds English for every text: with EN
// chosen, no window the operator meets keeps a Bulgarian one.
TEST_F(StartUpTest, EnglishLeavesNoBulgarianTextInAnyWindow) {
    Configure({{"Language", "EN"}, {"Password_2", "741"}});
    ASSERT_TRUE(StartBoard());
    ASSERT_EQ(ResManager().CurrentLanguage(), "EN");
    QStringList left = CyrillicTexts(Board());
    const auto look = [&left](QWidget* w) { left += CyrillicTexts(w); };
    // An empty password is answered with a message box before the gate opens.
    Answer({[&](QWidget* gate) {
                look(gate);
                modal::SendKey(gate, Qt::Key_Return, QStringLiteral("\r"));
                Login("741")(gate);
            },
            [&](QWidget* box) {
                look(box);
                Press(kMsgOk)(box);
            },
            Settings(
                [&](SetupForm* f) {
                    look(f);
                    SetupGroupsForm picker(ConfigurationSettings, f);
                    look(&picker);
                },
                false)});
    PressAction("Setup");
    Answer({[&](QWidget* help) {
                look(help);
                Button(help, "btnAbout")->Press();
                Button(help, "btnOK")->Press();
            },
            [&](QWidget* about) {
                look(about);
                Button(about, "btnOK")->Press();
            }});
    PressAction("Help");
    EXPECT_EQ(shown_, (QStringList{"UsersLoginForm", Box(48, "Please enter your password!"),
                                   "SetupForm", "HelpForm", "AboutForm"}));
    EXPECT_EQ(left, QStringList());
}

// Each language of the list is shown by its name in its own script, also on a
// station whose settings were written before it had a dictionary; a language
// the dictionary has no texts for shows the built-in ones.
TEST_F(StartUpTest, TheLanguageListShowsNamesAndALanguageWithoutTextsFallsBack) {
    const QStringList codes{"BG", "EN", "US", "RU", "DE", "RO", "GR", "ES", "SR", "TR"};
    platform::IniWrite(config_, "Languages", "Counter", "10");
    for (int i = 0; i < codes.size(); ++i) {
        platform::IniWrite(config_, "Languages", QString::number(i + 1) + "lng", codes[i]);
        platform::IniWrite(config_, "Languages", QString::number(i + 1) + "cap", "");
        platform::IniWrite(config_, "Languages", "charset_" + codes[i],
                           QString::number(ResManagerClass::GetCharsetDefault(codes[i])));
    }
    Configure({{"Language", "DE"}});
    ASSERT_TRUE(StartBoard());
    EXPECT_EQ(platform::IniLookupBytes(config_, "Languages", "7cap"),
              QByteArray("\xc5\xeb\xeb\xe7\xed\xe9\xea\xdc"))
        << "Greek in its code page";
    const QString first = Board()->btnAction(Board()->GetActionButtonIndex("First"))->toolTip();
    EXPECT_TRUE(first.startsWith(ResManager().GetDefaultResource("strFirstOrder") + "  ("))
        << first.toStdString();
    QStringList names;
    QString label;
    Answer({Settings(
        [&](SetupForm* f) {
            for (int i = 0; i < Combo(f, "cbLanguage")->count(); ++i)
                names << Combo(f, "cbLanguage")->itemText(i);
            names << Combo(f, "cbLanguage")->currentText();
            label = f->findChild<QLabel*>("lblLanguage")->text();
        },
        false)});
    PressAction("Setup");
    EXPECT_EQ(names, (QStringList{"Български", "English", "English (US)", "Русский", "Deutsch",
                                  "Română", "Ελληνικά", "Español", "Srpski", "Türkçe", "Deutsch"}));
    EXPECT_EQ(label, ResManager().GetDefaultResource("SetupForm|lblLanguage"));
}
