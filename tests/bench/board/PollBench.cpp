// Mode 2's poll over a busy point-of-sale database: 10,000 open item rows in
// 500 orders, one whole poll of the board beside the poll's two queries run
// alone through Qt SQL, on an SQLite file and on the MariaDB server; and the
// change detection of one poll at that size.
//   build/bench/poll_bench                         (SQLite only)
//   scripts/with-mariadb build/bench/poll_bench    (SQLite and MariaDB)
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <chrono>
#include <ctime>
#include <memory>

#include "DbTestSupport.h"
#include "board/DatabaseMonitor.h"
#include "board/MainWindow.h"
#include "core/BuildVersionClass.h"
#include "core/Configuration.h"
#include "core/ErrorController.h"
#include "data/DatabaseClass.h"
#include "localization/BuiltInTexts.h"
#include "localization/ResManagerClass.h"

namespace {

constexpr int kOrders = 500;
constexpr int kItemsPerOrder = 20;
constexpr int kTables = 100;  // five waiters' orders at each

// The station's share of a busy evening: every row an open item.
QStringList FillStatements() {
    QStringList sql{QStringLiteral("DELETE FROM operations")};
    QStringList rows;
    for (int t = 1; t <= kTables; ++t)
        rows << QStringLiteral("(%1, '%2', 'Маса %2', '', 0, 1, 1, 0)").arg(100 + t).arg(200 + t);
    sql << QStringLiteral(
               "INSERT INTO objects (ID, Code, Name, Name2, IsVeryUsed, GroupID, PriceGroup, "
               "Deleted) VALUES ") +
               rows.join(',');
    rows.clear();
    for (int w = 1; w <= kOrders / kTables; ++w)
        rows << QStringLiteral("(%1, '%1', 'Сервитьор %1', '', 1, '', '', 0)").arg(100 + w);
    sql << QStringLiteral(
               "INSERT INTO users (ID, Code, Name, Name2, UserLevel, Password, CardNumber, "
               "Deleted) VALUES ") +
               rows.join(',');
    rows.clear();
    int id = 1000;
    for (int o = 0; o < kOrders; ++o) {
        for (int i = 0; i < kItemsPerOrder; ++i) {
            ++id;
            rows << QStringLiteral(
                        "(%1, %2, '2026-12-08 12:%3:00', %4, %5, %6, 0, 33, 0, %7, '%8')")
                        .arg(id)
                        .arg(i % 6 + 1)
                        .arg(i + 10)
                        .arg(o % 2 + 1)
                        .arg(101 + o / (kOrders / kTables))
                        .arg(101 + o % (kOrders / kTables))
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

struct Fixture {
    QTemporaryDir dir;
    QString path;
    std::unique_ptr<TempMySqlDatabase> mysql;
    std::unique_ptr<MainWindow> window;

    Fixture() {
        qputenv("KESTRELLE_COMMON_APPDATA", dir.path().toLocal8Bit());
        ErrorLogger().SetLogFileName(dir.filePath(QStringLiteral("Error.log")));
        if (ResManager().CountResources() == 0)
            RegisterBuiltInTexts();
        AppVersion().SetApplication(8);
        const QStringList fill = FillStatements();
        path = dir.filePath(QStringLiteral("pos.db"));
        CreateSqliteDatabase(path, true);
        SqliteExec(path, QStringLiteral("BEGIN;") + fill.join(';') + QStringLiteral(";COMMIT;"));
        if (!qEnvironmentVariableIsEmpty("KESTRELLE_TEST_MYSQL_PORT")) {
            mysql = std::make_unique<TempMySqlDatabase>(true);
            for (const QString& s : fill)
                mysql->Exec(s);
        }
        ConfigurationSettings = ConfigurationRecord();
        ConfigurationSettings.ConfigFile = GetConfigFileName();
        ConfigurationSettings.Communication = 2;
        ConfigurationSettings.Restriction = false;
        ConfigurationSettings.SoundNotification = false;
        window = std::make_unique<MainWindow>();
        window->resize(1280, 1024);
    }

    // The board's database moved to the chosen server, and one poll done.
    bool Use(bool onMySql) {
        if (onMySql && !mysql)
            return false;
        DatabaseClass& d = Database();
        d.CloseConnection();
        d.SetConnectTo(onMySql ? kDbMySql : kDbAccess);
        if (onMySql) {
            d.SetServerName(mysql->Server().ServerName());
            d.SetDatabaseName(mysql->Name());
            d.SetUser(mysql->Server().user);
            d.SetPassword(mysql->Server().password);
        } else {
            d.SetDatabasePath(path);
        }
        if (!d.OpenConnection())
            return false;
        window->SetActiveOrder(1);
        window->tmrOrders_Timer();
        return window->GetOrdersCount() == kOrders;
    }

    QSqlDatabase Raw(bool onMySql) {
        const QString name = onMySql ? QStringLiteral("raw_my") : QStringLiteral("raw_lite");
        if (QSqlDatabase::contains(name))
            return QSqlDatabase::database(name);
        QSqlDatabase db = QSqlDatabase::addDatabase(
            onMySql ? QStringLiteral("QODBC") : QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(onMySql ? mysql->Server().ConnectionString(mysql->Name()) +
                                         QStringLiteral(";CHARSET=utf8mb4")
                                   : path);
        db.open();
        return db;
    }
};

Fixture& Data() {
    static Fixture fixture;
    return fixture;
}

bool Ready(benchmark::State& state, bool onMySql) {
    if (onMySql && !Data().mysql) {
        state.SkipWithError("no MariaDB server: run through scripts/with-mariadb");
        return false;
    }
    if (!Data().Use(onMySql)) {
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

double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// One poll of the board (the version check, both queries, the change
// detection, the orders and the active order's items on the grid) against
// the poll's two queries alone, taken in turn in every iteration so that both
// meet the same load on the machine. The reported time is the poll's.
void BM_PollAgainstQueries(benchmark::State& state) {
    const bool onMySql = state.range(0) == 1;
    if (!Ready(state, onMySql))
        return;
    QSqlDatabase db = Data().Raw(onMySql);
    const QString sql[2] = {BuildOrdersQuery(QString(), QString(), onMySql ? kDbMySql : kDbAccess),
                            BuildItemsQuery(QString(), QString())};
    MainWindow& w = *Data().window;
    double queries = 0, poll = 0, queriesCpu = 0, pollCpu = 0;
    int rows = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        double c0 = ThreadCpuSeconds();
        rows = RunQueriesAlone(db, sql);
        auto t1 = std::chrono::steady_clock::now();
        double c1 = ThreadCpuSeconds();
        w.tmrOrders_Timer();
        auto t2 = std::chrono::steady_clock::now();
        double c2 = ThreadCpuSeconds();
        queries += std::chrono::duration<double>(t1 - t0).count();
        poll += std::chrono::duration<double>(t2 - t1).count();
        queriesCpu += c1 - c0;
        pollCpu += c2 - c1;
        state.SetIterationTime(std::chrono::duration<double>(t2 - t1).count());
    }
    const double n = double(state.iterations());
    state.counters["queries_ms"] = 1000 * queries / n;
    state.counters["poll_ms"] = 1000 * poll / n;
    state.counters["ratio"] = poll / queries;
    state.counters["cpu_ratio"] = pollCpu / queriesCpu;
    state.counters["rows"] = rows;
    state.counters["orders"] = w.GetOrdersCount();
}

// The same two queries on the SQLite file through SQLite's own interface, the
// one the board's recordsets read with: every column stepped over once.
void BM_PollQueriesAloneSqliteApi(benchmark::State& state) {
    if (!Ready(state, false))
        return;
    sqlite3* db = nullptr;
    sqlite3_open_v2(Data().path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
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

// The change detection of one poll over the 10,000 rows that did not change.
void BM_CompareStates(benchmark::State& state) {
    if (!Ready(state, state.range(0) == 1))
        return;
    MainWindow& w = *Data().window;
    w.SaveOldState();
    for (auto _ : state)
        w.CompareStates();
}

}  // namespace

BENCHMARK(BM_PollAgainstQueries)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->MinTime(5)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PollQueriesAloneSqliteApi)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompareStates)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    Data();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Data().window.reset();
    Database().CloseConnection();
    Data().mysql.reset();
    return 0;
}
