// The board's speed: a datagram until its panel is filled, a very large order
// until the board has drawn it, the idle cost of the timers, Clear rewriting
// every backup section, and the durable cost of one more order (on the disk,
// flushed) with few or many orders held.
//   build/bench/board_bench
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include "board/ArrivalsStore.h"
#include "board/HotKeys.h"
#include "board/MainWindow.h"
#include "common/TestNet.h"
#include "core/Configuration.h"
#include "localization/BuiltInTexts.h"
#include "localization/ResManagerClass.h"
#include "platform/Runtime.h"
#include "platform/controls/RichTextBox.h"

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
    void Fill(int orders) {
        while (!window->Arrivals().isEmpty())
            window->Store().Clear(0);
        for (int i = 0; i < orders; ++i)
            window->Store().Add({QString("Table %1\r\n2 x Soup\r\n1 x Bread\r\n1 x Water").arg(i),
                                 rt::ToDateSerial(rt::Now()), true});
        window->Store().Flush();
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
        benchmark::DoNotOptimize(s.window->rtbOrder(0)->Text());
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
        s.window->AddArrivedOrder(text);
        s.window->repaint();
        QApplication::processEvents(QEventLoop::AllEvents);
        benchmark::DoNotOptimize(s.window->rtbOrder(0)->grab());
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

void BM_Clear(benchmark::State& state) {
    Station s;
    const int orders = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        s.Fill(orders);
        state.ResumeTiming();
        s.window->btnAction_Click(s.window->GetActionButtonIndex("Clear"));
    }
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
    int n = 0;
    for (auto _ : state) {
        bool saved = false;
        store.Add({QString("Table x%1\r\n2 x Soup\r\n1 x Bread").arg(n++),
                   rt::ToDateSerial(rt::Now()), true},
                  [&] { saved = true; });
        if (!store.Flush() || !saved) {
            state.SkipWithError("the order was not saved");
            return;
        }
    }
}

}  // namespace

BENCHMARK(BM_StoreOneMoreOrder)->Arg(1)->Arg(10000)->Iterations(300)->Unit(benchmark::kMicrosecond);
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
BENCHMARK(BM_Clear)->Arg(50)->Arg(200)->Iterations(3)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
