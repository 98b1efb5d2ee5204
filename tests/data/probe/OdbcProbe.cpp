// odbc_probe <error log> <server name>: opens a MySQL connection with the
// station's connection string and prints whether the driver was missing.
#include <QCoreApplication>
#include <cstdio>

#include "core/ErrorController.h"
#include "data/DatabaseClass.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 3)
        return 2;
    ErrorController log;
    log.SetLogFileName(QString::fromLocal8Bit(argv[1]));
    DatabaseClass db;
    db.SetErrorLogging(&log);
    db.SetConnectTo(kDbMySql);
    db.SetServerName(QString::fromLocal8Bit(argv[2]));
    db.SetDatabaseName(QStringLiteral("pos"));
    db.SetUser(QStringLiteral("nobody"));
    const bool opened = db.OpenConnection();
    std::printf("opened=%d missing=%d\n", int(opened), int(db.MyODBCMissing()));
    db.SetConnectTo(kDbAccess);
    std::printf("missing-as-access=%d\n", int(db.MyODBCMissing()));
    return 0;
}
