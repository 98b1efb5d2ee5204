#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>

// A private X display for tests that need a real one: Xvfb on a display
// number it picks itself (so parallel tests never collide) and, unless told
// otherwise, the openbox window manager on it with its stock key bindings
// (Alt+Tab, Alt+F4, Super+d ...). Both die with the session, and with the test
// process when that is killed. X clients are driven with xdotool.
class XSession {
public:
    XSession();
    ~XSession();
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;

    // Starts the server and, with windowManager, openbox; true once the
    // window manager has taken the screen (or the bare server answers).
    bool Start(bool windowManager = true);
    // ":N", empty before Start.
    QString Display() const { return display_; }
    // The system environment with DISPLAY set and Qt on its X11 platform.
    QProcessEnvironment Environment() const;

    // Runs an X client on the display to its end; its standard output,
    // trimmed, or an empty text when it failed or ran over the time.
    QString Run(const QString& program, const QStringList& arguments, int timeoutMs = 10000) const;
    // xdotool key: presses and releases a combination ("alt+F4", "super+d").
    void Key(const QString& combination) const;
    // Returns once the window manager has handled every event the server
    // gave it before the call (a key or button it grabs, a request to map,
    // iconify or activate a window): what it does about them is done. False
    // when it did not answer in time.
    bool SyncWithWindowManager();
    // The window the window manager calls active, 0 for none.
    uint32_t ActiveWindow() const;
    // A window's title.
    QString WindowName(uint32_t window) const;
    // The process that owns a window (_NET_WM_PID), 0 when unknown.
    qint64 WindowPid(uint32_t window) const;
    // The values of a window's property as xprop prints them (atom names,
    // numbers in their print form: "0x1"); empty when it is not set.
    QStringList PropertyValues(uint32_t window, const QString& property) const;

    // Another X client takes the whole keyboard (an active grab) and keeps it
    // until ReleaseKeyboard or the session's end; false when it was refused.
    bool GrabKeyboard();
    void ReleaseKeyboard();

private:
    void StartChild(QProcess& process, const QString& program, const QStringList& arguments);

    QProcess server_;
    QProcess windowManager_;
    QString display_;
    struct Client;
    std::unique_ptr<Client> client_;
};

// The session of a test run under kestrelle_xsessionmain.
XSession& TestXSession();
