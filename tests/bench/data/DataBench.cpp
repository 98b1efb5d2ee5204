// Filter and Find on a 50,000-row recordset, and the loads of the objects and
// users lists, each beside the raw query through Qt SQL. Runs on an SQLite
// file, and on the test MariaDB server too when KESTRELLE_TEST_MYSQL_PORT is
// set (as scripts/test sets it).
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <memory>

#include "DbTestSupport.h"
#include "core/ErrorController.h"
#include "data/DatabaseClass.h"
#include "data/NomObjects.h"
#include "data/NomUsers.h"
#include "platform/sql/Connection.h"
#include "platform/sql/Recordset.h"
#include "support/BenchRun.h"

namespace {

QSqlDatabase RawDatabase(const QString& driver, const QString& name) {
    return QSqlDatabase::contains(name) ? QSqlDatabase::database(name)
                                        : QSqlDatabase::addDatabase(driver, name);
}

constexpr int kOperations = 50000;
constexpr int kObjects = 500;
constexpr int kUsers = 200;

QString Fill() {
    QString sql = QStringLiteral("BEGIN;");
    for (int i = 1; i <= kOperations; ++i)
        sql += QStringLiteral(
                   "INSERT INTO operations (ID, GoodID, UserRealTime, PartnerID, "
                   "ObjectID, OperatorID, SrcDocID, Opertype, Acct, Qtty, Note) VALUES "
                   "(%1, %2, '2026-12-08 12:00:00', %3, %4, %5, %6, 33, 0, 1, 'бележка "
                   "%1');")
                   .arg(i + 100)
                   .arg(i % 6 + 1)
                   .arg(i % 3 + 1)
                   .arg(i % 40 + 1)
                   .arg(i % 7 + 2)
                   .arg(i % 5 == 0 ? -1 : 0);
    for (int i = 1; i <= kObjects; ++i)
        sql += QStringLiteral(
                   "INSERT INTO objects (ID, Code, Name, Name2) VALUES (%1, '%2', "
                   "'Маса %2', '');")
                   .arg(i + 100)
                   .arg(i);
    for (int i = 1; i <= kUsers; ++i)
        sql += QStringLiteral(
                   "INSERT INTO users (ID, Code, Name, Name2, UserLevel, Password, "
                   "CardNumber, Deleted) VALUES (%1, '%1', 'Сервитьор %1', '', 1, "
                   "'IuNmCIlzrvw=', '%2', 0);")
                   .arg(i + 100)
                   .arg(20000 + i);
    return sql + QStringLiteral("COMMIT;");
}

struct Fixture {
    QTemporaryDir dir;
    QString path;
    std::unique_ptr<TempMySqlDatabase> mysql;
    ErrorController log;

    Fixture() {
        path = dir.filePath(QStringLiteral("bench.mdb"));
        CreateSqliteDatabase(path, true);
        SqliteExec(path, Fill());
        log.SetLogFileName(dir.filePath(QStringLiteral("Error.log")));
        if (!qEnvironmentVariableIsEmpty("KESTRELLE_TEST_MYSQL_PORT")) {
            mysql = std::make_unique<TempMySqlDatabase>(true);
            const QString fill = Fill();
            QStringList statements = fill.split(';', Qt::SkipEmptyParts);
            statements.removeFirst();  // BEGIN
            statements.removeLast();   // COMMIT
            QStringList batch;
            for (const QString& s : statements) {
                batch << s;
                if (batch.size() == 2000) {
                    for (const QString& b : batch)
                        mysql->Exec(b);
                    batch.clear();
                }
            }
            for (const QString& b : batch)
                mysql->Exec(b);
        }
    }
};

Fixture& Data() {
    static Fixture fixture;
    return fixture;
}

DatabaseClass& Opened(bool mysql) {
    static DatabaseClass sqliteDb, mysqlDb;
    DatabaseClass& db = mysql ? mysqlDb : sqliteDb;
    if (!db.IsConnected()) {
        db.SetErrorLogging(&Data().log);
        if (mysql) {
            db.SetConnectTo(kDbMySql);
            db.SetServerName(Data().mysql->Server().ServerName());
            db.SetDatabaseName(Data().mysql->Name());
            db.SetUser(Data().mysql->Server().user);
            db.SetPassword(Data().mysql->Server().password);
        } else {
            db.SetConnectTo(kDbAccess);
            db.SetDatabasePath(Data().path);
        }
        db.OpenConnection();
    }
    return db;
}

const QString kItems = QStringLiteral(
    "SELECT operations.ID, operations.GoodID, operations.UserRealTime, operations.PartnerID, "
    "operations.ObjectID, operations.OperatorID, operations.SrcDocID, operations.Qtty, "
    "operations.Note FROM operations ORDER BY operations.SrcDocID DESC, operations.ID");

bool SkipWithoutMySql(benchmark::State& state, bool mysql) {
    if (mysql && !Data().mysql) {
        state.SkipWithError("no MariaDB server (KESTRELLE_TEST_MYSQL_PORT)");
        return true;
    }
    return false;
}

void BM_RawQtSqlItemsQuery(benchmark::State& state) {
    const bool mysql = state.range(0) == 1;
    if (SkipWithoutMySql(state, mysql))
        return;
    QSqlDatabase db;
    if (mysql) {
        db = RawDatabase(QStringLiteral("QODBC"), QStringLiteral("raw_my"));
        db.setDatabaseName(Data()
                               .mysql->Server()
                               .ConnectionString(Data().mysql->Name())
                               .replace(QStringLiteral("MySQL ODBC 3.51 Driver"),
                                        qEnvironmentVariableIsEmpty("ODBCSYSINI")
                                            ? QStringLiteral("MariaDB Unicode")
                                            : QStringLiteral("MySQL ODBC 3.51 Driver")) +
                           QStringLiteral(";CHARSET=utf8mb4"));
    } else {
        db = RawDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw_lite"));
        db.setDatabaseName(Data().path);
    }
    db.open();
    int64_t rows = 0;
    for (auto _ : state) {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        q.exec(mysql ? QString(kItems).replace('[', '`') : kItems);
        while (q.next())
            for (int i = 0; i < 9; ++i)
                benchmark::DoNotOptimize(q.value(i));
        ++rows;
    }
    state.SetItemsProcessed(rows * (kOperations + 7));
}
BENCHMARK(BM_RawQtSqlItemsQuery)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_RecordsetItemsQuery(benchmark::State& state) {
    const bool mysql = state.range(0) == 1;
    if (SkipWithoutMySql(state, mysql))
        return;
    DatabaseClass& db = Opened(mysql);
    for (auto _ : state) {
        auto rs = db.ExecuteRecordset(kItems, 1);
        benchmark::DoNotOptimize(rs->RecordCount());
    }
    state.SetItemsProcessed(state.iterations() * (kOperations + 7));
}
BENCHMARK(BM_RecordsetItemsQuery)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

std::shared_ptr<platform::Recordset> Items() {
    static auto rs = Opened(false).ExecuteRecordset(kItems, 1);
    return rs;
}

void BM_FilterOrderItems(benchmark::State& state) {
    auto rs = Items();
    int32_t matched = 0;
    for (auto _ : state) {
        rs->SetFilter(
            QStringLiteral(" PartnerID = 2 AND ObjectID = 3 AND OperatorID = 4 AND "
                           "SrcDocID = 0"));
        matched = rs->RecordCount();
        rs->SetFilter(QString());
    }
    state.counters["matched"] = matched;
    state.SetItemsProcessed(state.iterations() * rs->RecordCount());
}
BENCHMARK(BM_FilterOrderItems)->Unit(benchmark::kMicrosecond);

void BM_FilterById(benchmark::State& state) {
    auto rs = Items();
    for (auto _ : state) {
        rs->SetFilter(QStringLiteral("ID = 25000"));
        benchmark::DoNotOptimize(rs->RecordCount());
        rs->SetFilter(QString());
    }
    state.SetItemsProcessed(state.iterations() * rs->RecordCount());
}
BENCHMARK(BM_FilterById)->Unit(benchmark::kMicrosecond);

void BM_FilterByText(benchmark::State& state) {
    auto rs = Items();
    for (auto _ : state) {
        rs->SetFilter(QStringLiteral("Note = 'бележка 49999'"));
        benchmark::DoNotOptimize(rs->RecordCount());
        rs->SetFilter(QString());
    }
    state.SetItemsProcessed(state.iterations() * rs->RecordCount());
}
BENCHMARK(BM_FilterByText)->Unit(benchmark::kMicrosecond);

void BM_FindLastById(benchmark::State& state) {
    auto rs = Items();
    for (auto _ : state) {
        rs->MoveFirst();
        rs->Find(QStringLiteral(" ID=50099"));
        benchmark::DoNotOptimize(rs->IsEOF());
    }
    state.SetItemsProcessed(state.iterations() * rs->RecordCount());
}
BENCHMARK(BM_FindLastById)->Unit(benchmark::kMicrosecond);

void BM_FindMissingText(benchmark::State& state) {
    auto rs = Items();
    for (auto _ : state) {
        rs->MoveFirst();
        rs->Find(QStringLiteral(" Note='no such note'"));
        benchmark::DoNotOptimize(rs->IsEOF());
    }
    state.SetItemsProcessed(state.iterations() * rs->RecordCount());
}
BENCHMARK(BM_FindMissingText)->Unit(benchmark::kMicrosecond);

void BM_ObjectsLoad(benchmark::State& state) {
    const bool mysql = state.range(0) == 1;
    if (SkipWithoutMySql(state, mysql))
        return;
    DatabaseClass& db = Opened(mysql);
    NomObjects objects;
    for (auto _ : state)
        benchmark::DoNotOptimize(objects.Load(db));
    state.counters["rows"] = objects.Count();
}
BENCHMARK(BM_ObjectsLoad)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_UsersLoad(benchmark::State& state) {
    const bool mysql = state.range(0) == 1;
    if (SkipWithoutMySql(state, mysql))
        return;
    DatabaseClass& db = Opened(mysql);
    NomUsers users;
    for (auto _ : state)
        benchmark::DoNotOptimize(users.Load(db));
    state.counters["rows"] = users.Count();
}
BENCHMARK(BM_UsersLoad)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_RawQtSqlObjectsQuery(benchmark::State& state) {
    QSqlDatabase db =
        QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw_obj"));
    db.setDatabaseName(Data().path);
    db.open();
    for (auto _ : state) {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        q.exec(
            QStringLiteral("SELECT CAST(Code AS REAL) AS CodeSort, ID, Code, Name, Name2, "
                           "GroupID, PriceGroup FROM objects WHERE Deleted<>-1 ORDER BY "
                           "IsVeryUsed, 1, Code, Name, Name2"));
        while (q.next())
            for (int i = 0; i < 7; ++i)
                benchmark::DoNotOptimize(q.value(i));
    }
}
BENCHMARK(BM_RawQtSqlObjectsQuery)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Data();
    return RunBenchmarks(argc, argv, 5);
}
