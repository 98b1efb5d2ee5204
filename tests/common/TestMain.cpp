// The test main: an offscreen QApplication owned for the whole run, and a
// private common application-data folder so that no test touches the user's.
#include <gtest/gtest.h>
#include <QApplication>
#include <QTemporaryDir>

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
    return RUN_ALL_TESTS();
}
