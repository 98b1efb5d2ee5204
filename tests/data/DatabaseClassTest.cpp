#include <gtest/gtest.h>

#include "DataTestSupport.h"
#include "data/DatabaseClass.h"
#include "platform/AppError.h"
#include "platform/sql/Recordset.h"

namespace {

ConnectionSettings Settings(int32_t type) {
    ConnectionSettings s;
    s.ConnectTo = type;
    s.DatabasePath = QStringLiteral("/srv/pos/quillbarrow.mdb");
    s.DatabaseName = QStringLiteral("pos");
    s.ServerName = QStringLiteral("appserver");
    s.LocalServerName = QStringLiteral("localserver");
    s.User = QStringLiteral("waiter");
    s.Password = QStringLiteral("secret");
    return s;
}

}  // namespace

TEST(ConnectionStringsTest, AreBuiltPieceByPieceForEveryType) {
    EXPECT_EQ(DatabaseClass::BuildConnectionString(Settings(0), false),
              QStringLiteral(
                  "Provider=Microsoft.Jet.OLEDB.4.0;User ID=Admin;Mode=Share Deny None;Jet "
                  "OLEDB:Engine Type=3;Jet OLEDB:Database Locking Mode=0;Jet OLEDB:Global Partial "
                  "Bulk Ops=2;Jet OLEDB:Global Bulk Transactions=1;Jet OLEDB:Create System "
                  "Database=False;Jet OLEDB:Encrypt Database=False;Jet OLEDB:Don't Copy Locale on "
                  "Compact=False;Jet OLEDB:Compact Without Replica Repair=False;Jet "
                  "OLEDB:Database Password=Harvelstone4172;Jet OLEDB:SFP=False;Data "
                  "Source=/srv/pos/quillbarrow.mdb"));
    EXPECT_EQ(DatabaseClass::BuildConnectionString(Settings(0), true),
              DatabaseClass::BuildConnectionString(Settings(0), false));

    EXPECT_EQ(DatabaseClass::BuildConnectionString(Settings(3), false),
              QStringLiteral("Provider=sqloledb;packet size=4096;user id=waiter;data "
                             "source=appserver;persist security info=True;initial "
                             "catalog=pos;password=secret"));
    EXPECT_EQ(DatabaseClass::BuildConnectionString(Settings(1), true),
              QStringLiteral("Provider=sqloledb;packet size=4096;user id=waiter;data "
                             "source=localserver;persist security info=True;initial "
                             "catalog=pos;password=secret"));

    EXPECT_EQ(DatabaseClass::BuildConnectionString(Settings(2), false),
              QStringLiteral("DRIVER={MySQL ODBC 3.51 Driver};SERVER=appserver;DATABASE=pos;"
                             "UID=waiter;PASSWORD=secret;OPTION=3"));
    EXPECT_EQ(DatabaseClass::BuildConnectionString(Settings(2), true),
              QStringLiteral("DRIVER={MySQL ODBC 3.51 Driver};SERVER=localserver;DATABASE=pos;"
                             "UID=waiter;PASSWORD=secret;OPTION=3"));

    const QString oracle = QStringLiteral(
        "Driver={Microsoft ODBC for Oracle};CONNECTSTRING=(DESCRIPTION=(ADDRESS=(PROTOCOL=TCP)("
        "HOST=appserver)(PORT=1521))(CONNECT_DATA=(SERVICE_NAME=quillbar)));Uid=waiter;Pwd="
        "secret;");
    EXPECT_EQ(DatabaseClass::BuildConnectionString(Settings(4), false), oracle);
    EXPECT_EQ(DatabaseClass::BuildConnectionString(Settings(4), true), oracle);

    EXPECT_EQ(DatabaseClass::BuildConnectionString(Settings(5), false), QString());
    EXPECT_EQ(DatabaseClass::BuildConnectionString(Settings(-1), true), QString());
}

TEST(ConnectionStringsTest, LocalServerRule) {
    DatabaseClass db;
    db.SetLocalServerName(QStringLiteral("local"));
    for (int type : {1, 2, 3, 5})
        EXPECT_TRUE((db.SetConnectTo(type), db.UseLocalServer())) << type;
    for (int type : {0, 4})
        EXPECT_FALSE((db.SetConnectTo(type), db.UseLocalServer())) << type;
    db.SetConnectTo(3);
    db.SetLocalServerName(QStringLiteral("   "));
    EXPECT_FALSE(db.UseLocalServer());
}

TEST(TranslateSqlTest, AppliesThePlainReplacementsOfEachType) {
    const QString sql = QStringLiteral(
        "SELECT [Desc], [Date], ModeX, Sign FROM [t] WHERE d > #2011-01-01# AND "
        "u < NOW()");
    EXPECT_EQ(DatabaseClass::TranslateSQL(sql, 0), sql);
    EXPECT_EQ(DatabaseClass::TranslateSQL(sql, 7), sql);
    EXPECT_EQ(DatabaseClass::TranslateSQL(sql, 1),
              QStringLiteral("SELECT [Desc], [Date], ModeX, Sign FROM [t] WHERE d > '2011-01-01' "
                             "AND u < GETDATE()"));
    EXPECT_EQ(DatabaseClass::TranslateSQL(sql, 3), DatabaseClass::TranslateSQL(sql, 1));
    EXPECT_EQ(DatabaseClass::TranslateSQL(sql, 2),
              QStringLiteral("SELECT `Desc`, `Date`, ModeX, Sign FROM `t` WHERE d > '2011-01-01' "
                             "AND u < NOW()"));
    EXPECT_EQ(DatabaseClass::TranslateSQL(sql, 4),
              QStringLiteral("SELECT \"DESC\", \"Date\", \"MODE\"X, \"SIGN\" FROM t WHERE d > "
                             "'2011-01-01' AND u < sysdate"));
}

TEST(QualifySqlTest, CleansUserTextForLiterals) {
    EXPECT_EQ(DatabaseClass::QualifySQL(QStringLiteral("  O'Brien   & Sons  ")),
              QStringLiteral("OBrien  Sons"));  // the "&" split the run
    EXPECT_EQ(DatabaseClass::QualifySQL(QStringLiteral("a~b*c<d>e#f$g{h}i[j]k")),
              QStringLiteral("a*bcdefghijk"));
    EXPECT_EQ(DatabaseClass::QualifySQL(QStringLiteral("Маса   №5")), QStringLiteral("Маса №5"));
    EXPECT_EQ(DatabaseClass::QualifySQL(QString()), QString());
    EXPECT_EQ(DatabaseClass::QualifySQL(QStringLiteral("'; DROP TABLE users; --")),
              QStringLiteral("; DROP TABLE users; --"));
}

using DatabaseClassTest = DataTest;

TEST_P(DatabaseClassTest, OpensOneConnectionForBothUses) {
    DatabaseClass& db = Database();
    EXPECT_TRUE(db.IsConnected());
    EXPECT_EQ(db.timeOut(), 30);
    EXPECT_EQ(db.ApplConnString(),
              DatabaseClass::BuildConnectionString(
                  {db.ConnectTo(), db.DatabasePath(), db.DatabaseName(), db.ServerName(),
                   db.LocalServerName(), db.User(), db.Password()},
                  false));
    EXPECT_EQ(db.ReplConnString(), db.ApplConnString());
    EXPECT_FALSE(db.MyODBCMissing());
    EXPECT_EQ(db.ExecuteScalar(QStringLiteral("SELECT COUNT(ProductID) FROM [system] WHERE "
                                              "ProductID=1"))
                  .ToLong(),
              1);
    EXPECT_EQ(db.ExecuteScalar(QStringLiteral("SELECT Version FROM [system]")).ToString(),
              QStringLiteral("3.07"));
    db.CloseConnection();
    EXPECT_FALSE(db.IsConnected());
    EXPECT_TRUE(db.OpenConnection());
    EXPECT_EQ(LogText(), QString());
}

TEST_P(DatabaseClassTest, ExecuteOperationsAnswerAndRecordFailuresWithTheCallersSql) {
    DatabaseClass& db = Database();
    EXPECT_TRUE(db.ExecuteScalar(QStringLiteral("SELECT ID FROM users WHERE ID = 99")).IsEmpty());
    EXPECT_EQ(LogText(), QString());

    const QString badScalar = QStringLiteral("SELECT [Nosuch] FROM users");
    EXPECT_TRUE(db.ExecuteScalar(badScalar).IsEmpty());
    EXPECT_EQ(LogEntries(QStringLiteral("Database.ExecuteScalar('SELECT [Nosuch] FROM users')")),
              1);

    EXPECT_EQ(db.ExecuteNonQuery(QStringLiteral(
                  "UPDATE operations SET SrcDocID = -1 WHERE ObjectID = 1 AND SrcDocID = 0")),
              3);
    EXPECT_EQ(db.ExecuteNonQuery(QStringLiteral("UPDATE [nosuch] SET x = 1")), 0);
    EXPECT_EQ(
        LogEntries(QStringLiteral("Database.ExecuteNonQueryInternal('UPDATE [nosuch] SET x = 1')")),
        1);
    EXPECT_TRUE(LogText().contains(QStringLiteral("Type             System error")));
    EXPECT_EQ(db.ExecuteNonQuery(QStringLiteral("UPDATE [nosuch2] SET x = 1"), true), 0);
    EXPECT_FALSE(LogText().contains(QStringLiteral("nosuch2")));
    EXPECT_EQ(db.ExecuteNonQueryRepl(QStringLiteral("UPDATE users SET Code = Code WHERE ID = 2")),
              1);

    auto rs = db.ExecuteRecordset(QStringLiteral("SELECT nosuch FROM [operations]"));
    ASSERT_TRUE(rs);
    EXPECT_EQ(rs->State(), 0);
    EXPECT_EQ(
        LogEntries(QStringLiteral("Database.ExecuteRecordset('SELECT nosuch FROM [operations]')")),
        1);
    auto repl = db.ExecuteRecordsetRepl(QStringLiteral("SELECT nosuch FROM users"));
    EXPECT_EQ(repl->State(), 0);
    EXPECT_EQ(
        LogEntries(QStringLiteral("Database.ExecuteRecordsetRepl('SELECT nosuch FROM users')")), 1);

    auto good = db.ExecuteRecordset(QStringLiteral(
        "SELECT [ID], Note FROM operations WHERE UserRealTime < #2026-12-08 12:01:00# "
        "ORDER BY ID"));
    EXPECT_EQ(good->State(), 1);
    EXPECT_EQ(good->RecordCount(), 3);  // 11:30, 12:00, 12:00:30
}

TEST_P(DatabaseClassTest, WritesCyrillicThroughQualifiedLiterals) {
    DatabaseClass& db = Database();
    const QString note = DatabaseClass::QualifySQL(QStringLiteral("  без   лук, 'моля'  "));
    EXPECT_EQ(db.ExecuteNonQuery(QStringLiteral("UPDATE operations SET Note = '") + note +
                                 QStringLiteral("' WHERE ID = 1")),
              1);
    EXPECT_EQ(
        db.ExecuteScalar(QStringLiteral("SELECT Note FROM operations WHERE ID = 1")).ToString(),
        QStringLiteral("без лук, моля"));
}

TEST_P(DatabaseClassTest, TransactionsWrapTheApplicationConnection) {
    DatabaseClass& db = Database();
    db.TransBegin();
    EXPECT_EQ(db.ExecuteNonQuery(QStringLiteral("DELETE FROM operations")), 7);
    db.TransRollBack();
    EXPECT_EQ(db.ExecuteScalar(QStringLiteral("SELECT COUNT(*) FROM operations")).ToLong(), 7);
    db.TransBegin();
    db.ExecuteNonQuery(QStringLiteral("DELETE FROM operations WHERE ID = 7"));
    db.TransCommit();
    EXPECT_EQ(db.ExecuteScalar(QStringLiteral("SELECT COUNT(*) FROM operations")).ToLong(), 6);
    EXPECT_THROW(db.TransCommit(), AppError);
    EXPECT_THROW(db.SetIsolationLevel(12345), AppError);
    db.SetIsolationLevel(1048576);
    EXPECT_EQ(db.IsolationLevel(), 1048576);
}

TEST_P(DatabaseClassTest, ConnectionTestsLeaveTheClassAlone) {
    DatabaseClass& db = Database();
    const QString before = db.ApplConnString();
    EXPECT_FALSE(db.TestConnectionAccess(PathIn(QStringLiteral("missing.mdb"))));
    EXPECT_TRUE(db.IsConnected());
    EXPECT_EQ(db.ApplConnString(), before);
    if (Backend() == TestBackend::Sqlite) {
        EXPECT_TRUE(db.TestConnectionAccess(db.DatabasePath()));
    } else {
        EXPECT_TRUE(db.TestConnectionServer(2, db.ServerName(), QString(), db.DatabaseName(),
                                            db.User(), db.Password()));
        EXPECT_TRUE(db.TestConnectionServer(2, db.ServerName(), db.ServerName(), db.DatabaseName(),
                                            db.User(), db.Password()));
        EXPECT_FALSE(db.TestConnectionServer(2, db.ServerName(), QStringLiteral("127.0.0.1;PORT=1"),
                                             db.DatabaseName(), db.User(), db.Password()));
        EXPECT_FALSE(db.TestConnectionServer(2, db.ServerName(), QString(), db.DatabaseName(),
                                             db.User(), QStringLiteral("wrong")));
        EXPECT_FALSE(db.MyODBCMissing());
    }
    EXPECT_EQ(db.ExecuteScalar(QStringLiteral("SELECT COUNT(*) FROM users")).ToLong(), 5);
    EXPECT_GE(LogEntries(QStringLiteral("Database.OpenConnectionInternal")), 1);
}

INSTANTIATE_ON_BOTH_DATABASES(DatabaseClassTest);
