#include "core/ModWindowState.h"

#include <QPointer>
#include <QWidget>

#include "core/Configuration.h"
#include "core/ModCommon.h"
#include "platform/Folders.h"
#include "platform/ProgramState.h"
#include "platform/controls/SoundPlayer.h"
#include "platform/controls/WindowFrame.h"

namespace {

QPointer<QWidget>& MainFormRef() {
    static QPointer<QWidget> ref;
    return ref;
}

struct TaskbarState {
    bool Hidden = false;
    Qt::WindowStates Before;
};

TaskbarState& Taskbar() {
    static TaskbarState state;
    return state;
}

// The main form belongs to whoever made it: the reference clears itself when
// the window goes, and the panels' state goes with it; a main form that
// still lives keeps both.
[[maybe_unused]] const bool kTaskbarResetRegistered = platform::RegisterStateReset([] {
    if (!MainFormRef())
        Taskbar() = TaskbarState{};
});

void SetStaysOnTop(QWidget* window, bool onTop) {
    if (window->windowFlags().testFlag(Qt::WindowStaysOnTopHint) != onTop) {
        Qt::WindowFlags flags = window->windowFlags();
        flags.setFlag(Qt::WindowStaysOnTopHint, onTop);
        platform::SetWindowFlags(window, flags);
    }
    if (onTop && window->isVisible())
        window->raise();
}

}  // namespace

QWidget* MainForm() {
    return MainFormRef().data();
}

void SetMainForm(QWidget* window) {
    MainFormRef() = window;
    Taskbar() = TaskbarState{};
}

void SetTopMost(QWidget* window) {
    if (!window)
        return;
    QWidget* top = window->window();
    if (top == MainForm())
        SetStaysOnTop(top, ConfigurationSettings.Restriction);
    else
        SetStaysOnTop(top, true);
}

void SetNotTopMost(QWidget* window) {
    if (window)
        SetStaysOnTop(window->window(), false);
}

void HideTaskbar() {
    if (!ConfigurationSettings.Restriction) {
        ShowTaskbar();
        return;
    }
    QWidget* main = MainForm();
    if (!main)
        return;
    TaskbarState& t = Taskbar();
    if (!t.Hidden) {
        t.Before = main->windowState() & ~Qt::WindowFullScreen;
        t.Hidden = true;
    }
    main->setWindowState(main->windowState() | Qt::WindowFullScreen);
}

void ShowTaskbar() {
    TaskbarState& t = Taskbar();
    QWidget* main = MainForm();
    if (!t.Hidden || !main)
        return;
    t.Hidden = false;
    main->setWindowState(t.Before);
}

bool IsTaskbarHidden() {
    return Taskbar().Hidden;
}

void DisableTaskManager() {
    if (!ConfigurationSettings.Restriction)
        return;
    WriteRegistryString(platform::RegistryRoot::CurrentUser,
                        QString::fromLatin1(kTaskManagerPolicyKey),
                        QStringLiteral("DisableTaskMgr"), QStringLiteral("1"));
}

QString NotificationSoundFile(const QString& programFolder) {
    // Only the file's own subfolder is swapped: a program folder whose path
    // happens to hold "/Sounds/" must keep it.
    const QString folder = AddBackslash(programFolder);
    QString file = folder + QStringLiteral("Sounds/Positive.wav");
    if (!FileExists(file))
        file = folder + QStringLiteral("Related Documents/Positive.wav");
    if (!FileExists(file))
        file = folder + QStringLiteral("Positive.wav");
    return file;
}

void PlayNotificationSound() {
    if (!ConfigurationSettings.SoundNotification)
        return;
    platform::PlaySoundAsync(NotificationSoundFile(platform::ProgramFolder()));
}
