#include "data/NomList.h"

#include "platform/AppError.h"
#include "platform/sql/Recordset.h"

void NomListItem::Clear() {
    id_ = 0;
    code_.clear();
    name_.clear();
    name2_.clear();
    isVeryUsed_ = 0;
    groupID_ = 1;
}

void ReadNomListColumns(const platform::Recordset& row, NomListItem& item) {
    rt::IgnoreErrors([&] { item.SetID(row.Fields(QStringLiteral("ID")).ToLong()); });
    rt::IgnoreErrors([&] { item.SetCode(row.Fields(QStringLiteral("Code")).ToString()); });
    rt::IgnoreErrors([&] { item.SetName(row.Fields(QStringLiteral("Name")).ToString()); });
    rt::IgnoreErrors([&] { item.SetName2(row.Fields(QStringLiteral("Name2")).ToString()); });
}
