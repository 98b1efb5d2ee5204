// Datagrams (notification mode 0) to the real station executable against a
// plain recvfrom loop with the same receive buffer (the size a socket of the
// station's kind gets) and the same durability (every datagram one pass read
// appended to a file, one fdatasync): 10,000 orders paced (the pause in
// microseconds is the first argument) or back to back, sent to the station
// and then to the loop in the same iteration. Kept: the orders BackUp.log
// holds, against the datagrams the loop saved; the time from the first send
// until the last of them is saved (the station's read from its file every
// 20 ms, the loop's exact).
// Run by hand (a bare run repeats each 5 times and prints medians and a
// summary of the ratios):
//   build/bench/datagram_bench
//   build/bench/datagram_bench --benchmark_repetitions=1
#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <functional>

#include "common/TestNet.h"
#include "platform/CodePage.h"
#include "support/Baselines.h"
#include "support/BenchRun.h"
#include "support/StationExecutable.h"

namespace {

// Sends `count` order datagrams to the port, `pauseUs` apart (0: back to
// back); answers when the first left (NowUs()).
double SendOrders(int port, int count, int64_t pauseUs) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    const sockaddr_in to = Loopback(port);
    const double start = NowUs();
    timespec next{};
    ::clock_gettime(CLOCK_MONOTONIC, &next);
    for (int i = 1; i <= count; ++i) {
        const QByteArray d = platform::ToAnsi(
            OrderDatagramText(i, "POS1", QString("Table %1: 2 x Soup, 1 x Bread").arg(i)));
        ::sendto(fd, d.constData(), size_t(d.size()), 0, reinterpret_cast<const sockaddr*>(&to),
                 sizeof to);
        if (pauseUs > 0) {
            next.tv_nsec += pauseUs * 1000;
            while (next.tv_nsec >= 1000000000) {
                next.tv_nsec -= 1000000000;
                ++next.tv_sec;
            }
            ::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
        }
    }
    ::close(fd);
    return start;
}

// Watches a count until it reaches `count` or stops growing for two seconds;
// answers the last count and when it last grew (NowUs()).
std::pair<int, double> WaitWhileGrowing(const std::function<int()>& read, int count, int pollMs) {
    int now = 0;
    double lastGrowth = NowUs();
    while (NowUs() - lastGrowth < 2e6 && now < count) {
        const int next = read();
        if (next != now) {
            now = next;
            lastGrowth = NowUs();
        }
        QThread::msleep(pollMs);
    }
    return {now, lastGrowth};
}

void BM_Mode0Datagrams(benchmark::State& state) {
    const int64_t pauseUs = state.range(0);
    const int count = int(state.range(1));
    const int receiveBuffer = StationUdpReceiveBuffer();
    for (auto _ : state) {
        const int port = FreePort(SOCK_DGRAM);
        StationExecutable kestrelle;
        const double floorUs = SyncFloorUs(kestrelle.DataFolder());
        if (!kestrelle.StartDatagrams(port)) {
            state.SkipWithError("the station did not start");
            return;
        }
        // The port is bound before the window is up: let the start finish.
        QThread::msleep(500);
        const double stationStart = SendOrders(port, count, pauseUs);
        const auto [inBackup, stationLast] =
            WaitWhileGrowing([&] { return kestrelle.BackupCount(); }, count, 1);
        int doubled = 0;
        const int distinct = int(kestrelle.BackupFirstRows(&doubled).size());
        kestrelle.Stop();

        QTemporaryDir dir;
        PlainDatagramReceiver plain(dir.path() + "/orders.txt", receiveBuffer);
        const double plainStart = SendOrders(plain.Port(), count, pauseUs);
        WaitWhileGrowing([&] { return plain.Saved(); }, count, 1);
        const int plainKept = plain.Saved();
        const double stationMs = (stationLast - stationStart) / 1000;
        const double plainMs = (plain.LastSavedUs() - plainStart) / 1000;

        state.SetIterationTime(stationMs / 1000);
        state.counters["sent"] = count;
        state.counters["station_kept"] = distinct;
        state.counters["backup_count"] = inBackup;
        state.counters["backup_doubled"] = doubled;
        state.counters["plain_kept"] = plainKept;
        state.counters["kept_ratio"] = plainKept > 0 ? double(distinct) / plainKept : 0;
        state.counters["station_ms"] = stationMs;
        state.counters["plain_ms"] = plainMs;
        state.counters["time_ratio"] = plainMs > 0 ? stationMs / plainMs : 0;
        state.counters["receive_buffer_B"] = plain.ReceiveBuffer();
        state.counters["station_buffer_B"] = receiveBuffer;
        state.counters["floor_us"] = floorUs;
    }
}

}  // namespace

BENCHMARK(BM_Mode0Datagrams)
    ->Args({1000, 10000})
    ->Args({0, 10000})
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    return RunBenchmarks(argc, argv, 5);
}
