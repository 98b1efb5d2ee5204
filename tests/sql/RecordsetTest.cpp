#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "DbTestSupport.h"
#include "common/TestSupport.h"
#include "platform/AppError.h"
#include "platform/sql/Connection.h"
#include "platform/sql/Recordset.h"

using platform::Connection;
using platform::Recordset;

namespace {

class RecordsetTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        const QString path = dir_.filePath(QStringLiteral("pos.mdb"));
        CreateSqliteDatabase(path, true);
        SqliteExec(
            path,
            "CREATE TABLE cards (ID INTEGER PRIMARY KEY, Code TEXT, Amount REAL, Seen DATETIME);"
            "INSERT INTO cards VALUES (1, '971123', 1.5, '2026-12-08 10:00:00');"
            "INSERT INTO cards VALUES (2, 'O''Brien', 2, '2026-12-08 11:00:00');"
            "INSERT INTO cards VALUES (3, 'abc', NULL, NULL);"
            "INSERT INTO cards VALUES (4, '007', 4, '2026-12-09 00:00:00');"
            "INSERT INTO cards VALUES (5, 'ABC', 5, '2026-12-10 08:00:00');");
        connection_.Open(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + path);
    }
    Recordset Open(const QString& sql) {
        Recordset rs;
        rs.Open(sql, connection_);
        return rs;
    }
    std::vector<int> Ids(Recordset& rs) {
        std::vector<int> ids;
        for (rs.MoveFirst(); !rs.IsEOF(); rs.MoveNext())
            ids.push_back(rs.Fields(QStringLiteral("ID")).ToLong());
        return ids;
    }
    QTemporaryDir dir_;
    Connection connection_;
};

int ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const AppError& e) {
        return e.Number();
    }
    return 0;
}

}  // namespace

TEST_F(RecordsetTest, NavigatesBetweenBofAndEof) {
    Recordset rs = Open(QStringLiteral("SELECT ID, Code FROM cards ORDER BY ID"));
    EXPECT_EQ(rs.State(), 1);
    EXPECT_EQ(rs.RecordCount(), 5);
    EXPECT_FALSE(rs.IsBOF());
    EXPECT_EQ(rs.AbsolutePosition(), 1);
    rs.MoveLast();
    EXPECT_EQ(rs.Fields(QStringLiteral("id")).ToLong(), 5);
    rs.MoveNext();
    EXPECT_TRUE(rs.IsEOF());
    EXPECT_EQ(rs.AbsolutePosition(), -3);
    EXPECT_EQ(ErrorOf([&] { rs.MoveNext(); }), platform::kErrNoCurrentRecord);
    EXPECT_EQ(ErrorOf([&] { rs.Fields(0); }), platform::kErrNoCurrentRecord);
    rs.MoveFirst();
    rs.MovePrevious();
    EXPECT_TRUE(rs.IsBOF());
    EXPECT_EQ(ErrorOf([&] { rs.MovePrevious(); }), platform::kErrNoCurrentRecord);
    rs.MoveFirst();
    rs.Move(2);
    EXPECT_EQ(rs.Fields(QStringLiteral("ID")).ToLong(), 3);

    Recordset empty = Open(QStringLiteral("SELECT ID FROM cards WHERE ID < 0"));
    EXPECT_EQ(empty.RecordCount(), 0);
    EXPECT_TRUE(empty.IsEOF());
    EXPECT_TRUE(empty.IsBOF());
    empty.MoveFirst();
    EXPECT_TRUE(empty.IsEOF());
}

TEST_F(RecordsetTest, FieldsByNameIgnoreCaseAndCarryTheirTypes) {
    Recordset rs = Open(QStringLiteral(
        "SELECT cards.ID, Code, Amount, Seen, operations.Note AS Note FROM cards, operations "
        "WHERE operations.ID = 2 AND cards.ID IN (1, 3) ORDER BY cards.ID"));
    EXPECT_EQ(rs.FieldCount(), 5);
    EXPECT_EQ(rs.FieldName(0), QStringLiteral("ID"));
    EXPECT_EQ(rs.Fields(QStringLiteral("CODE")).ToString(), QStringLiteral("971123"));
    EXPECT_EQ(rs.Fields(QStringLiteral("amount")).Type(), VarType::Double);
    EXPECT_EQ(rs.Fields(QStringLiteral("Seen")).Type(), VarType::Date);
    EXPECT_EQ(rs.Fields(QStringLiteral("Seen")).ToDateTime(),
              QDateTime(QDate(2026, 12, 8), QTime(10, 0)));
    EXPECT_EQ(rs.Fields(QStringLiteral("ID")).Type(), VarType::Long);
    EXPECT_EQ(rs.Fields(QStringLiteral("Note")).ToString(), QStringLiteral("добре опечени"));
    EXPECT_EQ(ErrorOf([&] { rs.Fields(QStringLiteral("nosuch")); }), platform::kErrItemNotFound);
    rs.MoveNext();
    EXPECT_TRUE(rs.Fields(QStringLiteral("Amount")).IsNull());
    EXPECT_TRUE(rs.Fields(QStringLiteral("Seen")).IsNull());
}

TEST_F(RecordsetTest, AFailedQueryRaisesAndAClosedRecordsetRefusesEverything) {
    Recordset rs;
    EXPECT_EQ(ErrorOf([&] { rs.Open(QStringLiteral("SELECT nosuch FROM cards"), connection_); }),
              1);
    EXPECT_EQ(rs.State(), 0);
    EXPECT_EQ(ErrorOf([&] { rs.RecordCount(); }), platform::kErrObjectClosed);
    EXPECT_EQ(ErrorOf([&] { rs.IsEOF(); }), platform::kErrObjectClosed);
    EXPECT_EQ(ErrorOf([&] { rs.MoveFirst(); }), platform::kErrObjectClosed);
    EXPECT_EQ(ErrorOf([&] { rs.Find(QStringLiteral("ID=1")); }), platform::kErrObjectClosed);
}

TEST_F(RecordsetTest, FilterSelectsRowsByNumbersTextsAndDates) {
    Recordset rs = Open(QStringLiteral("SELECT * FROM cards ORDER BY ID"));
    rs.SetFilter(QStringLiteral("ID = 2"));
    EXPECT_EQ(rs.RecordCount(), 1);
    EXPECT_EQ(rs.Fields(QStringLiteral("Code")).ToString(), QStringLiteral("O'Brien"));

    rs.SetFilter(QStringLiteral("Code = 'abc'"));  // texts compare without regard to case
    EXPECT_EQ(Ids(rs), (std::vector<int>{3, 5}));

    rs.SetFilter(QStringLiteral(" Amount >= 2 AND Code <> 'ABC'"));
    EXPECT_EQ(Ids(rs), (std::vector<int>{2, 4}));

    rs.SetFilter(QStringLiteral("ID = 1 OR ID = 4 AND Amount = 4"));
    EXPECT_EQ(Ids(rs), (std::vector<int>{1, 4}));

    rs.SetFilter(QStringLiteral("Code = 7"));  // a numeric text compares as a number
    EXPECT_EQ(Ids(rs), (std::vector<int>{4}));

    rs.SetFilter(QStringLiteral("Seen > #12/8/2026 23:59:59#"));
    EXPECT_EQ(Ids(rs), (std::vector<int>{4, 5}));

    rs.SetFilter(QStringLiteral("Amount = NULL"));
    EXPECT_EQ(Ids(rs), (std::vector<int>{3}));

    rs.SetFilter(QStringLiteral("Code LIKE '97*'"));
    EXPECT_EQ(Ids(rs), (std::vector<int>{1}));

    rs.SetFilter(QStringLiteral("Code = 'O''Brien'"));
    EXPECT_EQ(Ids(rs), (std::vector<int>{2}));

    rs.SetFilter(QString());
    EXPECT_EQ(rs.RecordCount(), 5);
    EXPECT_EQ(rs.Filter(), QString());
}

TEST_F(RecordsetTest, ACriterionWithAStrayApostropheMatchesNothing) {
    Recordset rs = Open(QStringLiteral("SELECT * FROM cards ORDER BY ID"));
    rs.SetFilter(QStringLiteral("Code = 'O'Brien'"));
    EXPECT_EQ(rs.RecordCount(), 0);
    EXPECT_TRUE(rs.IsEOF());
    rs.SetFilter(QStringLiteral("Code = 'unterminated"));
    EXPECT_EQ(rs.RecordCount(), 0);
    rs.SetFilter(QString());

    rs.MoveFirst();
    rs.Find(QStringLiteral(" Code='O'Brien'"));
    EXPECT_TRUE(rs.IsEOF()) << "must not stay on the first row";
    rs.MoveFirst();
    rs.Find(QStringLiteral(" Code='1' OR '1'='1'"));
    EXPECT_TRUE(rs.IsEOF());
    EXPECT_EQ(ErrorOf([&] { rs.SetFilter(QStringLiteral("Nosuch = 1")); }),
              platform::kErrItemNotFound);
}

TEST_F(RecordsetTest, FindSearchesFromTheCurrentRowWithinTheFilter) {
    Recordset rs = Open(QStringLiteral("SELECT * FROM cards ORDER BY ID"));
    rs.Find(QStringLiteral(" Code='abc'"));
    EXPECT_EQ(rs.Fields(QStringLiteral("ID")).ToLong(), 3);
    rs.Find(QStringLiteral(" Code='abc'"));  // the current row matches: stays
    EXPECT_EQ(rs.Fields(QStringLiteral("ID")).ToLong(), 3);
    rs.Find(QStringLiteral(" Code='abc'"), 1);
    EXPECT_EQ(rs.Fields(QStringLiteral("ID")).ToLong(), 5);
    rs.Find(QStringLiteral(" Code='abc'"), 1);
    EXPECT_TRUE(rs.IsEOF());

    rs.MoveLast();
    rs.Find(QStringLiteral(" ID<3"), 0, -1);
    EXPECT_EQ(rs.Fields(QStringLiteral("ID")).ToLong(), 2);
    rs.Find(QStringLiteral(" ID>100"), 0, -1);
    EXPECT_TRUE(rs.IsBOF());

    rs.SetFilter(QStringLiteral("ID >= 3"));
    rs.Find(QStringLiteral(" ID=1"));
    EXPECT_TRUE(rs.IsEOF());
    rs.MoveFirst();
    rs.Find(QStringLiteral(" ID=4"));
    EXPECT_EQ(rs.AbsolutePosition(), 2);
}
