#include <gtest/gtest.h>
#include <QImage>
#include <QLabel>
#include <QLineEdit>

#include "common/TestSupport.h"
#include "core/Configuration.h"
#include "core/ModSkin.h"
#include "platform/controls/CommandButton.h"
#include "platform/controls/DataGrid.h"
#include "platform/controls/RichTextBox.h"
#include "platform/controls/SkinManager.h"

namespace {

const char* kTags[] = {"First",  "Previous", "Next",  "Last",  "Up",   "Down",
                       "Finish", "Clear",    "Login", "Setup", "Help", "Exit"};

class SkinRoutinesTest : public TempAppDataTest {
protected:
    void SetUp() override {
        TempAppDataTest::SetUp();
        main_.setObjectName("MainWindow");
        for (int i = 0; i < 12; ++i) {
            buttons_[i] = new platform::CommandButton("btnAction", i, &main_);
            buttons_[i]->SetTag(kTags[i]);
        }
    }
    static QImage Picture(const QString& name, int size = 0) {
        return SkinManager().GetButtonPicture(name, size).toImage();
    }

    QWidget main_;
    platform::CommandButton* buttons_[12];
};

}  // namespace

TEST_F(SkinRoutinesTest, ActionButtonPicturesByTagAndMode) {
    ConfigurationSettings.Communication = 2;
    SetButtonPictures(&main_);
    EXPECT_EQ(buttons_[0]->Picture().toImage(), Picture("Navigate_Left2"));
    EXPECT_EQ(buttons_[4]->Picture().toImage(), Picture("UP"));
    EXPECT_EQ(buttons_[6]->Picture().toImage(), Picture("Kestrelle"));
    EXPECT_EQ(buttons_[7]->Picture().toImage(), Picture("Refresh"));
    EXPECT_EQ(buttons_[8]->Picture().toImage(), Picture("Keys"));
    EXPECT_EQ(buttons_[11]->Picture().toImage(), Picture("Exit"));
    ConfigurationSettings.Communication = 0;
    SetButtonPictures(&main_);
    EXPECT_EQ(buttons_[7]->Picture().toImage(), Picture("Clear"));
}

TEST_F(SkinRoutinesTest, LoginKeypadPicturesAreSmall) {
    QWidget login;
    login.setObjectName("UsersLoginForm");
    platform::CommandButton* digits[12];
    for (int i = 0; i < 12; ++i)
        digits[i] = new platform::CommandButton("btnDigit", i, &login);
    SetButtonPictures(&login);
    const int small = SkinManager().IconsizeSmall();
    EXPECT_EQ(digits[0]->Picture().toImage(), Picture("Zero", small));
    EXPECT_EQ(digits[1]->Picture().toImage(), Picture("OK", small));
    EXPECT_EQ(digits[2]->Picture().toImage(), Picture("Cancel", small));
    EXPECT_EQ(digits[11]->Picture().toImage(), Picture("Nine", small));
    // Any other window is left alone.
    QWidget other;
    other.setObjectName("AboutForm");
    auto* b = new platform::CommandButton("btnDigit", 0, &other);
    SetButtonPictures(&other);
    EXPECT_TRUE(b->Picture().isNull());
}

TEST_F(SkinRoutinesTest, SelectSkinHandsTheSchemeToTheComponent) {
    ConfigurationSettings.ConfigFile = PathIn("KestrelleApp.config");
    WriteBytes(ConfigurationSettings.ConfigFile, "[Skin]\nValue=2\n");
    SelectSkin();
    EXPECT_EQ(SkinManager().SelectedSkin(), "Lila");
    WriteBytes(ConfigurationSettings.ConfigFile, "[Skin]\nValue=Lime\n");
    SelectSkin();
    EXPECT_EQ(SkinManager().SelectedSkin(), "Lime");
}

TEST_F(SkinRoutinesTest, MainWindowAreasTakeTheDarkAndPanelColours) {
    auto* rtb = new platform::RichTextBox(&main_);
    rtb->setObjectName("rtbOrder");
    auto* time = new QLabel(&main_);
    time->setObjectName("lblTime");
    auto* grid = new platform::DataGrid(&main_);
    grid->setObjectName("dgView");
    SkinManager().SetSelectedSkin("Default");
    ApplySkinToForm(&main_);
    EXPECT_EQ(main_.palette().color(main_.backgroundRole()), SkinManager().BackColorDark());
    EXPECT_EQ(rtb->BackColor(), SkinManager().BackColor());
    // The grid keeps the dark back colour after its own styling.
    EXPECT_EQ(grid->palette().color(QPalette::Window), SkinManager().BackColorDark());
    SkinManager().SetSelectedSkin("Blue");
    ApplySkinToForm(&main_);
    EXPECT_EQ(rtb->BackColor(), SkinManager().OddRowsColor());
    EXPECT_EQ(time->palette().color(time->backgroundRole()), SkinManager().OddRowsColor());
}

TEST_F(SkinRoutinesTest, SkinningAWindowRunsNoOtherHandlerInside) {
    SkinManager().SetSelectedSkin("Blue");
    EXPECT_EQ(QueuedHandlerOrder([this] { ApplySkinToForm(&main_); }),
              (QStringList{"returned", "queued"}));
    EXPECT_EQ(buttons_[0]->palette().color(QPalette::Button), SkinManager().ButtonColor());
}

TEST_F(SkinRoutinesTest, AWindowWithoutSkinnableControlsOnlyGetsItsBackColour) {
    QWidget w;
    w.setObjectName("FileOpen");
    auto* edit = new QLineEdit(&w);
    SkinManager().SetSelectedSkin("Lime");
    ApplySkinToForm(&w);
    EXPECT_EQ(w.palette().color(w.backgroundRole()), SkinManager().BackColorWindow());
    // The text box got no palette of its own (it only inherits the window's).
    EXPECT_FALSE(edit->testAttribute(Qt::WA_SetPalette));
}

TEST_F(SkinRoutinesTest, TabButtonsOfTheHelpWindow) {
    QWidget help;
    help.setObjectName("HelpForm");
    platform::CommandButton* tabs[3];
    for (int i = 0; i < 3; ++i)
        tabs[i] = new platform::CommandButton("btnTab", i, &help);
    auto* plain = new platform::CommandButton("btnOK", 0, &help);
    SkinManager().SetSelectedSkin("Lila");
    ApplySkinToForm(&help);
    // The tab style is what tells the tabs from the window's other buttons.
    QWidget other;
    auto* tabStyled = new platform::CommandButton("btnTab", 0, &other);
    SkinManager().SetTabButtonStyle(tabStyled);
    const QColor tabColour = tabStyled->palette().color(QPalette::Highlight);
    ASSERT_NE(plain->palette().color(QPalette::Highlight), tabColour);
    for (auto* t : tabs) {
        EXPECT_EQ(t->palette().color(QPalette::Button), SkinManager().ButtonColor());
        EXPECT_EQ(t->palette().color(QPalette::Highlight), tabColour);
    }
}

// The scheme colours a control's text in its enabled states only: a disabled
// label or button is drawn differently from an enabled one under every skin.
TEST_F(SkinRoutinesTest, DisabledControlsLookDisabledUnderEverySkin) {
    for (const QString skin : {"Default", "Blue", "Lila", "Lime"}) {
        QWidget w;
        w.setObjectName("SetupForm");
        auto* label = new QLabel("Path to the database", &w);
        label->setObjectName("lblPath");
        auto* button = new platform::CommandButton(&w);
        button->setObjectName("btnFileOpen");
        button->SetCaption("...");
        button->setGeometry(0, 30, 40, 24);
        label->setGeometry(0, 0, 200, 24);
        SkinManager().SetSelectedSkin(skin);
        ApplySkinToForm(&w);
        for (QWidget* control : std::initializer_list<QWidget*>{label, button}) {
            control->setEnabled(true);
            const QImage enabled = control->grab().toImage();
            control->setEnabled(false);
            const QImage disabled = control->grab().toImage();
            EXPECT_NE(enabled, disabled)
                << skin.toStdString() << " " << control->objectName().toStdString();
        }
    }
}
