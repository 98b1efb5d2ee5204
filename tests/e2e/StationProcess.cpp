#include "StationProcess.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QThread>

#include "platform/CodePage.h"
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
    env.insert("KESTRELLE_COMMON_APPDATA", dir_.path());
    env.insert("QT_QPA_PLATFORM", "offscreen");
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

int FreePort(int type) {
    const int fd = ::socket(AF_INET, type, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

bool PortTaken(int type, int port) {
    const int fd = ::socket(AF_INET, type, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool taken = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0;
    ::close(fd);
    return taken;
}

bool WaitUntil(const std::function<bool()>& condition, int milliseconds) {
    QElapsedTimer t;
    t.start();
    while (!condition()) {
        if (t.elapsed() > milliseconds)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(20);
    }
    return true;
}

void SendUdp(int port, const QString& text) {
    const QByteArray bytes = platform::ToAnsi(text);
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::sendto(fd, bytes.constData(), size_t(bytes.size()), 0, reinterpret_cast<sockaddr*>(&a),
             sizeof a);
    ::close(fd);
}
