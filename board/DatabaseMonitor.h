#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/AppError.h"
#include "platform/Variant.h"

// The SQL of mode 2's order board, free of any window: the station's group
// and object filters and the two queries; and the state of the items between
// two polls.

namespace platform {
class Recordset;
}

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
    // The stored text of a quantity that is no number (Qtty is then 0): the
    // grid shows it as it is.
    QString QttyText;
};

// "AND ( goodsgroups.Code LIKE '001%' OR ...)" for the setting "001|...";
// empty for an empty setting. Codes go through QualifySQL.
QString BuildGroupFilter(const QString& goodsGroups);
// "AND operations.ObjectID IN (1,2)" for the objects' IDs; empty for none.
QString BuildObjectFilter(const QList<int32_t>& objectIds);
QString BuildOrdersQuery(const QString& groupFilter, const QString& objectFilter,
                         int32_t databaseType);
QString BuildItemsQuery(const QString& groupFilter, const QString& objectFilter);
// The recordset filter of one order's open items: its three keys, whatever
// their values, and SrcDocID = 0.
QString BuildOrderItemsFilter(const OrderHeader& order);
// The time of an item as its UserRealTime field holds it: a date, or a text
// of a date (see rt::ParseIsoDateTime). NULL, Empty and the zero date are no
// time (an invalid QDateTime). Raises 13 "Type mismatch" for what is no date.
QDateTime ItemTime(const Variant& value);
// The item of the items recordset's current row. A field that cannot be
// read as its kind (a time or a quantity stored as a text that is neither)
// keeps its default, no time or the quantity 0 with the stored text in
// QttyText, and its failure goes to `failure` (the first one only, number and
// text with the field's name); the item is read all the same. Raises only
// for a missing column or an ID that is no number.
OrderItem ReadOrderItem(const platform::Recordset& items, std::optional<AppError>* failure);
// The UPDATE that finishes one item.
QString BuildFinishItemSql(int32_t itemId);

// The items as a poll read them, for the next poll's comparison: ID, GoodID
// and Qtty of every row of the items recordset, in its order.
struct ItemsState {
    struct Row {
        int32_t ID = 0;
        int32_t GoodID = 0;
        Variant Qtty;
    };
    std::vector<Row> Rows;
};
// Reads every row; moves the recordset. Raises the recordset's error for a
// missing column, and a conversion's for an ID or GoodID that is no number.
ItemsState ReadItemsState(platform::Recordset& items);
// Whether the items changed since: an old row whose GoodID or Qtty now
// differs (a quantity compares equal to itself, whatever its binary digits),
// or a row that is new. Rows that disappeared are no change, nor is any row
// when nothing was read before. An ID that names more than one row now
// compares with nothing.
bool ItemsChangedSince(const ItemsState& before, const ItemsState& now);
