#include "ImTerminals.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include <QStringList>

#include "platform/CodePage.h"

namespace {

using Clock = std::chrono::steady_clock;

const QString STX(QChar(2));
const QString ETX(QChar(3));
const QString EOT(QChar(4));

// Without atOnce, terminals join in small waves and send only once all have
// joined, so that the time of the orders holds no joining.
constexpr int kJoinsInFlight = 4;

enum class Stage { Waiting, Connecting, Joining, Joined, Closed };

struct Terminal {
    QString name;
    bool sender = false;
    Stage stage = Stage::Waiting;
    int fd = -1;
    QByteArray out;
    qsizetype outOffset = 0;
    QByteArray in;
    QString serverName;
    int nextOrder = 1;
    Clock::time_point nextAt;
    std::set<int> acked;
};

int64_t MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

sockaddr_in Resolve(const std::string& host, uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    if (::inet_pton(AF_INET, host.c_str(), &sa.sin_addr) == 1)
        return sa;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &result) != 0 || !result)
        throw std::runtime_error("cannot resolve " + host);
    sa.sin_addr = reinterpret_cast<sockaddr_in*>(result->ai_addr)->sin_addr;
    ::freeaddrinfo(result);
    return sa;
}

class Session {
public:
    explicit Session(const ImOptions& o) : options_(o) {
        const int total = o.terminals + o.idle;
        for (int i = 0; i < total; ++i) {
            Terminal t;
            t.name = total == 1 ? o.name : o.name + "-" + QString::number(i + 1);
            t.sender = i < o.terminals;
            terminals_.push_back(std::move(t));
        }
        address_ = Resolve(o.host, o.port);
    }
    ~Session() {
        for (Terminal& t : terminals_) {
            if (t.fd >= 0)
                ::close(t.fd);
        }
    }

    ImSummary Run() {
        start_ = Clock::now();
        for (;;) {
            if (MsSince(start_) > options_.timeoutMs) {
                summary_.timedOut = true;
                break;
            }
            StartJoins();
            if (!allJoined_ && AllJoined()) {
                allJoined_ = true;
                summary_.joinMs = MsSince(start_);
            }
            // At once: each terminal sends as soon as it has its list.
            if (!ordersStarted_ && (options_.atOnce ? AnyJoined() : AllJoined())) {
                ordersStarted_ = true;
                ordersStart_ = Clock::now();
                if (!options_.atOnce) {
                    for (Terminal& t : terminals_)
                        t.nextAt = ordersStart_;
                }
            }
            if (ordersStarted_) {
                QueueOrders();
                if (Done())
                    break;
            }
            PollOnce();
        }
        for (const Terminal& t : terminals_) {
            summary_.joined += t.stage == Stage::Joined ? 1 : 0;
            summary_.acknowledged += int(t.acked.size());
        }
        return summary_;
    }

private:
    bool AllJoined() const {
        for (const Terminal& t : terminals_) {
            if (t.stage != Stage::Joined)
                return false;
        }
        return true;
    }

    bool AnyJoined() const {
        for (const Terminal& t : terminals_) {
            if (t.stage == Stage::Joined)
                return true;
        }
        return false;
    }

    void StartJoins() {
        int inFlight = 0;
        for (const Terminal& t : terminals_)
            inFlight += t.stage == Stage::Connecting || t.stage == Stage::Joining ? 1 : 0;
        for (Terminal& t : terminals_) {
            if (!options_.atOnce && inFlight >= kJoinsInFlight)
                return;
            if (t.stage != Stage::Waiting)
                continue;
            t.fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            if (t.fd < 0)
                throw std::runtime_error(std::string("socket: ") + std::strerror(errno));
            const int one = 1;
            ::setsockopt(t.fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            const int r =
                ::connect(t.fd, reinterpret_cast<const sockaddr*>(&address_), sizeof address_);
            if (r != 0 && errno != EINPROGRESS)
                throw std::runtime_error(std::string("connect: ") + std::strerror(errno));
            t.stage = Stage::Connecting;
            Queue(t, "CON" + STX + t.name + EOT);
            ++inFlight;
        }
    }

    void Queue(Terminal& t, const QString& message) { t.out += platform::ToAnsi(message); }

    void QueueOrders() {
        const Clock::time_point now = Clock::now();
        for (Terminal& t : terminals_) {
            if (!t.sender || t.stage != Stage::Joined || t.nextOrder > options_.count ||
                now < t.nextAt)
                continue;
            const int id = t.nextOrder++;
            for (int k = 1; k <= options_.chat; ++k)
                Queue(t, "MSG" + STX + t.name + STX + "All" + STX + "Chat " + QString::number(k) +
                             " before order " + QString::number(id) + EOT);
            const QString addressee =
                options_.addressee.isEmpty() ? t.serverName : options_.addressee;
            QString text = options_.text;
            text.replace("%i", QString::number(id))
                .replace("%s", t.name)
                .replace("%n", QString::number(1 + id % 3));
            Queue(t, "ORD" + STX + t.name + STX + addressee + STX + QString::number(id) + ETX +
                         text + EOT);
            ++summary_.ordersSent;
            lastOrderAt_ = now;
            t.nextAt = now + std::chrono::milliseconds(options_.intervalMs);
        }
    }

    bool Done() {
        for (const Terminal& t : terminals_) {
            if (t.sender && t.nextOrder <= options_.count && t.stage != Stage::Closed)
                return false;
        }
        if (options_.waitAck) {
            for (const Terminal& t : terminals_) {
                if (t.sender && int(t.acked.size()) < options_.count)
                    return false;
            }
            summary_.ordersMs =
                std::chrono::duration_cast<std::chrono::milliseconds>(lastAckAt_ - ordersStart_)
                    .count();
            return true;
        }
        return MsSince(lastOrderAt_) >= options_.lingerMs;
    }

    void PollOnce() {
        std::vector<pollfd> fds;
        std::vector<Terminal*> owners;
        for (Terminal& t : terminals_) {
            if (t.fd < 0 || t.stage == Stage::Closed)
                continue;
            short events = POLLIN;
            if (t.stage == Stage::Connecting || t.outOffset < t.out.size())
                events |= POLLOUT;
            fds.push_back({t.fd, events, 0});
            owners.push_back(&t);
        }
        ::poll(fds.data(), nfds_t(fds.size()), 5);
        for (size_t i = 0; i < fds.size(); ++i) {
            Terminal& t = *owners[i];
            if (fds[i].revents & (POLLOUT | POLLERR | POLLHUP)) {
                if (t.stage == Stage::Connecting) {
                    int error = 0;
                    socklen_t length = sizeof error;
                    ::getsockopt(t.fd, SOL_SOCKET, SO_ERROR, &error, &length);
                    if (error != 0) {
                        Report(t, std::string("cannot connect: ") + std::strerror(error));
                        CloseTerminal(t);
                        continue;
                    }
                    t.stage = Stage::Joining;
                }
                Flush(t);
            }
            if (fds[i].revents & (POLLIN | POLLHUP | POLLERR))
                Read(t);
        }
    }

    void Flush(Terminal& t) {
        while (t.outOffset < t.out.size()) {
            const ssize_t n = ::send(t.fd, t.out.constData() + t.outOffset,
                                     size_t(t.out.size() - t.outOffset), MSG_NOSIGNAL);
            if (n > 0) {
                t.outOffset += n;
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EINTR))
                return;
            Report(t, std::string("send failed: ") + std::strerror(errno));
            CloseTerminal(t);
            return;
        }
        t.out.clear();
        t.outOffset = 0;
    }

    void Read(Terminal& t) {
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::recv(t.fd, buffer, sizeof buffer, 0);
            if (n > 0) {
                t.in.append(buffer, n);
                continue;
            }
            if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                Report(t, "connection closed by the station");
                CloseTerminal(t);
            }
            break;
        }
        qsizetype start = 0;
        for (;;) {
            const qsizetype end = t.in.indexOf('\x04', start);
            if (end < 0)
                break;
            Handle(t, platform::FromAnsi(t.in.mid(start, end - start)));
            start = end + 1;
        }
        t.in.remove(0, start);
    }

    void Handle(Terminal& t, const QString& message) {
        if (!options_.quiet)
            std::printf("[%s] < %s\n", t.name.toUtf8().constData(), Printable(message).c_str());
        const QStringList fields = message.split(STX);
        if (fields[0] == "LST" && fields.size() >= 2) {
            t.serverName = fields[1].section("\r\n", 0, 0);
            if (t.stage == Stage::Joining)
                t.stage = Stage::Joined;
        } else if (fields[0] == "ORA" && fields.size() >= 4 && fields[2] == t.name) {
            bool ok = false;
            const int id = fields[3].toInt(&ok);
            if (!ok)
                return;
            if (!t.acked.insert(id).second)
                ++summary_.doubled;
            lastAckAt_ = Clock::now();
        }
    }

    void Report(const Terminal& t, const std::string& what) {
        if (!options_.quiet)
            std::printf("[%s] %s\n", t.name.toUtf8().constData(), what.c_str());
    }

    void CloseTerminal(Terminal& t) {
        if (t.fd >= 0)
            ::close(t.fd);
        t.fd = -1;
        t.stage = Stage::Closed;
    }

    const ImOptions options_;
    std::vector<Terminal> terminals_;
    sockaddr_in address_{};
    ImSummary summary_;
    Clock::time_point start_;
    Clock::time_point ordersStart_;
    Clock::time_point lastOrderAt_;
    Clock::time_point lastAckAt_;
    bool ordersStarted_ = false;
    bool allJoined_ = false;
};

}  // namespace

std::string Printable(const QString& message) {
    QString text = message;
    text.replace("\r\n", " / ").replace(STX, " | ").replace(ETX, " ^ ");
    return text.toStdString();
}

ImSummary RunImTerminals(const ImOptions& options) {
    Session session(options);
    return session.Run();
}
