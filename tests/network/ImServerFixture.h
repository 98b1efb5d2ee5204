#pragma once

#include <QStringList>
#include <memory>

#include "common/ImTerminal.h"
#include "common/TestSupport.h"
#include "network/ModServer.h"

// A started message server on a free port of 127.0.0.1 in its own
// application-data folder, with the orders it hands over collected.
class ImServerTest : public TempAppDataTest {
protected:
    void SetUp() override;
    void TearDown() override;

    void Restart();
    uint16_t Port() const { return port_; }
    // Connects a terminal and waits until the server has accepted it.
    std::unique_ptr<ImTerminal> Connect();
    // Connects, sends "CON" and waits for the list the server answers with.
    std::unique_ptr<ImTerminal> Join(const QString& name);
    // Number of records that carry a connection.
    int ConnectedClients() const;
    // The index whose record has the name; 0 when none.
    int IndexOf(const QString& name) const;
    // The texts of the entries of the server's log (or of the file given), in
    // order, without their header lines.
    QStringList LogTexts(const QString& file = QString()) const;
    // Waits (pumping) until the orders list has at least `count` texts.
    bool WaitForOrders(int count, int timeoutMs = 10000);

    std::unique_ptr<ModServer> server;
    QStringList orders;

private:
    uint16_t port_ = 0;
};

// Bytes still queued in the system for the server's side of an index.
int PendingInSystem(ModServer& server, int index);
