#pragma once

#include <QString>
#include <cstdint>

#include "data/ListRecordset.h"

class ErrorController;
namespace platform {
class Recordset;
}

// What every list item (an object, a user) holds, with the values Clear gives
// it: ID 0 (no item), empty texts, IsVeryUsed 0, GroupID 1. An item is a plain
// value: lists hand out copies.
class NomListItem {
public:
    int32_t ID() const { return id_; }
    void SetID(int32_t v) { id_ = v; }
    QString Code() const { return code_; }
    void SetCode(const QString& v) { code_ = v; }
    QString Name() const { return name_; }
    void SetName(const QString& v) { name_ = v; }
    QString Name2() const { return name2_; }
    void SetName2(const QString& v) { name2_ = v; }
    int16_t IsVeryUsed() const { return isVeryUsed_; }
    void SetIsVeryUsed(int16_t v) { isVeryUsed_ = v; }
    int32_t GroupID() const { return groupID_; }
    void SetGroupID(int32_t v) { groupID_ = v; }

protected:
    NomListItem() = default;
    // Back to the values above; each kind of item clears its own values after.
    void Clear();

private:
    int32_t id_ = 0;
    QString code_;
    QString name_;
    QString name2_;
    int16_t isVeryUsed_ = 0;
    int32_t groupID_ = 1;
};

// Sets the item's ID, Code, Name and Name2 from the columns of those names in
// the current row; a column that cannot be read (a NULL, a missing column)
// leaves the item's value as it was.
void ReadNomListColumns(const platform::Recordset& row, NomListItem& item);

// A list of items read once from the database into a read-only recordset that
// stays open for the run. Items are 0-based; Item and every find return a new
// item (ID 0 when there is none) read by the list's own row reader, and move
// the list's current row. A list whose load failed answers Count 0 and only
// empty items. The list records nothing itself: failures of its query are
// recorded by DatabaseClass. Used on the user-interface thread only.
template <class TItem>
class NomList {
public:
    NomList(const NomList&) = delete;
    NomList& operator=(const NomList&) = delete;

    void SetErrorLogging(ErrorController* log) { errorLogging_ = log; }

    int16_t Count() const { return recordset_.Count(); }
    // The item of the row at the index; an empty item outside 0..Count - 1.
    TItem Item(int16_t index) { return recordset_.MoveToItem(index) ? ReadItem() : TItem(); }

protected:
    NomList() = default;
    ~NomList() = default;

    // A new item read from the current row.
    virtual TItem ReadItem() const = 0;
    // The item of the first row satisfying the criterion; an empty item when
    // none does or the search fails.
    TItem FindFirst(const QString& criterion) {
        return recordset_.FindFirst(criterion) ? ReadItem() : TItem();
    }

    ListRecordset recordset_;
    ErrorController* errorLogging_ = nullptr;
};
