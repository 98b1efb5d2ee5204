// What the window manager and the screen make of the station's windows: the
// close box of a shown dialog, a dialog whose window another client destroys,
// the help window's frame, and what the shown windows put on the screen.
#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QImage>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include "board/HotKeys.h"
#include "common/ModalHelper.h"
#include "common/TestSupport.h"
#include "common/XSession.h"
#include "core/Configuration.h"
#include "core/ModControls.h"
#include "data/NomUsers.h"
#include "dialogs/HelpForm.h"
#include "dialogs/SetupForm.h"
#include "localization/BuiltInTexts.h"
#include "localization/MsgBoxExClass.h"
#include "localization/MsgBoxExForm.h"
#include "localization/ResManagerClass.h"
#include "platform/System.h"
#include "platform/controls/CommandButton.h"
#include "platform/controls/ControlIndex.h"
#include "platform/controls/DataGrid.h"
#include "platform/controls/DestroyedWindows.h"

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

// The pixels of the screen (read back from the X server) under a widget that
// differ clearly from its window's background: what a person sees of it.
int InkOnScreen(QWidget* w) {
    const QPoint origin = w->mapToGlobal(QPoint(0, 0));
    const QImage shot = QGuiApplication::primaryScreen()
                            ->grabWindow(0, origin.x(), origin.y(), w->width(), w->height())
                            .toImage();
    const QColor background = w->window()->palette().color(QPalette::Window);
    int ink = 0;
    for (int y = 0; y < shot.height(); ++y) {
        for (int x = 0; x < shot.width(); ++x) {
            const QColor c = shot.pixelColor(x, y);
            if (std::abs(c.red() - background.red()) + std::abs(c.green() - background.green()) +
                    std::abs(c.blue() - background.blue()) >
                96)
                ++ink;
        }
    }
    return ink;
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

// A modal dialog whose window another client destroys, and that refuses the
// close its close box would give (the login of a kiosk), is shown again in a
// new window and stays the window the program waits on. (Shown modal rather
// than run: a dialog that never came back could not end its loop.)
TEST(WindowFrame, ADestroyedDialogThatRefusesToCloseComesBackInANewWindow) {
    class Refusing final : public QDialog {
    public:
        int Refusals = 0;

    protected:
        void closeEvent(QCloseEvent* event) override {
            ++Refusals;
            event->ignore();
        }
    };
    platform::CloseModalWindowsDestroyedFromOutside();
    Refusing dialog;
    dialog.setWindowTitle("Refusing");
    dialog.resize(300, 120);
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.show();
    ASSERT_TRUE(PumpEventsUntil([&] { return dialog.windowHandle()->isExposed(); }, 5000));
    const WId first = dialog.winId();
    TestXSession().Run("xdotool", {"windowclose", QString::number(first)});
    EXPECT_TRUE(PumpEventsUntil(
        [&] {
            return dialog.isVisible() && dialog.internalWinId() != first &&
                   dialog.windowHandle()->isExposed();
        },
        5000))
        << "the dialog did not come back";
    EXPECT_EQ(dialog.Refusals, 1);
    EXPECT_EQ(QApplication::activeModalWidget(), &dialog);
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
    HelpForm form(ConfigurationSettings);
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

TEST(WindowFrame, EveryLineOfAMessageIsOnTheScreen) {
    QStringList lines;
    for (int i = 0; i < 30; ++i)
        lines << QString("Line %1 of the message").arg(i);
    QStringList shown;
    modal::WhenModal([&](QWidget* w) {
        auto* form = qobject_cast<MsgBoxExForm*>(w);
        ASSERT_NE(form, nullptr);
        // Drawn once the first line is on the screen.
        PumpEventsUntil([&] { return InkOnScreen(form->MessageLines().first()) > 0; }, 5000);
        PumpEvents(100);
        for (QLabel* line : form->MessageLines()) {
            if (line->isVisible() && InkOnScreen(line) > 0)
                shown << line->text();
        }
        form->ResultButtons().first()->Press();
    });
    MsgBoxExClass box;
    box.Show(lines.join("\r\n"), 0, "Lines");
    EXPECT_EQ(shown, lines);
}

// Double-clicks with the mouse, as the X server delivers them: each one steps
// the options grid's value, also while the cell's list editor is open under
// the pointer.
TEST(WindowFrame, EveryDoubleClickStepsAnOptionsValue) {
    if (ResManager().CountResources() == 0)
        RegisterBuiltInTexts();
    ConfigurationSettings.Communication = 0;
    ConfigurationSettings.Restriction = true;
    SetupForm form(ConfigurationSettings);
    form.show();
    ASSERT_TRUE(PumpEventsUntil(
        [&] { return form.windowHandle() && form.windowHandle()->isExposed(); }, 5000));
    static_cast<platform::CommandButton*>(
        platform::FindIndexedControl(&form, QStringLiteral("btnTab"), 1))
        ->Press();
    auto* grid = form.findChild<platform::DataGrid*>(QStringLiteral("dgView"));
    ASSERT_TRUE(grid);
    ASSERT_EQ(grid->CellText(0, 2), "Restriction");
    PumpEvents(300);
    const QPoint cell = grid->viewport()->mapToGlobal(
        grid->visualItemRect(grid->item(0, 1)).center() - QPoint(20, 0));
    QStringList values;
    for (int i = 0; i < 3; ++i) {
        const QString before = grid->CellText(0, 1);
        TestXSession().Run(
            "xdotool", {"mousemove", QString::number(cell.x()), QString::number(cell.y()), "click",
                        "--repeat", "2", "--delay", "60", "1"});
        PumpEventsUntil([&] { return grid->CellText(0, 1) != before; }, 2000);
        values << grid->CellText(0, 1);
        // Longer than the double-click time: the next one is a new one.
        PumpEvents(QApplication::doubleClickInterval() + 300);
    }
    form.reject();
    EXPECT_EQ(values, QStringList({Res("strDisable"), Res("strEnable"), Res("strDisable")}));
}

namespace {

// Where the dialog's keyboard focus is, by control name: the control of the
// dialog (not a part of it, such as a grid cell's editor) that holds it; a tab
// button with its index, a grid with its current row.
QString FocusedControl(QWidget* dialog) {
    QWidget* w = QApplication::focusWidget();
    while (w && w->parentWidget() && w->parentWidget() != dialog &&
           w->parentWidget()->objectName() != "frmTab")
        w = w->parentWidget();
    if (!w || w->window() != dialog)
        return "(outside)";
    if (auto* grid = qobject_cast<platform::DataGrid*>(w))
        return QString("%1[%2]").arg(grid->objectName()).arg(grid->Row());
    return platform::HasControlIndex(w)
               ? w->objectName() + QString::number(platform::ControlIndex(w))
               : w->objectName();
}

}  // namespace

// Tab pressed at the X server walks the settings dialog as it is read: each
// page from top to bottom and left to right, then Save and Cancel, then the
// tab buttons, of which there is one per page; then round to the page again.
TEST(WindowFrame, TabWalksTheSettingsDialogInReadingOrder) {
    if (ResManager().CountResources() == 0)
        RegisterBuiltInTexts();
    const QStringList end = {"btnSave", "btnCancel", "btnTab0", "btnTab1"};
    const QStringList lower = {"cbLanguage", "cbCountry", "cbColorScheme"};
    struct Walk {
        int Communication;
        int DatabaseType;
        int Tab;
        QStringList Controls;
    };
    const Walk walks[] = {
        {0, 0, 0, QStringList{"cbCommunicationMethod", "tbIP", "tbPortUDP", "tbPass1", "tbPass2"}},
        {1, 0, 0, QStringList{"cbCommunicationMethod", "tbIP", "tbPortTCP", "tbPass1", "tbPass2"}},
        {2, 0, 0,
         QStringList{"cbCommunicationMethod", "cbDBType", "btnTestConnection", "tbPath",
                     "btnFileOpen"}},
        {2, 2, 0,
         QStringList{"cbCommunicationMethod", "cbDBType", "btnTestConnection", "tbServerName",
                     "tbLocalServerName", "tbName", "tbUser", "tbPassword"}},
        {2, 2, 1,
         QStringList{"dgView[0]", "dgView[1]", "dgView[2]", "dgView[3]", "dgView[4]", "dgView[5]",
                     "dgView[6]", "dgView[7]", "dgView[8]"}},
    };
    for (const Walk& walk : walks) {
        SCOPED_TRACE(QString("mode %1, type %2, tab %3")
                         .arg(walk.Communication)
                         .arg(walk.DatabaseType)
                         .arg(walk.Tab)
                         .toStdString());
        ConfigurationSettings.Communication = walk.Communication;
        ConfigurationSettings.DatabaseType = walk.DatabaseType;
        SetupForm form(ConfigurationSettings);
        form.show();
        ASSERT_TRUE(PumpEventsUntil([&] { return form.isActiveWindow(); }, 5000));
        // The tab buttons a person sees: those drawn on the screen.
        const QList<QWidget*> tabs = platform::FindControlGroup(&form, "btnTab");
        ASSERT_TRUE(PumpEventsUntil([&] { return InkOnScreen(tabs.first()) > 0; }, 5000));
        QStringList drawn;
        for (QWidget* tab : tabs) {
            if (InkOnScreen(tab) > 0)
                drawn << "btnTab" + QString::number(platform::ControlIndex(tab));
        }
        EXPECT_EQ(drawn, QStringList({"btnTab0", "btnTab1"}));
        if (walk.Tab == 1)
            TestXSession().Key("F8");
        const QStringList expected = walk.Controls + (walk.Tab == 0 ? lower : QStringList()) + end;
        ASSERT_TRUE(PumpEventsUntil([&] { return FocusedControl(&form) == expected[0]; }, 5000))
            << FocusedControl(&form).toStdString();
        QStringList walked = {expected[0]};
        for (int i = 0; i < 2 * expected.size(); ++i) {
            const QWidget* before = QApplication::focusWidget();
            TestXSession().Key("Tab");
            if (!PumpEventsUntil([&] { return QApplication::focusWidget() != before; }, 3000)) {
                ADD_FAILURE() << "Tab left the focus in " << FocusedControl(&form).toStdString();
                break;
            }
            if (FocusedControl(&form) == expected[0])
                break;
            walked << FocusedControl(&form);
        }
        EXPECT_EQ(walked, expected);
        // And back: Shift+Tab leaves the page's first control for the last
        // tab button.
        TestXSession().Key("shift+Tab");
        EXPECT_TRUE(PumpEventsUntil([&] { return FocusedControl(&form) == "btnTab1"; }, 3000))
            << FocusedControl(&form).toStdString();
        form.reject();
    }
}
