#include "data/ListRecordset.h"

#include <algorithm>

#include "data/DatabaseClass.h"
#include "platform/AppError.h"
#include "platform/sql/Recordset.h"

ListRecordset::ListRecordset() : recordset_(std::make_shared<platform::Recordset>()) {}
ListRecordset::~ListRecordset() = default;

int32_t ListRecordset::Load(DatabaseClass& database, const QString& sql) {
    int32_t count = 0;
    rt::IgnoreErrors([&] { recordset_ = database.ExecuteRecordsetRepl(sql, 1); });
    rt::IgnoreErrors([&] { count = recordset_->RecordCount(); });
    return count;
}

int16_t ListRecordset::Count() const {
    try {
        if (recordset_ && recordset_->State() == 1)
            return int16_t(std::min<int32_t>(recordset_->RecordCount(), INT16_MAX));
    } catch (const AppError&) {
    }
    return 0;
}

bool ListRecordset::Searchable() const {
    return recordset_ && recordset_->State() == 1 && recordset_->RecordCount() != 0;
}

bool ListRecordset::MoveToItem(int16_t index) {
    if (index < 0 || index > Count() - 1)
        return false;
    try {
        recordset_->MoveFirst();
        recordset_->Move(index);
        return true;
    } catch (const AppError&) {
        return false;
    }
}

bool ListRecordset::FindFirst(const QString& criterion) {
    try {
        recordset_->MoveFirst();
        recordset_->Find(criterion);
        return !recordset_->IsEOF();
    } catch (const AppError&) {
        return false;
    }
}
