#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <functional>

#include "common/TestNet.h"

// The real station executable in a private application-data folder, started
// offscreen and driven from outside.
class StationProcess {
public:
    StationProcess();
    ~StationProcess();

    QString AppData() const { return appData_; }
    QString DataFolder() const { return appData_ + "/Quillbarrow/Kestrelle/"; }
    // Runs on the application-data folder of the other one (a second copy of
    // the program on the same folder); before Start.
    void UseFolderOf(const StationProcess& other) { appData_ = other.AppData(); }
    // Writes settings sections before the start ("Communication" -> "0", ...).
    void Configure(const QList<QPair<QString, QString>>& settings);

    // Runs it on that X display (Qt's X11 platform) instead of offscreen.
    void SetDisplay(const QString& display) { display_ = display; }
    bool Start(const QStringList& arguments = {});
    // SIGKILL: no unload, no chance to tidy up.
    void Kill();
    // Ends it as a service stop would: SIGTERM, then waits (SIGKILL when it
    // does not end).
    void Stop();
    // Sends a signal (SIGTERM, SIGHUP, SIGINT, ...) to the running station.
    void Signal(int signal);
    // Waits for the station to end; true when it ended by itself with exit
    // code 0 (not killed by a signal).
    bool EndedCleanly(int milliseconds);
    bool Running() const { return process_.state() != QProcess::NotRunning; }
    qint64 Pid() const { return process_.processId(); }
    QByteArray Output() { return process_.readAll(); }

private:
    QTemporaryDir dir_;
    QString appData_ = dir_.path();
    QProcess process_;
    QString display_;
};

// Polls until the condition holds or the time is up, pumping events; the
// conditions look at other processes (their files, windows, ports), so they
// are looked at every 20 ms only.
bool WaitUntil(const std::function<bool()>& condition, int milliseconds);
