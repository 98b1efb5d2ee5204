#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>

#include "DataTestSupport.h"
#include "core/ErrorController.h"
#include "data/DatabaseClass.h"
#include "platform/CodePage.h"
#include "platform/sql/Recordset.h"

namespace {

class DatabaseFailureTest : public TempAppDataTest {
protected:
    void SetUp() override {
        TempAppDataTest::SetUp();
        log_.SetLogFileName(PathIn(QStringLiteral("Error.log")));
        db_.SetErrorLogging(&log_);
    }
    QString Log() const {
        return platform::FromAnsi(ReadBytes(PathIn(QStringLiteral("Error.log"))));
    }
    int Entries(const QString& method) const {
        return Log().count(QStringLiteral("Method Name:     ") + method + QStringLiteral("\r\n"));
    }
    bool OpenFile(const QString& path) {
        db_.SetConnectTo(kDbAccess);
        db_.SetDatabasePath(path);
        return db_.OpenConnection();
    }
    ErrorController log_;
    DatabaseClass db_;
};

}  // namespace

TEST_F(DatabaseFailureTest, FileDatabasesThatCannotBeOpenedAreRecordedAndAnsweredFalse) {
    EXPECT_FALSE(OpenFile(PathIn(QStringLiteral("missing.mdb"))));
    EXPECT_FALSE(db_.IsConnected());
    EXPECT_TRUE(Log().contains(QStringLiteral("Could not find file")));

    const QString garbage = PathIn(QStringLiteral("garbage.mdb"));
    WriteBytes(garbage, QByteArray(8192, 'k'));
    EXPECT_FALSE(OpenFile(garbage));

    const QString jet = PathIn(QStringLiteral("jet.mdb"));
    WriteBytes(jet, QByteArray("\x00\x01\x00\x00Standard Jet DB\x00", 20) + QByteArray(4096, 0));
    EXPECT_FALSE(OpenFile(jet));
    EXPECT_TRUE(Log().contains(QStringLiteral("Jet (MS Access) database file")));

    EXPECT_EQ(Entries(QStringLiteral("Database.OpenConnectionInternal")), 3);
    EXPECT_FALSE(db_.MyODBCMissing());

    // Every operation on the unopened connections answers its failure value.
    EXPECT_TRUE(db_.ExecuteScalar(QStringLiteral("SELECT 1")).IsEmpty());
    EXPECT_EQ(db_.ExecuteNonQuery(QStringLiteral("DELETE FROM users")), 0);
    EXPECT_EQ(db_.ExecuteRecordsetRepl(QStringLiteral("SELECT 1"))->State(), 0);
    EXPECT_EQ(Entries(QStringLiteral("Database.ExecuteScalar('SELECT 1')")), 1);
}

TEST_F(DatabaseFailureTest, AnUnknownTypeBuildsNothingAndFails) {
    db_.SetConnectTo(5);
    db_.SetLocalServerName(QStringLiteral("local"));
    EXPECT_FALSE(db_.OpenConnection());
    EXPECT_EQ(db_.ApplConnString(), QString());
    EXPECT_EQ(Entries(QStringLiteral("Database.OpenConnectionInternal")), 1);
    EXPECT_TRUE(db_.ExecuteScalar(QStringLiteral("SELECT 1")).IsEmpty());
}

TEST_F(DatabaseFailureTest, ALockedDatabaseTimesOutTheStatement) {
    const QString path = PathIn(QStringLiteral("pos.mdb"));
    CreateSqliteDatabase(path, true);
    ASSERT_TRUE(OpenFile(path));
    db_.SettimeOut(1);
    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &holder), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    const QString sql = QStringLiteral("UPDATE operations SET SrcDocID = -1 WHERE ID = 1");
    EXPECT_EQ(db_.ExecuteNonQuery(sql), 0);
    EXPECT_EQ(
        Entries(QStringLiteral("Database.ExecuteNonQueryInternal('") + sql + QStringLiteral("')")),
        1);
    EXPECT_TRUE(Log().contains(QStringLiteral("locked")));
    sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(holder);
    EXPECT_EQ(db_.ExecuteNonQuery(sql), 1);
}

TEST_F(DatabaseFailureTest, AReadOnlyDatabaseRefusesWritesOnly) {
    const QString path = PathIn(QStringLiteral("pos.mdb"));
    CreateSqliteDatabase(path, true);
    // The open connection is switched to read-only the way a read-only file
    // or medium makes it: writes fail, reads go on.
    ASSERT_TRUE(OpenFile(path));
    EXPECT_EQ(db_.ExecuteNonQuery(QStringLiteral("PRAGMA query_only = ON"), true), -1);
    EXPECT_EQ(db_.ExecuteNonQuery(QStringLiteral("DELETE FROM users")), 0);
    EXPECT_TRUE(Log().contains(QStringLiteral("readonly")) ||
                Log().contains(QStringLiteral("read-only")))
        << Log().toStdString();
    EXPECT_EQ(db_.ExecuteScalar(QStringLiteral("SELECT COUNT(*) FROM users")).ToLong(), 5);
}

TEST_F(DatabaseFailureTest, MySqlServersThatRefuseOrDropAreRecorded) {
    TempMySqlDatabase mysql(true);
    db_.SetConnectTo(kDbMySql);
    db_.SetServerName(mysql.Server().ServerName());
    db_.SetDatabaseName(mysql.Name());
    db_.SetUser(mysql.Server().user);
    db_.SetPassword(QStringLiteral("wrong"));
    EXPECT_FALSE(db_.OpenConnection());
    EXPECT_FALSE(db_.MyODBCMissing());
    EXPECT_TRUE(Log().contains(QStringLiteral("Error code:      1045")));

    // The local server fails: the application connection stays open.
    db_.SetPassword(mysql.Server().password);
    db_.SetLocalServerName(QStringLiteral("127.0.0.1;PORT=1"));
    EXPECT_FALSE(db_.OpenConnection());
    EXPECT_TRUE(db_.IsConnected());
    EXPECT_FALSE(db_.MyODBCMissing());
    EXPECT_NE(db_.ReplConnString(), db_.ApplConnString());

    db_.SetLocalServerName(QString());
    ASSERT_TRUE(db_.OpenConnection());
    const QString id = db_.ExecuteScalar(QStringLiteral("SELECT CONNECTION_ID()")).ToString();
    mysql.Exec(QStringLiteral("KILL CONNECTION ") + id);
    const QString sql = QStringLiteral("SELECT COUNT(*) FROM users");
    EXPECT_TRUE(db_.ExecuteScalar(sql).IsEmpty());
    EXPECT_EQ(Entries(QStringLiteral("Database.ExecuteScalar('") + sql + QStringLiteral("')")), 1);
    EXPECT_EQ(db_.ExecuteRecordset(sql)->State(), 0);
    EXPECT_EQ(db_.ExecuteNonQuery(QStringLiteral("UPDATE users SET Code = Code")), 0);
    // Reconnecting is the caller's business, and works.
    db_.CloseConnection();
    ASSERT_TRUE(db_.OpenConnection());
    EXPECT_EQ(db_.ExecuteScalar(sql).ToLong(), 5);
}

TEST_F(DatabaseFailureTest, MyODBCMissingWhenTheDriverIsNotRegistered) {
    // unixODBC reads its configuration once per process: the attempt runs in
    // a process of its own, with a configuration that registers no driver.
    QTemporaryDir odbc;
    WriteBytes(odbc.filePath(QStringLiteral("odbcinst.ini")), QByteArray());
    WriteBytes(odbc.filePath(QStringLiteral("odbc.ini")), QByteArray());
    QProcess probe;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ODBCSYSINI"), odbc.path());
    probe.setProcessEnvironment(env);
    probe.start(QCoreApplication::applicationDirPath() + QStringLiteral("/odbc_probe"),
                {PathIn(QStringLiteral("Error.log")), QStringLiteral("127.0.0.1;PORT=1")});
    ASSERT_TRUE(probe.waitForFinished(60000));
    const QString out = QString::fromLocal8Bit(probe.readAllStandardOutput());
    EXPECT_TRUE(out.contains(QStringLiteral("opened=0 missing=1"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("missing-as-access=0"))) << out.toStdString();
    EXPECT_TRUE(Log().contains(QStringLiteral("Can't open lib"))) << Log().toStdString();
    EXPECT_EQ(Entries(QStringLiteral("Database.OpenConnectionInternal")), 1);
}
