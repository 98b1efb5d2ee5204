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

    QString AppData() const { return dir_.path(); }
    QString DataFolder() const { return dir_.path() + "/Quillbarrow/Kestrelle/"; }
    // Writes settings sections before the start ("Communication" -> "0", ...).
    void Configure(const QList<QPair<QString, QString>>& settings);

    bool Start(const QStringList& arguments = {});
    // SIGKILL: no unload, no chance to tidy up.
    void Kill();
    // Closes it as an operator would not: SIGTERM, then waits.
    void Stop();
    bool Running() const { return process_.state() != QProcess::NotRunning; }
    QByteArray Output() { return process_.readAll(); }

private:
    QTemporaryDir dir_;
    QProcess process_;
};

// Polls until the condition holds or the time is up, pumping events.
bool WaitUntil(const std::function<bool()>& condition, int milliseconds);
