// The layer under the socket runtime: Winsock's notification rules on the Qt
// event loop and host look-ups completed on the user-interface thread.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QByteArray>
#include <QCoreApplication>
#include <QThread>
#include <cerrno>
#include <vector>

#include "common/TestSupport.h"
#include "platform/sockets/AsyncSelect.h"
#include "platform/sockets/SocketApi.h"

using namespace platform;

namespace {

struct Event {
    int event;
    int error;
    bool operator==(const Event& o) const { return event == o.event && error == o.error; }
};

uint32_t Loopback() {
    return htonl(INADDR_LOOPBACK);
}

}  // namespace

TEST(SocketLayer, ErrorNumbersFromErrno) {
    EXPECT_EQ(WsaErrorFromErrno(EAGAIN), 10035);
    EXPECT_EQ(WsaErrorFromErrno(EINPROGRESS), 10035);
    EXPECT_EQ(WsaErrorFromErrno(ECONNREFUSED), 10061);
    EXPECT_EQ(WsaErrorFromErrno(ECONNRESET), 10054);
    EXPECT_EQ(WsaErrorFromErrno(EPIPE), 10054);
    EXPECT_EQ(WsaErrorFromErrno(EADDRINUSE), 10048);
    EXPECT_EQ(WsaErrorFromErrno(EMSGSIZE), 10040);
    EXPECT_EQ(WsaErrorFromErrno(ENOTSOCK), 10038);
    EXPECT_EQ(WsaErrorFromErrno(EBADF), 10038);
    uint32_t a = 0;
    EXPECT_TRUE(ParseDottedAddress("127.0.0.1", &a));
    EXPECT_EQ(a, Loopback());
    EXPECT_TRUE(ParseDottedAddress("127.1", &a));
    EXPECT_EQ(a, Loopback());
    EXPECT_TRUE(ParseDottedAddress("255.255.255.255", &a));
    EXPECT_EQ(DottedAddress(a), "255.255.255.255");
    EXPECT_FALSE(ParseDottedAddress("localhost", &a));
    EXPECT_FALSE(ParseDottedAddress("127.0.0.1 ", &a));
    EXPECT_FALSE(ParseDottedAddress("", &a));
    EXPECT_FALSE(ParseDottedAddress("1.2.3.256", &a));
}

TEST(SocketLayer, ReadIsReportedOnceUntilTheOwnerReceives) {
    SocketHandle s = kInvalidSocket;
    ASSERT_EQ(CreateSocket(SocketKind::Datagram, &s), 0);
    ASSERT_EQ(BindSocket(s, Loopback(), 0), 0);
    uint32_t address = 0;
    uint16_t port = 0;
    ASSERT_EQ(GetSocketName(s, &address, &port), 0);
    std::vector<Event> events;
    ASSERT_EQ(AsyncSelect(
                  s,
                  [&](SocketHandle, int e, int err) {
                      events.push_back({e, err});
                  },
                  59),
              0);
    SocketHandle peer = kInvalidSocket;
    ASSERT_EQ(CreateSocket(SocketKind::Datagram, &peer), 0);
    int sent = 0;
    ASSERT_EQ(SendToSocket(peer, "ab", 2, Loopback(), port, &sent), 0);
    ASSERT_EQ(SendToSocket(peer, "cde", 3, Loopback(), port, &sent), 0);
    ASSERT_TRUE(PumpEventsUntil([&] { return !events.empty(); }));
    PumpEvents(100);  // unread data: no second notification, no spinning
    EXPECT_EQ(events, (std::vector<Event>{{kEventRead, 0}}));
    char buffer[8];
    int got = 0;
    uint16_t from = 0;
    EXPECT_EQ(RecvFromSocket(s, buffer, 1, false, &got, nullptr, &from), 10040);
    EXPECT_EQ(got, 1);
    EXPECT_EQ(buffer[0], 'a');
    ASSERT_TRUE(PumpEventsUntil([&] { return events.size() == 2; }));
    int size = 0;
    EXPECT_EQ(PendingDatagramSize(s, &size), 0);
    EXPECT_EQ(size, 3);
    EXPECT_EQ(RecvFromSocket(s, buffer, 8, false, &got, nullptr, nullptr), 0);
    EXPECT_EQ(got, 3);
    EXPECT_EQ(PendingDatagramSize(s, &size), 10035);
    PumpEvents(50);
    EXPECT_EQ(events.size(), 2u);
    EXPECT_EQ(CloseSocket(s), 0);
    EXPECT_FALSE(HasAsyncSelection(s));
    EXPECT_EQ(CloseSocket(peer), 0);
}

TEST(SocketLayer, ConnectThenOneWriteThenCloseAfterTheData) {
    SocketHandle listener = kInvalidSocket, client = kInvalidSocket;
    ASSERT_EQ(CreateSocket(SocketKind::Stream, &listener), 0);
    ASSERT_EQ(BindSocket(listener, Loopback(), 0), 0);
    ASSERT_EQ(ListenSocket(listener, 5), 0);
    uint32_t address = 0;
    uint16_t port = 0;
    GetSocketName(listener, &address, &port);
    std::vector<Event> listenerEvents, clientEvents, acceptedEvents;
    SocketHandle accepted = kInvalidSocket;
    AsyncSelect(
        listener,
        [&](SocketHandle s, int e, int err) {
            if (s == listener)
                listenerEvents.push_back({e, err});
            else
                acceptedEvents.push_back({e, err});
        },
        59);
    ASSERT_EQ(CreateSocket(SocketKind::Stream, &client), 0);
    AsyncSelect(
        client,
        [&](SocketHandle, int e, int err) {
            clientEvents.push_back({e, err});
        },
        59);
    EXPECT_EQ(ConnectSocket(client, Loopback(), port), 10035);
    ASSERT_TRUE(
        PumpEventsUntil([&] { return clientEvents.size() >= 2 && !listenerEvents.empty(); }));
    PumpEvents(50);
    EXPECT_EQ(clientEvents, (std::vector<Event>{{kEventConnect, 0}, {kEventWrite, 0}}));
    EXPECT_EQ(listenerEvents, (std::vector<Event>{{kEventAccept, 0}}));
    ASSERT_EQ(AcceptSocket(listener, &accepted), 0);
    // The accepted socket carries the listener's selection.
    EXPECT_TRUE(HasAsyncSelection(accepted));
    int sent = 0;
    ASSERT_EQ(SendBytes(client, "hello", 5, &sent), 0);
    ASSERT_TRUE(PumpEventsUntil([&] { return acceptedEvents.size() >= 2; }));
    PumpEvents(50);
    // One write for the new connection and one read for the data, in the
    // order the loop found them ready.
    ASSERT_EQ(acceptedEvents.size(), 2u);
    EXPECT_EQ(acceptedEvents[0].event + acceptedEvents[1].event, kEventWrite + kEventRead);
    // A receive that takes part of the data has the rest reported again;
    // peeking takes nothing.
    char buffer[16];
    int got = 0;
    ASSERT_EQ(RecvBytes(accepted, buffer, 1, true, &got), 0);
    EXPECT_EQ(QByteArray(buffer, got), "h");
    ASSERT_EQ(RecvBytes(accepted, buffer, 2, false, &got), 0);
    EXPECT_EQ(QByteArray(buffer, got), "he");
    ASSERT_TRUE(PumpEventsUntil([&] { return acceptedEvents.size() >= 3; }));
    PumpEvents(50);
    ASSERT_EQ(acceptedEvents.size(), 3u);
    EXPECT_EQ(acceptedEvents[2], (Event{kEventRead, 0}));
    // Selecting again reports the unread rest again.
    AsyncSelect(
        accepted,
        [&](SocketHandle, int e, int err) {
            acceptedEvents.push_back({e, err});
        },
        59);
    ASSERT_TRUE(PumpEventsUntil([&] { return acceptedEvents.size() >= 4; }));
    EXPECT_EQ(acceptedEvents[3], (Event{kEventRead, 0}));
    // The end comes after the data still unread.
    ::shutdown(client, SHUT_WR);
    PumpEvents(50);
    EXPECT_EQ(acceptedEvents.size(), 4u);
    ASSERT_EQ(RecvBytes(accepted, buffer, 16, false, &got), 0);
    EXPECT_EQ(QByteArray(buffer, got), "llo");
    ASSERT_TRUE(PumpEventsUntil([&] { return acceptedEvents.size() >= 5; }));
    PumpEvents(50);
    EXPECT_EQ(acceptedEvents.back(), (Event{kEventClose, 0}));
    EXPECT_EQ(acceptedEvents.size(), 5u);
    for (SocketHandle s : {listener, client, accepted})
        EXPECT_EQ(CloseSocket(s), 0);
}

TEST(SocketLayer, RefusedConnectIsReportedOnce) {
    SocketHandle probe = kInvalidSocket;
    CreateSocket(SocketKind::Stream, &probe);
    BindSocket(probe, Loopback(), 0);
    uint32_t address = 0;
    uint16_t port = 0;
    GetSocketName(probe, &address, &port);
    CloseSocket(probe);
    SocketHandle client = kInvalidSocket;
    CreateSocket(SocketKind::Stream, &client);
    std::vector<Event> events;
    AsyncSelect(
        client,
        [&](SocketHandle, int e, int err) {
            events.push_back({e, err});
        },
        59);
    const int rc = ConnectSocket(client, Loopback(), port);
    if (rc == 10035) {
        ASSERT_TRUE(PumpEventsUntil([&] { return !events.empty(); }));
        PumpEvents(50);
        EXPECT_EQ(events, (std::vector<Event>{{kEventConnect, 10061}}));
    } else {
        EXPECT_EQ(rc, 10061);
    }
    CloseSocket(client);
}

TEST(SocketLayer, HostLookUpsCompleteOnTheUserInterfaceThreadAndCanBeCancelled) {
    int doneHandle = 0;
    int doneError = -1;
    uint32_t doneAddress = 0;
    bool onUiThread = false;
    const int handle = StartHostLookup("localhost", [&](int h, int error, uint32_t address) {
        doneHandle = h;
        doneError = error;
        doneAddress = address;
        onUiThread = QThread::currentThread() == QCoreApplication::instance()->thread();
    });
    EXPECT_GT(handle, 0);
    EXPECT_EQ(doneError, -1);  // never inside the call
    bool cancelledRan = false;
    const int cancelled =
        StartHostLookup("localhost", [&](int, int, uint32_t) { cancelledRan = true; });
    EXPECT_EQ(CancelHostLookup(cancelled), 0);
    EXPECT_EQ(CancelHostLookup(cancelled), 10022);
    ASSERT_TRUE(PumpEventsUntil([&] { return doneError != -1; }));
    EXPECT_EQ(doneHandle, handle);
    EXPECT_EQ(doneError, 0);
    EXPECT_EQ(DottedAddress(doneAddress), "127.0.0.1");
    EXPECT_TRUE(onUiThread);
    EXPECT_EQ(CancelHostLookup(handle), 10022);
    PumpEvents(100);
    EXPECT_FALSE(cancelledRan);

    int error = 0;
    StartHostLookup("no-such-host.invalid", [&](int, int e, uint32_t) { error = e; });
    ASSERT_TRUE(PumpEventsUntil([&] { return error != 0; }, 60000));
    EXPECT_GE(error, 11001);
    EXPECT_LE(error, 11004);
}

TEST(SocketLayer, ListenerOutOfDescriptorsDoesNotSpin) {
    SocketHandle listener = kInvalidSocket, client = kInvalidSocket;
    ASSERT_EQ(CreateSocket(SocketKind::Stream, &listener), 0);
    ASSERT_EQ(BindSocket(listener, Loopback(), 0), 0);
    ASSERT_EQ(ListenSocket(listener, 5), 0);
    uint32_t address = 0;
    uint16_t port = 0;
    GetSocketName(listener, &address, &port);
    int notifications = 0;
    int lastError = 0;
    SocketHandle accepted = kInvalidSocket;
    AsyncSelect(
        listener,
        [&](SocketHandle s, int e, int) {
            if (s != listener || e != kEventAccept)
                return;
            ++notifications;
            lastError = AcceptSocket(listener, &accepted);
        },
        kEventAccept);
    ASSERT_EQ(CreateSocket(SocketKind::Stream, &client), 0);
    ConnectSocket(client, Loopback(), port);
    // No descriptor left for the accepted connection.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    const int lowestFree = ::dup(0);
    ASSERT_GE(lowestFree, 0);
    ::close(lowestFree);
    rlimit tight = saved;
    tight.rlim_cur = rlim_t(lowestFree);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    PumpEvents(350);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &saved), 0);
    EXPECT_EQ(lastError, 10024);
    EXPECT_GE(notifications, 1);
    EXPECT_LE(notifications, 6);  // about one every 100 ms, not thousands
    ASSERT_TRUE(PumpEventsUntil([&] { return lastError == 0; }));
    EXPECT_NE(accepted, kInvalidSocket);
    for (SocketHandle s : {listener, client, accepted})
        CloseSocket(s);
}
