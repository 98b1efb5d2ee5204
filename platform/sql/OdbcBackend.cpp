// The server types over unixODBC: QODBC for the session and queries, the
// driver's own entry points for statements.
#include <sql.h>
#include <sqlext.h>

#include <QDateTime>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <atomic>

#include "platform/AppError.h"
#include "platform/ProgramState.h"
#include "platform/sql/Connection.h"
#include "platform/sql/SqlBackend.h"

namespace platform {
namespace {

const QString kMySqlDriverName = QStringLiteral("MySQL ODBC 3.51 Driver");
const QString kSelectSource = QStringLiteral("Recordset.Open");

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

// Runs one statement on a new statement handle; the rows it affected.
int64_t RunOdbcStatement(SQLHANDLE hdbc, const QString& sql, int timeoutSeconds) {
    SQLHANDLE hstmt = SQL_NULL_HANDLE;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, hdbc, &hstmt))) {
        const auto [number, text] = OdbcDiagnostic(SQL_HANDLE_DBC, hdbc);
        RaiseSqlError(number, text, QStringLiteral("Connection.Execute"));
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
        RaiseSqlError(number, text, QStringLiteral("Connection.Execute"));
    }
    SQLLEN rows = -1;
    if (rc != SQL_NO_DATA)
        SQLRowCount(hstmt, &rows);
    else
        rows = 0;
    SQLFreeHandle(SQL_HANDLE_STMT, hstmt);
    return int64_t(rows);
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

class OdbcBackend final : public SqlBackend {
public:
    using SqlBackend::SqlBackend;

    void Open(const ConnectionTarget& target) override;
    int64_t Execute(const QString& sql, int timeoutSeconds) override;
    QueryRows Select(const QString& sql) override;

private:
    bool mysqlDriver_ = false;
    int serverTimeout_ = -1;  // the session's statement limit last set on the server
    bool serverTimeoutSupported_ = true;
};

std::atomic<int> providerTimeout{30};
[[maybe_unused]] const bool kTimeoutResetRegistered =
    RegisterStateReset([] { providerTimeout.store(30); });

// A stopped or unreachable server must not hold the station for ever: the
// driver's own limits for connecting, reading and writing, unless the
// connection string gives its own. MariaDB's driver takes them as options
// of the string; the driver manager's login and connection attributes
// serve the others.
QString WithTimeouts(QString odbcString, bool mysqlDriver) {
    if (!mysqlDriver)
        return odbcString;
    const QString seconds = QString::number(ProviderTimeout());
    for (const char* option : {"CONN_TIMEOUT", "READ_TIMEOUT", "WRITE_TIMEOUT"}) {
        const QString key = QLatin1String(option);
        if (odbcString.contains(key + '=', Qt::CaseInsensitive))
            continue;
        if (!odbcString.endsWith(';'))
            odbcString += ';';
        odbcString += key + '=' + seconds;
    }
    return odbcString;
}

void OdbcBackend::Open(const ConnectionTarget& target) {
    mysqlDriver_ = target.mysqlDriver;
    auto attempt = [this, &target](const QString& odbcString) -> std::pair<int, QString> {
        QSqlDatabase db = AddQtDatabase(QStringLiteral("QODBC"));
        db.setDatabaseName(WithTimeouts(odbcString, target.mysqlDriver));
        const QString seconds = QString::number(ProviderTimeout());
        db.setConnectOptions(QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=") + seconds +
                             QStringLiteral(";SQL_ATTR_CONNECTION_TIMEOUT=") + seconds);
        if (db.open())
            return {0, QString()};
        auto error = QtError(db.lastError());
        db = QSqlDatabase();
        RemoveQtDatabase();
        return error;
    };
    auto [number, text] = attempt(target.odbcString);
    if (number != 0 && target.mysqlDriver && IsDriverMissingText(text) &&
        target.driverName.compare(kMySqlDriverName, Qt::CaseInsensitive) == 0) {
        // The driver name of the station's MySQL string is not registered on
        // this machine: MariaDB's driver speaks the same protocol.
        QString mapped = target.odbcString;
        mapped.replace(QStringLiteral("{") + target.driverName + QStringLiteral("}"),
                       QStringLiteral("{") + FallbackMySqlDriver() + QStringLiteral("}"),
                       Qt::CaseInsensitive);
        auto second = attempt(mapped);
        if (second.first == 0)
            number = 0;
        else if (!IsDriverMissingText(second.second))
            std::tie(number, text) = second;  // the server's own answer is the news
    }
    if (number != 0)
        RaiseSqlError(number, text, QStringLiteral("Connection.Open"));
}

int64_t OdbcBackend::Execute(const QString& sql, int timeoutSeconds) {
    const QVariant handle = Database().driver()->handle();
    // QODBC hands out its connection handle as a void*-typed value.
    if (handle.metaType() != QMetaType::fromType<SQLHANDLE>() &&
        qstrcmp(handle.typeName(), "SQLHANDLE") != 0)
        RaiseSqlError(kErrProviderFailure,
                      QStringLiteral("The ODBC driver gave no connection handle"),
                      QStringLiteral("Connection.Execute"));
    SQLHANDLE hdbc = *static_cast<const SQLHANDLE*>(handle.data());
    // MariaDB's driver ignores the statement time-out; the server's own limit
    // does the work where the server has one (MySQL servers refuse the
    // variable once, and are not asked again).
    if (mysqlDriver_ && serverTimeout_ != timeoutSeconds && serverTimeoutSupported_) {
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

QueryRows OdbcBackend::Select(const QString& sql) {
    QueryRows rows;
    QSqlQuery query(Database());
    query.setForwardOnly(true);
    query.setNumericalPrecisionPolicy(QSql::LowPrecisionDouble);
    if (!query.exec(sql)) {
        const auto [number, text] = QtError(query.lastError());
        RaiseSqlError(number, text, kSelectSource);
    }
    const QSqlRecord record = query.record();
    const int columns = record.count();
    for (int i = 0; i < columns; ++i)
        rows.names.append(record.fieldName(i));
    while (query.next()) {
        for (int i = 0; i < columns; ++i)
            rows.cells.push_back(FromQt(query.value(i)));
        ++rows.rowCount;
    }
    if (query.lastError().isValid()) {
        const QSqlError error = query.lastError();
        RaiseSqlError(kErrProviderFailure,
                      error.databaseText().isEmpty() ? error.text() : error.databaseText(),
                      kSelectSource);
    }
    return rows;
}

}  // namespace

int ProviderTimeout() {
    return providerTimeout.load();
}

void SetProviderTimeout(int seconds) {
    providerTimeout.store(seconds);
}

std::unique_ptr<SqlBackend> MakeOdbcBackend(const QString& qtName) {
    return std::make_unique<OdbcBackend>(qtName);
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

}  // namespace platform
