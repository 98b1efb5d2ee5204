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

// A fresh database on the test server with the schema (and demo data), dropped
// again when the object goes.
class TempMySqlDatabase final {
public:
    explicit TempMySqlDatabase(bool demo);
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
