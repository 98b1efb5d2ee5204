#pragma once

#include <QString>
#include <memory>

#include "DbTestSupport.h"
#include "common/TestSupport.h"

class DatabaseClass;

enum class TestBackend { Sqlite, MySql };

// A test against the global Database, opened on a fresh SQLite file or a
// fresh database on the test MariaDB server, with the demo data; failures go
// to "Error.log" in the test's own folder (the global error log too).
class DataTest : public TempAppDataTest, public ::testing::WithParamInterface<TestBackend> {
protected:
    void SetUp() override;
    void TearDown() override;

    TestBackend Backend() const { return GetParam(); }
    // Runs statements outside the class under test.
    void Exec(const QString& sql);
    // Points the global Database at the test database and opens it.
    bool Reopen();
    QString LogPath() const { return PathIn(QStringLiteral("Error.log")); }
    QString LogText() const;
    // How many blocks of the log name this method exactly.
    int LogEntries(const QString& methodName) const;

private:
    std::unique_ptr<TempMySqlDatabase> mysql_;
    QString sqlitePath_;
};

std::string BackendName(const ::testing::TestParamInfo<TestBackend>& info);

#define INSTANTIATE_ON_BOTH_DATABASES(suite) \
    INSTANTIATE_TEST_SUITE_P(                \
        Databases, suite, ::testing::Values(TestBackend::Sqlite, TestBackend::MySql), BackendName)
