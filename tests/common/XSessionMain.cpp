// The test main of tests that need a real X display with a window manager
// (frame sizes, window-manager keys, the close box): the run gets a private
// Xvfb with openbox, and its QApplication runs there on Qt's X11 platform.
// Listing the tests (discovery at build time) needs no display.
#include <QtGlobal>
#include <cstdio>
#include <cstring>

#include "common/TestSupport.h"
#include "common/XSession.h"

namespace {
XSession* gSession = nullptr;
}

XSession& TestXSession() {
    return *gSession;
}

int main(int argc, char** argv) {
    bool listing = false;
    for (int i = 1; i < argc; ++i)
        listing = listing || std::strncmp(argv[i], "--gtest_list_tests", 18) == 0;
    XSession session;
    gSession = &session;
    if (listing) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    } else {
        if (!session.Start()) {
            std::fprintf(stderr, "no X display with a window manager (Xvfb, openbox)\n");
            return 1;
        }
        qputenv("DISPLAY", session.Display().toLocal8Bit());
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    return RunTestsInApplication(argc, argv);
}
