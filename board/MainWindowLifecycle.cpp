// Start, restart and end of the board.
#include <QLabel>

#include "board/ArrivalsBoard.h"
#include "board/BoardHooks.h"
#include "board/DatabaseBoard.h"
#include "board/KeyboardLock.h"
#include "board/MainWindow.h"
#include "core/Configuration.h"
#include "core/ModSkin.h"
#include "core/ModWindowState.h"
#include "localization/ResManagerClass.h"
#include "platform/Runtime.h"
#include "platform/controls/CommandButton.h"
#include "platform/controls/SkinManager.h"

void MainWindow::Form_Load() {
    ResManager().SetLanguage(this);
    ApplySkinToForm(this);
    tmrClock_Timer();
}

void MainWindow::InitForm() {
    // Every step ignores the program's errors; the next one runs whatever
    // happened. The board of the other mode stops first: its socket, its
    // clients or its database worker go, and its timers.
    rt::IgnoreErrors([&] { Other().Stop(); });
    rt::IgnoreErrors([&] { ClearStatusPanels(); });
    rt::IgnoreErrors([&] { Current().Start(); });
    // A refused login of mode 2 has unloaded the board.
    if (unloaded_)
        return;
    rt::IgnoreErrors([&] { SetClearOrRefreshButton(); });
    activePanel_ = -1;
    rt::IgnoreErrors([&] { RestoreArrivedOrders(); });
    EnableActionButtons(true);
    SetToolTips();
}

void MainWindow::ClearStatusPanels() {
    Panels(2)->clear();
    Panels(3)->clear();
    Panels(5)->clear();
}

void MainWindow::SetClearOrRefreshButton() {
    const int next = GetActionButtonIndex(QStringLiteral("Finish")) + 1;
    const QString tag = Current().ClearOrRefreshTag();
    btnAction(next)->SetTag(tag);
    btnAction(next)->SetPicture(SkinManager().GetButtonPicture(tag));
}

void MainWindow::RestoreArrivedOrders() {
    if (Current().RestoreOrders()) {
        SetActiveOrder(1);
        activePanel_ = 0;
        RefreshOrderPanels();
    } else {
        SetActiveOrder(0);
        // No order, so no new one: nothing to finish, nothing to blink.
        OfferFinish(false);
    }
}

void MainWindow::Form_Unload() {
    if (unloaded_)
        return;
    unloaded_ = true;
    Current().Unload();
    // Settings never loaded in this run (a signal during the start) are the
    // defaults, not the station's: the file keeps what it holds. A failed
    // save is logged by SaveConfiguration.
    if (ConfigurationSettings.Loaded)
        SaveConfiguration();
    ShowTaskbar();
    ReleaseSystemKeys();
    database_->Close();
    // The unload runs from the close event and ends the program: every step
    // runs, whatever the one before it met.
    rt::ContainErrors("MainWindow.Form_Unload", [&] {
        if (Hooks().UnloadOtherWindows)
            Hooks().UnloadOtherWindows();
    });
    arrivals_->Close();
    if (Hooks().EndProgram)
        Hooks().EndProgram();
}
