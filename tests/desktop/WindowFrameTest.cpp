// What the window manager makes of the station's windows: the close box of a
// shown dialog.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>

#include "common/ModalHelper.h"
#include "common/TestSupport.h"
#include "common/XSession.h"
#include "core/ModControls.h"

namespace {

bool Pump(const std::function<bool()>& condition, int ms) {
    QElapsedTimer t;
    t.start();
    while (!condition()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// Whether the window asks its window manager for a close box: the close
// function of its Motif hints (flags, functions, ...), where a set "all" bit
// turns the other function bits into the functions withheld. (openbox draws
// its close box whatever the hints say; other window managers follow them.)
bool Closable(QWidget* window) {
    const QStringList hints =
        TestXSession().PropertyValues(uint32_t(window->winId()), "_MOTIF_WM_HINTS");
    if (hints.size() < 2 || !(hints[0].toUInt(nullptr, 16) & 1))
        return true;
    const uint functions = hints[1].toUInt(nullptr, 16);
    return (functions & 1) ? !(functions & 32) : (functions & 32) != 0;
}

}  // namespace

TEST(WindowFrame, CloseBoxChangesOnAShownDialogAndItsModalLoopGoesOn) {
    QDialog dialog;
    dialog.setWindowTitle("Close box");
    dialog.resize(300, 120);
    bool offSeen = false;
    bool onSeen = false;
    bool closedByTest = false;
    modal::WhenModal([&](QWidget* w) {
        ASSERT_TRUE(Pump([&] { return Closable(w); }, 5000));
        DisableCloseButton(w);
        offSeen = Pump([&] { return !Closable(w); }, 3000);
        EnableCloseButton(w, true);
        onSeen = Pump([&] { return Closable(w); }, 3000);
        // Closed from the dialog's own loop: it runs only while exec() does.
        QTimer::singleShot(100, w, [&, w] {
            closedByTest = true;
            static_cast<QDialog*>(w)->done(QDialog::Accepted);
        });
    });
    QTimer::singleShot(20000, &dialog, [&] {
        ADD_FAILURE() << "the dialog was still open";
        dialog.reject();
    });
    dialog.exec();
    EXPECT_TRUE(offSeen) << "the close box stayed";
    EXPECT_TRUE(onSeen) << "the close box did not come back";
    EXPECT_TRUE(closedByTest) << "the modal loop ended when the close box changed";
}
