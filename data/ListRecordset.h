#pragma once

#include <QString>
#include <cstdint>
#include <memory>

class DatabaseClass;
namespace platform {
class Recordset;
}

// The read-only recordset under a list class (objects, users): read once
// through the local-server connection and kept open for the run. A list never
// loaded, or whose load failed, holds a closed recordset: Count answers 0 and
// every move or find answers false. Every operation but Count moves the
// current row.
class ListRecordset final {
public:
    ListRecordset();
    ~ListRecordset();

    // Replaces the rows with the query's; the row count, 0 when the query
    // failed (DatabaseClass has recorded why).
    int32_t Load(DatabaseClass& database, const QString& sql);
    // RecordCount while open (at most the 16-bit limit), else 0.
    int16_t Count() const;
    // Open and holding at least one row.
    bool Searchable() const;
    // To the row at a 0-based index; false outside 0..Count - 1.
    bool MoveToItem(int16_t index);
    // To the first row satisfying the criterion; false when none does or the
    // search fails.
    bool FindFirst(const QString& criterion);

    platform::Recordset* operator->() const { return recordset_.get(); }
    platform::Recordset& operator*() const { return *recordset_; }

private:
    std::shared_ptr<platform::Recordset> recordset_;
};
