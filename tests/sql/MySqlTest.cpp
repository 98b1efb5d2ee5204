// The layer against the private MariaDB server of scripts/test, through
// unixODBC and MariaDB's driver registered as "MySQL ODBC 3.51 Driver".
#include <gtest/gtest.h>

#include <QElapsedTimer>

#include "DbTestSupport.h"
#include "common/TestSupport.h"
#include "platform/AppError.h"
#include "platform/sql/Connection.h"
#include "platform/sql/Recordset.h"

using platform::Connection;
using platform::Recordset;

TEST(MySqlConnectionTest, ReadsTypedRowsOfTheDemoDatabase) {
    TempMySqlDatabase db(true);
    Connection c;
    c.Open(db.Server().ConnectionString(db.Name()));
    ASSERT_EQ(c.State(), platform::kStateOpen);
    Recordset rs;
    rs.Open(QStringLiteral("SELECT ID, UserRealTime, Qtty, Note, SrcDocID FROM operations "
                           "ORDER BY ID"),
            c);
    EXPECT_EQ(rs.RecordCount(), 7);
    EXPECT_EQ(rs.Fields(QStringLiteral("id")).Type(), VarType::Long);
    EXPECT_EQ(rs.Fields(QStringLiteral("UserRealTime")).Type(), VarType::Date);
    EXPECT_EQ(rs.Fields(QStringLiteral("UserRealTime")).ToDateTime(),
              QDateTime(QDate(2026, 12, 8), QTime(12, 0)));
    EXPECT_DOUBLE_EQ(rs.Fields(QStringLiteral("Qtty")).ToDouble(), 2);
    rs.MoveNext();
    EXPECT_EQ(rs.Fields(QStringLiteral("Note")).ToString(), QStringLiteral("добре опечени"));

    Recordset nulls;
    nulls.Open(QStringLiteral("SELECT NULL AS n, COUNT(*) AS c FROM users"), c);
    EXPECT_TRUE(nulls.Fields(QStringLiteral("n")).IsNull());
    EXPECT_EQ(nulls.Fields(QStringLiteral("c")).ToLong(), 5);
}

// The session's character set is agreed through the driver: Cyrillic written
// by the station is stored as real UTF-8 (two bytes a letter, not four), and
// Cyrillic written by another client reads back intact.
TEST(MySqlConnectionTest, CyrillicTextTravelsIntactBothWays) {
    TempMySqlDatabase db(true);
    Connection c;
    c.Open(db.Server().ConnectionString(db.Name()));
    const QString name = QStringLiteral("Шопска салата с печени чушки");
    EXPECT_EQ(c.Execute(QStringLiteral("UPDATE goods SET Name = '") + name +
                        QStringLiteral("' WHERE ID = 1")),
              1);
    Recordset rs;
    rs.Open(QStringLiteral("SELECT Name, LENGTH(Name) AS bytes, CHAR_LENGTH(Name) AS chars, "
                           "HEX(LEFT(Name, 1)) AS first FROM goods WHERE ID = 1"),
            c);
    EXPECT_EQ(rs.Fields(QStringLiteral("Name")).ToString(), name);
    EXPECT_EQ(rs.Fields(QStringLiteral("chars")).ToLong(), name.size());
    // Only the blanks are one byte.
    EXPECT_EQ(rs.Fields(QStringLiteral("bytes")).ToLong(), name.size() * 2 - name.count(' '));
    EXPECT_EQ(rs.Fields(QStringLiteral("first")).ToString(), QStringLiteral("D0A8"));

    // Bytes put in by another client, as UTF-8, read back as the same letters.
    db.Exec(
        QStringLiteral("UPDATE goods SET Name2 = CONVERT(0xD09AD0B0D184D0B5 USING utf8mb4) "
                       "WHERE ID = 4"));
    Recordset other;
    other.Open(QStringLiteral("SELECT Name2 FROM goods WHERE ID = 4"), c);
    EXPECT_EQ(other.Fields(0).ToString(), QStringLiteral("Кафе"));

    Recordset seed;
    seed.Open(QStringLiteral("SELECT Name FROM users WHERE ID = 2"), c);
    EXPECT_EQ(seed.Fields(0).ToString(), QStringLiteral("Иван Петров"));
}

TEST(MySqlConnectionTest, ExecuteCountsRowsAndRaisesServerErrors) {
    TempMySqlDatabase db(true);
    Connection c;
    c.Open(db.Server().ConnectionString(db.Name()));
    EXPECT_EQ(c.Execute(QStringLiteral("UPDATE operations SET SrcDocID = -1 WHERE ObjectID = 1 "
                                       "AND SrcDocID = 0")),
              3);
    EXPECT_EQ(c.Execute(QStringLiteral("UPDATE operations SET SrcDocID = -1 WHERE ID = 999")), 0);
    try {
        c.Execute(QStringLiteral("UPDATE nosuchtable SET x = 1"));
        FAIL();
    } catch (const AppError& e) {
        EXPECT_EQ(e.Number(), 1146);  // table does not exist
        EXPECT_TRUE(e.Description().contains(QLatin1String("nosuchtable")));
    }
    c.BeginTrans();
    c.Execute(QStringLiteral("DELETE FROM operations"));
    c.RollbackTrans();
    Recordset rs;
    rs.Open(QStringLiteral("SELECT COUNT(*) FROM operations"), c);
    EXPECT_EQ(rs.Fields(0).ToLong(), 7);
}

TEST(MySqlConnectionTest, ARefusedLoginRaisesTheServersAnswer) {
    const MySqlTestServer server = RequireMySqlServer();
    MySqlTestServer wrong = server;
    wrong.password = QStringLiteral("not-the-password");
    Connection c;
    try {
        c.Open(wrong.ConnectionString(QString()));
        FAIL();
    } catch (const AppError& e) {
        EXPECT_EQ(e.Number(), 1045) << e.Description().toStdString();  // access denied
        EXPECT_FALSE(platform::IsDriverMissingText(e.Description()));
    }
    EXPECT_EQ(c.State(), platform::kStateClosed);
}

TEST(MySqlConnectionTest, AServerThatDropsTheSessionRaisesOnTheNextQuery) {
    TempMySqlDatabase db(true);
    Connection c;
    c.Open(db.Server().ConnectionString(db.Name()));
    Recordset id;
    id.Open(QStringLiteral("SELECT CONNECTION_ID()"), c);
    db.Exec(QStringLiteral("KILL CONNECTION ") + id.Fields(0).ToString());
    Recordset rs;
    EXPECT_THROW(rs.Open(QStringLiteral("SELECT COUNT(*) FROM users"), c), AppError);
    EXPECT_EQ(rs.State(), 0);
    EXPECT_THROW(c.Execute(QStringLiteral("UPDATE users SET Code = Code")), AppError);
}

TEST(MySqlConnectionTest, AStatementWaitingForALockGivesUpAfterTheTimeOut) {
    TempMySqlDatabase db(true);
    Connection holder;
    holder.Open(db.Server().ConnectionString(db.Name()));
    holder.BeginTrans();
    holder.Execute(QStringLiteral("UPDATE operations SET Qtty = 2 WHERE ID = 1"));

    Connection c;
    c.Open(db.Server().ConnectionString(db.Name()));
    QElapsedTimer timer;
    timer.start();
    EXPECT_THROW(c.Execute(QStringLiteral("UPDATE operations SET Qtty = 3 WHERE ID = 1"), 1),
                 AppError);
    EXPECT_LT(timer.elapsed(), 20000);  // the server's own lock wait is 50 s
    holder.RollbackTrans();
    EXPECT_EQ(c.Execute(QStringLiteral("UPDATE operations SET Qtty = 3 WHERE ID = 1"), 1), 1);
    // No limit again.
    EXPECT_EQ(c.Execute(QStringLiteral("DO SLEEP(1.5)"), 0), 0);
}
