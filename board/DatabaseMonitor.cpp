#include "board/DatabaseMonitor.h"

#include <QHash>

#include "data/DatabaseClass.h"
#include "platform/AppError.h"
#include "platform/Runtime.h"
#include "platform/sql/Recordset.h"

namespace {

struct StateColumns {
    int ID, GoodID, Qtty;
};

StateColumns ColumnsOf(const platform::Recordset& items) {
    StateColumns c{items.FieldIndex(QStringLiteral("ID")),
                   items.FieldIndex(QStringLiteral("GoodID")),
                   items.FieldIndex(QStringLiteral("Qtty"))};
    if (c.ID < 0 || c.GoodID < 0 || c.Qtty < 0)
        throw AppError(3265, QStringLiteral("Item cannot be found in the collection corresponding "
                                            "to the requested name or ordinal."));
    return c;
}

// The same quantity read twice is the same value; a value stored in another
// type (a whole number rewritten as a real one) compares by its number, and a
// text by its text.
bool SameQuantity(const Variant& a, const Variant& b) {
    if (a == b)
        return true;
    if (a.IsNumber() && b.IsNumber())
        return a.ToDouble() == b.ToDouble();
    return a.ToString() == b.ToString();
}

}  // namespace

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

QString BuildOrderItemsFilter(const OrderHeader& order) {
    return QStringLiteral(" PartnerID = ") + QString::number(order.PartID) +
           QStringLiteral(" AND ObjectID = ") + QString::number(order.ObjID) +
           QStringLiteral(" AND OperatorID = ") + QString::number(order.UserID) +
           QStringLiteral(" AND SrcDocID = 0");
}

QDateTime ItemTime(const Variant& value) {
    if (value.IsNull() || value.IsEmpty())
        return QDateTime();
    if (value.Type() == VarType::String) {
        if (const std::optional<QDateTime> when = rt::ParseIsoDateTime(value.ToString()))
            return *when;
    }
    return value.ToDateTime();
}

OrderItem ReadOrderItem(const platform::Recordset& items, std::optional<AppError>* failure) {
    OrderItem item;
    item.ID = items.Fields(QStringLiteral("ID")).ToLong();
    item.Name = items.Fields(QStringLiteral("Name")).ToString();
    item.Note = items.Fields(QStringLiteral("Note")).ToString();
    // A field that does not read as its kind is named in the failure; the
    // item stays, so that it is shown and can be finished.
    const auto tolerant = [&](const char* field, auto&& read) {
        const Variant value = items.Fields(QLatin1String(field));
        try {
            read(value);
        } catch (const AppError& e) {
            if (failure && !*failure)
                failure->emplace(e.Number(),
                                 e.Description() + QStringLiteral(" (operations.ID ") +
                                     QString::number(item.ID) + QStringLiteral(", ") +
                                     QLatin1String(field) + QStringLiteral(" '") +
                                     value.ToString() + QStringLiteral("')"),
                                 e.Source());
            return false;
        }
        return true;
    };
    tolerant("GoodID", [&](const Variant& v) { item.GoodID = v.ToLong(); });
    if (!tolerant("Qtty", [&](const Variant& v) { item.Qtty = v.IsNull() ? 0 : v.ToDouble(); }))
        item.QttyText = items.Fields(QStringLiteral("Qtty")).ToString();
    tolerant("UserRealTime", [&](const Variant& v) { item.UserRealTime = ItemTime(v); });
    return item;
}

QString BuildFinishItemSql(int32_t itemId) {
    return QStringLiteral("UPDATE operations SET SrcDocID = -1 WHERE ID = ") +
           QString::number(itemId);
}

ItemsState ReadItemsState(platform::Recordset& items) {
    const StateColumns c = ColumnsOf(items);
    ItemsState state;
    state.Rows.reserve(size_t(items.RecordCount()));
    for (items.MoveFirst(); !items.IsEOF(); items.MoveNext())
        state.Rows.push_back(
            {items.Fields(c.ID).ToLong(), items.Fields(c.GoodID).ToLong(), items.Fields(c.Qtty)});
    return state;
}

bool ItemsChangedSince(const ItemsState& before, const ItemsState& now) {
    if (before.Rows.empty())
        return false;
    struct Seen {
        int Count = 0;
        bool Old = false;
        const ItemsState::Row* Row = nullptr;
    };
    QHash<int32_t, Seen> rows;
    rows.reserve(qsizetype(now.Rows.size()));
    for (const ItemsState::Row& row : now.Rows) {
        Seen& seen = rows[row.ID];
        ++seen.Count;
        seen.Row = &row;
    }
    for (const ItemsState::Row& old : before.Rows) {
        const auto found = rows.find(old.ID);
        if (found == rows.end())
            continue;
        found->Old = true;
        if (found->Count == 1 &&
            (found->Row->GoodID != old.GoodID || !SameQuantity(found->Row->Qtty, old.Qtty)))
            return true;
    }
    for (const Seen& seen : rows)
        if (!seen.Old)
            return true;
    return false;
}
