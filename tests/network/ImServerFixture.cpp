#include "ImServerFixture.h"

#include <sys/ioctl.h>

#include <QRegularExpression>

#include "NetTestSupport.h"
#include "common/TestSupport.h"
#include "network/CSocketMaster.h"
#include "platform/CodePage.h"

void ImServerTest::SetUp() {
    TempAppDataTest::SetUp();
    server = std::make_unique<ModServer>();
    server->OrderArrived = [this](const QString& text, std::function<void()> acknowledge) {
        orders.append(text);
        acknowledge();
    };
    Restart();
}

void ImServerTest::TearDown() {
    server.reset();
    TempAppDataTest::TearDown();
}

void ImServerTest::Restart() {
    server->StartServer(0);
    port_ = uint16_t(server->sckServerIM()(0).LocalPort());
    ASSERT_NE(port_, 0);
}

std::unique_ptr<ImTerminal> ImServerTest::Connect() {
    const int before = ConnectedClients();
    auto terminal = std::make_unique<ImTerminal>(port_);
    EXPECT_TRUE(PumpEventsUntil([&] { return ConnectedClients() > before; }));
    return terminal;
}

std::unique_ptr<ImTerminal> ImServerTest::Join(const QString& name) {
    auto terminal = Connect();
    terminal->SendText(ConMessage(name));
    EXPECT_TRUE(PumpEventsUntil([&] { return !terminal->MessagesOf("LST").isEmpty(); }))
        << name.toStdString();
    return terminal;
}

int ImServerTest::ConnectedClients() const {
    int count = 0;
    for (const ClientRecord& client : server->ImClients())
        count += client.Connection != 0 ? 1 : 0;
    return count;
}

int ImServerTest::IndexOf(const QString& name) const {
    const auto& clients = server->ImClients();
    for (size_t i = 1; i < clients.size(); ++i) {
        if (clients[i].Connection != 0 && clients[i].Name == name)
            return int(i);
    }
    return 0;
}

QStringList ImServerTest::LogTexts(const QString& file) const {
    const QString log =
        platform::FromAnsi(ReadBytes(file.isEmpty() ? server->GetServerLogFile() : file));
    static const QRegularExpression header(
        QStringLiteral("----- \\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d---------- \r\n"));
    QStringList texts = log.split(header);
    if (!texts.isEmpty() && texts.first().isEmpty())
        texts.removeFirst();
    for (QString& text : texts) {
        EXPECT_TRUE(text.endsWith("\r\n\r\n")) << text.left(200).toStdString();
        text.chop(4);
    }
    return texts;
}

bool ImServerTest::WaitForOrders(int count, int timeoutMs) {
    return PumpEventsUntil([&] { return orders.size() >= count; }, timeoutMs);
}

int PendingInSystem(ModServer& server, int index) {
    int pending = 0;
    ::ioctl(server.sckServerIM()(index).SocketHandle(), FIONREAD, &pending);
    return pending;
}
