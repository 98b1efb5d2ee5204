#include <QApplication>

#include "core/startup/SubMain.h"
#include "platform/Files.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The board's unload ends the program; closing the last window alone does not.
    QApplication::setQuitOnLastWindowClosed(false);
    SetProgramIdentity();
    EndOnTerminationSignals();
    platform::InstallFileFaultFromEnvironment();
    if (!Main())
        return 0;
    if (ProgramEnded())
        return 0;
    return QApplication::exec();
}
