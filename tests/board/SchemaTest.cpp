// The statements the order board and start-up run against the point-of-sale
// database, on the schema and demo data of tools/db, through the database
// class on both engines.
#include <gtest/gtest.h>

#include "DataTestSupport.h"
#include "board/ApplicationLog.h"
#include "board/DatabaseMonitor.h"
#include "data/DatabaseClass.h"
#include "platform/sql/Recordset.h"

namespace {

using SchemaTest = DataTest;

// The board's own queries, with two chosen groups and four objects.
QString OrdersQuery(int32_t type) {
    return BuildOrdersQuery(BuildGroupFilter(QStringLiteral("001|002")),
                            BuildObjectFilter({1, 2, 3, 5}), type);
}

const QString kItemsQuery = BuildItemsQuery(QString(), QString());

}  // namespace

TEST_P(SchemaTest, TheBoardsOrderAndItemQueriesRunAndFilterInMemory) {
    DatabaseClass& db = Database();
    auto orders = db.ExecuteRecordset(OrdersQuery(db.ConnectTo()), 1);
    ASSERT_EQ(orders->State(), 1) << LogText().toStdString();
    ASSERT_EQ(orders->RecordCount(), 3);  // the dessert of table 12 is in no chosen group
    QStringList names;
    for (orders->MoveFirst(); !orders->IsEOF(); orders->MoveNext())
        names << orders->Fields(QStringLiteral("ObjName")).ToString();
    // By the object's name on MySQL, elsewhere by the oldest item.
    EXPECT_EQ(names, Backend() == TestBackend::MySql ? (QStringList{"Бар 1", "Маса 1", "Маса 12"})
                                                     : (QStringList{"Маса 1", "Маса 12", "Бар 1"}));

    auto items = db.ExecuteRecordset(kItemsQuery, 1);
    ASSERT_EQ(items->State(), 1) << LogText().toStdString();
    EXPECT_EQ(items->RecordCount(), 7);
    EXPECT_EQ(items->Fields(QStringLiteral("GCODE")).ToString().size(), 6);
    items->SetFilter(
        QStringLiteral(" PartnerID = 1 AND ObjectID = 1 AND OperatorID = 2 AND "
                       "SrcDocID = 0"));
    EXPECT_EQ(items->RecordCount(), 3);
    EXPECT_EQ(items->Fields(QStringLiteral("UserRealTime")).ToDateTime(),
              QDateTime(QDate(2026, 12, 8), QTime(12, 0)));
    items->SetFilter(QString());

    EXPECT_EQ(db.ExecuteNonQuery(QStringLiteral("UPDATE operations SET SrcDocID = -1 WHERE ID = ") +
                                 items->Fields(QStringLiteral("ID")).ToString()),
              1);
    EXPECT_EQ(LogText(), QString());
}

TEST_P(SchemaTest, TheFailedLoginRowIsWritten) {
    DatabaseClass& db = Database();
    const QString message = DatabaseClass::QualifySQL(
        QStringLiteral("Въведена грешна парола за потребител от компютър 'kitchen' (127.0.0.1)"));
    // The station's own statement.
    const QString sql = BuildApplicationLogInsert(message, 0, db.ConnectTo(),
                                                  QDateTime(QDate(2026, 12, 8), QTime(19, 30)));
    EXPECT_EQ(db.ExecuteNonQuery(sql), 1);
    auto rs = db.ExecuteRecordset(QStringLiteral("SELECT * FROM applicationlog"), 1);
    ASSERT_EQ(rs->RecordCount(), 1);
    EXPECT_EQ(rs->Fields(QStringLiteral("Message")).ToString(), message);
    EXPECT_EQ(rs->Fields(QStringLiteral("UserRealTime")).ToDateTime(),
              QDateTime(QDate(2026, 12, 8), QTime(19, 30)));

    // A blank message, or one that cleaning empties, is stored as one blank.
    for (const QString& blank : {QStringLiteral("   "), QStringLiteral("'#'")})
        EXPECT_EQ(db.ExecuteNonQuery(BuildApplicationLogInsert(
                      blank, 0, db.ConnectTo(), QDateTime(QDate(2026, 12, 8), QTime(19, 31)))),
                  1)
            << LogText().toStdString();
    rs = db.ExecuteRecordset(QStringLiteral("SELECT Message FROM applicationlog ORDER BY ID"), 1);
    ASSERT_EQ(rs->RecordCount(), 3);
    for (rs->MoveNext(); !rs->IsEOF(); rs->MoveNext())
        EXPECT_EQ(rs->Fields(QStringLiteral("Message")).ToString(), QStringLiteral(" "));
}

INSTANTIATE_ON_BOTH_DATABASES(SchemaTest);
