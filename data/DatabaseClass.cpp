#include "data/DatabaseClass.h"

#include "core/ErrorController.h"
#include "platform/AppError.h"
#include "platform/ProgramState.h"
#include "platform/Runtime.h"
#include "platform/sql/Connection.h"
#include "platform/sql/Recordset.h"

namespace {

// The fixed password of the point-of-sale product's Access database.
const QString kAccessPassword = QStringLiteral("Harvelstone4172");

const QString kDriverMissingText = QStringLiteral(
    "[Microsoft][ODBC Driver Manager] Data source name not found and no default "
    "driver specified");

QString Quoted(const char* method, const QString& sql) {
    return QLatin1String(method) + QStringLiteral("('") + sql + QStringLiteral("')");
}

}  // namespace

DatabaseClass::DatabaseClass() = default;
DatabaseClass::~DatabaseClass() = default;

ErrorController* DatabaseClass::ErrorLogging() {
    if (!errorLogging_) {
        ownLog_ = std::make_unique<ErrorController>();
        ownLog_->SetBuildDate(QString());
        ownLog_->SetBuildVersion(QString());
        errorLogging_ = ownLog_.get();
    }
    return errorLogging_;
}

void DatabaseClass::Record(int32_t number, const QString& text, const QString& method) {
    if (errorSink_)
        errorSink_(number, text, method);
    else
        ErrorLogging()->Add(kSystemError, number, text, method);
}

std::shared_ptr<platform::Connection>& DatabaseClass::ApplConnection() {
    if (!applConnection_)
        applConnection_ = std::make_shared<platform::Connection>();
    return applConnection_;
}

std::shared_ptr<platform::Connection>& DatabaseClass::ReplConnection() {
    if (!replConnection_)
        replConnection_ = std::make_shared<platform::Connection>();
    return replConnection_;
}

bool DatabaseClass::IsConnected() const {
    return applConnection_ && applConnection_->ReachesItsDatabase();
}

int32_t DatabaseClass::IsolationLevel() {
    return ApplConnection()->IsolationLevel();
}

void DatabaseClass::SetIsolationLevel(int32_t level) {
    ApplConnection()->SetIsolationLevel(level);
    ReplConnection()->SetIsolationLevel(level);
}

QString DatabaseClass::ApplConnString() {
    return ApplConnection()->ConnectionString();
}

QString DatabaseClass::ReplConnString() {
    return ReplConnection()->ConnectionString();
}

QString DatabaseClass::BuildConnectionString(const ConnectionSettings& s, bool useLocalServer) {
    const QString host = useLocalServer ? s.LocalServerName : s.ServerName;
    switch (s.ConnectTo) {
        case kDbAccess:
            return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;") +
                   QStringLiteral("User ID=Admin;") + QStringLiteral("Mode=Share Deny None;") +
                   QStringLiteral("Jet OLEDB:Engine Type=3;") +
                   QStringLiteral("Jet OLEDB:Database Locking Mode=0;") +
                   QStringLiteral("Jet OLEDB:Global Partial Bulk Ops=2;") +
                   QStringLiteral("Jet OLEDB:Global Bulk Transactions=1;") +
                   QStringLiteral("Jet OLEDB:Create System Database=False;") +
                   QStringLiteral("Jet OLEDB:Encrypt Database=False;") +
                   QStringLiteral("Jet OLEDB:Don't Copy Locale on Compact=False;") +
                   QStringLiteral("Jet OLEDB:Compact Without Replica Repair=False;") +
                   QStringLiteral("Jet OLEDB:Database Password=") + kAccessPassword +
                   QStringLiteral(";") + QStringLiteral("Jet OLEDB:SFP=False;") +
                   QStringLiteral("Data Source=") + s.DatabasePath;
        case kDbMsde:
        case kDbSqlServer:
            return QStringLiteral("Provider=sqloledb;") + QStringLiteral("packet size=4096;") +
                   QStringLiteral("user id=") + s.User + QStringLiteral(";") +
                   QStringLiteral("data source=") + host + QStringLiteral(";") +
                   QStringLiteral("persist security info=True;") +
                   QStringLiteral("initial catalog=") + s.DatabaseName + QStringLiteral(";") +
                   QStringLiteral("password=") + s.Password;
        case kDbMySql:
            return QStringLiteral("DRIVER={MySQL ODBC 3.51 Driver};") + QStringLiteral("SERVER=") +
                   host + QStringLiteral(";") + QStringLiteral("DATABASE=") + s.DatabaseName +
                   QStringLiteral(";") + QStringLiteral("UID=") + s.User + QStringLiteral(";") +
                   QStringLiteral("PASSWORD=") + s.Password + QStringLiteral(";") +
                   QStringLiteral("OPTION=3");
        case kDbOracle:
            // The host is always the application server's.
            return QStringLiteral("Driver={Microsoft ODBC for Oracle};") +
                   QStringLiteral("CONNECTSTRING=(DESCRIPTION=(ADDRESS=(PROTOCOL=TCP)") +
                   QStringLiteral("(HOST=") + s.ServerName + QStringLiteral(")(PORT=1521))") +
                   QStringLiteral("(CONNECT_DATA=(SERVICE_NAME=quillbar)));") +
                   QStringLiteral("Uid=") + s.User + QStringLiteral(";") + QStringLiteral("Pwd=") +
                   s.Password + QStringLiteral(";");
        default:
            return QString();
    }
}

bool DatabaseClass::UseLocalServer() const {
    return settings_.ConnectTo != kDbAccess && settings_.ConnectTo != kDbOracle &&
           !rt::Trim(settings_.LocalServerName).isEmpty();
}

bool DatabaseClass::OpenConnection() {
    try {
        applConnection_ = std::make_shared<platform::Connection>();
        replConnection_ = std::make_shared<platform::Connection>();
        applConnection_->SetCursorLocation(platform::kUseClient);
        replConnection_->SetCursorLocation(platform::kUseClient);
        const QString applString = BuildConnectionString(settings_, false);
        const QString replString = BuildConnectionString(settings_, true);
        if (!OpenConnectionInternal(*applConnection_, applString, false))
            return false;
        if (UseLocalServer()) {
            if (!OpenConnectionInternal(*replConnection_, replString, false))
                return false;
        } else {
            replConnection_ = applConnection_;
        }
        if (timeOut_ == 0)
            timeOut_ = rt::CInt(double(applConnection_->CommandTimeout()));
        ++openCount_;
        return true;
    } catch (const AppError& e) {
        Record(e.Number(), e.Description(), QStringLiteral("Database.OpenConnection"));
        return false;
    }
}

bool DatabaseClass::OpenConnectionInternal(platform::Connection& connection,
                                           const QString& connectionString, bool test) {
    myODBCMissing_ = false;
    try {
        connection.SetConnectionString(connectionString);
        connection.Open();
    } catch (const AppError& e) {
        Record(e.Number(), e.Description(), QStringLiteral("Database.OpenConnectionInternal"));
        // The driver manager here words a missing driver its own way.
        if (settings_.ConnectTo == kDbMySql &&
            (e.Description().toLower() == kDriverMissingText.toLower() ||
             platform::IsDriverMissingText(e.Description())))
            myODBCMissing_ = true;
        return false;
    }
    // A MySQL session's character set is agreed through the driver's CHARSET
    // option in the connection string (see platform::ResolveConnectionString)
    // rather than by a "SET CHARACTER SET" statement, which the ODBC driver
    // does not track and which corrupts Cyrillic text both ways.
    return connection.State() == platform::kStateOpen;
}

void DatabaseClass::CloseConnection() {
    try {
        if (applConnection_ && applConnection_->State() == platform::kStateOpen)
            applConnection_->Close();
    } catch (const AppError&) {
    }
    try {
        if (replConnection_ && replConnection_->State() == platform::kStateOpen)
            replConnection_->Close();
    } catch (const AppError&) {
    }
}

bool DatabaseClass::TestConnectionServer(int32_t type, const QString& serverName,
                                         const QString& localServerName,
                                         const QString& databaseName, const QString& user,
                                         const QString& password) {
    try {
        const ConnectionSettings temp{type, QString(), databaseName, serverName, localServerName,
                                      user, password};
        platform::Connection connection;
        connection.SetCursorLocation(platform::kUseClient);
        bool ok = OpenConnectionInternal(connection, BuildConnectionString(temp, false), true);
        if (ok && (type == kDbMsde || type == kDbMySql || type == kDbSqlServer) &&
            !rt::Trim(localServerName).isEmpty()) {
            connection.Close();
            ok = OpenConnectionInternal(connection, BuildConnectionString(temp, true), true);
        }
        return ok;
    } catch (const AppError&) {
        return false;
    }
}

bool DatabaseClass::TestConnectionAccess(const QString& databasePath) {
    try {
        ConnectionSettings temp;
        temp.ConnectTo = kDbAccess;
        temp.DatabasePath = databasePath;
        platform::Connection connection;
        connection.SetCursorLocation(platform::kUseClient);
        return OpenConnectionInternal(connection, BuildConnectionString(temp, false), true);
    } catch (const AppError&) {
        return false;
    }
}

QString DatabaseClass::TranslateSQL(const QString& sql, int32_t connectTo) {
    QString out = sql;
    switch (connectTo) {
        case kDbMsde:
        case kDbSqlServer:
            out.replace(QStringLiteral("#"), QStringLiteral("'"));
            out.replace(QStringLiteral("NOW()"), QStringLiteral("GETDATE()"));
            break;
        case kDbMySql:
            out.replace(QStringLiteral("["), QStringLiteral("`"));
            out.replace(QStringLiteral("]"), QStringLiteral("`"));
            out.replace(QStringLiteral("#"), QStringLiteral("'"));
            break;
        case kDbOracle:
            out.replace(QStringLiteral("Sign"), QStringLiteral("\"SIGN\""));
            out.replace(QStringLiteral("[Desc]"), QStringLiteral("\"DESC\""));
            out.replace(QStringLiteral("Mode"), QStringLiteral("\"MODE\""));
            out.replace(QStringLiteral("[Date]"), QStringLiteral("\"Date\""));
            out.remove(QStringLiteral("["));
            out.remove(QStringLiteral("]"));
            out.replace(QStringLiteral("#"), QStringLiteral("'"));
            out.replace(QStringLiteral("NOW()"), QStringLiteral("sysdate"));
            break;
        default:
            break;
    }
    return out;
}

Variant DatabaseClass::ExecuteNonQueryInternal(const QString& sql, platform::Connection& connection,
                                               bool silent) {
    int64_t affected = 0;
    lastExecuteError_.clear();
    try {
        affected = connection.Execute(TranslateSQL(sql, settings_.ConnectTo), timeOut_);
    } catch (const AppError& e) {
        affected = 0;
        lastExecuteError_ =
            e.Description().isEmpty() ? QString::number(e.Number()) : e.Description();
        if (!silent)
            Record(e.Number(), e.Description(), Quoted("Database.ExecuteNonQueryInternal", sql));
    }
    return Variant::FromDouble(double(affected));
}

namespace {
// A count beyond the 16-bit range is answered as the nearest 16-bit value
// rather than as an overflow the callers do not expect.
int16_t ClampCount(const Variant& count) {
    return int16_t(std::clamp(count.ToDouble(), -32768.0, 32767.0));
}
}  // namespace

int16_t DatabaseClass::ExecuteNonQuery(const QString& sql, bool silent) {
    return ClampCount(ExecuteNonQueryInternal(sql, *ApplConnection(), silent));
}

int16_t DatabaseClass::ExecuteNonQueryRepl(const QString& sql, bool silent) {
    return ClampCount(ExecuteNonQueryInternal(sql, *ReplConnection(), silent));
}

Variant DatabaseClass::ExecuteScalar(const QString& sql, bool onAppl) {
    platform::Recordset rs;
    try {
        rs.Open(TranslateSQL(sql, settings_.ConnectTo),
                onAppl ? *ApplConnection() : *ReplConnection(), platform::kOpenStatic,
                platform::kLockReadOnly);
    } catch (const AppError& e) {
        Record(e.Number(), e.Description(), Quoted("Database.ExecuteScalar", sql));
    }
    try {
        if (!rs.IsEOF() && rs.FieldCount() > 0)
            return rs.Fields(0);
    } catch (const AppError&) {
    }
    return Variant();
}

std::shared_ptr<platform::Recordset> DatabaseClass::OpenRecordset(const QString& sql,
                                                                  int32_t lockType,
                                                                  platform::Connection& connection,
                                                                  const char* method) {
    auto rs = std::make_shared<platform::Recordset>();
    try {
        rs->Open(TranslateSQL(sql, settings_.ConnectTo), connection, platform::kOpenStatic,
                 lockType);
    } catch (const AppError& e) {
        Record(e.Number(), e.Description(), Quoted(method, sql));
    }
    return rs;
}

std::shared_ptr<platform::Recordset> DatabaseClass::ExecuteRecordset(const QString& sql,
                                                                     int32_t lockType) {
    return OpenRecordset(sql, lockType, *ApplConnection(), "Database.ExecuteRecordset");
}

std::shared_ptr<platform::Recordset> DatabaseClass::ExecuteRecordsetRepl(const QString& sql,
                                                                         int32_t lockType) {
    return OpenRecordset(sql, lockType, *ReplConnection(), "Database.ExecuteRecordsetRepl");
}

void DatabaseClass::TransBegin() {
    ApplConnection()->BeginTrans();
}

void DatabaseClass::TransCommit() {
    ApplConnection()->CommitTrans();
}

void DatabaseClass::TransRollBack() {
    ApplConnection()->RollbackTrans();
}

QString DatabaseClass::QualifySQL(const QString& text) {
    static const QString removed = QStringLiteral("'*><#$&{}[]");
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == ' ' && i + 1 < text.size() && text[i + 1] == ' ')
            continue;
        if (removed.contains(c))
            continue;
        result += c == '~' ? QChar('*') : c;
    }
    return rt::Trim(result);
}

DatabaseClass& Database() {
    static DatabaseClass instance;
    return instance;
}

namespace {
// Both connections closed, then no settings, no connection object and the
// class's own log, as before the first OpenConnection. A recordset read
// earlier is a client-side copy and stays readable.
void ResetDatabase() {
    Database().CloseConnection();
    platform::RenewInPlace(Database());
}
[[maybe_unused]] const bool kDatabaseResetRegistered = platform::RegisterStateReset(&ResetDatabase);
}  // namespace
