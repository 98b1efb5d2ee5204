#include "DataTestSupport.h"

#include "core/ErrorController.h"
#include "data/DatabaseClass.h"
#include "data/NomUsers.h"
#include "platform/CodePage.h"

void DataTest::SetUp() {
    TempAppDataTest::SetUp();
    ErrorLogger().SetLogFileName(LogPath());
    Users().SetActiveUser(NomUsersItem());
    if (Backend() == TestBackend::Sqlite) {
        sqlitePath_ = PathIn(QStringLiteral("quillbarrow.mdb"));
        CreateSqliteDatabase(sqlitePath_, true);
    } else {
        mysql_ = std::make_unique<TempMySqlDatabase>(true);
    }
    ASSERT_TRUE(Reopen()) << LogText().toStdString();
}

void DataTest::TearDown() {
    Database().CloseConnection();
    mysql_.reset();
    TempAppDataTest::TearDown();
}

bool DataTest::Reopen() {
    DatabaseClass& db = Database();
    db.CloseConnection();
    db.SetLocalServerName(QString());
    db.SettimeOut(0);
    if (Backend() == TestBackend::Sqlite) {
        db.SetConnectTo(kDbAccess);
        db.SetDatabasePath(sqlitePath_);
        db.SetServerName(QString());
        db.SetDatabaseName(QString());
        db.SetUser(QString());
        db.SetPassword(QString());
    } else {
        db.SetConnectTo(kDbMySql);
        db.SetDatabasePath(QString());
        db.SetServerName(mysql_->Server().ServerName());
        db.SetDatabaseName(mysql_->Name());
        db.SetUser(mysql_->Server().user);
        db.SetPassword(mysql_->Server().password);
    }
    return db.OpenConnection();
}

void DataTest::Exec(const QString& sql) {
    if (Backend() == TestBackend::Sqlite)
        SqliteExec(sqlitePath_, sql);
    else
        mysql_->Exec(sql);
}

QString DataTest::LogText() const {
    return platform::FromAnsi(ReadBytes(LogPath()));
}

int DataTest::LogEntries(const QString& methodName) const {
    return LogText().count(QStringLiteral("Method Name:     ") + methodName +
                           QStringLiteral("\r\n"));
}

std::string BackendName(const ::testing::TestParamInfo<TestBackend>& info) {
    return info.param == TestBackend::Sqlite ? "SQLite" : "MariaDB";
}
