#pragma once

#include <QByteArray>
#include <QSet>
#include <vector>

// A point-of-sale terminal of the message server on 127.0.0.1, played by a
// plain non-blocking socket in the calling thread, for servers that run
// elsewhere (the station executable, a baseline on its own thread): the
// waits block this thread. Bytes are never decoded; names and texts are
// ASCII.
class BenchTerminal {
public:
    explicit BenchTerminal(QByteArray name) : name_(std::move(name)) {}
    ~BenchTerminal();
    BenchTerminal(const BenchTerminal&) = delete;
    BenchTerminal& operator=(const BenchTerminal&) = delete;

    // Connects, trying again while the port is not open yet, until the time
    // is up.
    bool Connect(int port, int timeoutMs);
    // Sends CON; Joined() once the LST answer has come (ReadAvailable).
    bool SendJoin();
    bool Joined() const { return !serverName_.isEmpty(); }
    // Sends an order to the server, whole: waits while the socket takes no
    // more, reading what arrives meanwhile.
    bool SendOrder(const QByteArray& id, const QByteArray& text, int timeoutMs = 60000);
    // Reads whatever has arrived without waiting; false once the connection
    // is gone.
    bool ReadAvailable();
    bool Acknowledged(const QByteArray& id) const { return acknowledged_.contains(id); }
    // Waits (reading) until the condition holds; false after the time-out.
    bool WaitFor(bool (BenchTerminal::*condition)() const, int timeoutMs);
    bool WaitForAck(const QByteArray& id, int timeoutMs);
    int Fd() const { return fd_; }

private:
    bool SendAll(const QByteArray& bytes, int timeoutMs);

    QByteArray name_;
    int fd_ = -1;
    QByteArray in_;
    QByteArray serverName_;
    QSet<QByteArray> acknowledged_;
};

// Terminals that each send their next order once the ORA of their last has
// come, as real terminals do (a closed loop): `terminals` of them, joined
// first, `ordersEach` orders each.
struct ClosedLoopResult {
    bool ok = false;
    int orders = 0;
    double seconds = 0;               // from the first order to the last ORA
    std::vector<double> latenciesUs;  // per order, from its send to its ORA
    double OrdersPerSecond() const { return seconds > 0 ? orders / seconds : 0; }
};
ClosedLoopResult RunClosedLoop(int port, int terminals, int ordersEach, int timeoutMs = 120000);

// A small order's text, numbered.
QByteArray SmallOrderText(int number);
