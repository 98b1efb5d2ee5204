// The board's speed: a datagram until its panel is filled, a very large order
// until the board has drawn it, the idle cost of the timers (these three
// absolute: no plain program draws a board), a Clear with 1, 10,000 and
// 100,000 orders held (the summary sets the last two against the first, and
// each against a new file of the backup's size written and flushed), and
// the durable cost of one more order (on the disk, flushed) with few or many
// orders held, each beside the sync floor (a 200-byte append and fdatasync in
// the same folder) measured in the same iteration.
// Run by hand (a bare run repeats each 5 times and prints medians and a
// summary of the ratios):
//   build/bench/board_bench
//   build/bench/board_bench --benchmark_filter='Store|Clear'
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <vector>

#include "board/ArrivalsStore.h"
#include "board/BoardTestAccess.h"
#include "board/HotKeys.h"
#include "board/MainWindow.h"
#include "common/TestNet.h"
#include "core/Configuration.h"
#include "localization/BuiltInTexts.h"
#include "localization/ResManagerClass.h"
#include "platform/Runtime.h"
#include "platform/controls/ControlIndex.h"
#include "platform/controls/RichTextBox.h"
#include "support/Baselines.h"
#include "support/BenchRun.h"

namespace {

struct Station {
    QTemporaryDir dir;
    std::unique_ptr<MainWindow> window;
    int port = 0;
    Station() {
        qputenv("KESTRELLE_COMMON_APPDATA", dir.path().toLocal8Bit());
        if (ResManager().CountResources() == 0)
            RegisterBuiltInTexts();
        ConfigurationSettings = ConfigurationRecord();
        ConfigurationSettings.ConfigFile = GetConfigFileName();
        ConfigurationSettings.Restriction = false;
        ConfigurationSettings.SoundNotification = false;
        port = FreePort(SOCK_DGRAM);
        ConfigurationSettings.PortUDP = port;
        LoadHotKeys();
        window = std::make_unique<MainWindow>();
        window->resize(1280, 1024);
        window->show();
        window->InitForm();
    }
    ArrivalsBoard& Arrivals() { return BoardTestAccess::Arrivals(*window); }
    platform::RichTextBox* FirstPanel() const {
        return qobject_cast<platform::RichTextBox*>(
            platform::FindIndexedControl(window.get(), QStringLiteral("rtbOrder"), 0));
    }
    // Clears or adds orders until the board holds `orders`.
    void Fill(int orders) {
        while (Arrivals().Arrivals().size() > orders)
            Arrivals().Store().Clear(0);
        for (int i = int(Arrivals().Arrivals().size()); i < orders; ++i)
            Arrivals().Store().Add(
                {QString("Table %1\r\n2 x Soup\r\n1 x Bread\r\n1 x Water").arg(i),
                 rt::ToDateSerial(rt::Now()), true});
        Arrivals().Store().Flush();
        window->SetActiveOrder(1);
        window->SetActivePanel(0);
        window->RefreshOrderPanels();
    }
};

double CpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void BM_DatagramToPanel(benchmark::State& state) {
    Station s;
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(s.port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int seq = 1;
    for (auto _ : state) {
        const int before = s.window->GetOrdersCount();
        const QByteArray d = QString("%1|POS1\tTable %1: 2 x Soup, 1 x Bread")
                                 .arg(seq++, 6, 10, QChar('0'))
                                 .toLatin1();
        ::sendto(fd, d.constData(), size_t(d.size()), 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
        while (s.window->GetOrdersCount() == before)
            QApplication::processEvents(QEventLoop::AllEvents);
        benchmark::DoNotOptimize(s.FirstPanel()->Text());
        state.PauseTiming();
        if (s.window->GetOrdersCount() > 40)
            s.Fill(0);
        state.ResumeTiming();
    }
    ::close(fd);
}

// One order of range(0) characters, from its arrival until the board is drawn
// with it: range(1) 0 for lines of about 40 characters, 1 for one line of
// words, 2 for one word without a blank.
void BM_LargeOrderToPanel(benchmark::State& state) {
    Station s;
    const int size = int(state.range(0));
    QString text;
    if (state.range(1) == 2)
        text.fill('x', size);
    for (int i = 0; text.size() < size; ++i)
        text += QStringLiteral("%1 x Soup, ").arg(i % 10) +
                (state.range(1) == 0 && i % 3 == 2 ? QStringLiteral("\r\n") : QString());
    text.truncate(size);
    for (auto _ : state) {
        state.PauseTiming();
        s.Fill(0);
        state.ResumeTiming();
        BoardTestAccess::AddArrivedOrder(*s.window, text);
        s.window->repaint();
        QApplication::processEvents(QEventLoop::AllEvents);
        benchmark::DoNotOptimize(s.FirstPanel()->grab());
    }
}

void BM_IdleCpu(benchmark::State& state) {
    Station s;
    s.Fill(int(state.range(0)));
    for (auto _ : state) {
        const double cpu0 = CpuSeconds();
        QElapsedTimer t;
        t.start();
        QEventLoop loop;
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        loop.exec();
        const double cpu = CpuSeconds() - cpu0;
        state.counters["cpu_percent_of_one_core"] = 100.0 * cpu / (t.elapsed() / 1000.0);
    }
}

// Microseconds to write a new file of `bytes` bytes in the folder and flush
// it (fdatasync): what a program that keeps its list in one such file pays
// at least to write it anew. Negative when a step failed.
double RewriteFloorUs(const QString& folder, qint64 bytes) {
    const QByteArray path = QFile::encodeName(folder + "/rewrite-floor");
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return -1;
    const QByteArray chunk(1 << 20, 'x');
    const double start = NowUs();
    bool ok = true;
    for (qint64 left = bytes; ok && left > 0;) {
        const ssize_t n =
            ::write(fd, chunk.constData(), size_t(std::min<qint64>(left, chunk.size())));
        ok = n > 0;
        left -= n;
    }
    ok = ok && ::fdatasync(fd) == 0;
    const double us = NowUs() - start;
    ::close(fd);
    ::unlink(path.constData());
    return ok ? us : -1;
}

// A Clear of the first order with `range(0)` held; the order comes back
// before the next one, outside the time. Beside it, in the same iteration,
// the rewrite floor for the file as it stood: a Clear of the first order
// moves every other order's section, so no file a reader of this form reads
// the same can be cleared for less.
void BM_Clear(benchmark::State& state) {
    Station s;
    const int orders = int(state.range(0));
    s.Fill(orders);
    const QString folder = QFileInfo(s.Arrivals().Store().BackupFile()).path();
    state.counters["floor_us"] = SyncFloorUs(folder);
    std::vector<double> clearUs, floorUs;
    qint64 bytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        s.Fill(orders);
        bytes = QFileInfo(s.Arrivals().Store().BackupFile()).size();
        floorUs.push_back(RewriteFloorUs(folder, bytes));
        state.ResumeTiming();
        const double start = NowUs();
        s.window->btnAction_Click(s.window->GetActionButtonIndex("Clear"));
        clearUs.push_back(NowUs() - start);
    }
    state.counters["file_MB"] = double(bytes) / 1e6;
    state.counters["rewrite_floor_ms"] = Median(floorUs) / 1000;
    state.counters["rewrite_floor_ratio"] = Median(clearUs) / Median(floorUs);
}

// One more order until the file on the disk holds it, with `range(0)` orders
// held at the start (the list grows by one per iteration, as on a busy
// evening).
void BM_StoreOneMoreOrder(benchmark::State& state) {
    QTemporaryDir dir;
    QList<ArrivedOrder> orders;
    ArrivalsStore store(orders, dir.path() + "/BackUp.log", dir.path() + "/history.txt");
    for (int i = 0; i < state.range(0); ++i)
        store.Add({QString("Table %1\r\n2 x Soup\r\n1 x Bread\r\n1 x Water").arg(i),
                   rt::ToDateSerial(rt::Now()), true});
    store.Flush();
    SyncFloorFile floor(dir.path());
    std::vector<double> storeUs, floorUs;
    int n = 0;
    for (auto _ : state) {
        bool saved = false;
        const double start = NowUs();
        store.Add({QString("Table x%1\r\n2 x Soup\r\n1 x Bread").arg(n++),
                   rt::ToDateSerial(rt::Now()), true},
                  [&] { saved = true; });
        if (!store.Flush() || !saved) {
            state.SkipWithError("the order was not saved");
            return;
        }
        storeUs.push_back(NowUs() - start);
        floorUs.push_back(floor.AppendAndSyncUs());
        state.SetIterationTime(storeUs.back() / 1e6);
    }
    state.counters["store_p50_us"] = Median(storeUs);
    state.counters["floor_p50_us"] = Median(floorUs);
    state.counters["floor_ratio"] = Median(storeUs) / Median(floorUs);
}

}  // namespace

BENCHMARK(BM_StoreOneMoreOrder)
    ->Arg(1)
    ->Arg(10000)
    ->UseManualTime()
    ->Iterations(100)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DatagramToPanel)->Unit(benchmark::kMillisecond)->Iterations(100);
BENCHMARK(BM_LargeOrderToPanel)
    ->Args({30000, 1})
    ->Args({100000, 1})
    ->Args({300000, 1})
    ->Args({1000000, 1})
    ->Args({1000000, 0})
    ->Args({30000, 2})
    ->Args({100000, 2})
    ->Args({300000, 2})
    ->Args({1000000, 2})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IdleCpu)->Arg(0)->Arg(20)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Clear)->Arg(1)->Arg(10000)->Arg(100000)->Iterations(3)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RunBenchmarks(argc, argv, 5,
                         {{"Clear with 10,000 held / with 1", "BM_Clear/10000/iterations:3",
                           "BM_Clear/1/iterations:3"},
                          {"Clear with 100,000 held / with 1", "BM_Clear/100000/iterations:3",
                           "BM_Clear/1/iterations:3"}});
}
