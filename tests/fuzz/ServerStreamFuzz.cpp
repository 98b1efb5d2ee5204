// The message server's byte stream: a live ModServer on 127.0.0.1 gets the
// input from one terminal, each piece in its own send, then the terminal
// ends its side. The byte 0x1F stands for the server's name, which the
// terminals address their orders to.
//
// Invariants: framing gives back its input (messages joined by EOT, then the
// rest) and does not depend on how the bytes were cut; fields are the parts
// between separators; the server hands over exactly the non-blank orders
// addressed to it that the whole stream holds, in order, and forgets the
// terminal once it has gone.
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <memory>

#include "FuzzSupport.h"
#include "common/TestNet.h"
#include "network/CSocketMaster.h"
#include "network/ImServerProtocol.h"
#include "network/ModServer.h"
#include "platform/CodePage.h"
#include "platform/Runtime.h"

using namespace ImServerProtocol;

namespace {

struct Station {
    std::unique_ptr<ModServer> server;
    int port = 0;
    QStringList orders;
    int runs = 0;
};

Station& TheStation() {
    static Station* s = [] {
        fuzz::Init();
        auto* s = new Station;
        s->server = std::make_unique<ModServer>();
        s->server->OrderArrived = [s](const QString& text) { s->orders.append(text); };
        s->server->StartServer(0);
        s->port = s->server->sckServerIM()(0).LocalPort();
        return s;
    }();
    return *s;
}

int ConnectedClients(const ModServer& server) {
    int n = 0;
    for (const ClientRecord& c : server.ImClients())
        n += c.Connection != 0 ? 1 : 0;
    return n;
}

QString Show(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toPercentEncoding());
}

// The framing on its own: the whole stream at once and piece by piece.
std::vector<QByteArray> CheckFraming(const QByteArray& stream, const QList<QByteArray>& pieces) {
    QByteArray whole = stream;
    const std::vector<QByteArray> messages = TakeCompleteMessages(whole);
    QByteArray joined;
    for (const QByteArray& m : messages) {
        FUZZ_CHECK(!m.contains(kEndOfMessageByte), Show(m));
        joined += m + kEndOfMessageByte;
    }
    FUZZ_CHECK(!whole.contains(kEndOfMessageByte), Show(whole));
    FUZZ_CHECK(joined + whole == stream, Show(stream));

    QByteArray buffer;
    std::vector<QByteArray> cut;
    for (const QByteArray& piece : pieces) {
        const qsizetype searched = buffer.size();
        buffer += piece;
        for (QByteArray& m : TakeCompleteMessages(buffer, searched))
            cut.push_back(std::move(m));
    }
    FUZZ_CHECK(cut == messages && buffer == whole, Show(stream));
    return messages;
}

void CheckFields(const QString& message) {
    const QStringList fields = message.split(kFieldSeparator);
    for (int n = 0; n <= fields.size() + 1; ++n)
        FUZZ_CHECK(Field(message, n) == (n >= 1 ? fields.value(n - 1) : QString()), message);
    const auto order = ParseOrder(message);
    FUZZ_CHECK(order.has_value() == (fields.size() >= 4), message);
    if (!order)
        return;
    FUZZ_CHECK(order->Sender == fields[1] && order->Addressee == fields[2], message);
    const QString& body = fields[3];
    FUZZ_CHECK(!order->Id.contains(kIdSeparator) && body.startsWith(order->Id), message);
    FUZZ_CHECK(order->Id == body || body.at(order->Id.size()) == kIdSeparator, message);
    FUZZ_CHECK(order->Text.size() <= body.size(), message);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Station& s = TheStation();
    const QByteArray name = platform::ToAnsi(s.server->ImServerName());
    QList<QByteArray> pieces = fuzz::Pieces(data, size);
    QByteArray stream;
    for (QByteArray& piece : pieces) {
        piece.replace('\x1f', name);
        stream += piece;
    }

    QStringList expected;
    for (const QByteArray& bytes : CheckFraming(stream, pieces)) {
        const QString message = platform::FromAnsi(bytes);
        CheckFields(message);
        if (message.size() <= 3 || !message.startsWith(QLatin1String("ORD")))
            continue;
        const auto order = ParseOrder(message);
        if (order && order->Addressee == s.server->ImServerName() &&
            !rt::Trim(order->Text).isEmpty())
            expected.append(order->Text);
    }

    // Every few hundred runs the log starts again, so that it stays small.
    if (++s.runs % 256 == 0)
        QFile::remove(s.server->GetServerLogFile());
    s.orders.clear();
    const int fd = ConnectTcp(s.port);
    FUZZ_CHECK(fd >= 0, QStringLiteral("connect failed"));
    FUZZ_CHECK(fuzz::PumpUntil([&] { return ConnectedClients(*s.server) == 1; }, 10000),
               QStringLiteral("the terminal was never accepted"));
    for (const QByteArray& piece : pieces) {
        for (qsizetype done = 0; done < piece.size();) {
            const ssize_t n =
                ::send(fd, piece.constData() + done, size_t(piece.size() - done), MSG_NOSIGNAL);
            FUZZ_CHECK(n > 0, QStringLiteral("send failed"));
            done += n;
        }
        QCoreApplication::processEvents();
    }
    // The end of the terminal's side follows its bytes: once the server has
    // seen it, it has handled everything before it.
    ::shutdown(fd, SHUT_WR);
    FUZZ_CHECK(fuzz::PumpUntil([&] { return ConnectedClients(*s.server) == 0; }, 10000),
               QStringLiteral("the server never saw the terminal leave"));
    ::close(fd);
    FUZZ_CHECK(s.orders == expected,
               s.orders.join(QLatin1String(" | ")) + " != " + expected.join(QLatin1String(" | ")));
    return 0;
}
