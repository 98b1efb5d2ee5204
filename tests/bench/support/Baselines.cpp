#include "support/Baselines.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>

#include "common/TestNet.h"
#include "network/CSocketMaster.h"
#include "platform/Variant.h"
#include "support/BenchRun.h"

namespace {

constexpr char STX = 2;
constexpr char ETX = 3;
constexpr char EOT = 4;

int OpenAppend(const QString& path) {
    return ::open(path.toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
}

bool WriteAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

uint16_t LocalPort(int fd) {
    sockaddr_in sa{};
    socklen_t length = sizeof sa;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &length);
    return ntohs(sa.sin_port);
}

}  // namespace

// ---- the sync floor ----------------------------------------------------------------

SyncFloorFile::SyncFloorFile(const QString& folder)
    : path_(folder + "/sync-floor.bin"), fd_(OpenAppend(path_)) {}

SyncFloorFile::~SyncFloorFile() {
    if (fd_ >= 0)
        ::close(fd_);
    QFile::remove(path_);
}

double SyncFloorFile::AppendAndSyncUs() {
    static const QByteArray record = QByteArray(198, 'o') + "\r\n";
    const double start = NowUs();
    if (fd_ < 0 || !WriteAll(fd_, record) || ::fdatasync(fd_) != 0)
        return -1;
    return NowUs() - start;
}

double SyncFloorUs(const QString& folder, int samples) {
    SyncFloorFile file(folder);
    std::vector<double> times;
    for (int i = 0; i < samples; ++i) {
        const double us = file.AppendAndSyncUs();
        if (us < 0)
            return -1;
        times.push_back(us);
    }
    return Median(times);
}

// ---- the plain message server ------------------------------------------------------

PlainImServer::PlainImServer(const QString& ordersFile)
    : ordersFd_(OpenAppend(ordersFile)), name_("BENCH_QVKServer") {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int on = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const sockaddr_in sa = Loopback(0);
    ::bind(listener_, reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
    ::listen(listener_, 1024);
    port_ = LocalPort(listener_);
    thread_ = std::thread([this] { Run(); });
}

PlainImServer::~PlainImServer() {
    stop_ = true;
    thread_.join();
    for (const Client& c : clients_)
        ::close(c.fd);
    ::close(listener_);
    if (ordersFd_ >= 0)
        ::close(ordersFd_);
}

PlainImServerProcess::PlainImServerProcess(const QString& ordersFile) {
    process_.setStandardErrorFile(QProcess::nullDevice());
    process_.start(QStringLiteral(KESTRELLE_BENCH_DIR "/plain_im_server"), {ordersFile});
    if (!process_.waitForStarted(10000))
        return;
    while (!process_.canReadLine() && process_.waitForReadyRead(10000)) {
    }
    if (process_.canReadLine())
        port_ = uint16_t(process_.readLine().trimmed().toUInt());
}

PlainImServerProcess::~PlainImServerProcess() {
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.closeWriteChannel();
    if (!process_.waitForFinished(15000)) {
        process_.kill();
        process_.waitForFinished(10000);
    }
}

void PlainImServer::Run() {
    std::vector<pollfd> fds;
    while (!stop_) {
        fds.clear();
        fds.push_back({listener_, POLLIN, 0});
        for (const Client& c : clients_)
            fds.push_back({c.fd, short(POLLIN | (c.out.isEmpty() ? 0 : POLLOUT)), 0});
        if (::poll(fds.data(), nfds_t(fds.size()), 50) <= 0)
            continue;
        if (fds[0].revents & POLLIN) {
            int fd;
            while ((fd = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC)) >=
                   0) {
                // Small answers leave at once rather than wait for the
                // terminal's delayed acknowledgement of the previous one.
                const int one = 1;
                ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
                clients_.push_back({fd, {}, {}, {}, false});
            }
        }
        // What this pass read: the orders' lines for the file and whom to
        // acknowledge once the file holds them.
        QByteArray lines;
        std::vector<Pending> pending;
        for (size_t i = 1; i < fds.size(); ++i) {
            Client& c = clients_[i - 1];
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char buffer[65536];
            const ssize_t n = ::recv(c.fd, buffer, sizeof buffer, 0);
            if (n <= 0) {
                c.closed = n == 0 || (errno != EAGAIN && errno != EINTR);
                continue;
            }
            c.in.append(buffer, n);
            qsizetype start = 0;
            for (qsizetype end; (end = c.in.indexOf(EOT, start)) >= 0; start = end + 1)
                Handle(c, c.in.mid(start, end - start), lines, pending);
            c.in.remove(0, start);
        }
        if (!pending.empty()) {
            if (ordersFd_ >= 0 && WriteAll(ordersFd_, lines) && ::fdatasync(ordersFd_) == 0) {
                ++syncs_;
                orders_ += int(pending.size());
                for (const Pending& p : pending)
                    Broadcast("ORA" + QByteArray(1, STX) + "ACK" + STX + p.sender + STX + p.id +
                              EOT);
            } else {
                saveFailed_ = true;  // not saved: not acknowledged
            }
        }
        for (Client& c : clients_) {
            if (!c.closed && !c.out.isEmpty()) {
                const ssize_t n =
                    ::send(c.fd, c.out.constData(), size_t(c.out.size()), MSG_NOSIGNAL);
                if (n > 0)
                    c.out.remove(0, n);
            }
        }
        for (size_t i = clients_.size(); i-- > 0;) {
            if (clients_[i].closed) {
                ::close(clients_[i].fd);
                clients_.erase(clients_.begin() + qsizetype(i));
            }
        }
    }
}

void PlainImServer::Broadcast(const QByteArray& bytes) {
    for (Client& c : clients_)
        c.out.append(bytes);
}

void PlainImServer::Handle(Client& client, const QByteArray& message, QByteArray& lines,
                           std::vector<Pending>& pending) {
    const QList<QByteArray> fields = message.split(STX);
    const QByteArray& command = fields[0];
    if (command == "CON" && fields.size() >= 2) {
        client.name = fields[1];
        Broadcast("ENT" + QByteArray(1, STX) + client.name + EOT);
        QByteArray list = "LST" + QByteArray(1, STX) + name_;
        for (const Client& c : clients_) {
            if (!c.name.isEmpty())
                list += "\r\n" + c.name;
        }
        client.out.append(list + EOT);
    } else if (command == "MSG") {
        Broadcast(message + EOT);
    } else if (command == "ORD" && fields.size() >= 4 && fields[2] == name_) {
        const qsizetype separator = fields[3].indexOf(ETX);
        if (separator < 0)
            return;
        lines += fields[3].mid(separator + 1) + "\r\n";
        pending.push_back({fields[1], fields[3].left(separator)});
    }
}

// ---- the plain datagram loop -------------------------------------------------------

PlainDatagramReceiver::PlainDatagramReceiver(const QString& ordersFile, int receiveBufferBytes)
    : ordersFd_(OpenAppend(ordersFile)) {
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    SetReceiveBuffer(fd_, receiveBufferBytes);
    const sockaddr_in sa = Loopback(0);
    ::bind(fd_, reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
    port_ = LocalPort(fd_);
    thread_ = std::thread([this] {
        QByteArray batch;
        char buffer[65536];
        while (!stop_) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            int count = 0;
            batch.clear();
            for (;;) {
                sockaddr_in from{};
                socklen_t length = sizeof from;
                const ssize_t n = ::recvfrom(fd_, buffer, sizeof buffer, 0,
                                             reinterpret_cast<sockaddr*>(&from), &length);
                if (n < 0)
                    break;
                batch.append(buffer, n).append("\r\n");
                ++count;
            }
            if (count > 0 && ordersFd_ >= 0 && WriteAll(ordersFd_, batch) &&
                ::fdatasync(ordersFd_) == 0) {
                saved_ += count;
                lastSavedUs_ = NowUs();
            }
        }
    });
}

PlainDatagramReceiver::~PlainDatagramReceiver() {
    stop_ = true;
    thread_.join();
    ::close(fd_);
    if (ordersFd_ >= 0)
        ::close(ordersFd_);
}

int PlainDatagramReceiver::ReceiveBuffer() const {
    int value = 0;
    socklen_t length = sizeof value;
    ::getsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &value, &length);
    return value;
}

int SetReceiveBuffer(int fd, int bytes) {
    // The system doubles what it is asked for (its own bookkeeping).
    const int asked = bytes / 2;
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &asked, sizeof asked) != 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &asked, sizeof asked);
    int value = 0;
    socklen_t length = sizeof value;
    ::getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &value, &length);
    return value;
}

int StationUdpReceiveBuffer() {
    CSocketMaster socket;
    socket.SetProtocol(CSocketMaster::sckUDPProtocol);
    socket.Bind(Variant::FromLong(0), Variant("127.0.0.1"));
    int value = 0;
    socklen_t length = sizeof value;
    ::getsockopt(socket.SocketHandle(), SOL_SOCKET, SO_RCVBUF, &value, &length);
    return value;
}
