#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

#include "platform/Variant.h"

namespace platform {

class Connection;

// A static, client-side, read-only copy of a query's result, with ADO's
// navigation: a current row between BOF and EOF, fields by name (compared
// without regard to case) or by index, and Filter and Find evaluated in
// memory. Opening copies every row; the connection is not needed afterwards.
//
// Operations on a closed recordset raise AppError 3704; reading a field or
// moving past the ends raises 3021; an unknown field name raises 3265.
class Recordset final {
public:
    Recordset() = default;

    // Runs the query on the connection and keeps its rows; raises the
    // provider's error and stays closed when the query fails.
    void Open(const QString& sql, Connection& connection, int cursorType = 3, int lockType = 1);
    void Close();
    int State() const { return open_ ? 1 : 0; }
    int CursorType() const { return cursorType_; }
    int LockType() const { return lockType_; }

    // Rows of the current view (the filtered rows while a filter is set).
    int32_t RecordCount() const;
    bool IsBOF() const;
    bool IsEOF() const;
    void MoveFirst();
    void MoveLast();
    void MoveNext();
    void MovePrevious();
    void Move(int32_t rows);
    // 1-based position in the view; -2 at BOF, -3 at EOF.
    int32_t AbsolutePosition() const;

    int FieldCount() const;
    QString FieldName(int index) const;
    // -1 when there is no such field.
    int FieldIndex(const QString& name) const;
    Variant Fields(const QString& name) const;
    Variant Fields(int index) const;

    // Restricts the view to the rows that satisfy the criterion and moves to
    // the first of them; an empty text shows every row again. A criterion
    // that does not parse shows no row.
    QString Filter() const { return filter_; }
    void SetFilter(const QString& criteria);

    // Searches the view for the next row satisfying a single comparison,
    // starting at the current row after skipping `skipRecords` rows, forward
    // (direction 1) or backward (-1). Not found: EOF (forward) or BOF. A
    // criterion that does not parse, or joins comparisons, finds nothing: a
    // value that breaks out of its quotes cannot widen the search.
    void Find(const QString& criteria, int32_t skipRecords = 0, int searchDirection = 1);

private:
    void RequireOpen(const char* procedure) const;
    void RequireCurrent(const char* procedure) const;
    const Variant* Row(int32_t viewIndex) const;
    void Reset();

    bool open_ = false;
    int cursorType_ = 0;
    int lockType_ = 1;
    QStringList names_;
    QHash<QString, int> index_;   // lower-cased name -> column
    std::vector<Variant> cells_;  // row-major
    int32_t rowCount_ = 0;
    bool filtered_ = false;
    std::vector<int32_t> view_;  // rows of the view while filtered_
    int32_t position_ = 0;       // -1 BOF, ViewSize() EOF
    QString filter_;

    int32_t ViewSize() const { return filtered_ ? int32_t(view_.size()) : rowCount_; }
};

}  // namespace platform
