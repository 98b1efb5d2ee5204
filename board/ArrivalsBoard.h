#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "board/ArrivedOrders.h"
#include "board/OrderBoard.h"

class ArrivalsStore;
class CSocketMaster;
class MainWindow;
class ModServer;
class QFrame;
class QLabel;
class QTimer;
namespace platform {
class RichTextBox;
}

// The board of modes 0 and 1: orders handed to the station as text, by UDP
// datagrams (mode 0) or by the message server (mode 1), kept in a list that
// BackUp.log mirrors, shown in a row of panels (rtbOrder) with their ages
// (lblTime). It owns the list and its store, the socket and the message
// server, the panels and their timer (timArrival).
class ArrivalsBoard final : public QObject, public OrderBoard {
    Q_OBJECT
public:
    // Fills `frame` (frmOrders(0) of the window) with the panels.
    ArrivalsBoard(MainWindow& window, QFrame* frame);
    // Writes what waits.
    ~ArrivalsBoard() override;

    void Start() override;
    void Stop() override;
    bool RestoreOrders() override;
    int16_t GetOrdersCount() const override;
    void RefreshOrderPanels() override;
    // The order of the active panel is no longer new.
    void FinishActiveOrder() override;
    void AfterFinish() override {}
    QString ClearOrRefreshTag() const override { return QStringLiteral("Clear"); }
    void FocusActiveView() override;
    void Layout(const PanelFont& font) override;
    void Unload() override;
    void Close() override;

    // Clear: the active order goes to history.txt and leaves the list.
    void ClearActiveOrder();

    // The list: every change to it goes through the store, which keeps its
    // files.
    const QList<ArrivedOrder>& Arrivals() const { return arrivals_; }
    ArrivalsStore& Store() const { return *store_; }
    static QString BackupFilePath();
    static QString HistoryFilePath();
    // The UDP socket of mode 0 (none in the other modes) and the message
    // server of mode 1 (listening only in that mode).
    CSocketMaster* Server() const { return server_.get(); }
    ModServer& ImServer() const { return *imServer_; }

private:
    friend class BoardTestAccess;

    // `saved` (may be empty) runs once BackUp.log holds the order. The order
    // is shown by ShowArrivals: at the end of this pass of the event loop,
    // or kShowIntervalMs after the last showing when that was more recent.
    void AddArrivedOrder(const QString& text, std::function<void()> saved = {});
    // Saves what arrived, when a save is due, and sends the acknowledgements
    // at once.
    void SaveArrivals();
    // Saves what arrived, sends the acknowledgements, and only then refreshes
    // the panels, the buttons and the status for all of it and plays the
    // sound once.
    void ShowArrivals();
    // Orders arriving back to back are shown together at this pace: laying
    // out and painting the panels for each would take longer than saving
    // it, and every order behind would wait for that.
    static constexpr int kShowIntervalMs = 50;
    void Server_DataArrival(int32_t bytesTotal);
    void timArrival_Timer();
    void rtbOrder_GotFocus(int index);
    void rtbOrder_Click(int index);
    // The panels' focus and clicks.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void ListenForDatagrams();
    void StartMessageServer();
    // Writes what waits of the list to BackUp.log (the whole list is saved).
    void SaveArrivalsBackup();
    bool LoadArrivalsBackup();
    platform::RichTextBox* rtbOrder(int index) const;

    MainWindow& window_;
    QFrame* frame_ = nullptr;
    QList<platform::RichTextBox*> rtbOrder_;
    // The whole text of the order each panel shows (a panel shows at most
    // PanelText of it): what RefreshOrderPanels compares against.
    QList<QString> panelTexts_;
    QList<QLabel*> lblTime_;
    QTimer* timArrival_ = nullptr;
    QTimer* showArrivals_ = nullptr;
    QElapsedTimer shown_;

    QList<ArrivedOrder> arrivals_;
    std::unique_ptr<ArrivalsStore> store_;
    UdpSenderTable udpSenders_;
    std::unique_ptr<CSocketMaster> server_;
    std::unique_ptr<ModServer> imServer_;
};
