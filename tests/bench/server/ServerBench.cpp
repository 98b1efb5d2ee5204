// The message server under load from the terminal simulator on 127.0.0.1:
// terminals each sending their orders with a chat line before each, the time
// from the first order until every order is acknowledged to its sender and
// handed to the board, with none lost or doubled. Two servers: a ModServer in
// this process (the board's hand-over counted here), and the real station
// executable in mode 1 (the orders read back from its "BackUp.log").
// Arguments: sending terminals, idle terminals, orders per sender, and 1 when
// every terminal joins at once and sends as soon as it has joined. A third
// server sets the scale: a minimal single-threaded poll() server speaking the
// same protocol, each order appended to a file and flushed to the disk before
// its ORA.
// Beside them, datagrams to the station in mode 0: 10,000 paced (the pause in
// microseconds is the argument) or back to back, each also sent to a plain
// recvfrom loop with the largest receive buffer the system gives, and the
// orders that reach BackUp.log counted against those the loop kept.
// Run by hand:
//   build/bench/server_bench
//   build/bench/server_bench --benchmark_filter=Station
//   build/bench/server_bench --benchmark_filter=Datagrams
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <thread>
#include <vector>

#include "common/TestNet.h"
#include "core/ModCommon.h"
#include "network/CSocketMaster.h"
#include "network/ImServerProtocol.h"
#include "network/ModServer.h"
#include "platform/CodePage.h"
#include "platform/IniFile.h"

namespace {

const QString kBinDir = QStringLiteral(KESTRELLE_BIN_DIR);

struct SimulatorRun {
    bool ok = false;
    int64_t joinMs = 0;
    int64_t ackMs = 0;
    int acknowledged = 0;
    int doubled = 0;
    QString output;
};

// The load of one run: the benchmark's arguments.
struct Load {
    int senders = 0;
    int idle = 0;
    int orders = 0;
    bool atOnce = false;
    explicit Load(const benchmark::State& state)
        : senders(int(state.range(0))),
          idle(int(state.range(1))),
          orders(int(state.range(2))),
          atOnce(state.range(3) != 0) {}
    int Expected() const { return senders * orders; }
    // The time to take off the board's clock: joining, when it came before
    // the orders; at once, joining and ordering overlap and count both.
    int64_t JoinedBeforeOrders(const SimulatorRun& run) const { return atOnce ? 0 : run.joinMs; }
};

// Runs the simulator with the load against the port, this thread's events
// (the in-process server's) pumped until it ends, and reads its summary.
SimulatorRun RunLoad(uint16_t port, const Load& load) {
    QStringList arguments = {"im", "--port", QString::number(port), "--name", "POS"};
    arguments << "--terminals" << QString::number(load.senders) << "--idle"
              << QString::number(load.idle) << "--count" << QString::number(load.orders);
    arguments << "--chat" << QString::number(1) << "--wait-ack"
              << "--quiet"
              << "--timeout" << QString::number(300);
    if (load.atOnce)
        arguments << "--at-once";
    SimulatorRun run;
    int exitCode = 0;
    run.output = RunSimulator(arguments, &exitCode, kBinDir, 330000);
    static const QRegularExpression summary(
        "joined (\\d+) of (\\d+) terminals in (\\d+) ms; orders sent (\\d+), acknowledged "
        "(\\d+) of (\\d+), doubled (\\d+)");
    static const QRegularExpression acked("all acknowledged (\\d+) ms after the first order");
    const auto s = summary.match(run.output);
    const auto a = acked.match(run.output);
    if (s.hasMatch()) {
        run.joinMs = s.captured(3).toLongLong();
        run.acknowledged = s.captured(5).toInt();
        run.doubled = s.captured(7).toInt();
    }
    if (a.hasMatch())
        run.ackMs = a.captured(1).toLongLong();
    run.ok = exitCode == 0 && a.hasMatch();
    return run;
}

void Report(benchmark::State& state, const SimulatorRun& run, int expected, int onBoard,
            int doubledOnBoard, int64_t boardMs) {
    state.counters["orders"] = expected;
    state.counters["acknowledged"] = run.acknowledged;
    state.counters["ack_doubled"] = run.doubled;
    state.counters["on_board"] = onBoard;
    state.counters["board_doubled"] = doubledOnBoard;
    state.counters["join_ms"] = double(run.joinMs);
    state.counters["ack_ms"] = double(run.ackMs);
    state.counters["board_ms"] = double(boardMs);
}

// ---- the server in this process ------------------------------------------------

void BM_ModServer(benchmark::State& state) {
    const Load load(state);
    const int expected = load.Expected();
    QTemporaryDir appData;
    qputenv("KESTRELLE_COMMON_APPDATA", appData.path().toLocal8Bit());
    for (auto _ : state) {
        ModServer server;
        QSet<QString> texts;
        int doubled = 0;
        QElapsedTimer clock;
        int64_t lastHandOver = 0;
        server.OrderArrived = [&](const QString& text, std::function<void()> acknowledge) {
            acknowledge();
            if (texts.contains(text))
                ++doubled;
            texts.insert(text);
            lastHandOver = clock.elapsed();
        };
        server.StartServer(0);
        const uint16_t port = uint16_t(server.sckServerIM()(0).LocalPort());
        clock.start();
        const SimulatorRun run = RunLoad(port, load);
        QElapsedTimer wait;
        wait.start();
        while (texts.size() < expected && wait.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (!run.ok) {
            state.SkipWithError(("simulator failed: " + run.output.toStdString()).c_str());
            return;
        }
        // The simulator's clock starts at its own start, as this one does
        // (within a process start-up), so the join time comes off both.
        const int64_t boardMs = lastHandOver - load.JoinedBeforeOrders(run);
        state.SetIterationTime(double(std::max(run.ackMs, boardMs)) / 1000.0);
        Report(state, run, expected, int(texts.size()), doubled, boardMs);
        server.StopServer();
    }
}

// ---- the station executable --------------------------------------------------------

QString ReadIni(const QString& path, const QString& section, const QString& key) {
    return ReadIniValue(section, key, path, 1024);
}

// The real station executable in a folder of its own, started with the
// settings given and stopped (SIGTERM) at the end.
struct StationProcess {
    QTemporaryDir appData;
    QString folder;
    QProcess process;

    bool Start(const QByteArray& settings, const QString& waitFor) {
        const QString station = kBinDir + "/kestrelle";
        if (!QFile::exists(station))
            return false;
        folder = appData.path() + "/Quillbarrow/Kestrelle/";
        QDir().mkpath(folder);
        QFile config(folder + "KestrelleApp.config");
        if (!config.open(QIODevice::WriteOnly) ||
            config.write(settings + "[Restriction]\r\nValue=False\r\n[SoundNotification]\r\n"
                                    "Value=False\r\n") < 0)
            return false;
        config.close();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("KESTRELLE_COMMON_APPDATA", appData.path());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        process.setProcessEnvironment(env);
        process.setProgram(station);
        process.start();
        QElapsedTimer wait;
        wait.start();
        while (!waitFor.isEmpty() && !QFile(folder + waitFor).exists() && wait.elapsed() < 15000)
            QThread::msleep(20);
        return waitFor.isEmpty() || QFile(folder + waitFor).exists();
    }
    // The orders BackUp.log holds, by their first row; `doubled` counts
    // repeated ones.
    QSet<QString> Backup(int* doubled = nullptr) const {
        const QString backup = folder + "BackUp.log";
        platform::IniClearCache();
        QSet<QString> texts;
        const int count = ReadIni(backup, "OrdersCount", "Value").toInt();
        for (int i = 0; i < count; ++i) {
            const QString section = QStringLiteral("Order_%1").arg(i, 2, 10, QLatin1Char('0'));
            const QString text = ReadIni(backup, section, "Row_000");
            if (doubled && texts.contains(text))
                ++*doubled;
            texts.insert(text);
        }
        return texts;
    }
    int BackupCount() const {
        platform::IniClearCache();
        return ReadIni(folder + "BackUp.log", "OrdersCount", "Value").toInt();
    }
    ~StationProcess() {
        if (process.state() == QProcess::NotRunning)
            return;
        process.terminate();
        if (!process.waitForFinished(10000)) {
            process.kill();
            process.waitForFinished();
        }
    }
};

void BM_StationExecutable(benchmark::State& state) {
    const Load load(state);
    const int expected = load.Expected();
    for (auto _ : state) {
        uint16_t port = 0;
        {
            // A port free right now, for the station to listen on.
            CSocketMaster probe;
            probe.Listen();
            port = uint16_t(probe.LocalPort());
        }
        StationProcess kestrelle;
        if (!kestrelle.Start("[Communication]\r\nValue=1\r\n[PortTCP]\r\nValue=" +
                                 QByteArray::number(port) + "\r\n",
                             "Logs/QVKServer.log")) {
            state.SkipWithError("the station did not start its message server");
            return;
        }
        QElapsedTimer clock;
        clock.start();
        const SimulatorRun run = RunLoad(port, load);
        // On the board: the backup file counts every order the board holds.
        int64_t boardMs = -1;
        const int64_t deadline = clock.elapsed() + 60000;
        while (clock.elapsed() < deadline) {
            if (kestrelle.BackupCount() >= expected) {
                boardMs = clock.elapsed() - load.JoinedBeforeOrders(run);
                break;
            }
            QThread::msleep(5);
        }
        int doubled = 0;
        const QSet<QString> texts = kestrelle.Backup(&doubled);
        if (!run.ok || boardMs < 0) {
            state.SkipWithError(("orders missing: " + run.output.toStdString()).c_str());
            return;
        }
        state.SetIterationTime(double(std::max(run.ackMs, boardMs)) / 1000.0);
        Report(state, run, expected, int(texts.size()), doubled, boardMs);
    }
}

// ---- the plain poll server ---------------------------------------------------------

// The protocol as plainly as it goes: one thread, poll(), a byte queue per
// terminal. CON broadcasts ENT and answers with LST, MSG is relayed to all,
// an ORD to this server is appended to a file, flushed, and its ORA
// broadcast.
class PlainPollServer {
public:
    explicit PlainPollServer(const QString& ordersFile) {
        ordersFd_ =
            ::open(ordersFile.toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        const int on = 1;
        ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listener_, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
        ::listen(listener_, 1024);
        socklen_t len = sizeof sa;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&sa), &len);
        port_ = ntohs(sa.sin_port);
        thread_ = std::thread([this] { Run(); });
    }
    ~PlainPollServer() {
        stop_ = true;
        thread_.join();
        for (const Client& c : clients_)
            ::close(c.fd);
        ::close(listener_);
        ::close(ordersFd_);
    }
    uint16_t Port() const { return port_; }
    int Orders() const { return orders_; }

private:
    struct Client {
        int fd = -1;
        QString name;
        QByteArray in;
        QByteArray out;
        bool closed = false;
    };
    static inline const QString kName =
        QStringLiteral("BENCH") + ImServerProtocol::kServerNameSuffix;

    void Run() {
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
                while ((fd = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK)) >= 0)
                    clients_.push_back({fd, {}, {}, {}, false});
            }
            for (size_t i = 1; i < fds.size(); ++i) {
                Client& c = clients_[i - 1];
                if (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) {
                    char buffer[65536];
                    const ssize_t n = ::recv(c.fd, buffer, sizeof buffer, 0);
                    if (n <= 0) {
                        c.closed = true;  // dropped below
                        continue;
                    }
                    c.in.append(buffer, n);
                    for (const QByteArray& m : ImServerProtocol::TakeCompleteMessages(c.in))
                        Handle(i - 1, m);
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
    void Broadcast(const QByteArray& bytes) {
        for (Client& c : clients_)
            c.out.append(bytes);
    }
    void Handle(size_t index, const QByteArray& bytes) {
        const QString message = platform::FromAnsi(bytes);
        const QString command = message.left(3);
        if (command == QLatin1String("CON")) {
            clients_[index].name = ImServerProtocol::CleanName(ImServerProtocol::Field(message, 2));
            Broadcast(platform::ToAnsi(ImServerProtocol::EnterMessage(clients_[index].name)));
            QStringList names;
            for (const Client& c : clients_)
                if (!c.name.isEmpty())
                    names << c.name;
            clients_[index].out.append(platform::ToAnsi(
                ImServerProtocol::ListMessage(ImServerProtocol::UserList(kName, names))));
        } else if (command == QLatin1String("MSG")) {
            Broadcast(bytes + ImServerProtocol::kEndOfMessageByte);
        } else if (command == QLatin1String("ORD")) {
            const auto order = ImServerProtocol::ParseOrder(message);
            if (!order || order->Addressee != kName)
                return;
            const QByteArray line = platform::ToAnsi(order->Text) + "\r\n";
            if (::write(ordersFd_, line.constData(), size_t(line.size())) != line.size() ||
                ::fdatasync(ordersFd_) != 0)
                return;  // not saved: not acknowledged
            ++orders_;
            Broadcast(
                platform::ToAnsi(ImServerProtocol::AcknowledgeMessage(order->Sender, order->Id)));
        }
    }

    int listener_ = -1;
    int ordersFd_ = -1;
    uint16_t port_ = 0;
    std::vector<Client> clients_;
    std::atomic<bool> stop_{false};
    std::atomic<int> orders_{0};
    std::thread thread_;
};

void BM_PlainPollServer(benchmark::State& state) {
    const Load load(state);
    for (auto _ : state) {
        QTemporaryDir dir;
        PlainPollServer server(dir.path() + "/orders.txt");
        const SimulatorRun run = RunLoad(server.Port(), load);
        if (!run.ok) {
            state.SkipWithError(("simulator failed: " + run.output.toStdString()).c_str());
            return;
        }
        state.SetIterationTime(double(run.ackMs) / 1000.0);
        Report(state, run, load.Expected(), server.Orders(), 0, run.ackMs);
    }
}

// ---- datagrams to the station ---------------------------------------------------

// A plain recvfrom loop on its own thread, with the largest receive buffer
// the system gives; it counts what it keeps.
class PlainReceiver {
public:
    PlainReceiver() {
        fd_ = ::socket(AF_INET, SOCK_DGRAM, 0);
        int size = 64 << 20;  // capped by net.core.rmem_max
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
        sockaddr_in sa = Loopback(0);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
        socklen_t len = sizeof sa;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&sa), &len);
        port_ = ntohs(sa.sin_port);
        timeval t{0, 100000};
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &t, sizeof t);
        thread_ = std::thread([this] {
            char buffer[65536];
            sockaddr_in from{};
            while (!stop_) {
                socklen_t len = sizeof from;
                if (::recvfrom(fd_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from),
                               &len) > 0)
                    ++kept_;
            }
        });
    }
    ~PlainReceiver() {
        stop_ = true;
        thread_.join();
        ::close(fd_);
    }
    uint16_t Port() const { return port_; }
    int Kept() const { return kept_; }

private:
    int fd_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> kept_{0};
    std::thread thread_;
};

void BM_StationDatagrams(benchmark::State& state) {
    const int64_t pauseUs = state.range(0);
    const int count = int(state.range(1));
    for (auto _ : state) {
        const int port = FreePort(SOCK_DGRAM);
        StationProcess kestrelle;
        // The station is up once the port is taken.
        const auto taken = [port] { return PortTaken(SOCK_DGRAM, port); };
        kestrelle.Start(
            "[Communication]\r\nValue=0\r\n[PortUDP]\r\nValue=" + QByteArray::number(port) + "\r\n",
            QString());
        QElapsedTimer up;
        up.start();
        while (!taken() && up.elapsed() < 15000)
            QThread::msleep(20);
        if (!taken()) {
            state.SkipWithError("the station did not start");
            return;
        }
        QThread::msleep(500);
        PlainReceiver plain;
        const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        const sockaddr_in station = Loopback(port), loop = Loopback(plain.Port());
        QElapsedTimer clock;
        clock.start();
        timespec next{};
        ::clock_gettime(CLOCK_MONOTONIC, &next);
        for (int i = 1; i <= count; ++i) {
            const QByteArray d =
                OrderDatagram(i, "POS1", QString("Table %1: 2 x Soup, 1 x Bread").arg(i))
                    .toLatin1();
            ::sendto(fd, d.constData(), size_t(d.size()), 0,
                     reinterpret_cast<const sockaddr*>(&station), sizeof station);
            ::sendto(fd, d.constData(), size_t(d.size()), 0,
                     reinterpret_cast<const sockaddr*>(&loop), sizeof loop);
            if (pauseUs > 0) {
                next.tv_nsec += pauseUs * 1000;
                while (next.tv_nsec >= 1000000000) {
                    next.tv_nsec -= 1000000000;
                    ++next.tv_sec;
                }
                ::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
            }
        }
        const int64_t sentMs = clock.elapsed();
        ::close(fd);
        // Until the backup stops growing for two seconds.
        int onBoard = 0;
        int64_t lastGrowth = clock.elapsed();
        while (clock.elapsed() - lastGrowth < 2000 && onBoard < count) {
            const int now = kestrelle.BackupCount();
            if (now != onBoard) {
                onBoard = now;
                lastGrowth = clock.elapsed();
            }
            QThread::msleep(20);
        }
        int doubled = 0;
        const int distinct = int(kestrelle.Backup(&doubled).size());
        state.SetIterationTime(double(lastGrowth) / 1000.0);
        state.counters["sent"] = count;
        state.counters["send_ms"] = double(sentMs);
        state.counters["in_backup"] = distinct;
        state.counters["backup_doubled"] = doubled;
        state.counters["plain_recvfrom_kept"] = plain.Kept();
    }
}

}  // namespace

// 50 terminals sending; 50 sending among 200 connected; 200 sending; 500
// joining at once with 2 orders each.
BENCHMARK(BM_ModServer)
    ->Args({50, 0, 20, 0})
    ->Args({50, 150, 20, 0})
    ->Args({200, 0, 20, 0})
    ->Args({500, 0, 2, 1})
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainPollServer)
    ->Args({50, 0, 20, 0})
    ->Args({200, 0, 20, 0})
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StationDatagrams)
    ->Args({1000, 10000})
    ->Args({0, 10000})
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StationExecutable)
    ->Args({50, 0, 20, 0})
    ->Args({50, 150, 20, 0})
    ->Args({200, 0, 20, 0})
    ->Args({500, 0, 2, 1})
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
