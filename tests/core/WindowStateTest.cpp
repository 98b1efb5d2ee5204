#include <gtest/gtest.h>
#include <QDialog>
#include <QDir>
#include <QMainWindow>
#include <QWindow>

#include "common/TestSupport.h"
#include "core/Configuration.h"
#include "core/ModWindowState.h"
#include "platform/Folders.h"
#include "platform/Registry.h"
#include "platform/controls/SoundPlayer.h"

namespace {

class WindowStateTest : public TempAppDataTest {
protected:
    void SetUp() override {
        TempAppDataTest::SetUp();
        qputenv("KESTRELLE_MUTE", "1");
        main_.setObjectName("MainWindow");
        SetMainForm(&main_);
    }
    void TearDown() override {
        SetMainForm(nullptr);
        TempAppDataTest::TearDown();
    }
    static bool OnTop(const QWidget& w) {
        return w.windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    }

    QMainWindow main_;
};

// Counts the times a native window is taken off the screen.
struct HideCounter : QObject {
    explicit HideCounter(QWindow* window) { window->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override {
        count += e->type() == QEvent::Hide;
        return false;
    }
    int count = 0;
};

}  // namespace

TEST_F(WindowStateTest, TopMostFollowsRestrictionOnlyForTheMainWindow) {
    QDialog dialog;
    ConfigurationSettings.Restriction = false;
    SetTopMost(&dialog);
    SetTopMost(&main_);
    EXPECT_TRUE(OnTop(dialog));
    EXPECT_FALSE(OnTop(main_));
    // A shown board changes in place: a new native window would flicker and
    // take the focus from whatever window the user went to.
    // A shown board changes in place: shown anew, it would flicker and take
    // the focus from whatever window the user went to.
    ConfigurationSettings.Restriction = true;
    main_.show();
    HideCounter hides(main_.windowHandle());
    SetTopMost(&main_);
    EXPECT_TRUE(OnTop(main_));
    EXPECT_TRUE(main_.windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));
    ConfigurationSettings.Restriction = false;
    SetTopMost(&main_);
    EXPECT_FALSE(OnTop(main_));
    EXPECT_FALSE(main_.windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(main_.isVisible());
    EXPECT_EQ(hides.count, 0);
}

TEST_F(WindowStateTest, TaskbarIsTheFullScreenStateOfTheMainWindow) {
    main_.showMaximized();
    ConfigurationSettings.Restriction = true;
    HideTaskbar();
    EXPECT_TRUE(IsTaskbarHidden());
    EXPECT_TRUE(main_.windowState() & Qt::WindowFullScreen);
    HideTaskbar();  // twice: still restores to the state before the first
    // Without Restriction, HideTaskbar shows the taskbar again.
    ConfigurationSettings.Restriction = false;
    HideTaskbar();
    EXPECT_FALSE(IsTaskbarHidden());
    EXPECT_FALSE(main_.windowState() & Qt::WindowFullScreen);
    EXPECT_TRUE(main_.windowState() & Qt::WindowMaximized);
    ShowTaskbar();  // nothing hidden: no change
    EXPECT_TRUE(main_.windowState() & Qt::WindowMaximized);
}

TEST_F(WindowStateTest, TaskManagerPolicyOnlyWithRestriction) {
    const QString key = QString::fromLatin1(kTaskManagerPolicyKey);
    ConfigurationSettings.Restriction = false;
    DisableTaskManager();
    EXPECT_FALSE(
        platform::RegistryReadString(platform::RegistryRoot::CurrentUser, key, "DisableTaskMgr"));
    ConfigurationSettings.Restriction = true;
    DisableTaskManager();
    EXPECT_EQ(
        platform::RegistryReadString(platform::RegistryRoot::CurrentUser, key, "DisableTaskMgr")
            .value_or(""),
        "1");
}

TEST_F(WindowStateTest, SoundFallsBackFromSoundsToRelatedDocumentsToTheFolder) {
    // A program folder whose own path holds "/Sounds/": only the file's
    // subfolder is swapped.
    const QString folder = PathIn("opt/Sounds/kestrelle");
    QDir().mkpath(folder + "/Sounds");
    QDir().mkpath(folder + "/Related Documents");
    EXPECT_EQ(NotificationSoundFile(folder), folder + "/Positive.wav");
    WriteBytes(folder + "/Related Documents/Positive.wav", "RIFF");
    EXPECT_EQ(NotificationSoundFile(folder), folder + "/Related Documents/Positive.wav");
    WriteBytes(folder + "/Sounds/Positive.wav", "RIFF");
    EXPECT_EQ(NotificationSoundFile(folder + "/"), folder + "/Sounds/Positive.wav");
}

TEST_F(WindowStateTest, SoundPlaysOnlyWithTheSettingAndShipsBesideTheProgram) {
    ConfigurationSettings.SoundNotification = false;
    const int before = platform::SoundRequestCount();
    PlayNotificationSound();
    EXPECT_EQ(platform::SoundRequestCount(), before);
    ConfigurationSettings.SoundNotification = true;
    PlayNotificationSound();
    EXPECT_EQ(platform::SoundRequestCount(), before + 1);
    EXPECT_EQ(platform::LastPlayedSound(), platform::ProgramFolder() + "/Sounds/Positive.wav");
    EXPECT_TRUE(QFile::exists(platform::LastPlayedSound()));
}
