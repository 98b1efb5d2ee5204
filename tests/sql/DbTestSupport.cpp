#include "DbTestSupport.h"

#include <sqlite3.h>
#include <unistd.h>

#include <QFile>
#include <QRegularExpression>
#include <atomic>
#include <stdexcept>

#include "platform/AppError.h"
#include "platform/sql/Connection.h"

QString ToolsDbFile(const QString& name) {
    return QStringLiteral(KESTRELLE_SOURCE_DIR "/tools/db/") + name;
}

QStringList SqlStatements(const QString& script) {
    QStringList statements;
    QString current;
    for (const QString& line : script.split('\n')) {
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(QLatin1String("--")) || trimmed.isEmpty())
            continue;
        current += line + '\n';
        if (trimmed.endsWith(';')) {
            statements.append(current.trimmed().chopped(1));
            current.clear();
        }
    }
    if (!current.trimmed().isEmpty())
        statements.append(current.trimmed());
    return statements;
}

namespace {
QString ReadText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    return QString::fromUtf8(file.readAll());
}
}  // namespace

void SqliteExec(const QString& path, const QString& sql) {
    sqlite3* db = nullptr;
    if (sqlite3_open(path.toUtf8().constData(), &db) != SQLITE_OK) {
        sqlite3_close(db);
        throw std::runtime_error("cannot open " + path.toStdString());
    }
    char* message = nullptr;
    const int rc = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &message);
    const std::string text = message ? message : "";
    sqlite3_free(message);
    sqlite3_close(db);
    if (rc != SQLITE_OK)
        throw std::runtime_error("sqlite: " + text);
}

void CreateSqliteDatabase(const QString& path, bool demo) {
    QFile::remove(path);
    SqliteExec(path, ReadText(ToolsDbFile(QStringLiteral("schema-sqlite.sql"))));
    if (demo)
        SqliteExec(path, ReadText(ToolsDbFile(QStringLiteral("demo-data.sql"))));
}

QString MySqlTestServer::ServerName() const {
    return QStringLiteral("127.0.0.1;PORT=%1").arg(port);
}

QString MySqlTestServer::ConnectionString(const QString& database) const {
    return QStringLiteral(
               "DRIVER={MySQL ODBC 3.51 Driver};SERVER=%1;DATABASE=%2;UID=%3;PASSWORD=%4;OPTION=3")
        .arg(ServerName(), database, user, password);
}

MySqlTestServer RequireMySqlServer() {
    const QByteArray port = qgetenv("KESTRELLE_TEST_MYSQL_PORT");
    if (port.isEmpty())
        throw std::runtime_error(
            "KESTRELLE_TEST_MYSQL_PORT is not set: run the tests through scripts/test, which "
            "starts the MariaDB server they need");
    MySqlTestServer server;
    server.port = port.toInt();
    server.user = qEnvironmentVariable("KESTRELLE_TEST_MYSQL_USER", QStringLiteral("kestrelle"));
    server.password =
        qEnvironmentVariable("KESTRELLE_TEST_MYSQL_PASSWORD", QStringLiteral("kestrelle"));
    return server;
}

namespace {
std::atomic<int> databaseSerial{0};

void RunOn(const MySqlTestServer& server, const QString& database, const QStringList& statements) {
    platform::Connection connection;
    try {
        connection.Open(server.ConnectionString(database));
        for (const QString& sql : statements)
            connection.Execute(sql);
    } catch (const AppError& e) {
        throw std::runtime_error("MariaDB test server: " + e.Description().toStdString());
    }
}
}  // namespace

TempMySqlDatabase::TempMySqlDatabase(bool demo) : server_(RequireMySqlServer()) {
    name_ = QStringLiteral("kt_%1_%2").arg(getpid()).arg(databaseSerial.fetch_add(1));
    RunOn(server_, QString(),
          {QStringLiteral("DROP DATABASE IF EXISTS ") + name_,
           QStringLiteral("CREATE DATABASE ") + name_ +
               QStringLiteral(" CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci")});
    QStringList statements =
        SqlStatements(ReadText(ToolsDbFile(QStringLiteral("schema-mysql.sql"))));
    if (demo)
        statements += SqlStatements(ReadText(ToolsDbFile(QStringLiteral("demo-data.sql"))));
    RunOn(server_, name_, statements);
}

TempMySqlDatabase::~TempMySqlDatabase() {
    try {
        RunOn(server_, QString(), {QStringLiteral("DROP DATABASE IF EXISTS ") + name_});
    } catch (...) {
    }
}

void TempMySqlDatabase::Exec(const QString& sql) {
    RunOn(server_, name_, {sql});
}
