// The help window: which keys and buttons each operator and mode sees, its
// sizes, the error-log tail, and its keys.
#include <gtest/gtest.h>
#include <QDesktopServices>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QUrl>

#include "board/HotKeys.h"
#include "common/ModalHelper.h"
#include "common/TestSupport.h"
#include "core/Configuration.h"
#include "core/ErrorController.h"
#include "data/NomUsers.h"
#include "dialogs/HelpForm.h"
#include "localization/BuiltInTexts.h"
#include "localization/ResManagerClass.h"
#include "platform/controls/CommandButton.h"
#include "platform/controls/ListView.h"
#include "platform/controls/RichTextBox.h"

namespace {

class FolderCatcher final : public QObject {
    Q_OBJECT
public:
    QList<QUrl> Opened;
public slots:
    void Open(const QUrl& url) { Opened.append(url); }
};

class HelpFormTest : public TempAppDataTest {
protected:
    void SetUp() override {
        TempAppDataTest::SetUp();
        if (ResManager().CountResources() == 0)
            RegisterBuiltInTexts();
        HotKeyTable = {
            {kFnDatabaseStatus, "Database status", 112, 0, 3},
            {kFnSetup, "Settings", 113, 2, 3},
            {kFnFirst, "First order", 36, 0, 3},
            {kFnNext, "Next order", 114, 1, 3},
            {kFnFinish, "Finish", 9, 0, 3},  // a key without a text
            {kFnHelp, "Help", 115, 0, 3},
        };
    }
    static void Use(int mode, int level) {
        ConfigurationSettings.Communication = mode;
        Users().ActiveUser().Setlevel(level);
    }
    static QStringList Buttons(const HelpForm& form) {
        QStringList items;
        for (int i = 0; i < form.lvHelp()->ListItemCount(); ++i)
            items << form.lvHelp()->ListItemText(i);
        return items;
    }
    static void Key(HelpForm& form, int key, Qt::KeyboardModifiers modifiers) {
        QKeyEvent press(QEvent::KeyPress, key, modifiers);
        QCoreApplication::sendEvent(&form, &press);
    }
};

}  // namespace

TEST_F(HelpFormTest, ManagersInModeTwoSeeEveryKeyAndTheSetupButton) {
    Use(2, 2);
    HelpForm form(ConfigurationSettings);
    EXPECT_EQ(form.KeyListText(),
              "F1       - Database status\r\nCTRL+F2  - Settings\r\n{36}     - First order\r\n"
              "SHIFT+F3 - Next order\r\n         - Finish\r\nF4       - Help");
    EXPECT_EQ(form.KeyLineCount(), 6);
    const QStringList buttons = Buttons(form);
    EXPECT_EQ(buttons.size(), 12);
    EXPECT_TRUE(buttons.contains(" - " + Res("strSetup") + " (CTRL+F2)"));
    EXPECT_TRUE(buttons.contains(" - " + Res("strRowUP")));
    EXPECT_FALSE(buttons.contains(" - " + Res("strDeleteOrder")));
    // No key text, no brackets; the Exit entry never has one.
    EXPECT_TRUE(buttons.contains(" - " + Res("strFinish")));
    EXPECT_EQ(buttons.last(), " - " + Res("strUnload"));
    EXPECT_EQ(buttons.first(), " - " + Res("strFirstOrder") + " ({36})");
    EXPECT_EQ(form.Page(), 1);
    EXPECT_FALSE(form.lvHelp()->isHidden());
    EXPECT_TRUE(form.rtbHelp()->isHidden());
}

TEST_F(HelpFormTest, OperatorsAndTheMessageModesSeeLess) {
    Use(2, 1);
    HelpForm operatorForm(ConfigurationSettings);
    EXPECT_FALSE(operatorForm.KeyListText().contains("Database status"));
    EXPECT_FALSE(operatorForm.KeyListText().contains("Settings"));
    EXPECT_FALSE(Buttons(operatorForm).contains(" - " + Res("strSetup") + " (CTRL+F2)"));

    Use(0, 2);
    HelpForm udp(ConfigurationSettings);
    EXPECT_FALSE(udp.KeyListText().contains("Database status"));
    EXPECT_TRUE(udp.KeyListText().startsWith("CTRL+F2  - Settings\r\n"));
    const QStringList buttons = Buttons(udp);
    EXPECT_EQ(buttons.size(), 9);
    EXPECT_TRUE(buttons.contains(" - " + Res("strDeleteOrder")));
    for (const char* modeTwo : {"strRowUP", "strRowDown", "strRefresh", "strChangeUser"}) {
        for (const QString& b : buttons)
            EXPECT_FALSE(b.startsWith(" - " + Res(modeTwo))) << modeTwo;
    }
}

TEST_F(HelpFormTest, TheLastListedLineEndsTheTextOnlyWhenItIsTheTablesLast) {
    Use(0, 2);
    HotKeyTable.push_back({kFnDatabaseStatus, "Database status", 112, 0, 3});
    HelpForm form(ConfigurationSettings);
    EXPECT_TRUE(form.KeyListText().endsWith("F4       - Help\r\n"));
}

TEST_F(HelpFormTest, SizesFollowTheKeyList) {
    // A short list: at least 7500 twips wide, as tall as 75 % of its width.
    HelpForm::Sizes s = HelpForm::ComputeSizes(3000, 3, 15360);
    EXPECT_EQ(s.ListWidth, 7500);
    EXPECT_EQ(s.ListHeight, 5625);
    EXPECT_EQ(s.WindowWidth, 7695);
    EXPECT_EQ(s.WindowHeight, 7110);
    // A list taller than the screen is cut and made 5 % wider.
    s = HelpForm::ComputeSizes(9000, 60, 15360);
    EXPECT_EQ(s.ListHeight, 14592 - 1485);
    EXPECT_EQ(s.ListWidth, 9860);
    // A wide list keeps its measured width plus the margin.
    s = HelpForm::ComputeSizes(8000, 40, 15360);
    EXPECT_EQ(s.ListWidth, 8390);
    EXPECT_EQ(s.ListHeight, 11600);

    Use(2, 2);
    ErrorLogger().SetLogFileName(PathIn("Error.log"));
    WriteBytes(PathIn("Error.log"), "01.03.2024 10:15:02 Database.Execute('SELECT 1') failed\r\n");
    HelpForm form(ConfigurationSettings);
    EXPECT_GE(form.KeyListWidth(), 7500);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(form.btnTab(i)->width(), form.width() / 3);
        EXPECT_EQ(form.btnTab(i)->x(), i * (form.width() / 3));
        // Each tab shows its whole caption.
        EXPECT_GE(form.btnTab(i)->width(), form.btnTab(i)->sizeHint().width()) << i;
        form.btnTab_Click(i);
        SaveScreenshot(&form, QString("help-window-page-%1").arg(i));
    }
}

TEST_F(HelpFormTest, ErrorLogPageShowsTheLastHundredThousandBytes) {
    const QString path = PathIn("Error.log");
    ErrorLogger().SetLogFileName(path);
    Use(2, 2);
    HelpForm form(ConfigurationSettings);
    form.btnTab_Click(2);
    EXPECT_EQ(form.lblActivefolder()->text(), path);
    EXPECT_EQ(form.rtbError()->Text(), "");

    QByteArray exact(100000, 'a');
    exact[0] = 'S';
    exact[99999] = 'E';
    WriteBytes(path, exact);
    form.btnTab_Click(2);
    EXPECT_EQ(form.rtbError()->Text().size(), 100000);
    EXPECT_TRUE(form.rtbError()->Text().startsWith("S"));
    EXPECT_EQ(form.rtbError()->SelStart(), 100000);

    WriteBytes(path, "HEAD" + exact + QByteArray("\xc0\xe1", 2));
    form.btnTab_Click(2);
    const QString tail = form.rtbError()->Text();
    EXPECT_EQ(tail.size(), 100000);
    EXPECT_TRUE(tail.endsWith(QString::fromUtf8("EАб")));
    EXPECT_FALSE(tail.contains("HEAD"));
    EXPECT_FALSE(form.rtbError()->isHidden());
    EXPECT_TRUE(form.lvHelp()->isHidden());
}

TEST_F(HelpFormTest, PageKeysNeedExactlyShiftOrCtrl) {
    Use(2, 2);
    HelpForm form(ConfigurationSettings);
    Key(form, Qt::Key_2, Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_EQ(form.Page(), 1);
    Key(form, Qt::Key_1, Qt::ControlModifier);
    EXPECT_EQ(form.Page(), 0);
    Key(form, Qt::Key_3, Qt::NoModifier);
    EXPECT_EQ(form.Page(), 0);
    Key(form, Qt::Key_NumberSign, Qt::ShiftModifier);
    EXPECT_EQ(form.Page(), 2);
    Key(form, Qt::Key_F8, Qt::AltModifier);
    EXPECT_EQ(form.Page(), 1);
    Key(form, Qt::Key_2, Qt::ControlModifier | Qt::KeypadModifier);
    EXPECT_EQ(form.Page(), 1);
    Key(form, Qt::Key_F7, Qt::NoModifier);
    EXPECT_EQ(form.Page(), 0);
    EXPECT_TRUE(form.btnTab(0)->Value());
    EXPECT_FALSE(form.btnTab(1)->Value());
}

TEST_F(HelpFormTest, FolderButtonClosesTheWindowAndOpensTheLogsFolder) {
    FolderCatcher catcher;
    QDesktopServices::setUrlHandler("file", &catcher, "Open");
    // Only the file's own name is cut, not a folder that holds it too.
    ErrorLogger().SetLogFileName(PathIn("Error.log.d/Logs/Error.log"));
    EXPECT_EQ(HelpForm::LogFolder("/var/x/Error.log"), "/var/x");
    Use(2, 2);
    modal::WhenModal([](QWidget* w) {
        auto* form = qobject_cast<HelpForm*>(w);
        ASSERT_TRUE(form);
        form->btnTab_Click(2);
        form->btnOpen()->Press();
    });
    ShowHelpForm(ConfigurationSettings);
    QDesktopServices::unsetUrlHandler("file");
    ASSERT_EQ(catcher.Opened.size(), 1);
    EXPECT_EQ(catcher.Opened[0].toLocalFile(), PathIn("Error.log.d/Logs"));

    modal::PressKey(Qt::Key_Escape);
    ShowHelpForm(ConfigurationSettings);
    modal::PressKey(Qt::Key_Return);
    ShowHelpForm(ConfigurationSettings);
}

#include "HelpFormTest.moc"
