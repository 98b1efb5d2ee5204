#include "DbTestSupport.h"

#include <sqlite3.h>
#include <unistd.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>
#include <atomic>
#include <stdexcept>

#include "platform/AppError.h"
#include "platform/sql/Connection.h"

namespace {
std::atomic<int> databaseSerial{0};
}  // namespace

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

namespace {
QString ServerProgram(const QStringList& names) {
    for (const QString& name : names) {
        QString found = QStandardPaths::findExecutable(name);
        if (found.isEmpty())
            found = QStandardPaths::findExecutable(
                name, {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")});
        if (!found.isEmpty())
            return found;
    }
    throw std::runtime_error("not installed: " + names.join(' ').toStdString());
}

int FreeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    if (fd >= 0)
        ::close(fd);
    if (port == 0)
        throw std::runtime_error("no free port on 127.0.0.1");
    return port;
}

bool RunProgram(const QString& program, const QStringList& args, const QByteArray& input = {}) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted(10000))
        return false;
    p.write(input);
    p.closeWriteChannel();
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}
}  // namespace

PrivateMySqlServer::PrivateMySqlServer() {
    folder_ =
        QDir::tempPath() +
        QStringLiteral("/kestrelle-mysql-%1-%2").arg(getpid()).arg(databaseSerial.fetch_add(1));
    QDir(folder_).removeRecursively();
    QDir().mkpath(folder_);
    const passwd* account = getpwuid(geteuid());
    runAs_ = account ? QString::fromLocal8Bit(account->pw_name) : QStringLiteral("root");
    // Its own temporary folder: installs that run at the same time (other
    // private servers, the shared one) collide in a shared /tmp.
    QDir().mkpath(folder_ + QStringLiteral("/tmp"));
    if (!RunProgram(ServerProgram(
                        {QStringLiteral("mariadb-install-db"), QStringLiteral("mysql_install_db")}),
                    {QStringLiteral("--no-defaults"),
                     QStringLiteral("--datadir=") + folder_ + QStringLiteral("/data"),
                     QStringLiteral("--tmpdir=") + folder_ + QStringLiteral("/tmp"),
                     QStringLiteral("--user=") + runAs_,
                     QStringLiteral("--auth-root-authentication-method=socket"),
                     QStringLiteral("--auth-root-socket-user=") + runAs_}))
        throw std::runtime_error("mariadb-install-db failed");
    // A free port: bound once by the test, then handed to the server.
    server_.port = FreeLoopbackPort();
    server_.user = QStringLiteral("kestrelle");
    server_.password = QStringLiteral("kestrelle");
    Launch();
    const QByteArray grants =
        "CREATE USER 'kestrelle'@'localhost' IDENTIFIED BY 'kestrelle';\n"
        "CREATE USER 'kestrelle'@'127.0.0.1' IDENTIFIED BY 'kestrelle';\n"
        "GRANT ALL PRIVILEGES ON *.* TO 'kestrelle'@'localhost';\n"
        "GRANT ALL PRIVILEGES ON *.* TO 'kestrelle'@'127.0.0.1';\n";
    if (!RunProgram(ServerProgram({QStringLiteral("mariadb"), QStringLiteral("mysql")}),
                    {QStringLiteral("--no-defaults"),
                     QStringLiteral("--socket=") + folder_ + QStringLiteral("/m.sock"),
                     QStringLiteral("-uroot")},
                    grants)) {
        Remove();
        throw std::runtime_error("the private MariaDB server did not take its users");
    }
}

void PrivateMySqlServer::Launch() {
    const QString socket = folder_ + QStringLiteral("/m.sock");
    QProcess server;
    server.setProgram(ServerProgram({QStringLiteral("mariadbd"), QStringLiteral("mysqld")}));
    server.setArguments(
        {QStringLiteral("--no-defaults"), QStringLiteral("--datadir=") + folder_ + "/data",
         QStringLiteral("--socket=") + socket, QStringLiteral("--port=%1").arg(server_.port),
         QStringLiteral("--bind-address=127.0.0.1"),
         QStringLiteral("--log-error=") + folder_ + QStringLiteral("/err.log"),
         QStringLiteral("--user=") + runAs_, QStringLiteral("--skip-name-resolve"),
         QStringLiteral("--innodb-buffer-pool-size=16M")});
    server.setStandardOutputFile(QProcess::nullDevice());
    server.setStandardErrorFile(QProcess::nullDevice());
    qint64 pid = 0;
    if (!server.startDetached(&pid))
        throw std::runtime_error("mariadbd did not start");
    pid_ = pid;
    const QString client = ServerProgram({QStringLiteral("mariadb"), QStringLiteral("mysql")});
    bool ready = false;
    for (int i = 0; i < 300 && !ready; ++i) {
        ready = RunProgram(
            client, {QStringLiteral("--no-defaults"), QStringLiteral("--socket=") + socket,
                     QStringLiteral("-uroot"), QStringLiteral("-e"), QStringLiteral("SELECT 1")});
        if (!ready)
            QThread::msleep(100);
    }
    if (!ready) {
        Remove();
        throw std::runtime_error("the private MariaDB server did not start");
    }
}

void PrivateMySqlServer::Kill() {
    if (pid_ <= 0)
        return;
    ::kill(pid_t(pid_), SIGCONT);
    ::kill(pid_t(pid_), SIGKILL);
    for (int i = 0; i < 500 && ::kill(pid_t(pid_), 0) == 0; ++i)
        QThread::msleep(10);
    if (::kill(pid_t(pid_), 0) == 0)
        throw std::runtime_error("the private MariaDB server did not end within 5 s");
    pid_ = 0;
}

void PrivateMySqlServer::Restart() {
    Kill();
    Launch();
}

PrivateMySqlServer::~PrivateMySqlServer() {
    Remove();
}

void PrivateMySqlServer::Remove() {
    if (pid_ > 0) {
        ::kill(pid_t(pid_), SIGCONT);
        ::kill(pid_t(pid_), SIGKILL);
        for (int i = 0; i < 100 && ::kill(pid_t(pid_), 0) == 0; ++i)
            QThread::msleep(20);
        pid_ = 0;
    }
    if (!folder_.isEmpty())
        QDir(folder_).removeRecursively();
    folder_.clear();
}

namespace {

// True when every thread of the process is stopped ('T' in its stat line).
bool AllThreadsStopped(long long pid) {
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    const QStringList ids = QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& id : ids) {
        QFile stat(tasks + '/' + id + QStringLiteral("/stat"));
        if (!stat.open(QIODevice::ReadOnly))
            continue;  // the thread ended
        const QByteArray line = stat.readAll();
        // The state follows the command name, which ends with the last ')'.
        const qsizetype close = line.lastIndexOf(')');
        if (close < 0 || close + 2 >= line.size() || line[close + 2] != 'T')
            return false;
    }
    return !ids.isEmpty();
}

}  // namespace

void PrivateMySqlServer::Stop() {
    ::kill(pid_t(pid_), SIGSTOP);
    // kill() returns before the threads have stopped: a thread that has not
    // yet seen the signal (one waiting on the disk, say) would still answer
    // the next query.
    for (int i = 0; i < 500 && !AllThreadsStopped(pid_); ++i)
        QThread::msleep(10);
    if (!AllThreadsStopped(pid_))
        throw std::runtime_error("the private MariaDB server did not stop within 5 s");
}

void PrivateMySqlServer::Continue() {
    ::kill(pid_t(pid_), SIGCONT);
}

TempMySqlDatabase::TempMySqlDatabase(bool demo) : TempMySqlDatabase(RequireMySqlServer(), demo) {}

TempMySqlDatabase::TempMySqlDatabase(const MySqlTestServer& server, bool demo) : server_(server) {
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
