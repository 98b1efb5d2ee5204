// The message server under load from the terminal simulator on 127.0.0.1:
// terminals each sending their orders with a chat line before each, the time
// from the first order until every order is acknowledged to its sender and
// handed to the board, with none lost or doubled. Two servers: a ModServer in
// this process (the board's hand-over counted here), and the real station
// executable in mode 1 (the orders read back from its "BackUp.log").
// Arguments: sending terminals, idle terminals, orders per sender, and 1 when
// every terminal joins at once and sends as soon as it has joined.
// Run by hand:
//   build/bench/server_bench
//   build/bench/server_bench --benchmark_filter=Station
#include <benchmark/benchmark.h>
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

#include "common/TestNet.h"
#include "core/ModCommon.h"
#include "network/CSocketMaster.h"
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

void BM_StationExecutable(benchmark::State& state) {
    const Load load(state);
    const int expected = load.Expected();
    const QString station = kBinDir + "/kestrelle";
    if (!QFile::exists(station)) {
        state.SkipWithError("no station executable in the program folder");
        return;
    }
    for (auto _ : state) {
        QTemporaryDir appData;
        const QString folder = appData.path() + "/Quillbarrow/Kestrelle/";
        QDir().mkpath(folder);
        uint16_t port = 0;
        {
            // A port free right now, for the station to listen on.
            CSocketMaster probe;
            probe.Listen();
            port = uint16_t(probe.LocalPort());
        }
        QFile config(folder + "KestrelleApp.config");
        config.open(QIODevice::WriteOnly);
        config.write(
            "[Communication]\r\nValue=1\r\n[PortTCP]\r\nValue=" + QByteArray::number(port) +
            "\r\n[Restriction]\r\nValue=False\r\n[SoundNotification]\r\nValue=False\r\n");
        config.close();
        QProcess kestrelle;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("KESTRELLE_COMMON_APPDATA", appData.path());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        kestrelle.setProcessEnvironment(env);
        kestrelle.setProgram(station);
        kestrelle.start();
        const QString serverLog = folder + "Logs/QVKServer.log";
        QElapsedTimer wait;
        wait.start();
        while (!QFile(serverLog).exists() && wait.elapsed() < 15000)
            QThread::msleep(20);
        if (!QFile(serverLog).exists()) {
            kestrelle.kill();
            kestrelle.waitForFinished();
            state.SkipWithError("the station did not start its message server");
            return;
        }
        QElapsedTimer clock;
        clock.start();
        const SimulatorRun run = RunLoad(port, load);
        // On the board: the backup file counts every order the board holds.
        const QString backup = folder + "BackUp.log";
        int64_t boardMs = -1;
        const int64_t deadline = clock.elapsed() + 60000;
        while (clock.elapsed() < deadline) {
            platform::IniClearCache();
            if (ReadIni(backup, "OrdersCount", "Value").toInt() >= expected) {
                boardMs = clock.elapsed() - load.JoinedBeforeOrders(run);
                break;
            }
            QThread::msleep(5);
        }
        QSet<QString> texts;
        int doubled = 0;
        const int count = ReadIni(backup, "OrdersCount", "Value").toInt();
        for (int i = 0; i < count; ++i) {
            const QString section = QStringLiteral("Order_%1").arg(i, 2, 10, QLatin1Char('0'));
            const QString text = ReadIni(backup, section, "Row_000");
            if (texts.contains(text))
                ++doubled;
            texts.insert(text);
        }
        kestrelle.terminate();
        if (!kestrelle.waitForFinished(5000)) {
            kestrelle.kill();
            kestrelle.waitForFinished();
        }
        if (!run.ok || boardMs < 0) {
            state.SkipWithError(("orders missing: " + run.output.toStdString()).c_str());
            return;
        }
        state.SetIterationTime(double(std::max(run.ackMs, boardMs)) / 1000.0);
        Report(state, run, expected, int(texts.size()), doubled, boardMs);
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
