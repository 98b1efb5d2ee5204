#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <functional>

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

// A free port on 127.0.0.1 for the given socket type (SOCK_DGRAM/SOCK_STREAM).
int FreePort(int type);
// True once some process holds the UDP or TCP port (a bind of ours fails).
bool PortTaken(int type, int port);
// Polls until the condition holds or the time is up, pumping events.
bool WaitUntil(const std::function<bool()>& condition, int milliseconds);
// One datagram to 127.0.0.1:port, in the station's ANSI code page.
void SendUdp(int port, const QString& text);
