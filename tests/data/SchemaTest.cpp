// The statements the order board and start-up run against the point-of-sale
// database, on the schema and demo data of tools/db, through the database
// class on both engines.
#include <gtest/gtest.h>

#include "DataTestSupport.h"
#include "data/DatabaseClass.h"
#include "platform/sql/Recordset.h"

namespace {

using SchemaTest = DataTest;

QString OrdersQuery(int32_t type) {
    return QStringLiteral("SELECT objects.ID AS ObjID, objects.name AS ObjName, ") +
           QStringLiteral(" partners.ID AS PartID, partners.Company, ") +
           QStringLiteral(" users.ID AS UserID, users.Name AS UserName ") +
           QStringLiteral(" FROM operations, objects, partners, users, goods, goodsgroups ") +
           QStringLiteral(" WHERE operations.ObjectID = objects.ID ") +
           QStringLiteral(" AND operations.PartnerID = partners.ID ") +
           QStringLiteral(" AND operations.OperatorID = users.ID ") +
           QStringLiteral(" AND operations.GoodID = goods.ID ") +
           QStringLiteral(" AND goods.GroupID = goodsgroups.ID ") +
           QStringLiteral("AND ( goodsgroups.Code LIKE '001%' OR goodsgroups.Code LIKE '002%')") +
           QStringLiteral("AND operations.ObjectID IN (1,2,3,5)") +
           QStringLiteral(" AND operations.Opertype=33") +
           QStringLiteral(" AND operations.Acct=0 ") +
           QStringLiteral(" AND operations.SrcDocID=0 ") +
           QStringLiteral(
               " GROUP BY objects.ID, objects.name, partners.ID, partners.Company, "
               "users.ID, users.Name ") +
           (type == kDbMySql ? QStringLiteral(" ORDER BY objects.name ")
                             : QStringLiteral(" ORDER BY Min(operations.ID)"));
}

const QString kItemsQuery =
    QStringLiteral("SELECT operations.ID, operations.GoodID, operations.UserRealTime, ") +
    QStringLiteral(" operations.PartnerID, operations.ObjectID, operations.OperatorID, ") +
    QStringLiteral(" goods.Measure1, goods.Name, goods.Name2, goods.Code, operations.SrcDocID, ") +
    QStringLiteral(" goodsgroups.Code AS GCODE, operations.Qtty, operations.Note ") +
    QStringLiteral(" FROM operations, goods, goodsgroups") +
    QStringLiteral(" WHERE operations.GoodID = goods.ID ") +
    QStringLiteral(" AND goods.GroupID= goodsgroups.ID ") +
    QStringLiteral(" AND operations.Opertype=33") + QStringLiteral(" AND operations.Acct=0") +
    QStringLiteral(" ORDER BY operations.SrcDocID DESC, operations.ID");

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
    const QString sql = QStringLiteral(
                            " INSERT INTO applicationlog (Message, MessageSource, UserID, "
                            "UserRealTime) ") +
                        QStringLiteral(" VALUES (") + QStringLiteral("'") + message +
                        QStringLiteral("', ") + QStringLiteral("'") +
                        DatabaseClass::QualifySQL(QStringLiteral("Quillbarrow Kestrelle")) +
                        QStringLiteral("', ") + QStringLiteral(" 0, ") +
                        QStringLiteral("'2026-12-08 19:30:00' ") + QStringLiteral(")");
    EXPECT_EQ(db.ExecuteNonQuery(sql), 1);
    auto rs = db.ExecuteRecordset(QStringLiteral("SELECT * FROM applicationlog"), 1);
    ASSERT_EQ(rs->RecordCount(), 1);
    EXPECT_EQ(rs->Fields(QStringLiteral("Message")).ToString(), message);
    EXPECT_EQ(rs->Fields(QStringLiteral("UserRealTime")).ToDateTime(),
              QDateTime(QDate(2026, 12, 8), QTime(19, 30)));
}

INSTANTIATE_ON_BOTH_DATABASES(SchemaTest);
