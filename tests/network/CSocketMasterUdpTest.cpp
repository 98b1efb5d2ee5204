// The UDP side of CSocketMaster on real sockets on 127.0.0.1: datagrams
// announced one by one, none lost or swallowed, the byte layouts of sent
// values, and the errors of a UDP socket.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "NetTestSupport.h"
#include "common/TestSupport.h"
#include "core/ErrorController.h"
#include "network/CSocketMaster.h"
#include "network/ModSocketMaster.h"
#include "platform/AppError.h"
#include "platform/sockets/SocketApi.h"

using nettest::PlainSocket;

namespace {

// A UDP receiver bound to every interface on a free port.
std::unique_ptr<CSocketMaster> BoundReceiver() {
    auto s = std::make_unique<CSocketMaster>();
    s->SetProtocol(CSocketMaster::sckUDPProtocol);
    s->Bind(Variant::FromLong(0));
    return s;
}

QString HostFirstAddress() {
    QString name;
    platform::GetLocalHostName(&name);
    uint32_t address = 0;
    platform::ResolveHostName(name, &address);
    return platform::DottedAddress(address);
}

}  // namespace

TEST(CSocketMasterUdp, BurstFromTwoSendersIsAnnouncedAndReadInOrder) {
    auto receiver = BoundReceiver();
    const uint16_t port = uint16_t(receiver->LocalPort());
    std::vector<QString> fromA, fromB;
    int announcements = 0;
    std::atomic<int> sent{0};
    std::atomic<int> readCount{0};
    QObject::connect(receiver.get(), &CSocketMaster::DataArrival, [&](int32_t bytesTotal) {
        ++announcements;
        Variant data;
        receiver->GetData(data, Variant::FromLong(int32_t(VarType::String)),
                          Variant::FromLong(bytesTotal));
        const QString text = data.ToString();
        EXPECT_EQ(text.size(), bytesTotal);
        EXPECT_EQ(receiver->RemoteHostIP(), "127.0.0.1");
        EXPECT_TRUE(receiver->RemoteHost().isEmpty());
        (text.startsWith('A') ? fromA : fromB).push_back(text);
        ++readCount;
    });
    // Paced by what the station has read: at most kWindow datagrams of both
    // senders are in flight, which a default receive buffer holds, so a busy
    // machine slows the senders down instead of making the kernel drop.
    constexpr int kWindow = 64;
    auto sender = [&, port](char name) {
        PlainSocket s = PlainSocket::Udp();
        for (int i = 0; i < 500; ++i) {
            while (sent - readCount >= kWindow)
                QThread::usleep(100);
            ++sent;
            s.SendTo(port, QByteArray(1, name) + QByteArray::number(i).rightJustified(4, '0') +
                               QByteArray(150, 'x'));
        }
    };
    std::thread a(sender, 'A'), b(sender, 'B');
    const bool all = PumpEventsUntil([&] { return fromA.size() + fromB.size() >= 1000; }, 30000);
    a.join();
    b.join();
    ASSERT_TRUE(all) << fromA.size() << " + " << fromB.size();
    EXPECT_EQ(announcements, 1000);
    for (int i = 0; i < 500; ++i) {
        EXPECT_EQ(fromA[i].mid(1, 4).toInt(), i);
        EXPECT_EQ(fromB[i].mid(1, 4).toInt(), i);
    }
}

TEST(CSocketMasterUdp, DatagramLeftUnreadIsDroppedAndLaterOnesKeepComing) {
    auto receiver = BoundReceiver();
    std::vector<int32_t> sizes;
    std::vector<QByteArray> read;
    QObject::connect(receiver.get(), &CSocketMaster::DataArrival, [&](int32_t bytesTotal) {
        sizes.push_back(bytesTotal);
        if (sizes.size() == 1)
            return;  // this handler does not read the first datagram
        Variant data;
        receiver->GetData(data);
        read.push_back(data.ToBytes());
    });
    PlainSocket peer = PlainSocket::Udp();
    const uint16_t port = uint16_t(receiver->LocalPort());
    peer.SendTo(port, "first");
    peer.SendTo(port, "");  // an empty datagram is never announced
    peer.SendTo(port, "second!");
    peer.SendTo(port, "third");
    ASSERT_TRUE(PumpEventsUntil([&] { return read.size() >= 2; }));
    PumpEvents(100);
    EXPECT_EQ(sizes, (std::vector<int32_t>{5, 7, 5}));
    EXPECT_EQ(read, (std::vector<QByteArray>{"second!", "third"}));
    EXPECT_EQ(receiver->BytesReceived(), 0);
}

TEST(CSocketMasterUdp, LargestDatagramAndShortRead) {
    auto receiver = BoundReceiver();
    const uint16_t port = uint16_t(receiver->LocalPort());
    PlainSocket peer = PlainSocket::Udp();
    std::vector<QByteArray> got;
    std::vector<int> errors;
    QObject::connect(receiver.get(), &CSocketMaster::DataArrival, [&](int32_t bytesTotal) {
        Variant data;
        try {
            // The second datagram is read short on purpose.
            receiver->GetData(data, Variant(), got.size() == 1 ? Variant::FromLong(3) : Variant());
        } catch (const AppError& e) {
            errors.push_back(e.Number());
            EXPECT_EQ(e.Source(), "CSocketMaster.RecvData");
        }
        got.push_back(data.ToBytes());
    });
    QByteArray big(65507, 'z');
    big[0] = 'a';
    big[65506] = 'b';
    peer.SendTo(port, big);
    peer.SendTo(port, "0123456789");
    peer.SendTo(port, "next");
    ASSERT_TRUE(PumpEventsUntil([&] { return got.size() >= 3; }));
    EXPECT_EQ(got[0], big);
    EXPECT_EQ(got[1], "012");
    EXPECT_EQ(got[2], "next");
    EXPECT_EQ(errors, std::vector<int>{10040});
}

TEST(CSocketMasterUdp, GetDataWithNothingPendingLeavesDataUnchanged) {
    auto receiver = BoundReceiver();
    Variant data(QStringLiteral("unchanged"));
    receiver->GetData(data);
    EXPECT_EQ(data.ToString(), "unchanged");
    receiver->PeekData(data);
    EXPECT_EQ(data.ToString(), "unchanged");
}

TEST(CSocketMasterUdp, PeekAndTypedReadsOfOneDatagram) {
    auto receiver = BoundReceiver();
    PlainSocket peer = PlainSocket::Udp();
    peer.SendTo(uint16_t(receiver->LocalPort()), QByteArray("\x01\x00\x00\x00", 4));
    ASSERT_TRUE(PumpEventsUntil([&] { return receiver->BytesReceived() == 4; }));
    Variant peeked;
    receiver->PeekData(peeked);
    EXPECT_EQ(peeked.ToBytes(), QByteArray("\x01\x00\x00\x00", 4));
    EXPECT_EQ(receiver->RemotePort(), peer.Port());
    Variant value;
    receiver->GetData(value, Variant::FromLong(int32_t(VarType::Long)));
    EXPECT_EQ(value.Type(), VarType::Long);
    EXPECT_EQ(value.ToLong(), 1);
    EXPECT_EQ(receiver->BytesReceived(), 0);
}

TEST(CSocketMasterUdp, SentValuesHaveTheirByteLayouts) {
    PlainSocket peer = PlainSocket::Udp();
    CSocketMaster sender;
    sender.SetProtocol(CSocketMaster::sckUDPProtocol);
    sender.SetRemoteHost("127.0.0.1");
    sender.SetRemotePort(peer.Port());
    sender.SendData(Variant(true));
    EXPECT_EQ(peer.ReceiveDatagram(), QByteArray("\xFF\xFF", 2));
    EXPECT_EQ(sender.State(), CSocketMaster::sckOpen);
    sender.SendData(Variant::FromInteger(1));
    EXPECT_EQ(peer.ReceiveDatagram(), QByteArray("\x01\x00", 2));
    sender.SendData(Variant::FromLong(0x01020304));
    EXPECT_EQ(peer.ReceiveDatagram(), QByteArray("\x04\x03\x02\x01", 4));
    sender.SendData(Variant::FromByte(0xAB));
    EXPECT_EQ(peer.ReceiveDatagram(), QByteArray("\xAB", 1));
    sender.SendData(Variant::FromDouble(1.0));
    EXPECT_EQ(peer.ReceiveDatagram(), QByteArray("\x00\x00\x00\x00\x00\x00\xF0\x3F", 8));
    sender.SendData(Variant::FromCurrency(10000));
    EXPECT_EQ(peer.ReceiveDatagram(), QByteArray("\x10\x27\x00\x00\x00\x00\x00\x00", 8));
    // Empty texts and byte arrays send nothing and raise nothing.
    sender.SendData(Variant(QString()));
    sender.SendData(Variant(QByteArray()));
    sender.SendData(Variant(QStringLiteral("order")));
    EXPECT_EQ(peer.ReceiveDatagram(), "order");
    ExpectAppError([&] { sender.SendData(Variant()); }, 40018, "Unsupported variant type.",
                   "CSocketMaster.SendData");
}

TEST(CSocketMasterUdp, SendErrors) {
    CSocketMaster sender;
    sender.SetProtocol(CSocketMaster::sckUDPProtocol);
    sender.SetRemotePort(9);
    ExpectAppError([&] { sender.SendData(Variant(QStringLiteral("x"))); }, 10047,
                   "Address family not supported by protocol family.",
                   "CSocketMaster.SendBufferedDataUDP");
    sender.SetRemoteHost("no-such-host.invalid");
    ExpectAppError([&] { sender.SendData(Variant(QStringLiteral("x"))); }, 40014,
                   "Invalid argument", "CSocketMaster.SendBufferedDataUDP");
}

TEST(CSocketMasterUdp, BindingErrorsAndAddresses) {
    PlainSocket taken = PlainSocket::Udp();
    CSocketMaster s;
    s.SetProtocol(CSocketMaster::sckUDPProtocol);
    ExpectAppError([&] { s.Bind(Variant::FromLong(taken.Port()), Variant("127.0.0.1")); }, 10048,
                   "Address already in use.", "CSocketMaster.BindInternal");
    CSocketMaster t;
    t.SetProtocol(CSocketMaster::sckUDPProtocol);
    const QString badArgument =
        "The argument passed to a function was not in the correct format or in the specified "
        "range.";
    ExpectAppError([&] { t.Bind(Variant::FromLong(70000)); }, 40014, badArgument,
                   "CSocketMaster.BindInternal");
    ExpectAppError([&] { t.Bind(Variant("seven")); }, 40018, "Unsupported variant type.",
                   "CSocketMaster.BindInternal");
    ExpectAppError([&] { t.SetLocalPort(-1); }, 40014, badArgument, "CSocketMaster.LocalPort");
    ExpectAppError([&] { t.Bind(Variant(), Variant("no-such-host.invalid")); }, 40014,
                   "Invalid argument", "CSocketMaster.BindInternal");
    EXPECT_EQ(t.State(), CSocketMaster::sckClosed);

    // Without an address: every interface, and LocalIP names the host's first
    // address.
    EXPECT_EQ(t.LocalIP(), HostFirstAddress());
    t.Bind();
    EXPECT_EQ(t.State(), CSocketMaster::sckOpen);
    EXPECT_EQ(t.LocalIP(), HostFirstAddress());
    EXPECT_GT(t.LocalPort(), 0);
    ExpectAppError([&] { t.SetProtocol(0); }, 40020, "Invalid operation at current state",
                   "CSocketMaster.Protocol");
    ExpectAppError([&] { t.Bind(); }, 40020, "Invalid operation at current state",
                   "CSocketMaster.Bind");
    // A bound UDP socket may change where it sends.
    t.SetRemoteHost("127.0.0.1");
    t.SetRemotePort(7);
    EXPECT_EQ(t.RemotePort(), 7);

    CSocketMaster u;
    u.SetProtocol(CSocketMaster::sckUDPProtocol);
    u.Bind(Variant::FromLong(0), Variant("127.0.0.1"));
    EXPECT_EQ(u.LocalIP(), "127.0.0.1");
}

TEST(CSocketMasterUdp, StateChecksOfReads) {
    CSocketMaster s;
    s.SetProtocol(CSocketMaster::sckUDPProtocol);
    Variant data;
    const QString tail =
        ".Wrong protocol or connection state for the requested transaction or request";
    ExpectAppError([&] { s.GetData(data); }, 40006, "4" + tail, "CSocketMaster.GetData");
    ExpectAppError([&] { s.PeekData(data); }, 40006, "6" + tail, "CSocketMaster.PeekData");
    s.Bind();
    PlainSocket peer = PlainSocket::Udp();
    peer.SendTo(uint16_t(s.LocalPort()), "x");
    ASSERT_TRUE(PumpEventsUntil([&] { return s.BytesReceived() == 1; }));
    const QString badArgument =
        "The argument passed to a function was not in the correct format or in the specified "
        "range.";
    ExpectAppError([&] { s.GetData(data, Variant(), Variant::FromLong(-1)); }, 40014, badArgument,
                   "CSocketMaster.GetData");
    // A maximum of 0 discards the datagram and reports it too long.
    ExpectAppError([&] { s.GetData(data, Variant(), Variant::FromLong(0)); }, 10040,
                   "Message too long.", "CSocketMaster.RecvData");
    EXPECT_EQ(data.Type(), VarType::ByteArray);
    EXPECT_EQ(s.BytesReceived(), 0);
}

TEST(CSocketMasterUdp, CloseResetsTheObject) {
    CSocketMaster s;
    s.CloseSck();  // no socket: nothing happens
    EXPECT_EQ(s.State(), 0);
    s.SetProtocol(CSocketMaster::sckUDPProtocol);
    s.SetLocalPort(0);
    s.Bind();
    EXPECT_NE(s.SocketHandle(), -1);
    EXPECT_GT(s.LocalPort(), 0);
    s.CloseSck();
    EXPECT_EQ(s.State(), 0);
    EXPECT_EQ(s.SocketHandle(), -1);
    EXPECT_EQ(s.BytesReceived(), 0);
    EXPECT_EQ(s.LocalPort(), 0);
    // The same object binds again.
    s.Bind();
    EXPECT_EQ(s.State(), CSocketMaster::sckOpen);
}

TEST(CSocketMasterUdp, HandlerErrorsAreRecordedAndDeliveryGoesOn) {
    QTemporaryDir dir;
    const QString previousLog = ErrorLogger().LogFileName();
    ErrorLogger().SetLogFileName(dir.filePath("Error.log"));
    auto receiver = BoundReceiver();
    int calls = 0;
    QByteArray last;
    QObject::connect(receiver.get(), &CSocketMaster::DataArrival, [&](int32_t) {
        ++calls;
        Variant data;
        receiver->GetData(data);
        last = data.ToBytes();
        if (calls == 1)
            throw AppError(5, "Invalid procedure call or argument",
                           "MainWindow.Server_DataArrival");
    });
    PlainSocket peer = PlainSocket::Udp();
    peer.SendTo(uint16_t(receiver->LocalPort()), "one");
    peer.SendTo(uint16_t(receiver->LocalPort()), "two");
    ASSERT_TRUE(PumpEventsUntil([&] { return calls >= 2; }));
    EXPECT_EQ(last, "two");
    EXPECT_EQ(ErrorLogger().LastErrorCode(), 5);
    EXPECT_TRUE(ReadBytes(dir.filePath("Error.log")).contains("MainWindow.Server_DataArrival"));
    ErrorLogger().SetLogFileName(previousLog);
}

TEST(CSocketMasterUdp, HandlerMayDestroyTheObject) {
    auto receiver = BoundReceiver();
    const uint16_t port = uint16_t(receiver->LocalPort());
    bool called = false;
    QObject::connect(receiver.get(), &CSocketMaster::DataArrival, [&](int32_t) {
        called = true;
        receiver.reset();
    });
    PlainSocket peer = PlainSocket::Udp();
    peer.SendTo(port, "one");
    peer.SendTo(port, "two");
    ASSERT_TRUE(PumpEventsUntil([&] { return called; }));
    PumpEvents(50);
    EXPECT_EQ(receiver, nullptr);
    EXPECT_EQ(SocketInstanceCount(), 0);
}

TEST(CSocketMasterUdp, DatagramSeenOutsideAnEventIsStillAnnounced) {
    auto receiver = BoundReceiver();
    PlainSocket peer = PlainSocket::Udp();
    peer.SendTo(uint16_t(receiver->LocalPort()), "early");
    // Looking at the pending datagram leaves it on the socket; its
    // announcement comes all the same.
    ASSERT_TRUE(PumpEventsUntil([&] { return receiver->BytesReceived() == 5; }, 5000));
    char probe[8];
    EXPECT_EQ(::recv(receiver->SocketHandle(), probe, sizeof probe, MSG_PEEK | MSG_DONTWAIT), 5);
    std::vector<QByteArray> read;
    QObject::connect(receiver.get(), &CSocketMaster::DataArrival, [&](int32_t bytesTotal) {
        EXPECT_EQ(receiver->BytesReceived(), bytesTotal);
        Variant data;
        receiver->GetData(data);
        read.push_back(data.ToBytes());
        // Looking ahead inside the event does not swallow the next one.
        receiver->BytesReceived();
    });
    peer.SendTo(uint16_t(receiver->LocalPort()), "second");
    peer.SendTo(uint16_t(receiver->LocalPort()), "third");
    ASSERT_TRUE(PumpEventsUntil([&] { return read.size() >= 3; }));
    EXPECT_EQ(read, (std::vector<QByteArray>{"early", "second", "third"}));
}

TEST(CSocketMasterUdp, HandlerThatPumpsEventsGetsEveryDatagramInOrder) {
    auto receiver = BoundReceiver();
    std::vector<QByteArray> read;
    int depth = 0, deepest = 0;
    QObject::connect(receiver.get(), &CSocketMaster::DataArrival, [&](int32_t) {
        deepest = std::max(deepest, ++depth);
        Variant data;
        receiver->GetData(data);
        read.push_back(data.ToBytes());
        PumpEvents(5);  // as the board does while it redraws its panels
        --depth;
    });
    PlainSocket peer = PlainSocket::Udp();
    for (int i = 0; i < 70; ++i)
        peer.SendTo(uint16_t(receiver->LocalPort()), QByteArray::number(i));
    ASSERT_TRUE(PumpEventsUntil([&] { return read.size() >= 70; }));
    for (int i = 0; i < 70; ++i)
        EXPECT_EQ(read[size_t(i)], QByteArray::number(i));
    EXPECT_EQ(deepest, 1);
}

TEST(CSocketMasterUdp, DatagramsTakenTogetherOutsideAnEventAreEachAnnouncedInOrder) {
    auto receiver = BoundReceiver();
    PlainSocket peer = PlainSocket::Udp();
    const uint16_t port = uint16_t(receiver->LocalPort());
    for (int i = 0; i < 3; ++i)
        peer.SendTo(port, "d" + QByteArray::number(i));
    // A peek between events may take every pending datagram off the socket,
    // which then has no notification left for them; each still gets its own
    // announcement, the peeked one first.
    Variant first;
    receiver->PeekData(first);
    EXPECT_EQ(first.ToBytes(), "d0");
    std::vector<QByteArray> read;
    QObject::connect(receiver.get(), &CSocketMaster::DataArrival, [&](int32_t bytesTotal) {
        Variant data;
        receiver->GetData(data);
        EXPECT_EQ(data.ToBytes().size(), bytesTotal);
        read.push_back(data.ToBytes());
    });
    ASSERT_TRUE(PumpEventsUntil([&] { return read.size() >= 3; }));
    EXPECT_EQ(read, (std::vector<QByteArray>{"d0", "d1", "d2"}));
}
