// The file database on SQLite: the Access functions its SQL calls, Access date
// literals, and the reading of stored dates.
#include <sqlite3.h>
#include <sys/stat.h>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>

#include "platform/Runtime.h"
#include "platform/sql/Connection.h"
#include "platform/sql/SqlBackend.h"

namespace platform {
namespace {

const QString kSelectSource = QStringLiteral("Recordset.Open");

// The access functions the station's Access-dialect SQL calls, on SQLite.
QString ArgText(sqlite3_value* v) {
    const unsigned char* t = sqlite3_value_text(v);
    return t ? QString::fromUtf8(reinterpret_cast<const char*>(t), sqlite3_value_bytes(v))
             : QString();
}

void FnIsNumeric(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const int type = sqlite3_value_type(argv[0]);
    bool numeric = type == SQLITE_INTEGER || type == SQLITE_FLOAT;
    if (type == SQLITE_TEXT)
        numeric = rt::IsNumeric(ArgText(argv[0]));
    sqlite3_result_int(ctx, numeric ? -1 : 0);
}

void FnVal(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const int type = sqlite3_value_type(argv[0]);
    if (type == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const double value = type == SQLITE_TEXT || type == SQLITE_BLOB ? rt::Val(ArgText(argv[0]))
                                                                    : sqlite3_value_double(argv[0]);
    sqlite3_result_double(ctx, value);
}

void FnLen(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    sqlite3_result_int(ctx, int(ArgText(argv[0]).size()));
}

void FnNow(sqlite3_context* ctx, int, sqlite3_value**) {
    const QByteArray text = rt::Now().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8();
    sqlite3_result_text(ctx, text.constData(), int(text.size()), SQLITE_TRANSIENT);
}

void RegisterFunctions(sqlite3* db) {
    const int flags = SQLITE_UTF8;
    sqlite3_create_function_v2(db, "IsNumeric", 1, flags | SQLITE_DETERMINISTIC, nullptr,
                               FnIsNumeric, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "VAL", 1, flags | SQLITE_DETERMINISTIC, nullptr, FnVal, nullptr,
                               nullptr, nullptr);
    sqlite3_create_function_v2(db, "len", 1, flags | SQLITE_DETERMINISTIC, nullptr, FnLen, nullptr,
                               nullptr, nullptr);
    sqlite3_create_function_v2(db, "NOW", 0, flags, nullptr, FnNow, nullptr, nullptr, nullptr);
}

bool IsJetFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(32);
    return head.size() >= 19 && head.startsWith(QByteArray("\x00\x01\x00\x00", 4)) &&
           (head.mid(4, 15) == "Standard Jet DB" || head.mid(4, 15) == "Standard ACE DB");
}

// A stored text of a date or time column becomes a date, as the Access
// provider gives it; a text that is no date stays text. The usual stored
// forms are read by hand: a whole items query holds tens of thousands.
Variant DateFromText(const QString& text) {
    const qsizetype n = text.size();
    if ((n == 10 || n == 19) && text[4] == '-' && text[7] == '-' &&
        (n == 10 || ((text[10] == ' ' || text[10] == 'T') && text[13] == ':' && text[16] == ':'))) {
        const int y = rt::DigitsAt(text, 0, 4), mo = rt::DigitsAt(text, 5, 2),
                  d = rt::DigitsAt(text, 8, 2);
        const int h = n == 19 ? rt::DigitsAt(text, 11, 2) : 0;
        const int mi = n == 19 ? rt::DigitsAt(text, 14, 2) : 0;
        const int se = n == 19 ? rt::DigitsAt(text, 17, 2) : 0;
        const QDate date(y, mo, d);
        if (y >= 1900 && date.isValid() && h >= 0 && h < 24 && mi >= 0 && mi < 60 && se >= 0 &&
            se < 60) {
            static const qint64 epoch = QDate(1899, 12, 30).toJulianDay();
            return Variant::FromDate(double(date.toJulianDay() - epoch) +
                                     (h * 3600 + mi * 60 + se) / 86400.0);
        }
    }
    // Fractions of a second, the "T" form, a zone; the zero date that some
    // point-of-sale programs write for "no time" is no time.
    if (const std::optional<QDateTime> when = rt::ParseIsoDateTime(text))
        return when->isValid() ? Variant::FromDateTime(*when) : Variant::Null();
    return Variant(text);
}

class SqliteBackend final : public SqlBackend {
public:
    using SqlBackend::SqlBackend;

    void Open(const ConnectionTarget& target) override;
    int64_t Execute(const QString& sql, int timeoutSeconds) override;
    QueryRows Select(const QString& sql) override;
    bool ReachesItsDatabase() const override;

private:
    sqlite3* Handle() const;

    QString path_;
    // The identity of the file opened: a restore or a sync tool that renames
    // a new copy over it leaves this session on the old, unlinked file.
    dev_t device_ = 0;
    ino_t inode_ = 0;
};

bool SqliteBackend::ReachesItsDatabase() const {
    struct stat now {};
    return ::stat(QFile::encodeName(path_).constData(), &now) == 0 && now.st_dev == device_ &&
           now.st_ino == inode_;
}

sqlite3* SqliteBackend::Handle() const {
    const QVariant handle = Database().driver()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.data());
}

void SqliteBackend::Open(const ConnectionTarget& target) {
    const QString path = target.filePath;
    const QFileInfo info(path);
    if (path.trimmed().isEmpty() || !info.exists() || info.isDir())
        RaiseSqlError(kErrProviderFailure, QStringLiteral("Could not find file '%1'.").arg(path),
                      QStringLiteral("Connection.Open"));
    if (IsJetFile(path))
        RaiseSqlError(
            kErrProviderFailure,
            QStringLiteral("'%1' is a Jet (MS Access) database file, which cannot be opened on "
                           "this system; convert it to an SQLite database.")
                .arg(path),
            QStringLiteral("Connection.Open"));
    // The file's identity before SQLite opens it: a file renamed over it in
    // between is found at the first check, and opened afresh.
    struct stat opened {};
    if (::stat(QFile::encodeName(path).constData(), &opened) != 0)
        RaiseSqlError(kErrProviderFailure, QStringLiteral("Could not find file '%1'.").arg(path),
                      QStringLiteral("Connection.Open"));
    path_ = path;
    device_ = opened.st_dev;
    inode_ = opened.st_ino;
    {
        QSqlDatabase db = AddQtDatabase(QStringLiteral("QSQLITE"));
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        if (!db.open()) {
            const auto [number, text] = QtError(db.lastError());
            db = QSqlDatabase();
            RemoveQtDatabase();
            RaiseSqlError(number, text, QStringLiteral("Connection.Open"));
        }
    }
    sqlite3* handle = Handle();
    // A file that is not a database opens without complaint; reading its
    // schema is what finds out.
    char* message = nullptr;
    const int rc = handle ? sqlite3_exec(handle, "SELECT count(*) FROM sqlite_master", nullptr,
                                         nullptr, &message)
                          : SQLITE_ERROR;
    if (rc != SQLITE_OK) {
        const QString text = message ? QString::fromUtf8(message)
                                     : QStringLiteral("The database driver gave no handle");
        sqlite3_free(message);
        RemoveQtDatabase();
        RaiseSqlError(rc, QStringLiteral("%1: '%2'").arg(text, path),
                      QStringLiteral("Connection.Open"));
    }
    RegisterFunctions(handle);
}

int64_t SqliteBackend::Execute(const QString& sql, int timeoutSeconds) {
    sqlite3* db = Handle();
    // 0 waits without limit, as a command time-out of 0 does.
    sqlite3_busy_timeout(db, timeoutSeconds > 0 ? timeoutSeconds * 1000 : 1 << 30);
    const QByteArray text = RewriteDateLiterals(sql).toUtf8();
    const char* tail = text.constData();
    const char* end = text.constData() + text.size();
    int64_t affected = -1;
    int rc = SQLITE_OK;
    while (tail < end) {
        sqlite3_stmt* stmt = nullptr;
        rc = sqlite3_prepare_v2(db, tail, int(end - tail), &stmt, &tail);
        if (rc != SQLITE_OK)
            break;
        if (!stmt)
            continue;  // blanks or a comment
        const bool readOnly = sqlite3_stmt_readonly(stmt);
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        }
        sqlite3_finalize(stmt);
        if (rc != SQLITE_DONE)
            break;
        rc = SQLITE_OK;
        affected = readOnly ? -1 : sqlite3_changes64(db);
    }
    sqlite3_busy_timeout(db, 5000);
    if (rc != SQLITE_OK)
        RaiseSqlError(sqlite3_extended_errcode(db), QString::fromUtf8(sqlite3_errmsg(db)),
                      QStringLiteral("Connection.Execute"));
    return affected;
}

QueryRows SqliteBackend::Select(const QString& sql) {
    sqlite3* db = Handle();
    QueryRows rows;
    const QByteArray text = RewriteDateLiterals(sql).toUtf8();
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, text.constData(), int(text.size()), &stmt, nullptr);
    if (rc != SQLITE_OK || !stmt) {
        if (stmt)
            sqlite3_finalize(stmt);
        RaiseSqlError(rc == SQLITE_OK ? kErrProviderFailure : sqlite3_extended_errcode(db),
                      rc == SQLITE_OK
                          ? QStringLiteral("Command text was not set for the command object.")
                          : QString::fromUtf8(sqlite3_errmsg(db)),
                      kSelectSource);
    }
    const int columns = sqlite3_column_count(stmt);
    std::vector<bool> dateColumn(size_t(columns), false);
    for (int i = 0; i < columns; ++i) {
        rows.names.append(QString::fromUtf8(sqlite3_column_name(stmt, i)));
        const char* decl = sqlite3_column_decltype(stmt, i);
        const QByteArray type = QByteArray(decl ? decl : "").toUpper();
        dateColumn[size_t(i)] = type.contains("DATE") || type.contains("TIME");
    }
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        for (int i = 0; i < columns; ++i) {
            switch (sqlite3_column_type(stmt, i)) {
                case SQLITE_INTEGER:
                    rows.cells.push_back(FromInt64(sqlite3_column_int64(stmt, i)));
                    break;
                case SQLITE_FLOAT:
                    rows.cells.push_back(dateColumn[size_t(i)]
                                             ? Variant::FromDate(sqlite3_column_double(stmt, i))
                                             : Variant::FromDouble(sqlite3_column_double(stmt, i)));
                    break;
                case SQLITE_TEXT: {
                    const QString value = QString::fromUtf8(
                        reinterpret_cast<const char*>(sqlite3_column_text(stmt, i)),
                        sqlite3_column_bytes(stmt, i));
                    rows.cells.push_back(dateColumn[size_t(i)] ? DateFromText(value)
                                                               : Variant(value));
                    break;
                }
                case SQLITE_BLOB:
                    rows.cells.push_back(
                        Variant(QByteArray(static_cast<const char*>(sqlite3_column_blob(stmt, i)),
                                           sqlite3_column_bytes(stmt, i))));
                    break;
                default:
                    rows.cells.push_back(Variant::Null());
            }
        }
        ++rows.rowCount;
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE)
        RaiseSqlError(sqlite3_extended_errcode(db), QString::fromUtf8(sqlite3_errmsg(db)),
                      kSelectSource);
    return rows;
}

}  // namespace

std::unique_ptr<SqlBackend> MakeSqliteBackend(const QString& qtName) {
    return std::make_unique<SqliteBackend>(qtName);
}

QString RewriteDateLiterals(const QString& sql) {
    if (!sql.contains('#'))
        return sql;
    static const QStringList patterns = {
        QStringLiteral("M/d/yyyy H:mm:ss"), QStringLiteral("M/d/yyyy H:mm"),
        QStringLiteral("M/d/yyyy"),         QStringLiteral("yyyy-MM-dd HH:mm:ss"),
        QStringLiteral("yyyy-MM-dd HH:mm"), QStringLiteral("yyyy-MM-dd")};
    QString out;
    out.reserve(sql.size());
    QChar quote;
    for (qsizetype i = 0; i < sql.size(); ++i) {
        const QChar c = sql[i];
        if (!quote.isNull()) {
            out += c;
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == '\'' || c == '"') {
            quote = c;
            out += c;
            continue;
        }
        if (c == '#') {
            const qsizetype close = sql.indexOf('#', i + 1);
            if (close > i) {
                const QString inner = sql.mid(i + 1, close - i - 1).trimmed();
                QDateTime when;
                for (const QString& p : patterns) {
                    when = QDateTime::fromString(inner, p);
                    if (when.isValid())
                        break;
                }
                if (when.isValid()) {
                    out += '\'' + when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + '\'';
                    i = close;
                    continue;
                }
            }
        }
        out += c;
    }
    return out;
}

}  // namespace platform
