#include "board/DatabaseMonitor.h"

#include <QHash>
#include <algorithm>

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

// The whole number a field of a saved line holds, as CLng reads it; plain
// digits, all the saved lines hold, are read without a copy.
int32_t LongOf(QStringView text) {
    bool ok = false;
    const int32_t n = text.toInt(&ok);
    return ok ? n : rt::CLng(text.toString());
}

bool Blank(QStringView line) {
    return std::all_of(line.begin(), line.end(), [](QChar c) { return c == ' '; });
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

QString SaveItemsState(platform::Recordset& items) {
    const StateColumns c = ColumnsOf(items);
    QString state;
    state.reserve(items.RecordCount() * 24);
    for (items.MoveFirst(); !items.IsEOF(); items.MoveNext()) {
        state += items.Fields(c.ID).ToString();
        state += '|';
        state += items.Fields(c.GoodID).ToString();
        state += '|';
        state += items.Fields(c.Qtty).ToString();
        state += QLatin1String("\r\n");
    }
    return state;
}

bool ItemsChangedSince(const QString& oldState, platform::Recordset& items) {
    const StateColumns c = ColumnsOf(items);
    // The re-read rows by ID, counted: an ID that does not name exactly one
    // row compares with nothing.
    struct Row {
        int Count = 0;
        bool Old = false;
        Variant GoodID;
        Variant Qtty;
    };
    QHash<int32_t, Row> rows;
    rows.reserve(items.RecordCount());
    for (items.MoveFirst(); !items.IsEOF(); items.MoveNext()) {
        Row& row = rows[items.Fields(c.ID).ToLong()];
        ++row.Count;
        row.GoodID = items.Fields(c.GoodID);
        row.Qtty = items.Fields(c.Qtty);
    }
    bool anyLine = false;
    for (const QStringView line : QStringView(oldState).split(QStringView(u"\r\n"))) {
        if (Blank(line))
            continue;
        anyLine = true;
        const QList<QStringView> f = line.split('|');
        const auto found = rows.find(LongOf(f.value(0)));
        if (found == rows.end())
            continue;
        found->Old = true;
        if (found->Count == 1 &&
            (found->GoodID.ToLong() != LongOf(f.value(1)) || found->Qtty.ToString() != f.value(2)))
            return true;
    }
    if (!anyLine)
        return false;
    for (const Row& row : rows)
        if (!row.Old)
            return true;
    return false;
}
