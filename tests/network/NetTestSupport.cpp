#include "NetTestSupport.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
#include <stdexcept>

namespace nettest {

namespace {
sockaddr_in Loopback(uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return sa;
}
void Check(bool ok, const char* what) {
    if (!ok)
        throw std::runtime_error(std::string(what) + ": " + std::strerror(errno));
}
}  // namespace

uint16_t UnusedTcpPort() {
    PlainSocket s(::socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in sa = Loopback(0);
    Check(::bind(s.Fd(), reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0, "bind");
    return s.Port();
}

PlainSocket::~PlainSocket() {
    if (fd_ >= 0)
        ::close(fd_);
}

PlainSocket& PlainSocket::operator=(PlainSocket&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

PlainSocket PlainSocket::Udp(uint16_t bindPort) {
    PlainSocket s(::socket(AF_INET, SOCK_DGRAM, 0));
    sockaddr_in sa = Loopback(bindPort);
    Check(::bind(s.fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0, "bind");
    return s;
}

PlainSocket PlainSocket::TcpListener(int receiveBuffer) {
    PlainSocket s(::socket(AF_INET, SOCK_STREAM, 0));
    if (receiveBuffer > 0)
        ::setsockopt(s.fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in sa = Loopback(0);
    Check(::bind(s.fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0, "bind");
    Check(::listen(s.fd_, 5) == 0, "listen");
    return s;
}

PlainSocket PlainSocket::TcpConnect(uint16_t port) {
    PlainSocket s(::socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in sa = Loopback(port);
    Check(::connect(s.fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0, "connect");
    return s;
}

uint16_t PlainSocket::Port() const {
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&sa), &len);
    return ntohs(sa.sin_port);
}

PlainSocket PlainSocket::Accept() const {
    const int fd = ::accept(fd_, nullptr, nullptr);
    Check(fd >= 0, "accept");
    return PlainSocket(fd);
}

void PlainSocket::SendTo(uint16_t port, const QByteArray& bytes) const {
    sockaddr_in sa = Loopback(port);
    Check(::sendto(fd_, bytes.constData(), size_t(bytes.size()), 0,
                   reinterpret_cast<sockaddr*>(&sa), sizeof sa) == bytes.size(),
          "sendto");
}

QByteArray PlainSocket::ReceiveDatagram(int timeoutMs) const {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0)
        return QByteArray();
    QByteArray buffer(70000, Qt::Uninitialized);
    const ssize_t n = ::recv(fd_, buffer.data(), size_t(buffer.size()), 0);
    Check(n >= 0, "recv");
    buffer.resize(n);
    return buffer;
}

void PlainSocket::SendAll(const QByteArray& bytes) const {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::send(fd_, bytes.constData() + done, size_t(bytes.size() - done), MSG_NOSIGNAL);
        Check(n > 0, "send");
        done += n;
    }
}

QByteArray PlainSocket::ReceiveExactly(qsizetype count) const {
    QByteArray result;
    result.reserve(count);
    QByteArray buffer(1 << 16, Qt::Uninitialized);
    while (result.size() < count) {
        const ssize_t n =
            ::recv(fd_, buffer.data(),
                   size_t(std::min<qsizetype>(buffer.size(), count - result.size())), 0);
        if (n <= 0)
            break;
        result.append(buffer.constData(), n);
    }
    return result;
}

void PlainSocket::ShutdownWrite() const {
    ::shutdown(fd_, SHUT_WR);
}

void PlainSocket::Reset() {
    linger l{1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    ::close(fd_);
    fd_ = -1;
}

NoDescriptorLeft::NoDescriptorLeft() {
    int highest = 0;
    for (int fd = 0; fd < 65536; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1)
            highest = fd;
    }
    for (;;) {
        const int fd = ::open("/dev/null", O_RDONLY);
        if (fd < 0 || fd > highest) {
            if (fd >= 0)
                ::close(fd);
            break;
        }
        fillers_.push_back(fd);
    }
    ::getrlimit(RLIMIT_NOFILE, &saved_);
    rlimit lowered = saved_;
    lowered.rlim_cur = rlim_t(highest + 1);
    ::setrlimit(RLIMIT_NOFILE, &lowered);
}

NoDescriptorLeft::~NoDescriptorLeft() {
    ::setrlimit(RLIMIT_NOFILE, &saved_);
    for (const int fd : fillers_)
        ::close(fd);
}

}  // namespace nettest
