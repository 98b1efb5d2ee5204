// The real station executable started in mode 1 with orders held in its
// BackUp.log (the argument: 1, 1,000, 10,000 or 100,000 orders of about 140
// bytes in the file) beside an empty start in the same iteration, measured
// from outside: the time from the process start until its port takes a
// connection and until a terminal that joined as soon as it could has the ORA
// of its first order; the resident memory after that ORA, and its growth per
// order held against the bytes an order takes in the file.
// Run by hand (a bare run repeats each 3 times and prints medians and a
// summary of the ratios):
//   build/bench/start_bench
//   build/bench/start_bench --benchmark_filter=/1000/ --benchmark_repetitions=1
#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <QCoreApplication>
#include <map>

#include "board/ArrivedOrders.h"
#include "common/TestNet.h"
#include "platform/Runtime.h"
#include "support/BenchRun.h"
#include "support/StationExecutable.h"
#include "support/Terminals.h"

namespace {

// The file the station writes for that many orders, made once per count.
const QByteArray& BackupOf(int held) {
    static std::map<int, QByteArray> files;
    auto found = files.find(held);
    if (found == files.end()) {
        QList<ArrivedOrder> orders;
        const double now = rt::ToDateSerial(rt::Now());
        for (int i = 0; i < held; ++i)
            orders.append({QString::fromLatin1(SmallOrderText(i)), now, i % 2 == 0});
        found = files.emplace(held, BuildBackupFile(orders).Bytes).first;
    }
    return found->second;
}

struct Start {
    bool ok = false;
    double portMs = 0;
    double firstOraMs = 0;
    qint64 residentBytes = 0;
};

Start StartAndOrder(int held) {
    Start start;
    const int port = FreePort(SOCK_STREAM);
    StationExecutable kestrelle;
    if (!kestrelle.ConfigureMessageServer(port) ||
        (held > 0 && !kestrelle.WriteBackup(BackupOf(held))))
        return start;
    const double begin = NowUs();
    BenchTerminal terminal("POS-1");
    if (!kestrelle.Start() || !terminal.Connect(port, 120000))
        return start;
    start.portMs = (NowUs() - begin) / 1000;
    if (!terminal.SendJoin() || !terminal.WaitFor(&BenchTerminal::Joined, 120000) ||
        !terminal.SendOrder("1", SmallOrderText(held + 1)) || !terminal.WaitForAck("1", 120000))
        return start;
    start.firstOraMs = (NowUs() - begin) / 1000;
    start.residentBytes = ResidentBytes(kestrelle.Pid());
    start.ok = start.residentBytes > 0;
    return start;
}

void BM_FirstOraAfterStart(benchmark::State& state) {
    const int held = int(state.range(0));
    BackupOf(held);
    for (auto _ : state) {
        const Start empty = StartAndOrder(0);
        const Start loaded = StartAndOrder(held);
        if (!empty.ok || !loaded.ok) {
            state.SkipWithError("no ORA after the start");
            return;
        }
        state.SetIterationTime(loaded.firstOraMs / 1000);
        state.counters["held"] = held;
        state.counters["port_ms"] = loaded.portMs;
        state.counters["first_ora_ms"] = loaded.firstOraMs;
        state.counters["empty_port_ms"] = empty.portMs;
        state.counters["empty_first_ora_ms"] = empty.firstOraMs;
        state.counters["time_ratio"] = loaded.firstOraMs / empty.firstOraMs;
        state.counters["rss_MB"] = double(loaded.residentBytes) / 1e6;
        state.counters["empty_rss_MB"] = double(empty.residentBytes) / 1e6;
        state.counters["rss_per_order_B"] =
            double(loaded.residentBytes - empty.residentBytes) / held;
        state.counters["file_per_order_B"] = double(BackupOf(held).size()) / held;
    }
}

}  // namespace

BENCHMARK(BM_FirstOraAfterStart)
    ->Arg(1)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    return RunBenchmarks(argc, argv, 3);
}
