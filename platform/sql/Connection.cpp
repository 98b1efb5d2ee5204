#include "platform/sql/Connection.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <atomic>
#include <cstdlib>
#include <mutex>
#include <set>
#include <vector>

#include "platform/AppError.h"
#include "platform/sql/SqlBackend.h"

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

[[noreturn]] void Raise(int number, const QString& text, const char* procedure) {
    RaiseSqlError(number, text, QStringLiteral("Connection.") + QLatin1String(procedure));
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

}  // namespace

[[noreturn]] void RaiseSqlError(int number, const QString& text, const QString& source) {
    throw AppError(number, text, source);
}

std::pair<int, QString> QtError(const QSqlError& error) {
    bool ok = false;
    const int native = error.nativeErrorCode().toInt(&ok);
    QString text = error.databaseText();
    if (text.isEmpty())
        text = error.text();
    return {ok && native != 0 ? native : kErrProviderFailure, text};
}

Variant FromInt64(int64_t n) {
    if (n >= INT32_MIN && n <= INT32_MAX)
        return Variant::FromLong(int32_t(n));
    return Variant::FromDouble(double(n));
}

SqlBackend::~SqlBackend() {
    RemoveQtDatabase();
}

QSqlDatabase SqlBackend::Database() const {
    return QSqlDatabase::database(qtName_, false);
}

// Registered after Qt's registry of connections exists, so that the release
// of every connection is armed before it.
QSqlDatabase SqlBackend::AddQtDatabase(const QString& driver) {
    QSqlDatabase db = QSqlDatabase::addDatabase(driver, qtName_);
    registered_ = true;
    ArmRelease();
    return db;
}

void SqlBackend::RemoveQtDatabase() {
    if (!registered_)
        return;
    Database().close();
    QSqlDatabase::removeDatabase(qtName_);
    registered_ = false;
}

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

bool Connection::ReachesItsDatabase() const {
    return open_ && backend_ && backend_->ReachesItsDatabase();
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
            backend_ = MakeSqliteBackend(qtName_);
            break;
        case Backend::Odbc:
            backend_ = MakeOdbcBackend(qtName_);
            break;
        case Backend::None:
            Raise(kErrBadConnectionString,
                  QStringLiteral("Provider cannot be found. It may not be properly installed."),
                  "Open");
    }
    try {
        backend_->Open(target_);
    } catch (...) {
        backend_.reset();
        throw;
    }
    open_ = true;
}

void Connection::Close() {
    open_ = false;
    inTransaction_ = false;
    backend_.reset();
}

void Connection::RequireOpen(const char* procedure) const {
    if (!open_)
        throw AppError::ObjectClosed(QStringLiteral("Connection.") + QLatin1String(procedure));
}

int64_t Connection::Execute(const QString& sql, int timeoutSeconds) {
    RequireOpen("Execute");
    return backend_->Execute(sql, timeoutSeconds < 0 ? commandTimeout_ : timeoutSeconds);
}

SqlBackend& Connection::Engine() const {
    RequireOpen("Open");
    return *backend_;
}

void Connection::BeginTrans() {
    RequireOpen("BeginTrans");
    if (inTransaction_)
        Raise(kErrProviderFailure, QStringLiteral("A transaction is already active."),
              "BeginTrans");
    QSqlDatabase db = backend_->Database();
    if (!db.transaction()) {
        const auto [number, text] = QtError(db.lastError());
        Raise(number, text.isEmpty() ? QStringLiteral("The transaction could not begin") : text,
              "BeginTrans");
    }
    inTransaction_ = true;
}

void Connection::CommitTrans() {
    EndTransaction(true, "CommitTrans");
}

void Connection::RollbackTrans() {
    EndTransaction(false, "RollbackTrans");
}

void Connection::EndTransaction(bool commit, const char* procedure) {
    RequireOpen(procedure);
    if (!inTransaction_)
        Raise(kErrProviderFailure, QStringLiteral("No transaction is active."), procedure);
    inTransaction_ = false;
    QSqlDatabase db = backend_->Database();
    if (!(commit ? db.commit() : db.rollback())) {
        const auto [number, text] = QtError(db.lastError());
        Raise(number, text.isEmpty() ? QStringLiteral("No transaction is active") : text,
              procedure);
    }
}

}  // namespace platform
