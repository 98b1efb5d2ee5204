#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "platform/Variant.h"

class QSqlError;

// The engines behind a Connection, one source file each: SQLite for the file
// database, unixODBC for the server types. Internal to the SQL layer: callers
// use Connection and Recordset.
namespace platform {

struct ConnectionTarget;

// A query's result as a recordset keeps it.
struct QueryRows {
    QStringList names;
    std::vector<Variant> cells;  // row-major
    int32_t rowCount = 0;
};

// One open session of an engine under its Qt SQL connection name. The engine
// registers that Qt connection when it opens and drops it when it goes, so a
// connection that fails to open leaves nothing registered.
class SqlBackend {
public:
    explicit SqlBackend(QString qtName) : qtName_(std::move(qtName)) {}
    virtual ~SqlBackend();
    SqlBackend(const SqlBackend&) = delete;
    SqlBackend& operator=(const SqlBackend&) = delete;

    // Raises the provider's refusal (source "Connection.Open").
    virtual void Open(const ConnectionTarget& target) = 0;
    // One statement (or, for SQLite, several); the rows they affected.
    virtual int64_t Execute(const QString& sql, int timeoutSeconds) = 0;
    // Every row of a query; raises with the source "Recordset.Open".
    virtual QueryRows Select(const QString& sql) = 0;
    // False once the session no longer reaches the database it was opened
    // for: a file database whose path now names another file, or none.
    virtual bool ReachesItsDatabase() const { return true; }

    // The Qt connection, for transactions.
    QSqlDatabase Database() const;

protected:
    QSqlDatabase AddQtDatabase(const QString& driver);
    void RemoveQtDatabase();
    const QString& QtName() const { return qtName_; }

private:
    QString qtName_;
    bool registered_ = false;
};

std::unique_ptr<SqlBackend> MakeSqliteBackend(const QString& qtName);
std::unique_ptr<SqlBackend> MakeOdbcBackend(const QString& qtName);

// Raises a provider error with the source given in full ("Connection.Open").
[[noreturn]] void RaiseSqlError(int number, const QString& text, const QString& source);
// Number and text of a Qt SQL error: the driver's native number when it gives
// one, the provider's generic failure otherwise.
std::pair<int, QString> QtError(const QSqlError& error);
// An integer as a Long when it fits, else as a Double.
Variant FromInt64(int64_t n);

}  // namespace platform
