// The test main: an offscreen QApplication owned for the whole run, a private
// common application-data folder so that no test touches the user's, and a
// private error log for every test, which the global database object records
// into too, so that no test writes into the program folder (the default place
// of both logs).
#include <gtest/gtest.h>
#include <QApplication>
#include <QTemporaryDir>
#include <memory>

#include "core/ErrorController.h"
#include "data/DatabaseClass.h"

namespace {

class PrivateErrorLog final : public ::testing::EmptyTestEventListener {
public:
    void OnTestStart(const ::testing::TestInfo&) override {
        dir_ = std::make_unique<QTemporaryDir>();
        ErrorLogger().SetLogFileName(dir_->filePath(QStringLiteral("Error.log")));
        Database().SetErrorLogging(&ErrorLogger());
    }
    void OnTestEnd(const ::testing::TestInfo&) override { dir_.reset(); }

private:
    std::unique_ptr<QTemporaryDir> dir_;
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir appData;
    if (qEnvironmentVariableIsEmpty("KESTRELLE_COMMON_APPDATA"))
        qputenv("KESTRELLE_COMMON_APPDATA", appData.path().toLocal8Bit());
    // Fixed date and time patterns keep formatted dates independent of the machine.
    if (qEnvironmentVariableIsEmpty("KESTRELLE_SHORTDATE"))
        qputenv("KESTRELLE_SHORTDATE", "dd.MM.yyyy");
    if (qEnvironmentVariableIsEmpty("KESTRELLE_TIMEFORMAT"))
        qputenv("KESTRELLE_TIMEFORMAT", "HH:mm:ss");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new PrivateErrorLog);
    return RUN_ALL_TESTS();
}
