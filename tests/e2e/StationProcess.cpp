#include "StationProcess.h"

#include <signal.h>

#include <QCoreApplication>
#include <QDir>
#include <QThread>

#include "common/TestSupport.h"
#include "platform/IniFile.h"

StationProcess::StationProcess() {
    QDir().mkpath(DataFolder());
}

StationProcess::~StationProcess() {
    if (Running())
        Kill();
}

void StationProcess::Configure(const QList<QPair<QString, QString>>& settings) {
    QList<platform::IniEntry> entries;
    for (const auto& [section, value] : settings)
        entries.append({section, "Value", value});
    platform::IniWriteMany(DataFolder() + "KestrelleApp.config", entries);
}

bool StationProcess::Start(const QStringList& arguments) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("KESTRELLE_COMMON_APPDATA", appData_);
    if (display_.isEmpty()) {
        env.insert("QT_QPA_PLATFORM", "offscreen");
    } else {
        env.insert("DISPLAY", display_);
        env.insert("QT_QPA_PLATFORM", "xcb");
    }
    process_.setProcessEnvironment(env);
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.start(QCoreApplication::applicationDirPath() + "/kestrelle", arguments);
    return process_.waitForStarted(10000);
}

void StationProcess::Kill() {
    process_.kill();
    process_.waitForFinished(10000);
}

void StationProcess::Stop() {
    process_.terminate();
    if (!process_.waitForFinished(10000))
        Kill();
}

void StationProcess::Signal(int signal) {
    ::kill(pid_t(process_.processId()), signal);
}

bool StationProcess::EndedCleanly(int milliseconds) {
    if (!process_.waitForFinished(milliseconds))
        return false;
    return process_.exitStatus() == QProcess::NormalExit && process_.exitCode() == 0;
}

bool WaitUntil(const std::function<bool()>& condition, int milliseconds) {
    return PumpEventsUntil(
        [&] {
            if (condition())
                return true;
            QThread::msleep(20);
            return false;
        },
        milliseconds);
}
