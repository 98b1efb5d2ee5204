// Mode 2's poll over a busy point-of-sale database: 10,000 and 100,000 open
// item rows, 20 to an order; one whole poll of the board (asked for, read on
// the database worker's thread, shown) beside the poll's two queries run alone
// through Qt SQL, on an SQLite file and on the MariaDB server, taken in turn
// in the same iterations (the counters are their medians, time_ratio the
// poll's over the queries'); and the change detection of one poll at those
// sizes.
//   build/bench/poll_bench                         (SQLite only)
//   scripts/with-mariadb build/bench/poll_bench    (SQLite and MariaDB)
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <ctime>
#include <map>
#include <memory>
#include <vector>

#include "DbTestSupport.h"
#include "board/BoardTestAccess.h"
#include "board/DatabaseMonitor.h"
#include "board/MainWindow.h"
#include "core/BuildVersionClass.h"
#include "core/Configuration.h"
#include "core/ErrorController.h"
#include "data/DatabaseClass.h"
#include "localization/BuiltInTexts.h"
#include "localization/ResManagerClass.h"
#include "support/BenchRun.h"

namespace {

constexpr int kItemsPerOrder = 20;
constexpr int kTables = 100;
const int kSizes[] = {10000, 100000};

// The station's share of a busy evening: every row an open item, the orders
// spread over 100 tables and as many waiters as it takes.
QStringList FillStatements(int items) {
    const int orders = items / kItemsPerOrder;
    const int waiters = orders / kTables;
    QStringList sql{QStringLiteral("DELETE FROM operations")};
    QStringList rows;
    for (int t = 1; t <= kTables; ++t)
        rows << QStringLiteral("(%1, '%2', 'Маса %2', '', 0, 1, 1, 0)").arg(100 + t).arg(200 + t);
    sql << QStringLiteral(
               "INSERT INTO objects (ID, Code, Name, Name2, IsVeryUsed, GroupID, PriceGroup, "
               "Deleted) VALUES ") +
               rows.join(',');
    rows.clear();
    for (int w = 1; w <= waiters; ++w)
        rows << QStringLiteral("(%1, '%1', 'Сервитьор %1', '', 1, '', '', 0)").arg(100 + w);
    sql << QStringLiteral(
               "INSERT INTO users (ID, Code, Name, Name2, UserLevel, Password, CardNumber, "
               "Deleted) VALUES ") +
               rows.join(',');
    rows.clear();
    int id = 1000;
    for (int o = 0; o < orders; ++o) {
        for (int i = 0; i < kItemsPerOrder; ++i) {
            ++id;
            rows << QStringLiteral(
                        "(%1, %2, '2026-12-08 12:%3:00', %4, %5, %6, 0, 33, 0, %7, '%8')")
                        .arg(id)
                        .arg(i % 6 + 1)
                        .arg(i + 10)
                        .arg(o % 2 + 1)
                        .arg(101 + o / waiters)
                        .arg(101 + o % waiters)
                        .arg(i % 3 == 0 ? QStringLiteral("0.3") : QString::number(i % 4 + 1))
                        .arg(i % 5 == 0 ? QStringLiteral("без лук") : QString());
            if (rows.size() == 500) {
                sql << QStringLiteral(
                           "INSERT INTO operations (ID, GoodID, UserRealTime, PartnerID, "
                           "ObjectID, OperatorID, SrcDocID, Opertype, Acct, Qtty, Note) VALUES ") +
                           rows.join(',');
                rows.clear();
            }
        }
    }
    return sql;
}

// One poll of the board, from the timer's call to its answer shown.
void PollOnce(MainWindow& w) {
    BoardTestAccess::tmrOrders_Timer(w);
    while (BoardTestAccess::Database(w).PollBusy())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// The point-of-sale database at one size, as an SQLite file and, beside the
// MariaDB server, as a database there.
struct SizedData {
    QString path;
    std::unique_ptr<TempMySqlDatabase> mysql;
};

struct Fixture {
    QTemporaryDir dir;
    std::map<int, SizedData> sizes;
    bool withMySql = false;
    std::unique_ptr<MainWindow> window;

    Fixture() {
        qputenv("KESTRELLE_COMMON_APPDATA", dir.path().toLocal8Bit());
        ErrorLogger().SetLogFileName(dir.filePath(QStringLiteral("Error.log")));
        if (ResManager().CountResources() == 0)
            RegisterBuiltInTexts();
        AppVersion().SetApplication(8);
        withMySql = !qEnvironmentVariableIsEmpty("KESTRELLE_TEST_MYSQL_PORT");
        for (const int items : kSizes) {
            const QStringList fill = FillStatements(items);
            SizedData& data = sizes[items];
            data.path = dir.filePath(QStringLiteral("pos-%1.db").arg(items));
            CreateSqliteDatabase(data.path, true);
            SqliteExec(data.path,
                       QStringLiteral("BEGIN;") + fill.join(';') + QStringLiteral(";COMMIT;"));
            if (withMySql) {
                data.mysql = std::make_unique<TempMySqlDatabase>(true);
                for (const QString& s : fill)
                    data.mysql->Exec(s);
            }
        }
        ConfigurationSettings = ConfigurationRecord();
        ConfigurationSettings.ConfigFile = GetConfigFileName();
        ConfigurationSettings.Communication = 2;
        ConfigurationSettings.Restriction = false;
        ConfigurationSettings.SoundNotification = false;
        window = std::make_unique<MainWindow>();
        window->resize(1280, 1024);
    }

    // The board's database moved to the chosen server and size, and one
    // poll done.
    bool Use(bool onMySql, int items) {
        if (onMySql && !withMySql)
            return false;
        const SizedData& data = sizes.at(items);
        DatabaseClass& d = Database();
        d.CloseConnection();
        d.SetConnectTo(onMySql ? kDbMySql : kDbAccess);
        if (onMySql) {
            d.SetServerName(data.mysql->Server().ServerName());
            d.SetDatabaseName(data.mysql->Name());
            d.SetUser(data.mysql->Server().user);
            d.SetPassword(data.mysql->Server().password);
        } else {
            d.SetDatabasePath(data.path);
        }
        if (!d.OpenConnection())
            return false;
        window->SetActiveOrder(1);
        PollOnce(*window);
        return window->GetOrdersCount() == items / kItemsPerOrder;
    }

    QSqlDatabase Raw(bool onMySql, int items) {
        const QString name = QStringLiteral("raw_%1_%2").arg(onMySql).arg(items);
        if (QSqlDatabase::contains(name))
            return QSqlDatabase::database(name);
        const SizedData& data = sizes.at(items);
        QSqlDatabase db = QSqlDatabase::addDatabase(
            onMySql ? QStringLiteral("QODBC") : QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(onMySql ? data.mysql->Server().ConnectionString(data.mysql->Name()) +
                                         QStringLiteral(";CHARSET=utf8mb4")
                                   : data.path);
        db.open();
        return db;
    }
};

Fixture& Data() {
    static Fixture fixture;
    return fixture;
}

bool Ready(benchmark::State& state, bool onMySql, int items) {
    if (onMySql && !Data().withMySql) {
        state.SkipWithError("no MariaDB server: run through scripts/with-mariadb");
        return false;
    }
    if (!Data().Use(onMySql, items)) {
        state.SkipWithError("the board found no orders");
        return false;
    }
    return true;
}

// The two queries of one poll through Qt SQL, every value read, nothing kept.
int RunQueriesAlone(QSqlDatabase& db, const QString (&sql)[2]) {
    int rows = 0;
    for (const QString& text : sql) {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        q.exec(text);
        const int columns = q.record().count();
        while (q.next()) {
            for (int i = 0; i < columns; ++i)
                benchmark::DoNotOptimize(q.value(i));
            ++rows;
        }
    }
    return rows;
}

// One poll of the board (the version check, both queries and the change
// detection on the worker's thread, the orders and the active order's items
// shown on the window's) against the poll's two queries alone, taken in turn
// in every iteration so that both meet the same load on the machine. The
// reported time is the poll's; the counters are the medians.
void BM_PollAgainstQueries(benchmark::State& state) {
    const bool onMySql = state.range(0) == 1;
    const int items = int(state.range(1));
    if (!Ready(state, onMySql, items))
        return;
    QSqlDatabase db = Data().Raw(onMySql, items);
    const QString sql[2] = {BuildOrdersQuery(QString(), QString(), onMySql ? kDbMySql : kDbAccess),
                            BuildItemsQuery(QString(), QString())};
    MainWindow& w = *Data().window;
    std::vector<double> queries, poll, window;
    int rows = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        rows = RunQueriesAlone(db, sql);
        auto t1 = std::chrono::steady_clock::now();
        const double c1 = ThreadCpuSeconds();
        PollOnce(w);
        const double c2 = ThreadCpuSeconds();
        auto t2 = std::chrono::steady_clock::now();
        queries.push_back(std::chrono::duration<double>(t1 - t0).count());
        poll.push_back(std::chrono::duration<double>(t2 - t1).count());
        window.push_back(c2 - c1);
        state.SetIterationTime(poll.back());
    }
    state.counters["queries_ms"] = 1000 * Median(queries);
    state.counters["poll_ms"] = 1000 * Median(poll);
    state.counters["time_ratio"] = Median(poll) / Median(queries);
    // What the poll costs the window's thread (the answer taken and shown).
    state.counters["window_cpu_ms"] = 1000 * Median(window);
    state.counters["rows"] = rows;
    state.counters["orders"] = w.GetOrdersCount();
}

// The same two queries on the SQLite file through SQLite's own interface, the
// one the board's recordsets read with: every column stepped over once.
void BM_PollQueriesAloneSqliteApi(benchmark::State& state) {
    const int items = int(state.range(0));
    if (!Ready(state, false, items))
        return;
    sqlite3* db = nullptr;
    sqlite3_open_v2(Data().sizes.at(items).path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY,
                    nullptr);
    const QByteArray sql[] = {BuildOrdersQuery(QString(), QString(), kDbAccess).toUtf8(),
                              BuildItemsQuery(QString(), QString()).toUtf8()};
    for (auto _ : state) {
        for (const QByteArray& text : sql) {
            sqlite3_stmt* stmt = nullptr;
            sqlite3_prepare_v2(db, text.constData(), int(text.size()), &stmt, nullptr);
            const int columns = sqlite3_column_count(stmt);
            while (sqlite3_step(stmt) == SQLITE_ROW)
                for (int i = 0; i < columns; ++i)
                    switch (sqlite3_column_type(stmt, i)) {
                        case SQLITE_INTEGER:
                            benchmark::DoNotOptimize(sqlite3_column_int64(stmt, i));
                            break;
                        case SQLITE_FLOAT:
                            benchmark::DoNotOptimize(sqlite3_column_double(stmt, i));
                            break;
                        default:
                            benchmark::DoNotOptimize(sqlite3_column_text(stmt, i));
                    }
            sqlite3_finalize(stmt);
        }
    }
    sqlite3_close(db);
}

// The change detection of one poll over rows that did not change: the items
// state kept from one poll and the next poll's items compared with it, as the
// database worker does them.
void BM_CompareStates(benchmark::State& state) {
    const bool onMySql = state.range(0) == 1;
    const int items = int(state.range(1));
    if (!Ready(state, onMySql, items))
        return;
    DatabaseClass& d = Database();
    const auto rs = d.ExecuteRecordset(BuildItemsQuery(QString(), QString()), 1);
    const ItemsState old = ReadItemsState(*rs);
    for (auto _ : state)
        benchmark::DoNotOptimize(ItemsChangedSince(old, ReadItemsState(*rs)));
}

}  // namespace

BENCHMARK(BM_PollAgainstQueries)
    ->ArgsProduct({{0, 1}, {10000, 100000}})
    ->ArgNames({"mysql", "items"})
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PollQueriesAloneSqliteApi)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompareStates)
    ->ArgsProduct({{0, 1}, {10000, 100000}})
    ->ArgNames({"mysql", "items"})
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Data();
    const int status = RunBenchmarks(argc, argv, 3);
    Data().window.reset();
    Database().CloseConnection();
    Data().sizes.clear();
    return status;
}
