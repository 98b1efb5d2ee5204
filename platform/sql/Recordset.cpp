#include "platform/sql/Recordset.h"

#include <sqlite3.h>

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include "platform/AppError.h"
#include "platform/Runtime.h"
#include "platform/sql/Connection.h"
#include "platform/sql/Criteria.h"

namespace platform {
namespace {

[[noreturn]] void Raise(int number, const QString& text, const char* procedure) {
    throw AppError(number, text, QStringLiteral("Recordset.") + QLatin1String(procedure));
}

Variant FromInt64(int64_t n) {
    if (n >= INT32_MIN && n <= INT32_MAX)
        return Variant::FromLong(int32_t(n));
    return Variant::FromDouble(double(n));
}

// Digits at text[at..at+count), or -1.
int Digits(const QString& text, qsizetype at, int count) {
    int value = 0;
    for (int i = 0; i < count; ++i) {
        const QChar c = text[at + i];
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c.unicode() - '0');
    }
    return value;
}

// A stored text of a date or time column becomes a date, as the Access
// provider gives it; a text that is no date stays text. The usual stored
// forms are read by hand: a whole items query holds tens of thousands.
Variant DateFromText(const QString& text) {
    const qsizetype n = text.size();
    if ((n == 10 || n == 19) && text[4] == '-' && text[7] == '-' &&
        (n == 10 || ((text[10] == ' ' || text[10] == 'T') && text[13] == ':' && text[16] == ':'))) {
        const int y = Digits(text, 0, 4), mo = Digits(text, 5, 2), d = Digits(text, 8, 2);
        const int h = n == 19 ? Digits(text, 11, 2) : 0;
        const int mi = n == 19 ? Digits(text, 14, 2) : 0;
        const int se = n == 19 ? Digits(text, 17, 2) : 0;
        const QDate date(y, mo, d);
        if (y >= 1900 && date.isValid() && h >= 0 && h < 24 && mi >= 0 && mi < 60 && se >= 0 &&
            se < 60) {
            static const qint64 epoch = QDate(1899, 12, 30).toJulianDay();
            return Variant::FromDate(double(date.toJulianDay() - epoch) +
                                     (h * 3600 + mi * 60 + se) / 86400.0);
        }
    }
    for (const char* p :
         {"yyyy-MM-dd HH:mm:ss.zzz", "yyyy-MM-dd HH:mm", "yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd"}) {
        const QDateTime when = QDateTime::fromString(text, QLatin1String(p));
        if (when.isValid())
            return Variant::FromDateTime(when);
    }
    return Variant(text);
}

Variant FromQt(const QVariant& v) {
    if (v.isNull())
        return Variant::Null();
    switch (v.metaType().id()) {
        case QMetaType::Bool:
            return Variant(v.toBool());
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Char:
        case QMetaType::SChar:
        case QMetaType::UChar:
        case QMetaType::Int:
            return Variant::FromLong(v.toInt());
        case QMetaType::UInt:
        case QMetaType::Long:
        case QMetaType::LongLong:
        case QMetaType::ULong:
        case QMetaType::ULongLong:
            return FromInt64(v.toLongLong());
        case QMetaType::Float:
        case QMetaType::Double:
            return Variant::FromDouble(v.toDouble());
        case QMetaType::QDateTime:
            return Variant::FromDateTime(v.toDateTime());
        case QMetaType::QDate:
            return Variant::FromDateTime(v.toDate().startOfDay());
        case QMetaType::QTime:
            return Variant::FromDate(v.toTime().msecsSinceStartOfDay() / 86400000.0);
        case QMetaType::QByteArray:
            return Variant(v.toByteArray());
        default:
            return Variant(v.toString());
    }
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
        Raise(kErrObjectClosed,
              QStringLiteral("Operation is not allowed when the object is closed."), "Open");
    Reset();
    try {
        if (connection.Kind() == Backend::Sqlite)
            OpenSqlite(sql, connection);
        else
            OpenOdbc(sql, connection);
    } catch (...) {
        Reset();
        throw;
    }
    for (int i = 0; i < names_.size(); ++i)
        if (!index_.contains(names_[i].toLower()))
            index_.insert(names_[i].toLower(), i);
    cursorType_ = cursorType;
    lockType_ = lockType;
    open_ = true;
}

void Recordset::OpenSqlite(const QString& sql, Connection& connection) {
    sqlite3* db = connection.SqliteHandle();
    const QByteArray text = RewriteDateLiterals(sql).toUtf8();
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, text.constData(), int(text.size()), &stmt, nullptr);
    if (rc != SQLITE_OK || !stmt) {
        if (stmt)
            sqlite3_finalize(stmt);
        Raise(rc == SQLITE_OK ? kErrProviderFailure : sqlite3_extended_errcode(db),
              rc == SQLITE_OK ? QStringLiteral("Command text was not set for the command object.")
                              : QString::fromUtf8(sqlite3_errmsg(db)),
              "Open");
    }
    const int columns = sqlite3_column_count(stmt);
    std::vector<bool> dateColumn(size_t(columns), false);
    for (int i = 0; i < columns; ++i) {
        names_.append(QString::fromUtf8(sqlite3_column_name(stmt, i)));
        const char* decl = sqlite3_column_decltype(stmt, i);
        const QByteArray type = QByteArray(decl ? decl : "").toUpper();
        dateColumn[size_t(i)] = type.contains("DATE") || type.contains("TIME");
    }
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        for (int i = 0; i < columns; ++i) {
            switch (sqlite3_column_type(stmt, i)) {
                case SQLITE_INTEGER:
                    cells_.push_back(FromInt64(sqlite3_column_int64(stmt, i)));
                    break;
                case SQLITE_FLOAT:
                    cells_.push_back(dateColumn[size_t(i)]
                                         ? Variant::FromDate(sqlite3_column_double(stmt, i))
                                         : Variant::FromDouble(sqlite3_column_double(stmt, i)));
                    break;
                case SQLITE_TEXT: {
                    const QString value = QString::fromUtf8(
                        reinterpret_cast<const char*>(sqlite3_column_text(stmt, i)),
                        sqlite3_column_bytes(stmt, i));
                    cells_.push_back(dateColumn[size_t(i)] ? DateFromText(value) : Variant(value));
                    break;
                }
                case SQLITE_BLOB:
                    cells_.push_back(
                        Variant(QByteArray(static_cast<const char*>(sqlite3_column_blob(stmt, i)),
                                           sqlite3_column_bytes(stmt, i))));
                    break;
                default:
                    cells_.push_back(Variant::Null());
            }
        }
        ++rowCount_;
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE)
        Raise(sqlite3_extended_errcode(db), QString::fromUtf8(sqlite3_errmsg(db)), "Open");
}

void Recordset::OpenOdbc(const QString& sql, Connection& connection) {
    QSqlQuery query(QSqlDatabase::database(connection.QtConnectionName(), false));
    query.setForwardOnly(true);
    query.setNumericalPrecisionPolicy(QSql::LowPrecisionDouble);
    if (!query.exec(sql)) {
        const QSqlError error = query.lastError();
        bool ok = false;
        const int native = error.nativeErrorCode().toInt(&ok);
        Raise(ok && native != 0 ? native : kErrProviderFailure,
              error.databaseText().isEmpty() ? error.text() : error.databaseText(), "Open");
    }
    const QSqlRecord record = query.record();
    const int columns = record.count();
    for (int i = 0; i < columns; ++i)
        names_.append(record.fieldName(i));
    while (query.next()) {
        for (int i = 0; i < columns; ++i)
            cells_.push_back(FromQt(query.value(i)));
        ++rowCount_;
    }
    if (query.lastError().isValid()) {
        const QSqlError error = query.lastError();
        Raise(kErrProviderFailure,
              error.databaseText().isEmpty() ? error.text() : error.databaseText(), "Open");
    }
}

void Recordset::Close() {
    RequireOpen("Close");
    open_ = false;
    Reset();
}

void Recordset::RequireOpen(const char* procedure) const {
    if (!open_)
        Raise(kErrObjectClosed,
              QStringLiteral("Operation is not allowed when the object is closed."), procedure);
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
        Raise(kErrItemNotFound,
              QStringLiteral("Item cannot be found in the collection corresponding to the "
                             "requested name or ordinal."),
              "Fields");
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
        Raise(kErrItemNotFound,
              QStringLiteral("Item cannot be found in the collection corresponding to the "
                             "requested name or ordinal."),
              "Fields");
    RequireCurrent("Fields");
    return Row(position_)[index];
}

Variant Recordset::Fields(const QString& name) const {
    RequireOpen("Fields");
    const int index = FieldIndex(name);
    if (index < 0)
        Raise(kErrItemNotFound,
              QStringLiteral("Item cannot be found in the collection corresponding to the "
                             "requested name or ordinal."),
              "Fields");
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
