#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/Variant.h"

class ErrorController;
namespace platform {
class Connection;
class Recordset;
}  // namespace platform

// Database type codes.
inline constexpr int32_t kDbAccess = 0;
inline constexpr int32_t kDbMsde = 1;
inline constexpr int32_t kDbMySql = 2;
inline constexpr int32_t kDbSqlServer = 3;
inline constexpr int32_t kDbOracle = 4;

struct ConnectionSettings {
    int32_t ConnectTo = 0;
    QString DatabasePath;
    QString DatabaseName;
    QString ServerName;
    QString LocalServerName;
    QString User;
    QString Password;

    bool operator==(const ConnectionSettings&) const = default;
};

// The one gateway to the point-of-sale database. Every caller writes SQL in
// the Access dialect; the class rewrites it for the configured type. No
// operation raises a database failure except the three transaction operations
// and the IsolationLevel setter: failures are recorded in the error log (type
// 1, method "Database." and the operation, the caller's SQL quoted for the
// execute operations) and answered with False, Empty, 0 or a closed recordset.
//
// Reference data (lists, goods groups, registration, configuration values)
// is read through the local-server connection, which is the application
// connection itself unless a local server is configured; the board's order
// reads and every write use the application connection.
//
// An instance and its connections belong to one thread: the program-wide one
// to the window's, the board's database worker has an instance of its own.
class DatabaseClass final {
public:
    DatabaseClass();
    ~DatabaseClass();
    DatabaseClass(const DatabaseClass&) = delete;
    DatabaseClass& operator=(const DatabaseClass&) = delete;

    // Plain access to the settings; changing them does not reconnect.
    const ConnectionSettings& Settings() const { return settings_; }
    void SetSettings(const ConnectionSettings& settings) { settings_ = settings; }
    int32_t ConnectTo() const { return settings_.ConnectTo; }
    void SetConnectTo(int32_t type) { settings_.ConnectTo = type; }
    QString DatabasePath() const { return settings_.DatabasePath; }
    void SetDatabasePath(const QString& v) { settings_.DatabasePath = v; }
    QString DatabaseName() const { return settings_.DatabaseName; }
    void SetDatabaseName(const QString& v) { settings_.DatabaseName = v; }
    QString ServerName() const { return settings_.ServerName; }
    void SetServerName(const QString& v) { settings_.ServerName = v; }
    QString LocalServerName() const { return settings_.LocalServerName; }
    void SetLocalServerName(const QString& v) { settings_.LocalServerName = v; }
    QString User() const { return settings_.User; }
    void SetUser(const QString& v) { settings_.User = v; }
    QString Password() const { return settings_.Password; }
    void SetPassword(const QString& v) { settings_.Password = v; }

    // Where failures are recorded: the class's own log until start-up hands
    // it the program's. Not owned; must outlive this object's use of it.
    ErrorController* ErrorLogging();
    void SetErrorLogging(ErrorController* log) { errorLogging_ = log; }
    // Where failures go instead of the log while set: an instance used on
    // another thread than the log's hands them to the log's thread. Called
    // with the error's number, text and method name.
    using ErrorSink = std::function<void(int32_t, const QString&, const QString&)>;
    void SetErrorSink(ErrorSink sink) { errorSink_ = std::move(sink); }

    // The application connection is open and still on its database: a file
    // database replaced at its path (a restore, a sync tool's new copy)
    // counts as not connected, so that the next check opens it afresh.
    bool IsConnected() const;
    // Counts the successful OpenConnection calls: what was read through one
    // connection is not what another one sees.
    int OpenCount() const { return openCount_; }
    // The provider's text of the last ExecuteNonQuery's failure; empty after
    // one that succeeded.
    QString LastExecuteError() const { return lastExecuteError_; }
    // The last connection attempt failed because the MySQL ODBC driver is not
    // installed; False for every type but MySQL.
    bool MyODBCMissing() const { return settings_.ConnectTo == kDbMySql && myODBCMissing_; }
    int16_t timeOut() const { return timeOut_; }
    void SettimeOut(int16_t seconds) { timeOut_ = seconds; }
    // Raises AppError for a value that is no isolation level.
    int32_t IsolationLevel();
    void SetIsolationLevel(int32_t level);
    QString ApplConnString();
    QString ReplConnString();

    // Replaces both connections and opens them.
    bool OpenConnection();
    void CloseConnection();
    // Open temporary connections with the given values; neither touches this
    // object's connections or settings.
    bool TestConnectionServer(int32_t type, const QString& serverName,
                              const QString& localServerName, const QString& databaseName,
                              const QString& user, const QString& password);
    bool TestConnectionAccess(const QString& databasePath);

    int16_t ExecuteNonQuery(const QString& sql, bool silent = false);
    int16_t ExecuteNonQueryRepl(const QString& sql, bool silent = false);
    Variant ExecuteScalar(const QString& sql, bool onAppl = false);
    // Never null: a failed query gives a closed recordset.
    std::shared_ptr<platform::Recordset> ExecuteRecordset(const QString& sql, int32_t lockType = 1);
    std::shared_ptr<platform::Recordset> ExecuteRecordsetRepl(const QString& sql,
                                                              int32_t lockType = 1);

    // Raise the database's refusal to the caller.
    void TransBegin();
    void TransCommit();
    void TransRollBack();

    // Cleans user text for use inside an SQL literal: of a run of blanks only
    // one survives, the characters '*><#$&{}[] go, "~" becomes "*", and the
    // ends are trimmed.
    static QString QualifySQL(const QString& text);

    // The pure rules behind the operations.
    static QString BuildConnectionString(const ConnectionSettings& settings, bool useLocalServer);
    static QString TranslateSQL(const QString& sql, int32_t connectTo);
    bool UseLocalServer() const;

private:
    std::shared_ptr<platform::Connection>& ApplConnection();
    std::shared_ptr<platform::Connection>& ReplConnection();
    bool OpenConnectionInternal(platform::Connection& connection, const QString& connectionString,
                                bool test);
    Variant ExecuteNonQueryInternal(const QString& sql, platform::Connection& connection,
                                    bool silent);
    std::shared_ptr<platform::Recordset> OpenRecordset(const QString& sql, int32_t lockType,
                                                       platform::Connection& connection,
                                                       const char* method);
    void Record(int32_t number, const QString& text, const QString& method);

    ConnectionSettings settings_;
    std::shared_ptr<platform::Connection> applConnection_;
    std::shared_ptr<platform::Connection> replConnection_;
    ErrorController* errorLogging_ = nullptr;
    std::unique_ptr<ErrorController> ownLog_;
    ErrorSink errorSink_;
    int16_t timeOut_ = 0;
    bool myODBCMissing_ = false;
    int openCount_ = 0;
    QString lastExecuteError_;
};

// The program-wide instance, created on first use.
DatabaseClass& Database();
