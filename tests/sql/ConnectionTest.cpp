#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QDir>
#include <QTemporaryDir>

#include "DbTestSupport.h"
#include "common/TestSupport.h"
#include "platform/AppError.h"
#include "platform/Runtime.h"
#include "platform/sql/Connection.h"
#include "platform/sql/Recordset.h"

using platform::Backend;
using platform::Connection;
using platform::Recordset;

namespace {

QString AccessString(const QString& path) {
    return QStringLiteral(
               "Provider=Microsoft.Jet.OLEDB.4.0;User ID=Admin;Jet OLEDB:Database "
               "Password=x;Jet OLEDB:SFP=False;Data Source=") +
           path;
}

class SqliteConnectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        path_ = dir_.filePath(QStringLiteral("pos.mdb"));
        CreateSqliteDatabase(path_, true);
    }
    QTemporaryDir dir_;
    QString path_;
};

int OpenFailureNumber(const QString& connectionString, QString* text = nullptr) {
    Connection c;
    try {
        c.Open(connectionString);
    } catch (const AppError& e) {
        EXPECT_EQ(c.State(), platform::kStateClosed);
        if (text)
            *text = e.Description();
        return e.Number();
    }
    ADD_FAILURE() << "opened " << connectionString.toStdString();
    return 0;
}

}  // namespace

TEST(ConnectionStringTest, ResolvesEveryDatabaseType) {
    auto access = platform::ResolveConnectionString(AccessString(QStringLiteral("/d/pos.mdb")));
    EXPECT_EQ(access.backend, Backend::Sqlite);
    EXPECT_EQ(access.filePath, QStringLiteral("/d/pos.mdb"));

    auto mysql = platform::ResolveConnectionString(QStringLiteral(
        "DRIVER={MySQL ODBC 3.51 Driver};SERVER=h;DATABASE=d;UID=u;PASSWORD=p;OPTION=3"));
    EXPECT_EQ(mysql.backend, Backend::Odbc);
    EXPECT_TRUE(mysql.mysqlDriver);
    EXPECT_EQ(mysql.driverName, QStringLiteral("MySQL ODBC 3.51 Driver"));
    EXPECT_EQ(mysql.odbcString,
              QStringLiteral("DRIVER={MySQL ODBC 3.51 Driver};SERVER=h;DATABASE=d;UID=u;"
                             "PASSWORD=p;OPTION=3;CHARSET=utf8mb4"));

    auto sqlServer = platform::ResolveConnectionString(QStringLiteral(
        "Provider=sqloledb;packet size=4096;user id=sa;data source=srv;persist security "
        "info=True;initial catalog=pos;password=pw"));
    EXPECT_EQ(sqlServer.backend, Backend::Odbc);
    EXPECT_EQ(sqlServer.odbcString,
              QStringLiteral("DRIVER={FreeTDS};SERVER=srv;DATABASE=pos;UID=sa;PWD=pw;"));

    auto oracle = platform::ResolveConnectionString(QStringLiteral(
        "Driver={Microsoft ODBC for Oracle};CONNECTSTRING=(DESCRIPTION=(ADDRESS=(PROTOCOL=TCP)("
        "HOST=h)(PORT=1521))(CONNECT_DATA=(SERVICE_NAME=quillbar)));Uid=u;Pwd=p;"));
    EXPECT_EQ(oracle.backend, Backend::Odbc);
    EXPECT_FALSE(oracle.mysqlDriver);

    EXPECT_EQ(platform::ResolveConnectionString(QString()).backend, Backend::None);
}

TEST(ConnectionStringTest, RecognisesTheDriverManagersMissingDriverAnswers) {
    EXPECT_TRUE(platform::IsDriverMissingText(QStringLiteral(
        "[unixODBC][Driver Manager]Can't open lib 'MySQL ODBC 3.51 Driver' : file not found")));
    EXPECT_TRUE(platform::IsDriverMissingText(
        QStringLiteral("[Microsoft][ODBC Driver Manager] Data source name not found and no "
                       "default driver specified")));
    EXPECT_FALSE(platform::IsDriverMissingText(QStringLiteral("Access denied for user 'x'")));
}

TEST(ConnectionStringTest, RewritesAccessDateLiteralsOutsideQuotes) {
    EXPECT_EQ(platform::RewriteDateLiterals(
                  QStringLiteral("SELECT * FROM t WHERE d > #12/31/2011# AND n = '#1#'")),
              QStringLiteral("SELECT * FROM t WHERE d > '2011-12-31 00:00:00' AND n = '#1#'"));
    EXPECT_EQ(platform::RewriteDateLiterals(QStringLiteral("d = #2011-06-22 10:05:00#")),
              QStringLiteral("d = '2011-06-22 10:05:00'"));
    EXPECT_EQ(platform::RewriteDateLiterals(QStringLiteral("a # b # c")),
              QStringLiteral("a # b # c"));
}

TEST(ConnectionFailureTest, FileDatabasesThatCannotBeOpenedRaiseAndStayClosed) {
    QTemporaryDir dir;
    QString text;
    OpenFailureNumber(AccessString(dir.filePath(QStringLiteral("missing.mdb"))), &text);
    EXPECT_TRUE(text.contains(QLatin1String("Could not find file"))) << text.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("missing.mdb"))))
        << "opening must not create the file";

    OpenFailureNumber(AccessString(dir.path()), &text);
    OpenFailureNumber(AccessString(QString()), &text);

    const QString garbage = dir.filePath(QStringLiteral("garbage.mdb"));
    WriteBytes(garbage, QByteArray(4096, 'x'));
    EXPECT_EQ(OpenFailureNumber(AccessString(garbage), &text), SQLITE_NOTADB);

    const QString jet = dir.filePath(QStringLiteral("jet.mdb"));
    WriteBytes(jet, QByteArray("\x00\x01\x00\x00Standard Jet DB\x00", 20) + QByteArray(2048, 0));
    OpenFailureNumber(AccessString(jet), &text);
    EXPECT_TRUE(text.contains(QLatin1String("Jet"))) << text.toStdString();

    EXPECT_EQ(OpenFailureNumber(QStringLiteral("nonsense")), platform::kErrBadConnectionString);
}

TEST_F(SqliteConnectionTest, ExecuteCountsAffectedRowsAndRaisesTheDatabaseError) {
    Connection c;
    c.Open(AccessString(path_));
    EXPECT_EQ(c.State(), platform::kStateOpen);
    EXPECT_EQ(c.CommandTimeout(), 30);
    EXPECT_EQ(c.Execute(QStringLiteral("UPDATE operations SET SrcDocID = -1 WHERE ObjectID = 1")),
              3);
    EXPECT_EQ(c.Execute(QStringLiteral("UPDATE operations SET SrcDocID = -1 WHERE ID = 999")), 0);
    try {
        c.Execute(QStringLiteral("UPDATE nosuchtable SET x = 1"));
        FAIL();
    } catch (const AppError& e) {
        EXPECT_EQ(e.Number(), SQLITE_ERROR);
        EXPECT_TRUE(e.Description().contains(QLatin1String("nosuchtable")));
    }
    c.Close();
    EXPECT_EQ(c.State(), platform::kStateClosed);
    try {
        c.Execute(QStringLiteral("SELECT 1"));
        FAIL();
    } catch (const AppError& e) {
        EXPECT_EQ(e.Number(), platform::kErrObjectClosed);
    }
}

TEST_F(SqliteConnectionTest, AccessFunctionsAndDateLiteralsWork) {
    Connection c;
    c.Open(AccessString(path_));
    rt::SetNow(QDateTime(QDate(2026, 12, 8), QTime(14, 30, 5)));
    Recordset rs;
    rs.Open(QStringLiteral("SELECT IsNumeric('12.5') AS a, IsNumeric('x1') AS b, VAL('150.5kg') "
                           "AS c, len('Маса') AS d, NOW() AS e, IIF(1=1,'y','n') AS f, "
                           "IsNumeric(NULL) AS g"),
            c);
    EXPECT_EQ(rs.Fields(QStringLiteral("a")).ToLong(), -1);
    EXPECT_EQ(rs.Fields(QStringLiteral("b")).ToLong(), 0);
    EXPECT_DOUBLE_EQ(rs.Fields(QStringLiteral("c")).ToDouble(), 150.5);
    EXPECT_EQ(rs.Fields(QStringLiteral("d")).ToLong(), 4);
    EXPECT_EQ(rs.Fields(QStringLiteral("e")).ToString(), QStringLiteral("2026-12-08 14:30:05"));
    EXPECT_EQ(rs.Fields(QStringLiteral("f")).ToString(), QStringLiteral("y"));
    EXPECT_EQ(rs.Fields(QStringLiteral("g")).ToLong(), 0);
    rt::ClearNow();

    Recordset dated;
    dated.Open(QStringLiteral("SELECT ID FROM operations WHERE UserRealTime > #12/8/2026 12:05:00# "
                              "ORDER BY ID"),
               c);
    EXPECT_EQ(dated.RecordCount(), 2);
}

TEST_F(SqliteConnectionTest, TransactionsCommitAndRollBack) {
    Connection c;
    c.Open(AccessString(path_));
    c.BeginTrans();
    c.Execute(QStringLiteral("DELETE FROM operations"));
    c.RollbackTrans();
    Recordset rs;
    rs.Open(QStringLiteral("SELECT COUNT(*) FROM operations"), c);
    EXPECT_EQ(rs.Fields(0).ToLong(), 7);

    c.BeginTrans();
    c.Execute(QStringLiteral("DELETE FROM operations WHERE ID = 7"));
    c.CommitTrans();
    Recordset after;
    after.Open(QStringLiteral("SELECT COUNT(*) FROM operations"), c);
    EXPECT_EQ(after.Fields(0).ToLong(), 6);

    EXPECT_THROW(c.CommitTrans(), AppError);
}

TEST_F(SqliteConnectionTest, ALockedDatabaseFailsAfterTheCommandTimeOut) {
    Connection c;
    c.Open(AccessString(path_));
    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open(path_.toUtf8().constData(), &holder), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    try {
        c.Execute(QStringLiteral("UPDATE operations SET Qtty = 5"), 1);
        ADD_FAILURE() << "wrote through an exclusive lock";
    } catch (const AppError& e) {
        EXPECT_EQ(e.Number() & 0xff, SQLITE_BUSY);
    }
    sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(holder);
    EXPECT_EQ(c.Execute(QStringLiteral("UPDATE operations SET Qtty = 5 WHERE ID = 1"), 1), 1);
}

TEST(ConnectionPropertiesTest, IsolationLevelAndTimeOutAreChecked) {
    Connection c;
    EXPECT_EQ(c.IsolationLevel(), platform::kXactReadCommitted);
    c.SetIsolationLevel(platform::kXactSerializable);
    EXPECT_EQ(c.IsolationLevel(), platform::kXactSerializable);
    EXPECT_THROW(c.SetIsolationLevel(7), AppError);
    EXPECT_THROW(c.SetCommandTimeout(-1), AppError);
    EXPECT_THROW(c.BeginTrans(), AppError);
}
