#include "common/TestNet.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <random>

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>

#include "platform/CodePage.h"

sockaddr_in Loopback(int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

namespace {

// The lowest port the system hands out to outgoing connections.
int EphemeralPortsStart() {
    std::ifstream range("/proc/sys/net/ipv4/ip_local_port_range");
    int low = 0;
    return range >> low && low > 1024 ? low : 32768;
}
}  // namespace

int FreePort(int type) {
    // Below the ephemeral range: a port given out by bind(0) is one that any
    // outgoing connection of a parallel test may take as its source port
    // before the station binds it.
    static std::mt19937 random{std::random_device{}()};
    const int high = EphemeralPortsStart() - 1;
    std::uniform_int_distribution<int> pick(std::min(10000, high - 1000), high);
    for (int attempt = 0; attempt < 200; ++attempt) {
        const int port = pick(random);
        if (!PortTaken(type, port))
            return port;
    }
    const int fd = ::socket(AF_INET, type, 0);
    sockaddr_in a = Loopback(0);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

bool PortTaken(int type, int port) {
    const int fd = ::socket(AF_INET, type, 0);
    sockaddr_in a = Loopback(port);
    const bool taken = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0;
    ::close(fd);
    return taken;
}

void SendUdp(int port, const QString& text) {
    const QByteArray bytes = platform::ToAnsi(text);
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    const sockaddr_in a = Loopback(port);
    ::sendto(fd, bytes.constData(), size_t(bytes.size()), 0, reinterpret_cast<const sockaddr*>(&a),
             sizeof a);
    ::close(fd);
}

int ConnectTcp(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in a = Loopback(port);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0)
        return fd;
    // A signal (the fuzzer's timer ticks every second) cuts the wait short,
    // but the connection goes on: wait for its end instead.
    if (errno == EINTR) {
        pollfd p{fd, POLLOUT, 0};
        int ready;
        do
            ready = ::poll(&p, 1, 10000);
        while (ready < 0 && errno == EINTR);
        int error = 0;
        socklen_t length = sizeof error;
        if (ready == 1 && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 &&
            error == 0)
            return fd;
        errno = ready == 1 ? error : ETIMEDOUT;
    }
    const int failure = errno;
    ::close(fd);
    errno = failure;
    return -1;
}

QString OrderDatagramText(int sequence, const QString& sender, const QString& text) {
    return QString::number(sequence).rightJustified(6, '0') + '|' + sender + '\t' + text;
}

QString RunSimulator(const QStringList& arguments, int* exitCode, const QString& folder,
                     int timeoutMs) {
    QProcess simulator;
    simulator.setProgram((folder.isEmpty() ? QCoreApplication::applicationDirPath() : folder) +
                         QStringLiteral("/kestrelle_simulator"));
    simulator.setArguments(arguments);
    QEventLoop loop;
    QObject::connect(&simulator, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&simulator, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    simulator.start();
    if (simulator.waitForStarted(10000))
        loop.exec();
    if (simulator.state() != QProcess::NotRunning) {
        simulator.kill();
        simulator.waitForFinished();
        *exitCode = -1;
    } else {
        *exitCode = simulator.exitStatus() == QProcess::NormalExit ? simulator.exitCode() : -1;
    }
    return QString::fromUtf8(simulator.readAllStandardOutput() + simulator.readAllStandardError());
}

namespace {
QString ProcFolder(qint64 pid) {
    return pid == 0 ? QStringLiteral("/proc/self") : QStringLiteral("/proc/%1").arg(pid);
}
}  // namespace

qint64 ResidentBytes(qint64 pid) {
    std::ifstream status((ProcFolder(pid) + "/status").toStdString());
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stoll(line.substr(6)) * 1024;
    }
    return -1;
}

int OpenDescriptors(qint64 pid) {
    const QDir folder(ProcFolder(pid) + "/fd");
    if (!folder.exists())
        return -1;
    return int(folder.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size());
}
