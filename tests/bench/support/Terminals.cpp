#include "support/Terminals.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QThread>
#include <cerrno>
#include <memory>

#include "common/TestNet.h"
#include "support/BenchRun.h"

namespace {
constexpr char STX = 2;
constexpr char ETX = 3;
constexpr char EOT = 4;
}  // namespace

BenchTerminal::~BenchTerminal() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool BenchTerminal::Connect(int port, int timeoutMs) {
    const double deadline = NowUs() + timeoutMs * 1000.0;
    while (NowUs() < deadline) {
        fd_ = ConnectTcp(port);
        if (fd_ >= 0) {
            const int one = 1;
            ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            return true;
        }
        QThread::usleep(2000);
    }
    return false;
}

bool BenchTerminal::SendJoin() {
    return SendAll("CON" + QByteArray(1, STX) + name_ + EOT, 10000);
}

bool BenchTerminal::SendOrder(const QByteArray& id, const QByteArray& text, int timeoutMs) {
    return SendAll(
        "ORD" + QByteArray(1, STX) + name_ + STX + serverName_ + STX + id + ETX + text + EOT,
        timeoutMs);
}

bool BenchTerminal::SendAll(const QByteArray& bytes, int timeoutMs) {
    const double deadline = NowUs() + timeoutMs * 1000.0;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd_, bytes.constData() + done, size_t(bytes.size() - done),
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        // The server reads slower than this sends: take what it sent meanwhile,
        // so that neither side waits for the other.
        if (NowUs() > deadline || !ReadAvailable())
            return false;
        pollfd p{fd_, POLLOUT, 0};
        ::poll(&p, 1, 10);
    }
    return true;
}

bool BenchTerminal::ReadAvailable() {
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0) {
            in_.append(buffer, n);
            continue;
        }
        if (n == 0 || (errno != EAGAIN && errno != EINTR))
            return false;
        break;
    }
    // Only the answers of this terminal count: its list and its own ORAs
    // ("ORA" STX "ACK" STX sender STX id).
    static const QByteArray ora = "ORA" + QByteArray(1, STX) + "ACK" + STX;
    const QByteArray ownAck = ora + name_ + STX;
    qsizetype start = 0;
    for (qsizetype end; (end = in_.indexOf(EOT, start)) >= 0; start = end + 1) {
        const QByteArrayView message(in_.constData() + start, end - start);
        if (message.startsWith(ownAck)) {
            acknowledged_.insert(message.sliced(ownAck.size()).toByteArray());
        } else if (serverName_.isEmpty() && message.startsWith("LST")) {
            const QByteArrayView list = message.sliced(4);
            const qsizetype lineEnd = list.indexOf("\r\n");
            serverName_ = (lineEnd < 0 ? list : list.first(lineEnd)).toByteArray();
        }
    }
    in_.remove(0, start);
    return true;
}

bool BenchTerminal::WaitFor(bool (BenchTerminal::*condition)() const, int timeoutMs) {
    const double deadline = NowUs() + timeoutMs * 1000.0;
    while (!(this->*condition)()) {
        if (NowUs() > deadline)
            return false;
        pollfd p{fd_, POLLIN, 0};
        ::poll(&p, 1, 20);
        if (!ReadAvailable())
            return (this->*condition)();
    }
    return true;
}

bool BenchTerminal::WaitForAck(const QByteArray& id, int timeoutMs) {
    const double deadline = NowUs() + timeoutMs * 1000.0;
    while (!Acknowledged(id)) {
        if (NowUs() > deadline)
            return false;
        pollfd p{fd_, POLLIN, 0};
        ::poll(&p, 1, 20);
        if (!ReadAvailable())
            return Acknowledged(id);
    }
    return true;
}

QByteArray SmallOrderText(int number) {
    return "Table " + QByteArray::number(number) + "\r\n2 x Soup\r\n1 x Bread\r\n1 x Water";
}

ClosedLoopResult RunClosedLoop(int port, int terminals, int ordersEach, int timeoutMs) {
    ClosedLoopResult result;
    const double deadline = NowUs() + timeoutMs * 1000.0;
    std::vector<std::unique_ptr<BenchTerminal>> all;
    for (int t = 0; t < terminals; ++t) {
        all.push_back(std::make_unique<BenchTerminal>("POS-" + QByteArray::number(t + 1)));
        if (!all.back()->Connect(port, 30000) || !all.back()->SendJoin())
            return result;
    }
    for (const auto& terminal : all) {
        if (!terminal->WaitFor(&BenchTerminal::Joined, 30000))
            return result;
    }
    struct Loop {
        int sent = 0;
        double sentAt = 0;
    };
    std::vector<Loop> loops(size_t(terminals), Loop{});
    std::vector<pollfd> fds;
    for (const auto& terminal : all)
        fds.push_back({terminal->Fd(), POLLIN, 0});
    const double start = NowUs();
    double lastAck = start;
    for (int t = 0; t < terminals; ++t) {
        loops[size_t(t)] = {1, NowUs()};
        if (!all[size_t(t)]->SendOrder("1", SmallOrderText(t * ordersEach + 1)))
            return result;
    }
    int done = 0;
    while (done < terminals) {
        if (NowUs() > deadline)
            return result;
        if (::poll(fds.data(), nfds_t(fds.size()), 100) <= 0)
            continue;
        for (size_t t = 0; t < fds.size(); ++t) {
            if (!(fds[t].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            BenchTerminal& terminal = *all[t];
            Loop& loop = loops[t];
            if (!terminal.ReadAvailable())
                return result;
            if (loop.sent > ordersEach || !terminal.Acknowledged(QByteArray::number(loop.sent)))
                continue;
            const double now = NowUs();
            result.latenciesUs.push_back(now - loop.sentAt);
            lastAck = now;
            ++result.orders;
            if (loop.sent == ordersEach) {
                ++loop.sent;
                ++done;
                continue;
            }
            loop = {loop.sent + 1, NowUs()};
            if (!terminal.SendOrder(QByteArray::number(loop.sent),
                                    SmallOrderText(int(t) * ordersEach + loop.sent)))
                return result;
        }
    }
    result.seconds = (lastAck - start) / 1e6;
    result.ok = true;
    return result;
}
