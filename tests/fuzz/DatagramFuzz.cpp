// Order datagrams as the board receives them: each piece of the input is sent
// as one UDP datagram to a real receiver on 127.0.0.1, read as text and taken
// apart; the senders' sequence numbers are checked as the board checks them.
//
// Invariants: every non-empty datagram arrives whole, one character per byte;
// a datagram is an order exactly when it has 20 characters and a TAB at
// position 8 or later, and its fields joined again give the datagram back;
// the sender holds no TAB; a number never accepted is never accepted twice in
// a row, and nothing below 1 is accepted.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

#include "FuzzSupport.h"
#include "board/ArrivedOrders.h"
#include "network/CSocketMaster.h"
#include "platform/CodePage.h"
#include "platform/Variant.h"

namespace {

struct Receiver {
    std::unique_ptr<CSocketMaster> socket;
    int sender = -1;
    sockaddr_in address{};
    QStringList received;
};

Receiver& TheReceiver() {
    static Receiver* receiver = [] {
        fuzz::Init();
        auto* r = new Receiver;
        r->socket = std::make_unique<CSocketMaster>();
        r->socket->SetProtocol(CSocketMaster::sckUDPProtocol);
        r->socket->Bind(Variant::FromLong(0));
        QObject::connect(
            r->socket.get(), &CSocketMasterEvents::DataArrival, [r](int32_t bytesTotal) {
                Variant data;
                r->socket->GetData(data, Variant(int32_t(VarType::String)), Variant(bytesTotal));
                r->received.append(data.ToString());
            });
        r->sender = ::socket(AF_INET, SOCK_DGRAM, 0);
        r->address.sin_family = AF_INET;
        r->address.sin_port = htons(uint16_t(r->socket->LocalPort()));
        r->address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return r;
    }();
    return *receiver;
}

void CheckDatagram(const QString& text, UdpSenderTable& senders) {
    const auto datagram = ParseOrderDatagram(text);
    const bool wellFormed = text.size() >= 20 && text.indexOf('\t') >= 7;
    FUZZ_CHECK(datagram.has_value() == wellFormed, text);
    if (!datagram)
        return;
    FUZZ_CHECK(!datagram->Sender.contains('\t'), datagram->Sender);
    FUZZ_CHECK(text.left(7) + datagram->Sender + '\t' + datagram->Text == text, text);
    bool digits = true;
    for (QChar c : text.left(6))
        digits = digits && c >= '0' && c <= '9';
    if (digits)
        FUZZ_CHECK(datagram->Sequence == text.left(6).toInt(), text);
    const bool accepted = senders.Accept(datagram->Sender, datagram->Sequence);
    FUZZ_CHECK(!accepted || datagram->Sequence >= 1, text);
    FUZZ_CHECK(!senders.Accept(datagram->Sender, datagram->Sequence), text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Receiver& r = TheReceiver();
    UdpSenderTable senders;
    for (const QByteArray& piece : fuzz::Pieces(data, size)) {
        if (piece.isEmpty())
            continue;  // an empty datagram announces nothing
        r.received.clear();
        const ssize_t sent =
            ::sendto(r.sender, piece.constData(), size_t(piece.size()), 0,
                     reinterpret_cast<const sockaddr*>(&r.address), sizeof r.address);
        FUZZ_CHECK(sent == piece.size(), QStringLiteral("sendto failed"));
        FUZZ_CHECK(fuzz::PumpUntil([&] { return !r.received.isEmpty(); }, 10000),
                   QStringLiteral("datagram never announced"));
        FUZZ_CHECK(r.received.size() == 1, QString::number(r.received.size()));
        const QString text = r.received.first();
        FUZZ_CHECK(text == platform::FromAnsi(piece), text);
        CheckDatagram(text, senders);
    }
    return 0;
}
