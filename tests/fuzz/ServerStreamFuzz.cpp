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
#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

#include <QCoreApplication>
#include <QDir>
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
    static Station* station = [] {
        fuzz::Init();
        auto* s = new Station;
        s->server = std::make_unique<ModServer>();
        s->server->OrderArrived = [s](const QString& text, std::function<void()> acknowledge) {
            s->orders.append(text);
            acknowledge();
        };
        s->server->StartServer(0);
        s->port = s->server->sckServerIM()(0).LocalPort();
        return s;
    }();
    return *station;
}

int ConnectedClients(const ModServer& server) {
    int n = 0;
    for (const ClientRecord& c : server.ImClients())
        n += c.Connection != 0 ? 1 : 0;
    return n;
}

// The index of the one terminal's record.
int ClientIndex(const ModServer& server) {
    const auto& clients = server.ImClients();
    for (size_t i = 1; i < clients.size(); ++i) {
        if (clients[i].Connection != 0)
            return int(i);
    }
    return 0;
}

// Bytes a socket still holds: not yet sent (SIOCOUTQNSD) or unread (FIONREAD).
int Queued(int fd, unsigned long request) {
    int bytes = 0;
    return ::ioctl(fd, request, &bytes) == 0 ? bytes : 0;
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
    QString text = body;
    text.remove(order->Id + kIdSeparator);
    FUZZ_CHECK(order->Text == text, message);
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
    FUZZ_CHECK(fd >= 0, QStringLiteral("connect failed: %1, %2 descriptors open")
                            .arg(QString::fromLocal8Bit(strerror(errno)))
                            .arg(QDir(QStringLiteral("/proc/self/fd")).count()));
    // Each piece leaves at once, in a segment of its own.
    const int noDelay = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
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
    if (size % 16 == 0) {
        // An orderly end follows the terminal's bytes: once the server has
        // seen it, it has handled everything before it.
        ::shutdown(fd, SHUT_WR);
        FUZZ_CHECK(fuzz::PumpUntil([&] { return ConnectedClients(*s.server) == 0; }, 10000),
                   QStringLiteral("the server never saw the terminal leave"));
        ::close(fd);
    } else {
        // Most runs end with a reset, which leaves no port in TIME_WAIT: at
        // hundreds of runs a second an orderly end every time would leave
        // this machine no port to connect from. The reset comes once the
        // server has taken every byte off its socket (and so handled it).
        const int index = ClientIndex(*s.server);
        const int server = s.server->sckServerIM()(index).SocketHandle();
        FUZZ_CHECK(
            fuzz::PumpUntil([&] { return Queued(fd, SIOCOUTQNSD) + Queued(server, FIONREAD) == 0; },
                            10000),
            QStringLiteral("the server never took the bytes"));
        const linger reset{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        ::close(fd);
        FUZZ_CHECK(fuzz::PumpUntil([&] { return ConnectedClients(*s.server) == 0; }, 10000),
                   QStringLiteral("the server never saw the terminal go"));
    }
    FUZZ_CHECK(s.orders == expected,
               s.orders.join(QLatin1String(" | ")) + " != " + expected.join(QLatin1String(" | ")));
    return 0;
}
