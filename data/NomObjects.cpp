#include "data/NomObjects.h"

#include <QComboBox>

#include "data/DatabaseClass.h"
#include "platform/AppError.h"
#include "platform/ProgramState.h"
#include "platform/Runtime.h"
#include "platform/sql/Recordset.h"

void NomObjectsItem::Clear() {
    NomListItem::Clear();
    priceGroup_ = 1;
}

NomObjects::NomObjects() = default;
NomObjects::~NomObjects() = default;

int32_t NomObjects::Load(DatabaseClass& database) {
    QString sql;
    switch (database.ConnectTo()) {
        case kDbAccess:
            sql = QStringLiteral(" SELECT IIF(IsNumeric(Code)=0,0,VAL(Code)) AS CodeSort, ");
            break;
        case kDbMsde:
        case kDbSqlServer:
            sql = QStringLiteral(
                " SELECT CASE IsNumeric(Code) WHEN 0 THEN 0 ELSE CAST(Code AS float) END AS "
                "CodeSort, ");
            break;
        case kDbMySql:
            sql = QStringLiteral(" SELECT IF(Code+0=Code=0,0,CAST(Code AS SIGNED)) AS CodeSort, ");
            break;
        case kDbOracle:
            sql = QStringLiteral(
                " SELECT CASE DECODE(TRANSLATE(Code,'x0123456789','x'),null,1,0) WHEN 1 THEN "
                "TO_NUMBER(Code) ELSE 0 END AS CodeSort, ");
            break;
        default:
            break;
    }
    sql += QStringLiteral(" ID, Code, Name, Name2, GroupID, PriceGroup FROM objects ");
    sql += QStringLiteral(" WHERE Deleted<>-1 ");
    sql += QStringLiteral(" ORDER BY IsVeryUsed, 1, Code, Name, Name2");
    return recordset_.Load(database, sql);
}

NomObjectsItem NomObjects::ReadActiveObject() const {
    NomObjectsItem item;
    const platform::Recordset& rs = *recordset_;
    ReadNomListColumns(rs, item);
    rt::IgnoreErrors(
        [&] { item.SetIsVeryUsed(rs.Fields(QStringLiteral("IsVeryUsed")).ToInteger()); });
    rt::IgnoreErrors([&] { item.SetGroupID(rs.Fields(QStringLiteral("GroupID")).ToLong()); });
    rt::IgnoreErrors([&] { item.SetPriceGroup(rs.Fields(QStringLiteral("PriceGroup")).ToLong()); });
    return item;
}

void NomObjects::FillComboBoxRestaurant(QComboBox* combo, int16_t range, bool byCode) {
    platform::Recordset& rs = *recordset_;
    const double width = range == 10 ? 999 : 99;
    const double high = double(range) * 100;
    const double low = high - width;
    rs.MoveFirst();
    combo->clear();
    while (!rs.IsEOF()) {
        const double v = rt::Val(rs.Fields(QStringLiteral("CodeSort")).ToString());
        if (low <= v && v < high) {
            const int32_t data =
                byCode ? rt::CLng(rt::Val(rs.Fields(QStringLiteral("Code")).ToString()))
                       : rs.Fields(QStringLiteral("ID")).ToLong();
            combo->addItem(rs.Fields(QStringLiteral("Name")).ToString(), data);
        } else if (v == high) {
            activeObject_ = FindByID(rs.Fields(QStringLiteral("ID")).ToLong());
        }
        rs.MoveNext();
    }
}

void NomObjects::FillComboBox(QComboBox* combo, int32_t objectId) {
    platform::Recordset& rs = *recordset_;
    rs.MoveFirst();
    combo->clear();
    while (!rs.IsEOF()) {
        combo->addItem(rs.Fields(QStringLiteral("Name")).ToString(),
                       rs.Fields(QStringLiteral("ID")).ToLong());
        rs.MoveNext();
    }
    if (!(activeObject_.ID() != 0 && activeObject_.ID() == objectId))
        activeObject_ = FindByID(objectId);
}

// Neither find searches an empty list or for no object: the current row then
// stays where it was.
NomObjectsItem NomObjects::FindByID(int32_t id) {
    if (!recordset_.Searchable() || id <= 0)
        return NomObjectsItem();
    return FindFirst(QStringLiteral(" ID=") + QString::number(id));
}

NomObjectsItem NomObjects::FindByCode(const QString& code) {
    if (!recordset_.Searchable() || rt::Trim(code).isEmpty())
        return NomObjectsItem();
    return FindFirst(QStringLiteral(" Code='") + code + QStringLiteral("'"));
}

NomObjects& Objects() {
    static NomObjects instance;
    return instance;
}

namespace {
// No list loaded, no active object.
void ResetObjects() {
    platform::RenewInPlace(Objects());
}
[[maybe_unused]] const bool kObjectsResetRegistered = platform::RegisterStateReset(&ResetObjects);
}  // namespace
