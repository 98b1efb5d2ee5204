#include <QApplication>

#include "platform/Files.h"
#include "platform/controls/DestroyedWindows.h"
#include "startup/SubMain.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The board's unload ends the program; closing the last window alone does not.
    QApplication::setQuitOnLastWindowClosed(false);
    SetProgramIdentity();
    EndOnTerminationSignals();
    // A dialog whose window another program destroys would otherwise keep
    // every other window blocked behind a window that is gone.
    platform::CloseModalWindowsDestroyedFromOutside();
    platform::InstallFileFaultFromEnvironment();
    if (!Main())
        return 0;
    if (ProgramEnded())
        return 0;
    return QApplication::exec();
}
