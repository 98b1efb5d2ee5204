// The message server (notification mode 1) against a plain poll server that
// does the same work with the same durability (support/Baselines.h: every
// order one pass read appended, one fdatasync, then the ORAs), each pair
// measured in the same iteration, with the sync floor (a 200-byte append and
// fdatasync in the station's folder) measured in the same run:
// - Burst: the terminal simulator's terminals each send their orders with a
//   chat line before each (arguments: sending terminals, idle terminals,
//   orders per sender, 1 when every terminal joins at once and sends as soon
//   as it has joined); the time from the first order until every order is
//   acknowledged (and, for the station, on the board). Against the message
//   server in this process with the board's store behind it
//   (BM_Mode1BurstInProcess) and the real station executable
//   (BM_Mode1BurstStation).
// - Closed loop: terminals that each send their next order once the ORA of
//   the last has come (arguments: terminals, orders each per round; the
//   station and the plain server take turns for five rounds); orders per
//   second and the ORA latency beside the sync floor.
// - Behind a large order: a terminal sends an order of the argument's
//   characters and another one a small order right after; the small ORA's
//   wait (the median of rounds taken in turns by the station and the plain
//   server, and the first round apart).
// Run by hand (a bare run repeats each 5 times and prints medians and a
// summary of the ratios):
//   build/bench/server_bench
//   build/bench/server_bench --benchmark_filter=ClosedLoop --benchmark_repetitions=1
#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <functional>

#include "board/ArrivalsStore.h"
#include "common/TestNet.h"
#include "network/CSocketMaster.h"
#include "network/ModServer.h"
#include "platform/Runtime.h"
#include "support/Baselines.h"
#include "support/BenchRun.h"
#include "support/StationExecutable.h"
#include "support/Terminals.h"

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

// The load of one burst: the benchmark's arguments.
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

// The same load against the plain server, in a folder of the same disk.
struct PlainRun {
    bool ok = false;
    int64_t ackMs = 0;
    int orders = 0;
    int syncs = 0;
    QString output;
};
PlainRun RunPlain(const Load& load) {
    QTemporaryDir dir;
    PlainImServer server(dir.path() + "/orders.txt");
    const SimulatorRun run = RunLoad(server.Port(), load);
    return {run.ok && !server.SaveFailed(), run.ackMs, server.Orders(), server.Syncs(), run.output};
}

void ReportBurst(benchmark::State& state, const SimulatorRun& run, int expected, int onBoard,
                 int doubledOnBoard, int64_t stationMs, const PlainRun& plain, double floorUs) {
    state.SetIterationTime(double(stationMs) / 1000.0);
    state.counters["orders"] = expected;
    state.counters["acknowledged"] = run.acknowledged;
    state.counters["ack_doubled"] = run.doubled;
    state.counters["on_board"] = onBoard;
    state.counters["board_doubled"] = doubledOnBoard;
    state.counters["station_ms"] = double(stationMs);
    state.counters["plain_ms"] = double(plain.ackMs);
    state.counters["plain_orders_per_sync"] = plain.syncs ? double(plain.orders) / plain.syncs : 0;
    state.counters["floor_us"] = floorUs;
    state.counters["time_ratio"] = plain.ackMs > 0 ? double(stationMs) / double(plain.ackMs) : 0;
}

bool Failed(benchmark::State& state, bool ok, const QString& what, const QString& output) {
    if (!ok)
        state.SkipWithError((what + ": " + output.left(2000)).toStdString().c_str());
    return !ok;
}

// ---- bursts: the message server in this process, with the board's store ------------

void BM_Mode1BurstInProcess(benchmark::State& state) {
    const Load load(state);
    const int expected = load.Expected();
    QTemporaryDir appData;
    qputenv("KESTRELLE_COMMON_APPDATA", appData.path().toLocal8Bit());
    for (auto _ : state) {
        const double floorUs = SyncFloorUs(appData.path());
        QList<ArrivedOrder> orders;
        ArrivalsStore store(orders, appData.path() + "/BackUp.log",
                            appData.path() + "/history.txt");
        ModServer server;
        QSet<QString> texts;
        int doubled = 0;
        QElapsedTimer clock;
        int64_t lastHandOver = 0;
        // As the board does: the order goes to the store, and its ORA leaves
        // once the store has it on the disk.
        server.OrderArrived = [&](const QString& text, std::function<void()> acknowledge) {
            if (texts.contains(text))
                ++doubled;
            texts.insert(text);
            store.Add({text, rt::ToDateSerial(rt::Now()), true}, std::move(acknowledge));
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
        server.StopServer();
        if (Failed(state, run.ok, "simulator failed", run.output))
            return;
        const PlainRun plain = RunPlain(load);
        if (Failed(state, plain.ok, "plain server failed", plain.output))
            return;
        // The simulator's clock starts at its own start, as this one does
        // (within a process start-up), so the join time comes off both.
        const int64_t boardMs = lastHandOver - load.JoinedBeforeOrders(run);
        ReportBurst(state, run, expected, int(texts.size()), doubled, std::max(run.ackMs, boardMs),
                    plain, floorUs);
    }
}

// ---- bursts: the station executable --------------------------------------------------

void BM_Mode1BurstStation(benchmark::State& state) {
    const Load load(state);
    const int expected = load.Expected();
    for (auto _ : state) {
        const int port = FreePort(SOCK_STREAM);
        StationExecutable kestrelle;
        const double floorUs = SyncFloorUs(kestrelle.DataFolder());
        if (!kestrelle.StartMessageServer(port)) {
            state.SkipWithError("the station did not start its message server");
            return;
        }
        QElapsedTimer clock;
        clock.start();
        const SimulatorRun run = RunLoad(uint16_t(port), load);
        // On the board: the backup file counts every order the board holds.
        int64_t boardMs = -1;
        while (clock.elapsed() < 60000 && run.ok) {
            if (kestrelle.BackupCount() >= expected) {
                boardMs = clock.elapsed() - load.JoinedBeforeOrders(run);
                break;
            }
            QThread::msleep(1);
        }
        int doubled = 0;
        const int onBoard = int(kestrelle.BackupFirstRows(&doubled).size());
        kestrelle.Stop();
        if (Failed(state, run.ok && boardMs >= 0, "orders missing", run.output))
            return;
        const PlainRun plain = RunPlain(load);
        if (Failed(state, plain.ok, "plain server failed", plain.output))
            return;
        ReportBurst(state, run, expected, onBoard, doubled, std::max(run.ackMs, boardMs), plain,
                    floorUs);
    }
}

// ---- closed loop ---------------------------------------------------------------------

// The servers run side by side and take turns: a round of the loop against
// the station, one against the plain server, one against the plain server run
// as a process of its own, a few sync-floor samples, and again, so that a
// drift of the machine's load reaches all alike.
constexpr int kClosedLoopRounds = 5;

void BM_Mode1ClosedLoop(benchmark::State& state) {
    const int terminals = int(state.range(0));
    const int ordersEach = int(state.range(1));
    for (auto _ : state) {
        const int port = FreePort(SOCK_STREAM);
        StationExecutable kestrelle;
        if (!kestrelle.StartMessageServer(port)) {
            state.SkipWithError("the station did not start its message server");
            return;
        }
        QTemporaryDir dir;
        PlainImServer server(dir.path() + "/orders.txt");
        PlainImServerProcess process(dir.path() + "/process-orders.txt");
        if (process.Port() == 0) {
            state.SkipWithError("plain_im_server did not start");
            return;
        }
        SyncFloorFile floor(kestrelle.DataFolder());
        ClosedLoopResult station, plain, plainProcess;
        double stationCpuUs = 0, processCpuUs = 0;
        std::vector<double> floorUs;
        for (int round = 0; round < kClosedLoopRounds; ++round) {
            for (int i = 0; i < 8; ++i)
                floorUs.push_back(floor.AppendAndSyncUs());
            for (auto [target, into] : {std::pair{port, &station},
                                        {int(server.Port()), &plain},
                                        {int(process.Port()), &plainProcess}}) {
                // The processor time of a server that is a process of its own.
                const qint64 pid = into == &station        ? kestrelle.Pid()
                                   : into == &plainProcess ? process.Pid()
                                                           : 0;
                const double cpuBefore = pid ? ProcessCpuUs(pid) : 0;
                const ClosedLoopResult r = RunClosedLoop(target, terminals, ordersEach);
                if (const double cpuAfter = pid ? ProcessCpuUs(pid) : -1;
                    cpuBefore >= 0 && cpuAfter >= 0)
                    (into == &station ? stationCpuUs : processCpuUs) += cpuAfter - cpuBefore;
                if (!r.ok || server.SaveFailed()) {
                    state.SkipWithError(into == &station
                                            ? "the station did not acknowledge every order"
                                            : "a plain server did not acknowledge every order");
                    return;
                }
                into->orders += r.orders;
                into->seconds += r.seconds;
                into->latenciesUs.insert(into->latenciesUs.end(), r.latenciesUs.begin(),
                                         r.latenciesUs.end());
            }
        }
        kestrelle.Stop();
        const double floorP50 = Median(floorUs);
        const double stationP50 = Median(station.latenciesUs);
        const double plainP50 = Median(plain.latenciesUs);
        state.SetIterationTime(station.seconds);
        state.counters["orders"] = station.orders;
        state.counters["station_orders_per_s"] = station.OrdersPerSecond();
        state.counters["plain_orders_per_s"] = plain.OrdersPerSecond();
        state.counters["speed_ratio"] = station.OrdersPerSecond() / plain.OrdersPerSecond();
        state.counters["process_speed_ratio"] =
            station.OrdersPerSecond() / plainProcess.OrdersPerSecond();
        state.counters["process_p50_us"] = Median(plainProcess.latenciesUs);
        state.counters["station_cpu_us_per_order"] = stationCpuUs / station.orders;
        state.counters["process_cpu_us_per_order"] = processCpuUs / plainProcess.orders;
        state.counters["station_p50_us"] = stationP50;
        state.counters["station_p99_us"] = Percentile(station.latenciesUs, 0.99);
        state.counters["plain_p50_us"] = plainP50;
        state.counters["floor_us"] = floorP50;
        state.counters["p50_floor_ratio"] = floorP50 > 0 ? stationP50 / floorP50 : 0;
        state.counters["plain_p50_over_floor"] = floorP50 > 0 ? plainP50 / floorP50 : 0;
    }
}

// ---- a small order behind a large one --------------------------------------------------

// Terminal A sends an order of `size` characters in lines of about 40, B a
// small order as soon as A's last byte is sent; answers the microseconds from
// B's send to B's ORA, or a negative value when an ORA did not come.
double SmallBehindLarge(int port, int size) {
    QByteArray large;
    for (int i = 0; large.size() < size; ++i)
        large += QByteArray::number(i % 10) + " x Soup, " + (i % 3 == 2 ? "\r\n" : "");
    large.truncate(size);
    BenchTerminal a("POS-A"), b("POS-B");
    if (!a.Connect(port, 30000) || !b.Connect(port, 30000) || !a.SendJoin() || !b.SendJoin() ||
        !a.WaitFor(&BenchTerminal::Joined, 30000) || !b.WaitFor(&BenchTerminal::Joined, 30000))
        return -1;
    if (!a.SendOrder("1", large))
        return -1;
    const double sent = NowUs();
    if (!b.SendOrder("1", SmallOrderText(1)) || !b.WaitForAck("1", 60000))
        return -1;
    const double waited = NowUs() - sent;
    return a.WaitForAck("1", 60000) ? waited : -1;
}

// Both servers run side by side and take turns, a pair of new terminals for
// each round, so that a drift of the machine's load (and of its disk) reaches
// both alike; one round alone scatters by several times on a busy machine.
constexpr int kBehindLargeRounds = 7;

void BM_Mode1SmallBehindLarge(benchmark::State& state) {
    const int size = int(state.range(0));
    for (auto _ : state) {
        const int port = FreePort(SOCK_STREAM);
        StationExecutable kestrelle;
        if (!kestrelle.StartMessageServer(port)) {
            state.SkipWithError("the station did not start its message server");
            return;
        }
        QTemporaryDir dir;
        PlainImServer server(dir.path() + "/orders.txt");
        std::vector<double> stationUs, plainUs;
        for (int round = 0; round < kBehindLargeRounds; ++round) {
            const double station = SmallBehindLarge(port, size);
            const double plain = SmallBehindLarge(server.Port(), size);
            if (station < 0 || plain < 0) {
                state.SkipWithError(station < 0 ? "the station did not acknowledge both orders"
                                                : "the plain server did not acknowledge both");
                return;
            }
            stationUs.push_back(station);
            plainUs.push_back(plain);
        }
        kestrelle.Stop();
        const double stationP50 = Median(stationUs);
        const double plainP50 = Median(plainUs);
        state.SetIterationTime(stationP50 / 1e6);
        state.counters["station_ms"] = stationP50 / 1000;
        state.counters["plain_ms"] = plainP50 / 1000;
        state.counters["time_ratio"] = stationP50 / plainP50;
        // The first order of a station started without a backup, apart.
        state.counters["station_first_ms"] = stationUs.front() / 1000;
        state.counters["plain_first_ms"] = plainUs.front() / 1000;
    }
}

}  // namespace

// 50 terminals sending; 50 sending among 200 connected; 200 sending; 500
// joining at once with 2 orders each.
BENCHMARK(BM_Mode1BurstInProcess)
    ->Args({50, 0, 20, 0})
    ->Args({50, 150, 20, 0})
    ->Args({200, 0, 20, 0})
    ->Args({500, 0, 2, 1})
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Mode1BurstStation)
    ->Args({50, 0, 20, 0})
    ->Args({50, 150, 20, 0})
    ->Args({200, 0, 20, 0})
    ->Args({500, 0, 2, 1})
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
// Per round: 1 terminal with 100 orders, 10 with 30 each, 100 with 5 each.
BENCHMARK(BM_Mode1ClosedLoop)
    ->Args({1, 100})
    ->Args({10, 30})
    ->Args({100, 5})
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Mode1SmallBehindLarge)
    ->Arg(300000)
    ->Arg(1000000)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    return RunBenchmarks(argc, argv, 5);
}
