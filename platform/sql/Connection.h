#pragma once

#include <QString>
#include <cstdint>
#include <memory>

#include "platform/AppError.h"

// The connection, command and static recordset layer in place of ADO.
// Connections open from the connection strings the station builds: a file
// database ("Provider=Microsoft.Jet.OLEDB..." with "Data Source=") is served by
// SQLite, the server types go through unixODBC. Every failure is raised as an
// AppError whose Number and Description are the provider's error number and
// text, and whose Source names the layer's procedure.
namespace platform {

class SqlBackend;

// Object states and cursor, lock and isolation constants with their ADO values.
inline constexpr int kStateClosed = 0;
inline constexpr int kStateOpen = 1;
inline constexpr int kUseClient = 3;
inline constexpr int kOpenStatic = 3;
inline constexpr int kLockReadOnly = 1;
inline constexpr int32_t kXactUnspecified = -1;
inline constexpr int32_t kXactReadUncommitted = 256;
inline constexpr int32_t kXactReadCommitted = 4096;
inline constexpr int32_t kXactRepeatableRead = 65536;
inline constexpr int32_t kXactSerializable = 1048576;

// Error numbers of the layer itself (provider errors keep their own numbers).
inline constexpr int kErrProviderFailure = -2147467259;  // 0x80004005
inline constexpr int kErrArguments = 3001;
inline constexpr int kErrNoCurrentRecord = 3021;
inline constexpr int kErrItemNotFound = 3265;
inline constexpr int kErrObjectClosed = AppError::kObjectClosed;
inline constexpr int kErrObjectOpen = 3705;
inline constexpr int kErrBadConnectionString = 3706;

// The driver a connection string reaches on this machine.
enum class Backend { None, Sqlite, Odbc };

// How a connection string is served here: the back end, and the SQLite file
// path or the ODBC connection string to hand to unixODBC. A string that names
// no known provider gives Backend::None.
struct ConnectionTarget {
    Backend backend = Backend::None;
    QString filePath;    // Sqlite
    QString odbcString;  // Odbc: the string as given, driver names mapped
    QString driverName;  // Odbc: the driver named in the string ("" for a DSN)
    bool mysqlDriver = false;
};
ConnectionTarget ResolveConnectionString(const QString& connectionString);

// The seconds a server connection waits for the server to accept it, to
// answer a statement or to take what is sent: 30, the provider's default.
// Tests that stop a server shorten it; the station never changes it.
int ProviderTimeout();
void SetProviderTimeout(int seconds);

// The ODBC driver registered on this machine that serves a MySQL connection
// string when the name it gives is not registered: MariaDB's driver.
QString FallbackMySqlDriver();

// True for the driver manager's answers that mean "this driver is not
// installed": a missing data source or default driver, a driver library that
// cannot be loaded.
bool IsDriverMissingText(const QString& errorText);

// One database session. Not copyable; owned through shared_ptr so that two
// names (the application and the local-server connection) can share one.
// Used on one thread. Every connection still open when the application object
// ends (or at exit) is closed then, before Qt SQL goes away.
class Connection final {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    QString ConnectionString() const { return connectionString_; }
    void SetConnectionString(const QString& text);
    int CursorLocation() const { return cursorLocation_; }
    void SetCursorLocation(int location) { cursorLocation_ = location; }
    // Seconds a command may run; 0 waits without limit. ADO's default is 30.
    int CommandTimeout() const { return commandTimeout_; }
    void SetCommandTimeout(int seconds);
    int32_t IsolationLevel() const { return isolationLevel_; }
    // Raises kErrArguments for a value that is no isolation level.
    void SetIsolationLevel(int32_t level);
    int State() const;
    Backend Kind() const { return target_.backend; }
    // Open, and still on the database it was opened for (see
    // SqlBackend::ReachesItsDatabase); never raises.
    bool ReachesItsDatabase() const;

    // Opens with the given or the stored connection string; raises on failure
    // (a missing, unreadable or foreign file, a refused server, a driver that
    // is not installed) and leaves the connection closed.
    void Open(const QString& connectionString = QString());
    // Closes; never raises.
    void Close();

    // Runs one statement; returns the rows it affected. timeoutSeconds < 0
    // means the connection's CommandTimeout.
    int64_t Execute(const QString& sql, int timeoutSeconds = -1);

    // Raise when closed, when the database refuses, and for a commit or roll
    // back without a transaction or a second BeginTrans (no nesting).
    void BeginTrans();
    void CommitTrans();
    void RollbackTrans();

    // For the recordset: the engine of the open connection (SQLite or ODBC).
    SqlBackend& Engine() const;

private:
    void RequireOpen(const char* procedure) const;
    void EndTransaction(bool commit, const char* procedure);

    QString connectionString_;
    ConnectionTarget target_;
    QString qtName_;
    int cursorLocation_ = 2;
    int commandTimeout_ = 30;
    int32_t isolationLevel_ = kXactReadCommitted;
    bool open_ = false;
    bool inTransaction_ = false;
    std::unique_ptr<SqlBackend> backend_;  // while open
};

// Rewrites Access date literals (#12/31/2011#, #2011-12-31 10:00:00#) outside
// quoted texts into SQLite's 'yyyy-mm-dd hh:nn:ss' text; a "#" pair that is no
// date is left as it stands.
QString RewriteDateLiterals(const QString& sql);

}  // namespace platform
