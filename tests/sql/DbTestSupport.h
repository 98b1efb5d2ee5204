#pragma once

#include <QString>
#include <QStringList>
#include <memory>

// Real databases for the tests: SQLite files made from the schema and demo
// data in tools/db, and private databases on the MariaDB server that
// scripts/test starts (KESTRELLE_TEST_MYSQL_PORT, _USER, _PASSWORD).

// A file of tools/db.
QString ToolsDbFile(const QString& name);

// The statements of an SQL script: split at ";" ending a line, comment lines
// dropped.
QStringList SqlStatements(const QString& script);

// Creates an SQLite database file from the schema, with the demo data when
// asked; raises std::runtime_error on failure.
void CreateSqliteDatabase(const QString& path, bool demo);

// Runs statements on an SQLite file outside the layer under test.
void SqliteExec(const QString& path, const QString& sql);

struct MySqlTestServer {
    int port = 0;
    QString user;
    QString password;
    // "127.0.0.1;PORT=n": a server name that carries the port through the
    // station's connection string.
    QString ServerName() const;
    // An ODBC connection string for the named database ("" for none).
    QString ConnectionString(const QString& database) const;
};

// The test server; raises std::runtime_error when scripts/test did not
// start one, so that a test needing it fails with the reason.
MySqlTestServer RequireMySqlServer();

// A MariaDB server of the test's own, on a free port of 127.0.0.1, for tests
// that stop or kill it under a running station without touching the server
// other tests share; killed and removed when the object goes. Raises
// std::runtime_error when it cannot start.
class PrivateMySqlServer final {
public:
    PrivateMySqlServer();
    ~PrivateMySqlServer();
    PrivateMySqlServer(const PrivateMySqlServer&) = delete;
    PrivateMySqlServer& operator=(const PrivateMySqlServer&) = delete;

    const MySqlTestServer& Server() const { return server_; }
    // SIGSTOP and SIGCONT: the server keeps its connections and stops answering.
    void Stop();
    void Continue();
    // SIGKILL, once the process is gone; and a new server on the same port
    // and data, once it answers.
    void Kill();
    void Restart();

private:
    void Launch();
    void Remove();

    MySqlTestServer server_;
    QString folder_;
    QString runAs_;
    long long pid_ = 0;
};

// A fresh database on the test server with the schema (and demo data), dropped
// again when the object goes.
class TempMySqlDatabase final {
public:
    explicit TempMySqlDatabase(bool demo);
    // The same on another server.
    TempMySqlDatabase(const MySqlTestServer& server, bool demo);
    ~TempMySqlDatabase();
    TempMySqlDatabase(const TempMySqlDatabase&) = delete;
    TempMySqlDatabase& operator=(const TempMySqlDatabase&) = delete;

    QString Name() const { return name_; }
    const MySqlTestServer& Server() const { return server_; }
    // Runs statements outside the database class under test.
    void Exec(const QString& sql);

private:
    MySqlTestServer server_;
    QString name_;
};
