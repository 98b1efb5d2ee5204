// A shift in a few minutes: 20 terminals send 20,000 orders through the
// board's message server on 127.0.0.1, each order cleared from the board as
// soon as it is there (history.txt and BackUp.log written every time), and
// the resident memory of the station's process read from /proc after the
// warm-up and at the end. Not run by ctest; run by hand:
//   build/bench/soak_bench
//   build/bench/soak_bench --benchmark_filter=Soak/2000   (a short run)
#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QApplication>
#include <QEventLoop>
#include <QTemporaryDir>

#include "board/BoardTestAccess.h"
#include "board/HotKeys.h"
#include "board/MainWindow.h"
#include "common/TestNet.h"
#include "core/Configuration.h"
#include "localization/BuiltInTexts.h"
#include "localization/ResManagerClass.h"
#include "network/ModServer.h"
#include "platform/CodePage.h"
#include "support/BenchRun.h"

namespace {

constexpr int kTerminals = 20;
constexpr int kWarmUp = 1000;

void Pump() {
    QApplication::processEvents(QEventLoop::AllEvents);
}

// Reads and drops what the station sent, so that no terminal holds a backlog.
void Drain(int fd) {
    char buffer[65536];
    while (::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT) > 0) {
    }
}

void BM_Soak(benchmark::State& state) {
    QTemporaryDir dir;
    qputenv("KESTRELLE_COMMON_APPDATA", dir.path().toLocal8Bit());
    if (ResManager().CountResources() == 0)
        RegisterBuiltInTexts();
    ConfigurationSettings = ConfigurationRecord();
    ConfigurationSettings.ConfigFile = GetConfigFileName();
    ConfigurationSettings.Restriction = false;
    ConfigurationSettings.SoundNotification = false;
    ConfigurationSettings.Communication = 1;
    const int port = FreePort(SOCK_STREAM);
    ConfigurationSettings.PortTCP = port;
    LoadHotKeys();
    auto window = std::make_unique<MainWindow>();
    window->resize(1280, 1024);
    window->show();
    window->InitForm();
    const QString server = BoardTestAccess::Arrivals(*window).ImServer().ImServerName();
    const QString STX(QChar(2));

    std::vector<int> terminals;
    for (int t = 0; t < kTerminals; ++t) {
        const int fd = ConnectTcp(port);
        const QByteArray con =
            platform::ToAnsi("CON" + STX + "POS-" + QString::number(t) + QChar(4));
        ::send(fd, con.constData(), size_t(con.size()), MSG_NOSIGNAL);
        terminals.push_back(fd);
    }
    const int orders = int(state.range(0));
    const int clear = window->GetActionButtonIndex("Clear");
    qint64 afterWarmUp = 0;
    for (auto _ : state) {
        for (int n = 1; n <= orders; ++n) {
            const int t = n % kTerminals;
            const QByteArray order = platform::ToAnsi(
                "ORD" + STX + "POS-" + QString::number(t) + STX + server + STX +
                QString::number(n) + QChar(3) +
                QString("Table %1\r\n2 x Soup\r\n1 x Bread\r\n1 x Water").arg(n) + QChar(4));
            ::send(terminals[size_t(t)], order.constData(), size_t(order.size()), MSG_NOSIGNAL);
            while (window->GetOrdersCount() == 0)
                Pump();
            window->btnAction_Click(clear);
            Pump();
            for (const int fd : terminals)
                Drain(fd);
            if (n == std::min(kWarmUp, orders))
                afterWarmUp = ResidentBytes();
        }
    }
    const qint64 end = ResidentBytes();
    state.counters["rss_after_warmup_MB"] = double(afterWarmUp) / 1e6;
    state.counters["rss_end_MB"] = double(end) / 1e6;
    state.counters["growth_per_order_B"] =
        double(end - afterWarmUp) / std::max(1, orders - kWarmUp);
    for (const int fd : terminals)
        ::close(fd);
    window.reset();
}

}  // namespace

BENCHMARK(BM_Soak)->Arg(20000)->Arg(2000)->Iterations(1)->Unit(benchmark::kSecond);

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // A shift is minutes long: one run unless more are asked for.
    return RunBenchmarks(argc, argv, 1);
}
