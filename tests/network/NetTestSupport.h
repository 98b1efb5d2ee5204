#pragma once

#include <sys/resource.h>
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

// Plain blocking sockets on 127.0.0.1 that play the peer of the object under
// test.
namespace nettest {

// A port that nothing listens on right now (bound and released).
uint16_t UnusedTcpPort();

class PlainSocket {
public:
    PlainSocket() = default;
    explicit PlainSocket(int fd) : fd_(fd) {}
    ~PlainSocket();
    PlainSocket(PlainSocket&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    PlainSocket& operator=(PlainSocket&& other) noexcept;

    static PlainSocket Udp(uint16_t bindPort = 0);
    static PlainSocket TcpListener(int receiveBuffer = 0);
    static PlainSocket TcpConnect(uint16_t port);

    int Fd() const { return fd_; }
    uint16_t Port() const;
    PlainSocket Accept() const;
    void SendTo(uint16_t port, const QByteArray& bytes) const;
    // One datagram, waiting at most timeoutMs; empty on timeout.
    QByteArray ReceiveDatagram(int timeoutMs = 5000) const;
    void SendAll(const QByteArray& bytes) const;
    // Reads until `count` bytes or the end of the stream.
    QByteArray ReceiveExactly(qsizetype count) const;
    void ShutdownWrite() const;
    // Closes with a reset instead of an orderly end.
    void Reset();

private:
    int fd_ = -1;
};

// While it lives, every descriptor the process may open is taken: the free
// numbers up to the highest one open are filled and the limit is lowered to
// it, so the next socket, accept or open fails with EMFILE. The limit comes
// back and the fillers are closed when it goes.
class NoDescriptorLeft {
public:
    NoDescriptorLeft();
    ~NoDescriptorLeft();
    NoDescriptorLeft(const NoDescriptorLeft&) = delete;
    NoDescriptorLeft& operator=(const NoDescriptorLeft&) = delete;

private:
    std::vector<int> fillers_;
    rlimit saved_{};
};

}  // namespace nettest
