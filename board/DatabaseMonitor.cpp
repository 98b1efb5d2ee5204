#include "board/DatabaseMonitor.h"

#include "data/DatabaseClass.h"
#include "platform/Runtime.h"

QString BuildGroupFilter(const QString& goodsGroups) {
    const QString setting = rt::Trim(goodsGroups);
    if (setting.isEmpty())
        return QString();
    QStringList terms;
    for (const QString& code : setting.split('|')) {
        if (code.isEmpty())
            continue;
        // A code is the setting's own text; QualifySQL keeps an apostrophe
        // from ending the literal.
        terms.append(QStringLiteral(" goodsgroups.Code LIKE '") + DatabaseClass::QualifySQL(code) +
                     QStringLiteral("%'"));
    }
    if (terms.isEmpty())
        return QString();
    return QStringLiteral("AND (") + terms.join(QStringLiteral(" OR")) + QStringLiteral(")");
}

QString BuildObjectFilter(const QList<int32_t>& objectIds) {
    if (objectIds.isEmpty())
        return QString();
    QStringList ids;
    for (int32_t id : objectIds)
        ids.append(QString::number(id));
    return QStringLiteral("AND operations.ObjectID IN (") + ids.join(',') + QStringLiteral(")");
}

QString BuildOrdersQuery(const QString& groupFilter, const QString& objectFilter,
                         int32_t databaseType) {
    return QStringLiteral("SELECT objects.ID AS ObjID, objects.name AS ObjName, ") +
           QStringLiteral(" partners.ID AS PartID, partners.Company, ") +
           QStringLiteral(" users.ID AS UserID, users.Name AS UserName ") +
           QStringLiteral(" FROM operations, objects, partners, users, goods, goodsgroups ") +
           QStringLiteral(" WHERE operations.ObjectID = objects.ID ") +
           QStringLiteral(" AND operations.PartnerID = partners.ID ") +
           QStringLiteral(" AND operations.OperatorID = users.ID ") +
           QStringLiteral(" AND operations.GoodID = goods.ID ") +
           QStringLiteral(" AND goods.GroupID = goodsgroups.ID ") + groupFilter + objectFilter +
           QStringLiteral(" AND operations.Opertype=") + QString::number(33) +
           QStringLiteral(" AND operations.Acct=0 ") +
           QStringLiteral(" AND operations.SrcDocID=0 ") +
           QStringLiteral(
               " GROUP BY objects.ID, objects.name, partners.ID, partners.Company, users.ID, "
               "users.Name ") +
           (databaseType == 2 ? QStringLiteral(" ORDER BY objects.name ")
                              : QStringLiteral(" ORDER BY Min(operations.ID)"));
}

QString BuildItemsQuery(const QString& groupFilter, const QString& objectFilter) {
    return QStringLiteral("SELECT operations.ID, operations.GoodID, operations.UserRealTime, ") +
           QStringLiteral(" operations.PartnerID, operations.ObjectID, operations.OperatorID, ") +
           QStringLiteral(
               " goods.Measure1, goods.Name, goods.Name2, goods.Code, operations.SrcDocID, ") +
           QStringLiteral(" goodsgroups.Code AS GCODE, operations.Qtty, operations.Note ") +
           QStringLiteral(" FROM operations, goods, goodsgroups") +
           QStringLiteral(" WHERE operations.GoodID = goods.ID ") +
           QStringLiteral(" AND goods.GroupID= goodsgroups.ID ") + groupFilter + objectFilter +
           QStringLiteral(" AND operations.Opertype=") + QString::number(33) +
           QStringLiteral(" AND operations.Acct=0") +
           QStringLiteral(" ORDER BY operations.SrcDocID DESC, operations.ID");
}

QString BuildFinishItemSql(int32_t itemId) {
    return QStringLiteral("UPDATE operations SET SrcDocID = -1 WHERE ID = ") +
           QString::number(itemId);
}
