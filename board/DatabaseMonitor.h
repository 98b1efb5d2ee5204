#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <cstdint>

// The SQL of mode 2's order board, free of any window: the station's group
// and object filters and the two queries.

struct OrderHeader {
    int32_t ObjID = 0;
    QString ObjName;
    int32_t PartID = 0;
    int32_t UserID = 0;
    QString UserName;
};

struct OrderItem {
    int32_t GoodID = 0;
    QString Name;
    QString Note;
    double Qtty = 0;
    int32_t ID = 0;
    QDateTime UserRealTime;
};

// "AND ( goodsgroups.Code LIKE '001%' OR ...)" for the setting "001|...";
// empty for an empty setting. Codes go through QualifySQL.
QString BuildGroupFilter(const QString& goodsGroups);
// "AND operations.ObjectID IN (1,2)" for the objects' IDs; empty for none.
QString BuildObjectFilter(const QList<int32_t>& objectIds);
QString BuildOrdersQuery(const QString& groupFilter, const QString& objectFilter,
                         int32_t databaseType);
QString BuildItemsQuery(const QString& groupFilter, const QString& objectFilter);
// The UPDATE that finishes one item.
QString BuildFinishItemSql(int32_t itemId);
