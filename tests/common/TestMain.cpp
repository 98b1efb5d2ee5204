// The test main: an offscreen QApplication owned for the whole run, a private
// common application-data folder so that no test touches the user's, and a
// private error log for every test, which the global database object records
// into too, so that no test writes into the program folder (the default place
// of both logs); the program state is reset before every test.
#include <QtGlobal>

#include "common/TestSupport.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return RunTestsInApplication(argc, argv);
}
