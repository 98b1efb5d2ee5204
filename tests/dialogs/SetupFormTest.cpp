// The settings dialog driven offscreen: loading, the connection rows, the
// port and password rules, the keys, previews and what Save writes.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <memory>

#include "common/ModalHelper.h"
#include "common/TestSupport.h"
#include "core/Configuration.h"
#include "core/ModCommon.h"
#include "core/ModSkin.h"
#include "core/ModWindowState.h"
#include "dialogs/FileOpen.h"
#include "dialogs/SetupForm.h"
#include "localization/BuiltInTexts.h"
#include "localization/ResManagerClass.h"
#include "platform/controls/CommandButton.h"
#include "platform/controls/ControlIndex.h"
#include "platform/controls/SkinManager.h"

namespace {

class SetupFormTest : public TempAppDataTest {
protected:
    void SetUp() override {
        TempAppDataTest::SetUp();
        if (ResManager().CountResources() == 0)
            RegisterBuiltInTexts();
        ConfigurationSettings.ConfigFile = PathIn(QStringLiteral("KestrelleApp.config"));
        ResManager().SetCurrentLanguage(QStringLiteral("BG"));
        ResManager().LoadLanguages(QString(), ConfigurationSettings.ConfigFile, AppData());
        SkinManager().SetSelectedSkin(QStringLiteral("Default"));
        ConfigurationSettings.Skin = QStringLiteral("Default");
    }
    void TearDown() override {
        form_.reset();
        TempAppDataTest::TearDown();
    }

    SetupForm& Open() {
        form_ = std::make_unique<SetupForm>(ConfigurationSettings);
        form_->show();
        QApplication::processEvents();
        return *form_;
    }
    template <typename T = QWidget>
    T* Find(const char* name) {
        T* w = form_->findChild<T*>(QLatin1String(name));
        EXPECT_TRUE(w) << name;
        return w;
    }
    QLineEdit* Box(const char* name) { return Find<QLineEdit>(name); }
    QComboBox* List(const char* name) { return Find<QComboBox>(name); }
    platform::CommandButton* Button(const char* name) {
        return Find<platform::CommandButton>(name);
    }
    bool Shown(const char* name) { return !Find(name)->isHidden(); }
    void Key(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(target, Qt::Key(key), modifiers);
    }
    void Leave(QWidget* box) {
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(box, &out);
    }
    QString Stored(const char* section) {
        return ReadIniValue(QLatin1String(section), QStringLiteral("Value"),
                            ConfigurationSettings.ConfigFile);
    }
    // Presses the button and answers the message box it opens; returns the
    // box's text.
    QString PressExpectingMessage(platform::CommandButton* button) {
        auto text = std::make_shared<QString>();
        modal::WhenModal([text](QWidget* box) {
            for (QLabel* l : box->findChildren<QLabel*>())
                *text += l->text();
            box->close();
        });
        button->Press();
        return *text;
    }

    std::unique_ptr<SetupForm> form_;
};

TEST_F(SetupFormTest, ModeDecidesTheRowsAndWhereTheLanguageListSits) {
    ConfigurationSettings.Communication = 2;
    Open();
    const int step = List("cbDBType")->y() - List("cbCommunicationMethod")->y();
    EXPECT_TRUE(Shown("cbDBType"));
    EXPECT_TRUE(Shown("tbPath"));
    EXPECT_FALSE(Shown("tbIP"));
    EXPECT_FALSE(Shown("tbPortUDP"));
    EXPECT_FALSE(Shown("tbPortTCP"));
    EXPECT_FALSE(Shown("tbPass1"));
    EXPECT_EQ(List("cbLanguage")->y(), List("cbCommunicationMethod")->y() + 8 * step);
    EXPECT_EQ(List("cbCountry")->y(), List("cbLanguage")->y() + step);
    EXPECT_EQ(Find<QLabel>("lblColorScheme")->y(), List("cbColorScheme")->y() + 2);

    List("cbCommunicationMethod")->setCurrentIndex(0);
    EXPECT_FALSE(Shown("cbDBType"));
    EXPECT_TRUE(Shown("tbIP"));
    EXPECT_TRUE(Shown("tbPortUDP"));
    EXPECT_FALSE(Shown("tbPortTCP"));
    EXPECT_TRUE(Shown("tbPass2"));
    EXPECT_EQ(List("cbLanguage")->y(), List("cbCommunicationMethod")->y() + 4 * step);
    EXPECT_EQ(Box("tbIP")->pos(), List("cbDBType")->pos());
    EXPECT_EQ(Box("tbPass1")->pos(), Box("tbPath")->pos());

    List("cbCommunicationMethod")->setCurrentIndex(1);
    EXPECT_FALSE(Shown("tbPortUDP"));
    EXPECT_TRUE(Shown("tbPortTCP"));
}

TEST_F(SetupFormTest, AccessEnablesThePathRowAndServerTypesTheServerRows) {
    ConfigurationSettings.Communication = 2;
    ConfigurationSettings.DatabaseType = 0;
    Open();
    EXPECT_TRUE(Box("tbPath")->isEnabled());
    EXPECT_TRUE(Button("btnFileOpen")->isEnabled());
    for (const char* name : {"tbServerName", "tbLocalServerName", "tbName", "tbUser", "tbPassword"})
        EXPECT_FALSE(Box(name)->isEnabled()) << name;
    List("cbDBType")->setCurrentIndex(3);
    EXPECT_FALSE(Box("tbPath")->isEnabled());
    EXPECT_FALSE(Button("btnFileOpen")->isEnabled());
    for (const char* name : {"tbServerName", "tbLocalServerName", "tbName", "tbUser", "tbPassword"})
        EXPECT_TRUE(Box(name)->isEnabled()) << name;
}

TEST_F(SetupFormTest, StoredValuesOutsideTheListsOpenSafely) {
    ConfigurationSettings.DatabaseType = 9;
    ConfigurationSettings.Communication = 7;
    ConfigurationSettings.Country = 12;
    ConfigurationSettings.Skin = QStringLiteral("Tartan");
    SkinManager().SetSelectedSkin(QStringLiteral("Lila"));
    Open();
    EXPECT_EQ(List("cbDBType")->currentIndex(), 0);
    EXPECT_EQ(List("cbCommunicationMethod")->currentIndex(), 0);
    EXPECT_EQ(List("cbCountry")->currentIndex(), -1);
    EXPECT_EQ(List("cbColorScheme")->currentIndex(), 0);
    EXPECT_EQ(SkinManager().SelectedSkin(), QStringLiteral("Default"))
        << "the first skin is previewed";

    Button("btnSave")->Press();
    EXPECT_TRUE(form_->DialogAccepted());
    EXPECT_EQ(ConfigurationSettings.Country, 12) << "no selection keeps the stored country";
    EXPECT_EQ(ConfigurationSettings.Skin, QStringLiteral("Default"));
}

TEST_F(SetupFormTest, ListsHoldTheirFixedEntries) {
    ConfigurationSettings.Country = 13;
    ConfigurationSettings.Skin = QStringLiteral("Blue");
    Open();
    QComboBox* country = List("cbCountry");
    ASSERT_EQ(country->count(), 17);
    EXPECT_EQ(country->itemText(12), Res("strGermany"));
    EXPECT_EQ(country->currentIndex(), 12);
    EXPECT_EQ(country->itemData(16).toInt(), 18);
    EXPECT_EQ(List("cbDBType")->itemText(2), QStringLiteral("My SQL"));
    EXPECT_EQ(List("cbCommunicationMethod")->itemText(2), QStringLiteral("Direct Database Access"));
    QComboBox* skins = List("cbColorScheme");
    EXPECT_EQ(skins->itemText(0), Res("strDefault"));
    EXPECT_EQ(skins->itemText(1), Res("strBlue"));
    EXPECT_EQ(skins->currentIndex(), 1);
    EXPECT_EQ(List("cbLanguage")->count(), ResManager().CountLanguages());
}

TEST_F(SetupFormTest, PortBoxesTakeAPortOrKeepTheStoredOne) {
    ConfigurationSettings.PortUDP = 50000;
    ConfigurationSettings.PortTCP = 65535;
    Open();
    QLineEdit* port = Box("tbPortUDP");
    EXPECT_EQ(port->text(), QStringLiteral("50000")) << "opening changes no port";
    EXPECT_EQ(Box("tbPortTCP")->text(), QStringLiteral("65535"));
    port->clear();
    QTest::keyClicks(port, QStringLiteral("1a2b3456"));
    EXPECT_EQ(port->text(), QStringLiteral("12345"));
    Leave(port);
    EXPECT_EQ(port->text(), QStringLiteral("12345"));

    // Every way text enters the box is filtered like typing.
    QApplication::clipboard()->setText(QStringLiteral("a5b"));
    port->clear();
    port->paste();
    EXPECT_EQ(port->text(), QStringLiteral("5"));
    port->clear();
    PressPasteKeys(port);
    EXPECT_EQ(port->text(), QStringLiteral("55"));
    Leave(port);
    EXPECT_EQ(port->text(), QStringLiteral("55"));

    for (const char* outside : {"70000", "0", ""}) {
        port->setText(QLatin1String(outside));
        Leave(port);
        EXPECT_EQ(port->text(), QStringLiteral("50000")) << outside;
    }
    port->setText(QStringLiteral("8001"));
    Box("tbPortTCP")->setText(QStringLiteral("0000"));
    Button("btnSave")->Press();
    EXPECT_EQ(ConfigurationSettings.PortUDP, 8001);
    EXPECT_EQ(ConfigurationSettings.PortTCP, 65535) << "port 0 is no port";
    EXPECT_EQ(Stored("PortUDP"), QStringLiteral("8001"));
    EXPECT_EQ(Stored("PortTCP"), QStringLiteral("65535"));
}

TEST_F(SetupFormTest, OracleMirrorsNameAndUser) {
    ConfigurationSettings.Communication = 2;
    ConfigurationSettings.DatabaseType = 4;
    ConfigurationSettings.DatabaseName = QStringLiteral("ORCL");
    ConfigurationSettings.UserName = QStringLiteral("KITCHEN");
    Open();
    EXPECT_EQ(Box("tbName")->text(), QStringLiteral("KITCHEN")) << "loading mirrors the user";
    QTest::keyClicks(Box("tbName"), QStringLiteral("X"));
    EXPECT_EQ(Box("tbUser")->text(), QStringLiteral("KITCHENX"));
    Box("tbUser")->setText(QStringLiteral("BAR"));
    EXPECT_EQ(Box("tbName")->text(), QStringLiteral("BAR"));
    List("cbDBType")->setCurrentIndex(2);
    Box("tbUser")->setText(QStringLiteral("root"));
    EXPECT_EQ(Box("tbName")->text(), QStringLiteral("BAR"));
}

TEST_F(SetupFormTest, StationPasswordsMustMatchOutsideModeTwo) {
    ConfigurationSettings.Communication = 0;
    ConfigurationSettings.Password_2 = QStringLiteral("11");
    Open();
    Box("tbPass1")->setText(QStringLiteral("1234"));
    Box("tbPass2")->setText(QStringLiteral("1235"));
    const QString message = PressExpectingMessage(Button("btnSave"));
    EXPECT_TRUE(message.contains(Res("strWrongPassword"))) << message.toStdString();
    EXPECT_FALSE(form_->DialogAccepted());
    EXPECT_EQ(ConfigurationSettings.Password_2, QStringLiteral("11"));
    EXPECT_TRUE(Stored("Password_2").isEmpty());
    EXPECT_TRUE(form_->isVisible());

    Box("tbPass2")->setText(QStringLiteral("1234"));
    Button("btnSave")->Press();
    EXPECT_TRUE(form_->DialogAccepted());
    EXPECT_EQ(ConfigurationSettings.Password_2, QStringLiteral("1234"));
    EXPECT_FALSE(form_->isVisible());
}

// The settings file is in the station's code page (CP1251 here), where "œ"
// and "é" would come back as "?": the dialog names the field and writes
// nothing until the text is changed.
TEST_F(SetupFormTest, ALetterTheCodePageLacksBlocksSaveAndNamesTheField) {
    ConfigurationSettings.Communication = 0;
    ConfigurationSettings.Password_2 = QStringLiteral("11");
    ASSERT_TRUE(SaveConfiguration());
    const QByteArray file = ReadBytes(ConfigurationSettings.ConfigFile);
    Open();
    const QString field = Find<QLabel>("lblPass1")->text().chopped(1);
    for (const char* name : {"tbPass1", "tbPass2"})
        Box(name)->setText(QStringLiteral("kœé1"));
    const QString message = PressExpectingMessage(Button("btnSave"));
    EXPECT_TRUE(message.contains("'" + field + "'")) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("œ é"))) << message.toStdString();
    EXPECT_FALSE(form_->DialogAccepted());
    EXPECT_EQ(ReadBytes(ConfigurationSettings.ConfigFile), file);
    EXPECT_EQ(ConfigurationSettings.Password_2, QStringLiteral("11"));
    EXPECT_EQ(form_->focusWidget(), Box("tbPass1"));

    for (const char* name : {"tbPass1", "tbPass2"})
        Box(name)->setText(QStringLiteral("kеж1"));
    Button("btnSave")->Press();
    EXPECT_TRUE(form_->DialogAccepted());
    EXPECT_EQ(Stored("Password_2"), QStringLiteral("kеж1"));
}

TEST_F(SetupFormTest, ModeTwoDoesNotCompareStationPasswords) {
    ConfigurationSettings.Communication = 2;
    Open();
    Box("tbPass1")->setText(QStringLiteral("a"));
    Box("tbPass2")->setText(QStringLiteral("b"));
    Button("btnSave")->Press();
    EXPECT_TRUE(form_->DialogAccepted());
}

TEST_F(SetupFormTest, ConnectionEditsClearTheGoodsGroupsOnSave) {
    ConfigurationSettings.Communication = 2;
    ConfigurationSettings.DatabaseType = 2;
    ConfigurationSettings.ServerName = QStringLiteral("db1");
    ConfigurationSettings.GoodsGroups = QStringLiteral("001|002");
    Open();
    EXPECT_FALSE(form_->ConnectionChanged());
    QTest::keyClicks(Box("tbLocalServerName"), QStringLiteral("local"));
    EXPECT_FALSE(form_->ConnectionChanged());
    Box("tbPortUDP")->setText(QStringLiteral("9999"));
    EXPECT_FALSE(form_->ConnectionChanged());
    Button("btnSave")->Press();
    EXPECT_EQ(ConfigurationSettings.GoodsGroups, QStringLiteral("001|002"));
    EXPECT_EQ(ConfigurationSettings.LocalServerName, QStringLiteral("local"));
    EXPECT_EQ(Stored("GoodsGroups"), QStringLiteral("001|002"));

    for (const char* name : {"tbServerName", "tbName", "tbUser", "tbPassword"}) {
        Open();
        QTest::keyClicks(Box(name), QStringLiteral("x"));
        EXPECT_TRUE(form_->ConnectionChanged()) << name;
    }
    Open();
    List("cbDBType")->setCurrentIndex(3);
    EXPECT_TRUE(form_->ConnectionChanged());
    Button("btnSave")->Press();
    EXPECT_EQ(ConfigurationSettings.DatabaseType, 3);
    EXPECT_TRUE(ConfigurationSettings.GoodsGroups.isEmpty());
    EXPECT_TRUE(Stored("GoodsGroups").isEmpty());
}

TEST_F(SetupFormTest, UnchangedSaveWritesTheSameSettings) {
    ConfigurationRecord& c = ConfigurationSettings;
    c.Communication = 2;
    c.DatabaseType = 2;
    c.ServerName = QStringLiteral("srv");
    c.DatabaseName = QStringLiteral("pos");
    c.UserName = QStringLiteral("waiter");
    c.Password = QStringLiteral("secret");
    c.Country = 5;
    c.GoodsGroups = QStringLiteral("001");
    c.ObjectCodeRange = 3;
    c.PrefixUsers = QStringLiteral("042");
    c.AutoLock = true;
    const ConfigurationRecord before = c;
    Open();
    Key(Button("btnTab"), Qt::Key_F8);
    Button("btnSave")->Press();
    EXPECT_TRUE(form_->DialogAccepted());
    EXPECT_EQ(c.ServerName, before.ServerName);
    EXPECT_EQ(c.DatabaseName, before.DatabaseName);
    EXPECT_EQ(c.UserName, before.UserName);
    EXPECT_EQ(c.Password, before.Password);
    EXPECT_EQ(c.Country, 5);
    EXPECT_EQ(c.GoodsGroups, before.GoodsGroups);
    EXPECT_EQ(c.ObjectCodeRange, 3);
    EXPECT_EQ(c.PrefixUsers, QStringLiteral("042"));
    EXPECT_TRUE(c.AutoLock);
    EXPECT_EQ(c.Language, QStringLiteral("BG"));
    EXPECT_EQ(Stored("ServerName"), QStringLiteral("srv"));
    EXPECT_EQ(Stored("ObjectCodeRange"), QStringLiteral("3"));
}

TEST_F(SetupFormTest, ASaveTheFileRefusesKeepsTheDialogAndItsEdits) {
    ConfigurationSettings.Communication = 2;
    ConfigurationSettings.ServerName = QStringLiteral("db1");
    Open();
    // A folder where the settings file should be: nothing can be written.
    ASSERT_TRUE(QFile::remove(ConfigurationSettings.ConfigFile));
    ASSERT_TRUE(QDir(AppData()).mkdir(QStringLiteral("KestrelleApp.config")));
    Box("tbServerName")->setText(QStringLiteral("db2"));
    const QString message = PressExpectingMessage(Button("btnSave"));
    EXPECT_TRUE(message.contains(ConfigurationSettings.ConfigFile)) << message.toStdString();
    EXPECT_FALSE(form_->DialogAccepted());
    EXPECT_TRUE(form_->isVisible());
    EXPECT_EQ(Box("tbServerName")->text(), QStringLiteral("db2"));
    EXPECT_EQ(ConfigurationSettings.ServerName, QStringLiteral("db1"))
        << "the record keeps what the file holds";

    ASSERT_TRUE(QDir(AppData()).rmdir(QStringLiteral("KestrelleApp.config")));
    Button("btnSave")->Press();
    EXPECT_TRUE(form_->DialogAccepted());
    EXPECT_EQ(Stored("ServerName"), QStringLiteral("db2"));
}

TEST_F(SetupFormTest, KeysSaveCancelAndSwitchTabs) {
    Open();
    QWidget* list = List("cbCommunicationMethod");
    Key(list, Qt::Key_2, Qt::ControlModifier);
    EXPECT_FALSE(platform::FindIndexedControl(form_.get(), "frmTab", 1)->isHidden());
    EXPECT_TRUE(platform::FindIndexedControl(form_.get(), "frmTab", 0)->isHidden());
    EXPECT_TRUE(static_cast<platform::CommandButton*>(
                    platform::FindIndexedControl(form_.get(), "btnTab", 1))
                    ->Value());
    Key(list, Qt::Key_1, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(platform::FindIndexedControl(form_.get(), "frmTab", 0)->isHidden())
        << "Ctrl+Shift is not Ctrl";
    Key(list, Qt::Key_F7);
    EXPECT_FALSE(platform::FindIndexedControl(form_.get(), "frmTab", 0)->isHidden());

    Key(Box("tbServerName"), Qt::Key_Escape);
    EXPECT_FALSE(form_->isVisible());
    EXPECT_FALSE(form_->DialogAccepted());
    EXPECT_TRUE(Stored("Communication").isEmpty());

    Open();
    // Enter on a tab button is the dialog's Enter.
    Key(platform::FindIndexedControl(form_.get(), "btnTab", 0), Qt::Key_Return);
    EXPECT_TRUE(form_->DialogAccepted());
    EXPECT_EQ(Stored("Communication"), QStringLiteral("0"));
}

TEST_F(SetupFormTest, LanguagePreviewIsStoredOnlyBySave) {
    Open();
    QComboBox* language = List("cbLanguage");
    ASSERT_GT(language->count(), 2);
    const int en = 1;
    const QString code = ResManager().LanguageAbbrev(en);
    language->setCurrentIndex(en);
    EXPECT_EQ(ResManager().CurrentLanguage(), QStringLiteral("BG"));
    Button("btnCancel")->Press();
    EXPECT_EQ(ConfigurationSettings.Language, QStringLiteral("BG"));

    Open();
    List("cbLanguage")->setCurrentIndex(en);
    Button("btnSave")->Press();
    EXPECT_EQ(ConfigurationSettings.Language, code);
}

TEST_F(SetupFormTest, LanguagePreviewTranslatesTheDialogFromTheDictionary) {
    const QString dictionary = PathIn(QStringLiteral("Dictionary_Kestrelle.lng"));
    WriteBytes(dictionary, "[SetupForm|lblLanguage]\nEN=Language:\n");
    const QString previous = ResManager().DictionaryFile();
    ResManager().SetDictionaryFile(dictionary);
    Open();
    const QString builtIn = Find<QLabel>("lblLanguage")->text();
    int en = 0;
    while (en < ResManager().CountLanguages() && ResManager().LanguageAbbrev(en) != "EN")
        ++en;
    List("cbLanguage")->setCurrentIndex(en);
    EXPECT_EQ(Find<QLabel>("lblLanguage")->text(), QStringLiteral("Language:"));
    EXPECT_EQ(ResManager().CurrentLanguage(), QStringLiteral("BG"));
    Button("btnCancel")->Press();
    ResManager().SetDictionaryFile(previous);
    EXPECT_EQ(builtIn, ResManager().GetDefaultResource("SetupForm|lblLanguage"));
}

// The preview translates the board too; anything but Save puts back the
// board's texts as they were, also those the current language does not
// define, and leaves what the board wrote since.
TEST_F(SetupFormTest, CancelAfterAPreviewRestoresTheBoardsTexts) {
    const QString dictionary = PathIn(QStringLiteral("Dictionary_Kestrelle.lng"));
    WriteBytes(dictionary,
               "[MainWindow|ME]\nEN=Kitchen board\n[MainWindow|lblOrders]\nEN=Orders\n"
               "[MainWindow|lblStatus]\nEN=Status\n");
    const QString previous = ResManager().DictionaryFile();
    ResManager().SetDictionaryFile(dictionary);
    QWidget board;
    board.setObjectName("MainWindow");
    board.setWindowTitle("Quillbarrow Kestrelle");
    auto* orders = new QLabel("Поръчки", &board);
    orders->setObjectName("lblOrders");
    auto* status = new QLabel("Свободно", &board);
    status->setObjectName("lblStatus");
    SetMainForm(&board);
    QString previewed;
    modal::WhenModal([&](QWidget* w) {
        auto* language = w->findChild<QComboBox*>("cbLanguage");
        int en = 0;
        while (en < ResManager().CountLanguages() && ResManager().LanguageAbbrev(en) != "EN")
            ++en;
        language->setCurrentIndex(en);
        previewed = board.windowTitle();
        status->setText("3 поръчки");
        w->findChild<platform::CommandButton*>("btnCancel")->Press();
    });
    ShowSetupForm(ConfigurationSettings);
    SetMainForm(nullptr);
    ResManager().SetDictionaryFile(previous);
    EXPECT_EQ(previewed, "Kitchen board");
    EXPECT_EQ(board.windowTitle(), "Quillbarrow Kestrelle");
    EXPECT_EQ(orders->text(), "Поръчки");
    EXPECT_EQ(status->text(), "3 поръчки");
}

TEST_F(SetupFormTest, SkinPreviewChangesTheComponentAndSaveStoresTheName) {
    Open();
    List("cbColorScheme")->setCurrentIndex(2);
    EXPECT_EQ(SkinManager().SelectedSkin(), SkinManager().Item(2));
    EXPECT_TRUE(Button("btnSave")->isEnabled());
    Button("btnSave")->Press();
    EXPECT_EQ(ConfigurationSettings.Skin, SkinManager().Item(2));
}

TEST_F(SetupFormTest, GreekLabelsGetRoomOnTheFirstTab) {
    Open();
    const QRect plain = List("cbCountry")->geometry();
    const QRect ip = Box("tbIP")->geometry();
    ConfigurationSettings.Language = QStringLiteral("GR");
    Open();
    const int shift = 660 / 15;
    EXPECT_EQ(List("cbCountry")->x(), plain.x() + shift);
    EXPECT_EQ(List("cbCountry")->width(), plain.width() - shift);
    EXPECT_EQ(Box("tbIP")->x(), ip.x() + shift) << "it sits where the type list now sits";
    EXPECT_EQ(Box("tbIP")->width(), ip.width() - shift);
    form_->resize(form_->size());
    form_->adjustSize();
    EXPECT_EQ(List("cbCountry")->x(), plain.x() + shift) << "applied once";
}

TEST_F(SetupFormTest, ConnectionTestReportsTheTargetAndChangesNothing) {
    const QString file = PathIn(QStringLiteral("pos.mdb"));
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.toUtf8().constData(), &db), SQLITE_OK);
    sqlite3_exec(db, "CREATE TABLE t (x INTEGER)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    ConfigurationSettings.Communication = 2;
    ConfigurationSettings.DatabasePath = file;
    Open();
    QString yes = Res("strTestYes");
    yes.replace(QStringLiteral("%1"), file);
    EXPECT_EQ(PressExpectingMessage(Button("btnTestConnection")), yes);
    EXPECT_FALSE(form_->ConnectionChanged());

    const QString missing = PathIn(QStringLiteral("missing/none.mdb"));
    Box("tbPath")->setText(missing);
    QString no = Res("strTestNo");
    no.replace(QStringLiteral("%1"), missing);
    EXPECT_EQ(PressExpectingMessage(Button("btnTestConnection")), no);
    EXPECT_EQ(ConfigurationSettings.DatabasePath, file);
}

}  // namespace

namespace {

TEST_F(SetupFormTest, FileChooserStartsAtTheCurrentFileAndSetsThePath) {
    const QString folder = PathIn(QStringLiteral("db"));
    QDir().mkpath(folder);
    for (const char* name : {"a.mdb", "b.mdb", "c.mdb"})
        WriteBytes(folder + '/' + name, "x");
    ConfigurationSettings.Communication = 2;
    ConfigurationSettings.DatabasePath = folder + QStringLiteral("/b.mdb");
    Open();

    auto seen = std::make_shared<QString>();
    modal::WhenModal([seen](QWidget* w) {
        auto* chooser = qobject_cast<FileOpen*>(w);
        ASSERT_TRUE(chooser);
        *seen = chooser->Dir1()->Path() + '|' + chooser->File1()->FileName();
        chooser->File1()->setCurrentRow(2);
        chooser->btnOK_Click();
    });
    Button("btnFileOpen")->Press();
    EXPECT_EQ(*seen, folder + QStringLiteral("|b.mdb"));
    EXPECT_EQ(Box("tbPath")->text(), folder + QStringLiteral("/c.mdb"));
    EXPECT_EQ(Box("tbPath")->toolTip(), folder + QStringLiteral("/c.mdb"));
    EXPECT_TRUE(form_->ConnectionChanged());
    EXPECT_FALSE(form_->DialogAccepted()) << "only Save confirms the settings";

    modal::WhenModal([seen](QWidget* w) {
        auto* chooser = qobject_cast<FileOpen*>(w);
        ASSERT_TRUE(chooser);
        *seen = chooser->File1()->FileName();
        chooser->btnCancel_Click();
    });
    Button("btnFileOpen")->Press();
    EXPECT_EQ(*seen, QStringLiteral("c.mdb"));
    EXPECT_EQ(Box("tbPath")->text(), folder + QStringLiteral("/c.mdb"));

    Button("btnCancel")->Press();
    EXPECT_FALSE(form_->DialogAccepted());
    EXPECT_EQ(ConfigurationSettings.DatabasePath, folder + QStringLiteral("/b.mdb"));
}

}  // namespace
