#include "platform/sql/Recordset.h"

#include "platform/AppError.h"
#include "platform/sql/Connection.h"
#include "platform/sql/Criteria.h"
#include "platform/sql/SqlBackend.h"

namespace platform {
namespace {

[[noreturn]] void Raise(int number, const QString& text, const char* procedure) {
    throw AppError(number, text, QStringLiteral("Recordset.") + QLatin1String(procedure));
}

[[noreturn]] void RaiseClosed(const char* procedure) {
    throw AppError::ObjectClosed(QStringLiteral("Recordset.") + QLatin1String(procedure));
}

[[noreturn]] void RaiseItemNotFound() {
    Raise(kErrItemNotFound,
          QStringLiteral("Item cannot be found in the collection corresponding to the requested "
                         "name or ordinal."),
          "Fields");
}

}  // namespace

void Recordset::Reset() {
    names_.clear();
    index_.clear();
    cells_.clear();
    rowCount_ = 0;
    filtered_ = false;
    view_.clear();
    position_ = 0;
    filter_.clear();
}

void Recordset::Open(const QString& sql, Connection& connection, int cursorType, int lockType) {
    if (open_)
        Raise(kErrObjectOpen, QStringLiteral("Operation is not allowed when the object is open."),
              "Open");
    if (connection.State() != kStateOpen)
        RaiseClosed("Open");
    Reset();
    QueryRows rows = connection.Engine().Select(sql);
    names_ = std::move(rows.names);
    cells_ = std::move(rows.cells);
    rowCount_ = rows.rowCount;
    for (int i = 0; i < names_.size(); ++i)
        if (!index_.contains(names_[i].toLower()))
            index_.insert(names_[i].toLower(), i);
    cursorType_ = cursorType;
    lockType_ = lockType;
    open_ = true;
}

void Recordset::Close() {
    RequireOpen("Close");
    open_ = false;
    Reset();
}

void Recordset::RequireOpen(const char* procedure) const {
    if (!open_)
        RaiseClosed(procedure);
}

void Recordset::RequireCurrent(const char* procedure) const {
    RequireOpen(procedure);
    if (IsBOF() || IsEOF())
        Raise(kErrNoCurrentRecord,
              QStringLiteral("Either BOF or EOF is True, or the current record has been deleted. "
                             "Requested operation requires a current record."),
              procedure);
}

int32_t Recordset::RecordCount() const {
    RequireOpen("RecordCount");
    return ViewSize();
}

bool Recordset::IsBOF() const {
    RequireOpen("BOF");
    return position_ < 0 || ViewSize() == 0;
}

bool Recordset::IsEOF() const {
    RequireOpen("EOF");
    return position_ >= ViewSize();
}

void Recordset::MoveFirst() {
    RequireOpen("MoveFirst");
    position_ = 0;
}

void Recordset::MoveLast() {
    RequireOpen("MoveLast");
    position_ = ViewSize() == 0 ? 0 : ViewSize() - 1;
}

void Recordset::MoveNext() {
    RequireOpen("MoveNext");
    if (IsEOF())
        RequireCurrent("MoveNext");
    ++position_;
}

void Recordset::MovePrevious() {
    RequireOpen("MovePrevious");
    if (position_ < 0 || ViewSize() == 0)
        RequireCurrent("MovePrevious");
    --position_;
}

void Recordset::Move(int32_t rows) {
    RequireOpen("Move");
    const int64_t target = int64_t(position_) + rows;
    if ((rows > 0 && IsEOF()) || (rows < 0 && (position_ < 0 || ViewSize() == 0)))
        RequireCurrent("Move");
    position_ = int32_t(std::clamp<int64_t>(target, -1, ViewSize()));
}

int32_t Recordset::AbsolutePosition() const {
    RequireOpen("AbsolutePosition");
    if (IsEOF())
        return -3;
    if (IsBOF())
        return -2;
    return position_ + 1;
}

int Recordset::FieldCount() const {
    RequireOpen("Fields");
    return int(names_.size());
}

QString Recordset::FieldName(int index) const {
    RequireOpen("Fields");
    if (index < 0 || index >= names_.size())
        RaiseItemNotFound();
    return names_[index];
}

int Recordset::FieldIndex(const QString& name) const {
    return index_.value(name.toLower(), -1);
}

const Variant* Recordset::Row(int32_t viewIndex) const {
    const int32_t row = filtered_ ? view_[size_t(viewIndex)] : viewIndex;
    return cells_.data() + size_t(row) * size_t(names_.size());
}

Variant Recordset::Fields(int index) const {
    RequireOpen("Fields");
    if (index < 0 || index >= names_.size())
        RaiseItemNotFound();
    RequireCurrent("Fields");
    return Row(position_)[index];
}

Variant Recordset::Fields(const QString& name) const {
    RequireOpen("Fields");
    const int index = FieldIndex(name);
    if (index < 0)
        RaiseItemNotFound();
    return Fields(index);
}

void Recordset::SetFilter(const QString& criteria) {
    RequireOpen("Filter");
    filter_ = criteria;
    position_ = 0;
    if (criteria.trimmed().isEmpty()) {
        filtered_ = false;
        view_.clear();
        return;
    }
    const auto parsed =
        Criteria::Parse(criteria, [this](const QString& name) { return FieldIndex(name); });
    filtered_ = true;
    view_.clear();
    if (!parsed)
        return;
    const size_t width = size_t(names_.size());
    for (int32_t row = 0; row < rowCount_; ++row)
        if (parsed->Matches(cells_.data() + size_t(row) * width))
            view_.push_back(row);
}

void Recordset::Find(const QString& criteria, int32_t skipRecords, int searchDirection) {
    RequireOpen("Find");
    const auto parsed = Criteria::Parse(
        criteria, [this](const QString& name) { return FieldIndex(name); }, true);
    const int32_t size = ViewSize();
    const int step = searchDirection < 0 ? -1 : 1;
    const int32_t notFound = step > 0 ? size : -1;
    if (!parsed) {
        position_ = notFound;
        return;
    }
    int64_t at = int64_t(position_) + int64_t(step) * skipRecords;
    if (step > 0 && at < 0)
        at = 0;
    if (step < 0 && at >= size)
        at = size - 1;
    for (; at >= 0 && at < size; at += step) {
        if (parsed->Matches(Row(int32_t(at)))) {
            position_ = int32_t(at);
            return;
        }
    }
    position_ = notFound;
}

}  // namespace platform
