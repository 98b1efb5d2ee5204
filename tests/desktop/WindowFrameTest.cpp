// What the window manager makes of the station's windows: the close box of a
// shown dialog, and the help window's frame.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDialog>
#include <QScreen>
#include <QTimer>

#include "board/HotKeys.h"
#include "common/ModalHelper.h"
#include "common/TestSupport.h"
#include "common/XSession.h"
#include "core/Configuration.h"
#include "core/ModControls.h"
#include "data/NomUsers.h"
#include "dialogs/HelpForm.h"
#include "localization/BuiltInTexts.h"
#include "localization/ResManagerClass.h"
#include "platform/System.h"

namespace {

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
        ASSERT_TRUE(PumpEventsUntil([&] { return Closable(w); }, 5000));
        DisableCloseButton(w);
        offSeen = PumpEventsUntil([&] { return !Closable(w); }, 3000);
        EnableCloseButton(w, true);
        onSeen = PumpEventsUntil([&] { return Closable(w); }, 3000);
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

TEST(WindowFrame, HelpWindowSizesAreItsFrameWithinTheScreenCap) {
    if (ResManager().CountResources() == 0)
        RegisterBuiltInTexts();
    ConfigurationSettings.Communication = 2;
    Users().ActiveUser().Setlevel(2);
    // A key list far taller than the screen: the window is cut to 95 % of it.
    HotKeyTable.clear();
    for (int i = 0; i < 80; ++i)
        HotKeyTable.push_back(
            {kFnNext, QString("Next order %1").arg(i), int16_t(112 + i % 12), 0, 3});
    const double cap = 0.95 * QGuiApplication::primaryScreen()->geometry().height();
    HelpForm form;
    QRect frame;
    QSize client;
    modal::WhenModal([&](QWidget* w) {
        PumpEventsUntil(
            [&] {
                return w->frameGeometry() != w->geometry() &&
                       qAbs(w->frameGeometry().height() - cap) <= 1;
            },
            3000);
        frame = w->frameGeometry();
        client = w->size();
        form.done(QDialog::Accepted);
    });
    form.exec();
    EXPECT_NEAR(frame.height(), cap, 1);
    EXPECT_EQ(frame.width(),
              qRound(double(form.KeyListWidth() + 195) / platform::TwipsPerPixelX()));
    EXPECT_LT(client.height(), frame.height()) << "no title bar";
}
