#include "platform/sql/Connection.h"

#include <sql.h>
#include <sqlext.h>
#include <sqlite3.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QStringList>
#include <atomic>
#include <cstdlib>
#include <mutex>
#include <set>
#include <vector>

#include "platform/AppError.h"
#include "platform/Runtime.h"

namespace platform {
namespace {

std::atomic<int> connectionSerial{0};

// Every live connection, so that all can let go of Qt SQL before Qt's own
// registry of connections is destroyed: program-wide connections (the
// database class's) are function-local statics that outlive it. Allocated
// once and never freed, so it outlives every connection.
std::mutex& RegistryMutex() {
    static auto* mutex = new std::mutex;
    return *mutex;
}
std::set<Connection*>& Registry() {
    static auto* live = new std::set<Connection*>;
    return *live;
}

void ReleaseAllConnections() {
    std::vector<Connection*> live;
    {
        std::lock_guard<std::mutex> lock(RegistryMutex());
        live.assign(Registry().begin(), Registry().end());
    }
    for (Connection* c : live)
        c->Close();
}

// Registered after Qt's registry exists (the first open), so both run before
// it goes: at the application object's end, or at exit without one.
void ArmRelease() {
    static std::once_flag atExit;
    std::call_once(atExit, [] { std::atexit(ReleaseAllConnections); });
    static QCoreApplication* armedFor = nullptr;
    if (QCoreApplication::instance() && armedFor != QCoreApplication::instance()) {
        armedFor = QCoreApplication::instance();
        qAddPostRoutine(ReleaseAllConnections);
    }
}

const QString kMySqlDriverName = QStringLiteral("MySQL ODBC 3.51 Driver");

[[noreturn]] void Raise(int number, const QString& text, const char* procedure) {
    throw AppError(number, text, QStringLiteral("Connection.") + QLatin1String(procedure));
}

// Splits "key=value;key=value" at the semicolons that are not inside braces.
QList<QPair<QString, QString>> SplitPairs(const QString& text) {
    QList<QPair<QString, QString>> pairs;
    QString piece;
    int depth = 0;
    auto flush = [&] {
        const int eq = piece.indexOf('=');
        if (eq > 0)
            pairs.append({piece.left(eq).trimmed(), piece.mid(eq + 1)});
        piece.clear();
    };
    for (QChar c : text) {
        if (c == '{')
            ++depth;
        else if (c == '}' && depth > 0)
            --depth;
        if (c == ';' && depth == 0)
            flush();
        else
            piece += c;
    }
    flush();
    return pairs;
}

QString ValueOf(const QList<QPair<QString, QString>>& pairs, const QString& key) {
    for (const auto& [k, v] : pairs)
        if (k.compare(key, Qt::CaseInsensitive) == 0)
            return v;
    return QString();
}

QString Unbrace(QString v) {
    v = v.trimmed();
    if (v.startsWith('{') && v.endsWith('}'))
        v = v.mid(1, v.size() - 2);
    return v;
}

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

QSqlDatabase QtDatabase(const QString& name) {
    return QSqlDatabase::database(name, false);
}

// Number and text of an ODBC diagnostic; the driver's native number when it
// gives one, the provider's generic failure otherwise.
std::pair<int, QString> OdbcDiagnostic(SQLSMALLINT type, SQLHANDLE handle) {
    SQLWCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLWCHAR message[1024] = {};
    SQLSMALLINT length = 0;
    QString text;
    int number = 0;
    for (SQLSMALLINT rec = 1; rec <= 4; ++rec) {
        if (!SQL_SUCCEEDED(SQLGetDiagRecW(type, handle, rec, state, &native, message,
                                          SQLSMALLINT(std::size(message)), &length)))
            break;
        if (number == 0)
            number = int(native);
        if (!text.isEmpty())
            text += ' ';
        text += QString::fromUtf16(reinterpret_cast<const char16_t*>(message),
                                   std::min<qsizetype>(length, std::size(message) - 1));
    }
    return {number != 0 ? number : kErrProviderFailure, text};
}

std::pair<int, QString> QtError(const QSqlError& error) {
    bool ok = false;
    const int native = error.nativeErrorCode().toInt(&ok);
    QString text = error.databaseText();
    if (text.isEmpty())
        text = error.text();
    return {ok && native != 0 ? native : kErrProviderFailure, text};
}

}  // namespace

ConnectionTarget ResolveConnectionString(const QString& connectionString) {
    ConnectionTarget target;
    const auto pairs = SplitPairs(connectionString);
    const QString provider = ValueOf(pairs, QStringLiteral("Provider")).trimmed().toLower();
    const QString driver = Unbrace(ValueOf(pairs, QStringLiteral("Driver")));
    if (provider.startsWith(QLatin1String("microsoft.jet.oledb")) ||
        provider.startsWith(QLatin1String("microsoft.ace.oledb"))) {
        target.backend = Backend::Sqlite;
        target.filePath = ValueOf(pairs, QStringLiteral("Data Source"));
    } else if (provider == QLatin1String("sqloledb")) {
        // MSDE and SQL Server through FreeTDS.
        target.backend = Backend::Odbc;
        target.driverName = QStringLiteral("FreeTDS");
        target.odbcString = QStringLiteral("DRIVER={FreeTDS};SERVER=%1;DATABASE=%2;UID=%3;PWD=%4;")
                                .arg(ValueOf(pairs, QStringLiteral("data source")),
                                     ValueOf(pairs, QStringLiteral("initial catalog")),
                                     ValueOf(pairs, QStringLiteral("user id")),
                                     ValueOf(pairs, QStringLiteral("password")));
    } else if (!driver.isEmpty() || !ValueOf(pairs, QStringLiteral("DSN")).isEmpty()) {
        target.backend = Backend::Odbc;
        target.driverName = driver;
        target.mysqlDriver = driver.contains(QLatin1String("mysql"), Qt::CaseInsensitive) ||
                             driver.contains(QLatin1String("mariadb"), Qt::CaseInsensitive);
        target.odbcString = connectionString;
        if (target.mysqlDriver && ValueOf(pairs, QStringLiteral("CHARSET")).isEmpty()) {
            // The session's character set is agreed through the driver's own
            // option: a "SET CHARACTER SET" statement behind the driver's back
            // corrupts Cyrillic text in both directions.
            if (!target.odbcString.endsWith(';'))
                target.odbcString += ';';
            target.odbcString += QStringLiteral("CHARSET=utf8mb4");
        }
    }
    return target;
}

QString FallbackMySqlDriver() {
    return QStringLiteral("MariaDB Unicode");
}

bool IsDriverMissingText(const QString& errorText) {
    const QString t = errorText.toLower();
    return t.contains(
               QLatin1String("data source name not found and no default driver specified")) ||
           t.contains(QLatin1String("can't open lib"));
}

Connection::Connection()
    : qtName_(QStringLiteral("kestrelle_sql_%1").arg(connectionSerial.fetch_add(1))) {
    std::lock_guard<std::mutex> lock(RegistryMutex());
    Registry().insert(this);
}

Connection::~Connection() {
    Close();
    std::lock_guard<std::mutex> lock(RegistryMutex());
    Registry().erase(this);
}

void Connection::SetConnectionString(const QString& text) {
    if (open_)
        Raise(kErrObjectOpen, QStringLiteral("Operation is not allowed when the object is open."),
              "ConnectionString");
    connectionString_ = text;
}

void Connection::SetCommandTimeout(int seconds) {
    if (seconds < 0)
        Raise(kErrArguments,
              QStringLiteral("Arguments are of the wrong type, are out of "
                             "acceptable range, or are in conflict with one another."),
              "CommandTimeout");
    commandTimeout_ = seconds;
}

void Connection::SetIsolationLevel(int32_t level) {
    switch (level) {
        case kXactUnspecified:
        case 16:  // chaos
        case kXactReadUncommitted:
        case kXactReadCommitted:
        case kXactRepeatableRead:
        case kXactSerializable:
            isolationLevel_ = level;
            return;
        default:
            Raise(kErrArguments,
                  QStringLiteral("Arguments are of the wrong type, are out of acceptable range, "
                                 "or are in conflict with one another."),
                  "IsolationLevel");
    }
}

int Connection::State() const {
    return open_ ? kStateOpen : kStateClosed;
}

sqlite3* Connection::SqliteHandle() const {
    if (!open_ || target_.backend != Backend::Sqlite)
        return nullptr;
    const QVariant handle = QtDatabase(qtName_).driver()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.data());
}

void Connection::Open(const QString& connectionString) {
    if (open_)
        Raise(kErrObjectOpen, QStringLiteral("Operation is not allowed when the object is open."),
              "Open");
    if (!connectionString.isEmpty())
        connectionString_ = connectionString;
    target_ = ResolveConnectionString(connectionString_);
    switch (target_.backend) {
        case Backend::Sqlite:
            OpenSqlite();
            break;
        case Backend::Odbc:
            OpenOdbc();
            break;
        case Backend::None:
            Raise(kErrBadConnectionString,
                  QStringLiteral("Provider cannot be found. It may not be properly installed."),
                  "Open");
    }
    open_ = true;
}

void Connection::OpenSqlite() {
    const QString path = target_.filePath;
    const QFileInfo info(path);
    if (path.trimmed().isEmpty() || !info.exists() || info.isDir())
        Raise(kErrProviderFailure, QStringLiteral("Could not find file '%1'.").arg(path), "Open");
    if (IsJetFile(path))
        Raise(kErrProviderFailure,
              QStringLiteral("'%1' is a Jet (MS Access) database file, which cannot be opened on "
                             "this system; convert it to an SQLite database.")
                  .arg(path),
              "Open");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), qtName_);
        qtRegistered_ = true;
        ArmRelease();
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        if (!db.open()) {
            const auto [number, text] = QtError(db.lastError());
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(qtName_);
            qtRegistered_ = false;
            Raise(number, text, "Open");
        }
    }
    open_ = true;  // for SqliteHandle
    sqlite3* handle = SqliteHandle();
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
        Close();
        Raise(rc, QStringLiteral("%1: '%2'").arg(text, path), "Open");
    }
    RegisterFunctions(handle);
}

void Connection::OpenOdbc() {
    auto attempt = [this](const QString& odbcString) -> std::pair<int, QString> {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), qtName_);
        qtRegistered_ = true;
        ArmRelease();
        db.setDatabaseName(odbcString);
        db.setConnectOptions(QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=15"));
        if (db.open())
            return {0, QString()};
        auto error = QtError(db.lastError());
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(qtName_);
        qtRegistered_ = false;
        return error;
    };
    auto [number, text] = attempt(target_.odbcString);
    if (number != 0 && target_.mysqlDriver && IsDriverMissingText(text) &&
        target_.driverName.compare(kMySqlDriverName, Qt::CaseInsensitive) == 0) {
        // The driver name of the station's MySQL string is not registered on
        // this machine: MariaDB's driver speaks the same protocol.
        QString mapped = target_.odbcString;
        mapped.replace(QStringLiteral("{") + target_.driverName + QStringLiteral("}"),
                       QStringLiteral("{") + FallbackMySqlDriver() + QStringLiteral("}"),
                       Qt::CaseInsensitive);
        auto second = attempt(mapped);
        if (second.first == 0)
            number = 0;
        else if (!IsDriverMissingText(second.second))
            std::tie(number, text) = second;  // the server's own answer is the news
    }
    if (number != 0)
        Raise(number, text, "Open");
}

void Connection::Close() {
    open_ = false;
    inTransaction_ = false;
    serverTimeout_ = -1;
    serverTimeoutSupported_ = true;
    if (!qtRegistered_)
        return;
    {
        QSqlDatabase db = QtDatabase(qtName_);
        db.close();
    }
    QSqlDatabase::removeDatabase(qtName_);
    qtRegistered_ = false;
}

void Connection::RequireOpen(const char* procedure) const {
    if (!open_)
        Raise(kErrObjectClosed,
              QStringLiteral("Operation is not allowed when the object is closed."), procedure);
}

int64_t Connection::Execute(const QString& sql, int timeoutSeconds) {
    RequireOpen("Execute");
    const int timeout = timeoutSeconds < 0 ? commandTimeout_ : timeoutSeconds;
    return target_.backend == Backend::Sqlite ? ExecuteSqlite(sql, timeout)
                                              : ExecuteOdbc(sql, timeout);
}

int64_t Connection::ExecuteSqlite(const QString& sql, int timeoutSeconds) {
    sqlite3* db = SqliteHandle();
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
        Raise(sqlite3_extended_errcode(db), QString::fromUtf8(sqlite3_errmsg(db)), "Execute");
    return affected;
}

namespace {

// Runs one statement on a new statement handle; the rows it affected.
int64_t RunOdbcStatement(SQLHANDLE hdbc, const QString& sql, int timeoutSeconds) {
    SQLHANDLE hstmt = SQL_NULL_HANDLE;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, hdbc, &hstmt))) {
        const auto [number, text] = OdbcDiagnostic(SQL_HANDLE_DBC, hdbc);
        Raise(number, text, "Execute");
    }
    SQLSetStmtAttr(hstmt, SQL_ATTR_QUERY_TIMEOUT,
                   reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(timeoutSeconds)), 0);
    // The text goes as UTF-16 to the driver's wide entry point: no bound
    // parameters, whose strings this driver stores with a trailing NUL.
    std::u16string wide(reinterpret_cast<const char16_t*>(sql.utf16()), size_t(sql.size()));
    const SQLRETURN rc =
        SQLExecDirectW(hstmt, reinterpret_cast<SQLWCHAR*>(wide.data()), SQLINTEGER(wide.size()));
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
        const auto [number, text] = OdbcDiagnostic(SQL_HANDLE_STMT, hstmt);
        SQLFreeHandle(SQL_HANDLE_STMT, hstmt);
        Raise(number, text, "Execute");
    }
    SQLLEN rows = -1;
    if (rc != SQL_NO_DATA)
        SQLRowCount(hstmt, &rows);
    else
        rows = 0;
    SQLFreeHandle(SQL_HANDLE_STMT, hstmt);
    return int64_t(rows);
}

}  // namespace

int64_t Connection::ExecuteOdbc(const QString& sql, int timeoutSeconds) {
    const QVariant handle = QtDatabase(qtName_).driver()->handle();
    // QODBC hands out its connection handle as a void*-typed value.
    if (handle.metaType() != QMetaType::fromType<SQLHANDLE>() &&
        qstrcmp(handle.typeName(), "SQLHANDLE") != 0)
        Raise(kErrProviderFailure, QStringLiteral("The ODBC driver gave no connection handle"),
              "Execute");
    SQLHANDLE hdbc = *static_cast<const SQLHANDLE*>(handle.data());
    // MariaDB's driver ignores the statement time-out; the server's own limit
    // does the work where the server has one (MySQL servers refuse the
    // variable once, and are not asked again).
    if (target_.mysqlDriver && serverTimeout_ != timeoutSeconds && serverTimeoutSupported_) {
        try {
            RunOdbcStatement(
                hdbc, QStringLiteral("SET SESSION max_statement_time=%1").arg(timeoutSeconds), 0);
            serverTimeout_ = timeoutSeconds;
        } catch (const AppError&) {
            serverTimeoutSupported_ = false;
        }
    }
    return RunOdbcStatement(hdbc, sql, timeoutSeconds);
}

void Connection::BeginTrans() {
    RequireOpen("BeginTrans");
    if (inTransaction_)
        Raise(kErrProviderFailure, QStringLiteral("A transaction is already active."),
              "BeginTrans");
    QSqlDatabase db = QtDatabase(qtName_);
    if (!db.transaction()) {
        const auto [number, text] = QtError(db.lastError());
        Raise(number, text.isEmpty() ? QStringLiteral("The transaction could not begin") : text,
              "BeginTrans");
    }
    inTransaction_ = true;
}

void Connection::CommitTrans() {
    RequireOpen("CommitTrans");
    if (!inTransaction_)
        Raise(kErrProviderFailure, QStringLiteral("No transaction is active."), "CommitTrans");
    inTransaction_ = false;
    QSqlDatabase db = QtDatabase(qtName_);
    if (!db.commit()) {
        const auto [number, text] = QtError(db.lastError());
        Raise(number, text.isEmpty() ? QStringLiteral("No transaction is active") : text,
              "CommitTrans");
    }
}

void Connection::RollbackTrans() {
    RequireOpen("RollbackTrans");
    if (!inTransaction_)
        Raise(kErrProviderFailure, QStringLiteral("No transaction is active."), "RollbackTrans");
    inTransaction_ = false;
    QSqlDatabase db = QtDatabase(qtName_);
    if (!db.rollback()) {
        const auto [number, text] = QtError(db.lastError());
        Raise(number, text.isEmpty() ? QStringLiteral("No transaction is active") : text,
              "RollbackTrans");
    }
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
