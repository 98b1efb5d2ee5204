#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QProcess>
#include <QSet>
#include <QString>
#include <QTemporaryDir>

// The real station executable (kestrelle beside the tests), started offscreen
// as the end-to-end tests start it, on an application-data folder of its own:
// one folder per object, because a second station on a folder is refused by
// the folder's lock. Stopped (SIGTERM, then SIGKILL) when destroyed.
class StationExecutable {
public:
    StationExecutable();
    ~StationExecutable();
    StationExecutable(const StationExecutable&) = delete;
    StationExecutable& operator=(const StationExecutable&) = delete;

    // The folder of its files (the settings, BackUp.log, the logs).
    QString DataFolder() const { return appData_.path() + "/Quillbarrow/Kestrelle/"; }
    // Settings sections with their "Value" ("Communication" -> "1"), written
    // before the start; the restriction and the sound are always off.
    bool Configure(const QList<QPair<QString, QString>>& settings);
    // Mode 1 on that TCP port, mode 0 on that UDP port.
    bool ConfigureMessageServer(int port);
    bool ConfigureDatagrams(int port);
    // A BackUp.log for the start to load.
    bool WriteBackup(const QByteArray& bytes);

    // Starts it; true once the process runs (not yet its ports).
    bool Start();
    // Waits until its TCP or UDP port is taken; false after the time-out.
    bool WaitForPort(int type, int port, int timeoutMs = 30000);
    // Configures mode 1 or mode 0 on the port, starts it and waits for the
    // port; false when any step failed.
    bool StartMessageServer(int port);
    bool StartDatagrams(int port);
    void Stop();
    qint64 Pid() const { return process_.processId(); }
    bool Running() const { return process_.state() != QProcess::NotRunning; }

    // The orders BackUp.log counts, and their first rows (`doubled` counts
    // repeated ones).
    int BackupCount() const;
    QSet<QString> BackupFirstRows(int* doubled = nullptr) const;

private:
    QTemporaryDir appData_;
    QProcess process_;
};
