// Start, restart and end of the board.
#include <QComboBox>
#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QTimer>

#include "board/ArrivalsStore.h"
#include "board/BoardHooks.h"
#include "board/KeyboardLock.h"
#include "board/MainWindow.h"
#include "core/Configuration.h"
#include "core/ErrorController.h"
#include "core/ModCommon.h"
#include "core/ModSkin.h"
#include "core/ModWindowState.h"
#include "data/DatabaseClass.h"
#include "data/ModOperations.h"
#include "data/NomObjects.h"
#include "data/NomUsers.h"
#include "localization/ResManagerClass.h"
#include "network/CSocketMaster.h"
#include "network/ModServer.h"
#include "platform/AppError.h"
#include "platform/Runtime.h"
#include "platform/controls/CommandButton.h"
#include "platform/controls/DataGrid.h"
#include "platform/controls/SkinManager.h"

namespace {

// A listener that could not be opened (its port taken by another program) is
// logged with its socket error, and the status bar shows the port and the
// error in place of an address the station does not listen on. The board
// goes on; the next InitForm (Setup, restart) tries the port again.
QString ListenFailed(const QString& prefix, int port, const AppError& e) {
    ErrorLogger().Add(kSystemError, e.Number(), e.Description(),
                      QStringLiteral("MainWindow.InitForm"));
    return prefix + ':' + QString::number(port) + QStringLiteral(" (") +
           QString::number(e.Number()) + QStringLiteral(") ") + e.Description();
}

}  // namespace

void MainWindow::Form_Load() {
    ResManager().SetLanguage(this);
    ApplySkinToForm(this);
    tmrClock_Timer();
}

void MainWindow::InitForm() {
    // Every step ignores the program's errors; the next one runs whatever happened.
    rt::IgnoreErrors([&] { server_.reset(); });
    rt::IgnoreErrors([&] { imServer_->CloseAllClients(); });
    rt::IgnoreErrors([&] { ClearStatusPanels(); });
    rt::IgnoreErrors([&] { ShowOrdersViewOfMode(); });
    rt::IgnoreErrors([&] { StartReceivingOrders(); });
    // A refused login of mode 2 has unloaded the board.
    if (unloaded_)
        return;
    rt::IgnoreErrors([&] { SetClearOrRefreshButton(); });
    rt::IgnoreErrors([&] { StartTimersOfMode(); });
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

void MainWindow::ShowOrdersViewOfMode() {
    frmOrders(0)->setVisible(!DatabaseMode());
    frmOrders(1)->setVisible(DatabaseMode());
}

void MainWindow::StartReceivingOrders() {
    switch (ConfigurationSettings.Communication) {
        case 0:
            ListenForDatagrams();
            break;
        case 1:
            StartMessageServer();
            break;
        case 2:
            StartDatabaseView();
            break;
        default:
            break;
    }
}

void MainWindow::ListenForDatagrams() {
    const int port = ConfigurationSettings.PortUDP;
    server_ = std::make_unique<CSocketMaster>();
    connect(server_.get(), &CSocketMasterEvents::DataArrival, this,
            [this](int32_t bytesTotal) { Server_DataArrival(bytesTotal); });
    server_->SetProtocol(CSocketMaster::sckUDPProtocol);
    server_->CloseSck();
    try {
        server_->Bind(Variant(int32_t(port)));
        SetStatusText(QStringLiteral(" UDP  ") + server_->LocalIP() + ':' + QString::number(port));
    } catch (const AppError& e) {
        SetStatusText(ListenFailed(QStringLiteral(" UDP  "), port, e));
    }
}

void MainWindow::StartMessageServer() {
    const int port = ConfigurationSettings.PortTCP;
    try {
        imServer_->StartServer(port);
        SetStatusText(QStringLiteral(" IM  ") + imServer_->ListenerLocalIP() + ':' +
                      QString::number(port));
    } catch (const AppError& e) {
        SetStatusText(ListenFailed(QStringLiteral(" IM  "), port, e));
    }
}

void MainWindow::StartDatabaseView() {
    dgView_->SetColumnVisible(dgView_->ColumnIndex(QStringLiteral("Hour")), false);
    dgView_->SetColumnVisible(dgView_->ColumnIndex(QStringLiteral("Group")), false);
    ClearStatusPanels();
    SetStatusText(GetDatabaseStatusText(false));
    if (Database().IsConnected()) {
        LoadDatabaseLists();
        if (!LoginUser(false, false)) {
            // No operator: the board unloads, and with it the program.
            btnAction_Click(GetActionButtonIndex(QStringLiteral("Exit")));
            return;
        }
        Panels(2)->setText(Users().ActiveUser().Name());
        Panels(3)->setText(Objects().ActiveObject().Name());
        ShowOperatorCompany();
        // The first poll plays no sound. One under way (a restart of the
        // board) is answered first.
        if (pollBusy_)
            pollAgain_ = PollTag::InitForm;
        else
            SendDatabaseRequest(false, {}, PollTag::InitForm);
    }
}

void MainWindow::LoadDatabaseLists() {
    const ConfigurationRecord& c = ConfigurationSettings;
    rt::IgnoreErrors([&] {
        Users().Load(Database());
        Users().SetActiveUser(Users().FindByID(1));
    });
    rt::IgnoreErrors([&] {
        Objects().Load(Database());
        Objects().FillComboBoxRestaurant(cbObjects_, c.ObjectCodeRange, false);
    });
    rt::IgnoreErrors([&] { LoadGoodsGroups(); });
    rt::IgnoreErrors([&] {
        QString names;
        // An empty setting names no group at all (not one empty one).
        const QStringList codes =
            c.GoodsGroups.isEmpty() ? QStringList() : c.GoodsGroups.split('|');
        for (QString code : codes)
            names += GetGroupNameByCode(code) + QStringLiteral(", ");
        groupNamesText_ = names.size() < 2 ? ResManager().GetResString(QStringLiteral("strAll"))
                                           : rt::Trim(names.left(names.size() - 2));
    });
}

void MainWindow::SetClearOrRefreshButton() {
    const int next = GetActionButtonIndex(QStringLiteral("Finish")) + 1;
    const QString tag = DatabaseMode() ? QStringLiteral("Refresh") : QStringLiteral("Clear");
    btnAction(next)->SetTag(tag);
    btnAction(next)->SetPicture(SkinManager().GetButtonPicture(tag));
}

void MainWindow::StartTimersOfMode() {
    // A board that left mode 2 lets go of the database worker (after the
    // request under way) and of its connection.
    if (!DatabaseMode() && !pollBusy_)
        databaseWorker_.reset();
    if (DatabaseMode()) {
        timArrival_->stop();
        tmrOrders_->start();
        tmrPassedTime_->start();
    } else {
        timArrival_->start();
        tmrOrders_->stop();
        tmrPassedTime_->stop();
    }
}

void MainWindow::RestoreArrivedOrders() {
    if (LoadArrivalsBackup()) {
        SetActiveOrder(1);
        activePanel_ = 0;
        RefreshOrderPanels();
    } else {
        SetActiveOrder(0);
        // No order, so no new one: nothing to finish, nothing to blink.
        btnAction(6)->SetEnabled(false);
        ResetFinishPicture();
    }
}

void MainWindow::ShowOperatorCompany() {
    // While the database cannot be reached the panel keeps what it shows:
    // the read would not answer.
    if (!databaseLost_)
        Panels(5)->setText(DefaultObjectReg(false).Company);
}

bool MainWindow::LoginUser(bool changing, bool reload) {
    const int32_t n = reload ? Users().Load(Database()) : Users().Count();
    if (n <= 0) {
        Users().ActiveUser().SetID(n < 0 ? 0 : n);
    } else if (n == 1) {
        Users().SetActiveUser(Users().FindByID(1));
        Panels(2)->setText(Users().ActiveUser().Name());
        ShowOperatorCompany();
    } else {
        const bool accepted = Hooks().ShowLoginDialog && Hooks().ShowLoginDialog(changing);
        if (!accepted) {
            close();
            return false;
        }
        Panels(2)->setText(Users().ActiveUser().Name());
        ShowOperatorCompany();
    }
    return Users().ActiveUser().ID() != 0;
}

void MainWindow::Form_Unload() {
    if (unloaded_)
        return;
    unloaded_ = true;
    // What waits reaches BackUp.log while the terminals can still have
    // their acknowledgements.
    if (!DatabaseMode())
        store_->Flush();
    // Settings never loaded in this run (a signal during the start) are the
    // defaults, not the station's: the file keeps what it holds. A failed
    // save is logged by SaveConfiguration.
    if (ConfigurationSettings.Loaded)
        SaveConfiguration();
    ShowTaskbar();
    ReleaseSystemKeys();
    // The database worker's connection is closed on its own thread, after
    // the call under way (which ends at the latest with the driver's
    // time-out); its answer is not waited for.
    databaseWorker_.reset();
    // The unload runs from the close event and ends the program: every step
    // runs, whatever the one before it met.
    rt::ContainErrors("MainWindow.Form_Unload", [&] {
        if (Hooks().UnloadOtherWindows)
            Hooks().UnloadOtherWindows();
    });
    server_.reset();
    if (ConfigurationSettings.Communication == 1)
        rt::ContainErrors("MainWindow.Form_Unload", [&] { imServer_->StopServer(); });
    if (Hooks().EndProgram)
        Hooks().EndProgram();
}
