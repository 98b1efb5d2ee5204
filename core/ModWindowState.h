#pragma once

#include <QString>

class QWidget;

// The kiosk shell around the main window: top-most windows, the desktop's
// panels ("taskbar"), the task-manager policy and the notification sound.
// User-interface thread only.

// The main window, registered by the window itself when it is created; null
// until then. Routines that must tell the main window from a dialog compare
// with it and never include the window's class.
QWidget* MainForm();
void SetMainForm(QWidget* window);

// Makes the window stay above the others; the main window only while
// Restriction is on, otherwise it is made not top-most.
void SetTopMost(QWidget* window);
// Lets other windows above it again (a box that must not hide behind it).
void SetNotTopMost(QWidget* window);

// There is no taskbar window of our own to hide: with Restriction on the main
// window takes the full-screen state, covering the desktop's panels; without
// it, ShowTaskbar. ShowTaskbar gives the main window back the state it had
// before (it does not look at Restriction).
void HideTaskbar();
void ShowTaskbar();
// True while HideTaskbar holds the main window full-screen.
bool IsTaskbarHidden();

// With Restriction on, writes the policy value DisableTaskMgr = "1" under the
// current user's System policies key of the registry store. Nothing removes it.
void DisableTaskManager();
inline constexpr const char* kTaskManagerPolicyKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\";

// With SoundNotification on, plays the notification sound without waiting.
void PlayNotificationSound();
// The file PlayNotificationSound plays for a program folder:
// "Sounds/Positive.wav", else "Related Documents/Positive.wav", else
// "Positive.wav" in the folder itself (returned even when missing).
QString NotificationSoundFile(const QString& programFolder);
