// The station's socket class, CSocketMaster, against plain sockets doing the
// same work on 127.0.0.1 in the same iteration, each on one thread as the
// station is:
// - TCP: 8 MB from a client to an accepted connection, through two
//   CSocketMasters on this thread's event loop, and through a plain
//   non-blocking send/recv loop on one thread driven by poll().
// - UDP: bursts of 64 datagrams of 200 bytes, already queued, read through
//   a CSocketMaster's DataArrival and GetData, and by a plain recvfrom loop
//   (with the sender's address, as the station reads it) on a socket with the
//   same receive buffer as the CSocketMaster's; and by the same loop turning
//   each datagram into text through the station's code page, as GetData
//   hands it to its owner (decode_speed_ratio).
// The iteration's time is CSocketMaster's; speed_ratio is its throughput over
// the plain loop's. Run by hand (a bare run repeats each 5 times and prints
// medians and a summary of the ratios):
//   build/bench/network_bench
// UDP also reports to_first_us and after_last_us per burst (see below).
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QCoreApplication>
#include <functional>
#include <memory>

#include "network/CSocketMaster.h"
#include "platform/CodePage.h"
#include "support/Baselines.h"
#include "support/BenchRun.h"

namespace {

constexpr int kBurst = 64;  // datagrams per burst: fits a default receive buffer
constexpr int kDatagram = 200;
constexpr qsizetype kTransfer = 8 << 20;

sockaddr_in Loopback(uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return sa;
}

uint16_t PortOf(int fd) {
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
    return ntohs(sa.sin_port);
}

int BoundUdp() {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in sa = Loopback(0);
    ::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    return fd;
}

void SendBurst(int fd, uint16_t port) {
    static const QByteArray payload(kDatagram, 'o');
    const sockaddr_in to = Loopback(port);
    for (int i = 0; i < kBurst; ++i)
        ::sendto(fd, payload.constData(), payload.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                 sizeof to);
}

void RunEventsUntil(const std::function<bool()>& done) {
    while (!done())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
}

void ReportSpeed(benchmark::State& state, double stationUs, double plainUs, double items,
                 const char* unit) {
    state.counters[std::string("station_") + unit] = items / (stationUs / 1e6);
    state.counters[std::string("plain_") + unit] = items / (plainUs / 1e6);
    state.counters["speed_ratio"] = stationUs > 0 ? plainUs / stationUs : 0;
}

void BM_UdpReceive(benchmark::State& state) {
    CSocketMaster receiver;
    receiver.SetProtocol(CSocketMaster::sckUDPProtocol);
    receiver.Bind(Variant::FromLong(0), Variant("127.0.0.1"));
    int64_t received = 0;
    // Where a burst's time goes: from the start to the first DataArrival
    // (the event loop's wake-up and the first batch's receive), and from the
    // last handler's end until control is back here.
    // Two clock readings per burst, not per datagram.
    double firstUs = 0, lastUs = 0, sumFirst = 0, sumLast = 0;
    int64_t target = 0;
    QObject::connect(&receiver, &CSocketMaster::DataArrival, [&](int32_t bytesTotal) {
        if (firstUs == 0)
            firstUs = NowUs();
        Variant data;
        receiver.GetData(data, Variant::FromLong(int32_t(VarType::String)),
                         Variant::FromLong(bytesTotal));
        if (data.ToString().size() == kDatagram && ++received == target)
            lastUs = NowUs();
    });
    int stationBuffer = 0;
    socklen_t length = sizeof stationBuffer;
    ::getsockopt(receiver.SocketHandle(), SOL_SOCKET, SO_RCVBUF, &stationBuffer, &length);
    const int plain = BoundUdp();
    const int plainBuffer = SetReceiveBuffer(plain, stationBuffer);
    const int sender = BoundUdp();
    const uint16_t stationPort = uint16_t(receiver.LocalPort()), plainPort = PortOf(plain);
    char buffer[2048];
    double stationUs = 0, plainUs = 0, decodeUs = 0;
    int64_t plainReceived = 0, decodedReceived = 0;
    // A burst to the plain loop and its time; `decode` turns each datagram
    // into text as GetData does.
    const auto PlainBurst = [&](bool decode, int64_t& whole) {
        SendBurst(sender, plainPort);
        const double start = NowUs();
        for (int i = 0; i < kBurst; ++i) {
            sockaddr_in from{};
            socklen_t fromLength = sizeof from;
            const ssize_t n = ::recvfrom(plain, buffer, sizeof buffer, 0,
                                         reinterpret_cast<sockaddr*>(&from), &fromLength);
            if (n == kDatagram && (!decode || platform::FromAnsi(buffer, n).size() == kDatagram))
                ++whole;
        }
        return NowUs() - start;
    };
    for (auto _ : state) {
        target = received + kBurst;
        SendBurst(sender, stationPort);
        const double start = NowUs();
        firstUs = 0;
        RunEventsUntil([&] { return received >= target; });
        const double station = NowUs() - start;
        sumFirst += firstUs - start;
        sumLast += station - (lastUs - start);
        plainUs += PlainBurst(false, plainReceived);
        decodeUs += PlainBurst(true, decodedReceived);
        stationUs += station;
        state.SetIterationTime(station / 1e6);
    }
    state.SetItemsProcessed(received);
    ReportSpeed(state, stationUs, plainUs, double(received), "datagrams_per_s");
    state.counters["decode_speed_ratio"] = stationUs > 0 ? decodeUs / stationUs : 0;
    state.counters["to_first_us"] = sumFirst / double(state.iterations());
    state.counters["after_last_us"] = sumLast / double(state.iterations());
    state.counters["receive_buffer_B"] = stationBuffer;
    state.counters["plain_buffer_B"] = plainBuffer;
    state.counters["plain_lost"] =
        double(int64_t(state.iterations()) * kBurst * 2 - plainReceived - decodedReceived);
    ::close(sender);
    ::close(plain);
}

// 8 MB from one plain socket to the other, both non-blocking on this thread.
bool PlainTransfer(int client, int server, const QByteArray& payload, QByteArray& buffer) {
    qsizetype sent = 0, got = 0;
    while (got < payload.size()) {
        pollfd fds[2] = {{client, short(sent < payload.size() ? POLLOUT : 0), 0},
                         {server, POLLIN, 0}};
        if (::poll(fds, 2, 10000) <= 0)
            return false;
        if (fds[0].revents & POLLOUT) {
            const ssize_t n = ::send(client, payload.constData() + sent,
                                     size_t(payload.size() - sent), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0)
                sent += n;
        }
        if (fds[1].revents & POLLIN) {
            const ssize_t n = ::recv(server, buffer.data(), size_t(buffer.size()), MSG_DONTWAIT);
            if (n == 0)
                return false;
            if (n > 0)
                got += n;
        }
    }
    return true;
}

void BM_TcpTransfer(benchmark::State& state) {
    // CSocketMaster: a listener, the accepted connection, a client.
    CSocketMaster listener;
    listener.Listen();
    std::unique_ptr<CSocketMaster> accepted;
    qsizetype got = 0;
    QObject::connect(&listener, &CSocketMaster::ConnectionRequest, [&](int32_t requestID) {
        accepted = std::make_unique<CSocketMaster>();
        QObject::connect(accepted.get(), &CSocketMaster::DataArrival, [&](int32_t) {
            Variant data;
            accepted->GetData(data);
            got += data.ToBytes().size();
        });
        accepted->Accept(requestID);
    });
    CSocketMaster client;
    client.Connect(Variant("127.0.0.1"), Variant::FromLong(listener.LocalPort()));
    RunEventsUntil([&] { return client.State() == CSocketMaster::sckConnected && accepted; });

    // Plain sockets: the same pair.
    const int plainListener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa = Loopback(0);
    ::bind(plainListener, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    ::listen(plainListener, 5);
    const int plainClient = ::socket(AF_INET, SOCK_STREAM, 0);
    sa = Loopback(PortOf(plainListener));
    ::connect(plainClient, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    const int plainServer = ::accept(plainListener, nullptr, nullptr);

    const QByteArray bytes(kTransfer, 'x');
    const Variant payload(bytes);
    QByteArray buffer(1 << 17, Qt::Uninitialized);
    double stationUs = 0, plainUs = 0;
    for (auto _ : state) {
        got = 0;
        double start = NowUs();
        client.SendData(payload);
        RunEventsUntil([&] { return got >= kTransfer; });
        const double station = NowUs() - start;
        start = NowUs();
        if (!PlainTransfer(plainClient, plainServer, bytes, buffer)) {
            state.SkipWithError("the plain transfer stalled");
            break;
        }
        plainUs += NowUs() - start;
        stationUs += station;
        state.SetIterationTime(station / 1e6);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kTransfer);
    ReportSpeed(state, stationUs, plainUs, double(state.iterations()) * kTransfer / 1e6,
                "MB_per_s");
    ::close(plainServer);
    ::close(plainClient);
    ::close(plainListener);
}

}  // namespace

BENCHMARK(BM_UdpReceive)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TcpTransfer)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    return RunBenchmarks(argc, argv, 5);
}
