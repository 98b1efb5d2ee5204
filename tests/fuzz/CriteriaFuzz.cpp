// Recordset Filter and Find criteria on a real SQLite recordset; the input is
// taken as UTF-8.
//
// Invariants: a criterion either parses, fails quietly (no row), or raises
// AppError 3265 for an unknown field; the filtered view is a subsequence of
// the rows; Find forward from the first row and backward from the last finds
// the first and the last row of that view, or nothing when the criterion
// joins comparisons; the input quoted as a text value, apostrophes doubled,
// selects exactly the rows whose name equals it, whatever it holds.
#include <sqlite3.h>

#include <QDir>
#include <vector>

#include "FuzzSupport.h"
#include "platform/AppError.h"
#include "platform/sql/Connection.h"
#include "platform/sql/Recordset.h"

using platform::Recordset;

namespace {

// Names of the rows, row i has ID i + 1; the last row's name is NULL.
const char* const kNames[] = {"Soup", "soup", "Шопска салата",       "O'Brien", "a''b",
                              "%",    "",     "x = 1 OR Code <> ''", nullptr};
constexpr int kRows = int(sizeof kNames / sizeof kNames[0]);

struct Table {
    platform::Connection connection;
    Recordset rs;
};

Table& TheTable() {
    static Table* table = [] {
        const QString path = fuzz::Init() + QStringLiteral("/criteria.db");
        sqlite3* db = nullptr;
        sqlite3_open(path.toUtf8().constData(), &db);
        sqlite3_exec(db,
                     "CREATE TABLE goods (ID INTEGER, Code TEXT, Name TEXT, Price REAL, "
                     "Qtty INTEGER, Made DATETIME)",
                     nullptr, nullptr, nullptr);
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db, "INSERT INTO goods VALUES (?, ?, ?, ?, ?, ?)", -1, &insert, nullptr);
        for (int i = 0; i < kRows; ++i) {
            const QByteArray code = QByteArray::number(i * 7 % 5);
            sqlite3_bind_int(insert, 1, i + 1);
            sqlite3_bind_text(insert, 2, code.constData(), -1, SQLITE_TRANSIENT);
            if (kNames[i])
                sqlite3_bind_text(insert, 3, kNames[i], -1, SQLITE_STATIC);
            else
                sqlite3_bind_null(insert, 3);
            sqlite3_bind_double(insert, 4, i * 1.25 - 2);
            sqlite3_bind_int(insert, 5, i % 3);
            sqlite3_bind_text(insert, 6, i % 2 ? "2026-03-01 12:00:00" : "2025-12-31", -1,
                              SQLITE_STATIC);
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        sqlite3_close(db);
        auto* t = new Table;
        t->connection.Open(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + path);
        t->rs.Open(QStringLiteral("SELECT * FROM goods"), t->connection);
        FUZZ_CHECK(t->rs.RecordCount() == kRows, QString::number(t->rs.RecordCount()));
        return t;
    }();
    return *table;
}

// The IDs of the view, first to last.
std::vector<int> ViewIds(Recordset& rs) {
    std::vector<int> ids;
    if (rs.RecordCount() == 0)
        return ids;
    for (rs.MoveFirst(); !rs.IsEOF(); rs.MoveNext())
        ids.push_back(rs.Fields(QStringLiteral("ID")).ToLong());
    FUZZ_CHECK(int(ids.size()) == rs.RecordCount(), QString::number(ids.size()));
    return ids;
}

// The filtered view's IDs; nullopt when the criterion names an unknown field.
std::optional<std::vector<int>> Filtered(Recordset& rs, const QString& criteria) {
    try {
        rs.SetFilter(criteria);
    } catch (const AppError& e) {
        FUZZ_CHECK(e.Number() == platform::kErrItemNotFound, e.Description());
        rs.SetFilter(QString());
        return std::nullopt;
    }
    std::vector<int> ids = ViewIds(rs);
    rs.SetFilter(QString());
    return ids;
}

// The ID Find stops at, searching the whole table in one direction; 0 when
// it finds nothing, -1 for an unknown field.
int Found(Recordset& rs, const QString& criteria, int direction) {
    try {
        if (direction > 0)
            rs.MoveFirst();
        else
            rs.MoveLast();
        rs.Find(criteria, 0, direction);
    } catch (const AppError& e) {
        FUZZ_CHECK(e.Number() == platform::kErrItemNotFound, e.Description());
        return -1;
    }
    if (rs.IsEOF() || rs.IsBOF())
        return 0;
    return rs.Fields(QStringLiteral("ID")).ToLong();
}

QString Ids(const std::vector<int>& ids) {
    QStringList parts;
    for (int id : ids)
        parts << QString::number(id);
    return parts.join(',');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Table& t = TheTable();
    Recordset& rs = t.rs;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));

    if (text.trimmed().isEmpty()) {
        // No criterion: the filter shows every row again, Find finds nothing.
        FUZZ_CHECK(Filtered(rs, text)->size() == size_t(kRows), text);
        FUZZ_CHECK(Found(rs, text, 1) == 0, text);
    } else if (const auto ids = Filtered(rs, text)) {
        const QString detail = text + QStringLiteral(" -> ") + Ids(*ids);
        for (size_t i = 0; i < ids->size(); ++i)
            FUZZ_CHECK(
                (*ids)[i] >= 1 && (*ids)[i] <= kRows && (i == 0 || (*ids)[i] > (*ids)[i - 1]),
                detail);
        const int first = Found(rs, text, 1);
        const int last = Found(rs, text, -1);
        if (ids->empty() || first <= 0) {
            const bool joined = text.contains(QLatin1String("and"), Qt::CaseInsensitive) ||
                                text.contains(QLatin1String("or"), Qt::CaseInsensitive);
            FUZZ_CHECK(first == 0 && last == 0 && (ids->empty() || joined), detail);
        } else {
            FUZZ_CHECK(first == ids->front() && last == ids->back(), detail);
        }
    }

    QString quoted = text;
    quoted.replace('\'', QLatin1String("''"));
    const QString criteria = QStringLiteral("Name = '") + quoted + '\'';
    std::vector<int> expected;
    for (int i = 0; i < kRows; ++i) {
        if (kNames[i] && QString::fromUtf8(kNames[i]).compare(text, Qt::CaseInsensitive) == 0)
            expected.push_back(i + 1);
    }
    const auto ids = Filtered(rs, criteria);
    FUZZ_CHECK(ids && *ids == expected,
               criteria + QStringLiteral(" -> ") + Ids(ids.value_or(std::vector<int>{})));
    FUZZ_CHECK(Found(rs, criteria, 1) == (expected.empty() ? 0 : expected.front()), criteria);
    return 0;
}
