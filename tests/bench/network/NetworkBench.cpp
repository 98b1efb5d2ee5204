// CSocketMaster against plain blocking sockets doing the same work on
// 127.0.0.1: UDP datagrams of 200 bytes received per second (by recv, and by
// recvfrom with the sender's address), and TCP bytes per second for an 8 MB
// transfer. Run by hand:
//   build/bench/network_bench
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QCoreApplication>
#include <memory>
#include <stdexcept>
#include <thread>

#include "network/CSocketMaster.h"

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
    if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0)
        throw std::runtime_error("bind");
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

// Bursts read by a plain loop; `receive` takes one datagram into the buffer
// and answers its size.
template <typename Receive>
void ReceiveBurstsPlainly(benchmark::State& state, Receive receive) {
    const int receiver = BoundUdp();
    const int sender = BoundUdp();
    const uint16_t port = PortOf(receiver);
    char buffer[2048];
    int64_t received = 0;
    for (auto _ : state) {
        state.PauseTiming();
        SendBurst(sender, port);
        state.ResumeTiming();
        for (int i = 0; i < kBurst; ++i) {
            if (receive(receiver, buffer, sizeof buffer) == kDatagram)
                ++received;
        }
    }
    state.SetItemsProcessed(received);
    ::close(receiver);
    ::close(sender);
}

void BM_UdpReceivePlain(benchmark::State& state) {
    ReceiveBurstsPlainly(
        state, [](int fd, char* buffer, size_t size) { return ::recv(fd, buffer, size, 0); });
}

// The same with the sender's address of every datagram, which a receiver
// that reports its sender must read.
void BM_UdpReceiveFromPlain(benchmark::State& state) {
    ReceiveBurstsPlainly(state, [](int fd, char* buffer, size_t size) {
        sockaddr_in from{};
        socklen_t length = sizeof from;
        return ::recvfrom(fd, buffer, size, 0, reinterpret_cast<sockaddr*>(&from), &length);
    });
}

void BM_UdpReceiveCSocketMaster(benchmark::State& state) {
    CSocketMaster receiver;
    receiver.SetProtocol(CSocketMaster::sckUDPProtocol);
    receiver.Bind(Variant::FromLong(0), Variant("127.0.0.1"));
    int64_t received = 0;
    QObject::connect(&receiver, &CSocketMaster::DataArrival, [&](int32_t bytesTotal) {
        Variant data;
        receiver.GetData(data, Variant::FromLong(int32_t(VarType::String)),
                         Variant::FromLong(bytesTotal));
        if (data.ToString().size() == kDatagram)
            ++received;
    });
    const int sender = BoundUdp();
    const uint16_t port = uint16_t(receiver.LocalPort());
    for (auto _ : state) {
        state.PauseTiming();
        const int64_t target = received + kBurst;
        SendBurst(sender, port);
        state.ResumeTiming();
        RunEventsUntil([&] { return received >= target; });
    }
    state.SetItemsProcessed(received);
    ::close(sender);
}

void BM_TcpTransferPlain(benchmark::State& state) {
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa = Loopback(0);
    ::bind(listener, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    ::listen(listener, 5);
    const int client = ::socket(AF_INET, SOCK_STREAM, 0);
    sa = Loopback(PortOf(listener));
    ::connect(client, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    const int server = ::accept(listener, nullptr, nullptr);
    const QByteArray payload(kTransfer, 'x');
    QByteArray buffer(1 << 17, Qt::Uninitialized);
    for (auto _ : state) {
        std::thread writer([&] {
            qsizetype done = 0;
            while (done < payload.size()) {
                const ssize_t n =
                    ::send(client, payload.constData() + done, size_t(payload.size() - done), 0);
                if (n <= 0)
                    break;
                done += n;
            }
        });
        qsizetype got = 0;
        while (got < kTransfer) {
            const ssize_t n = ::recv(server, buffer.data(), size_t(buffer.size()), 0);
            if (n <= 0)
                break;
            got += n;
        }
        writer.join();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kTransfer);
    ::close(server);
    ::close(client);
    ::close(listener);
}

void BM_TcpTransferCSocketMaster(benchmark::State& state) {
    CSocketMaster listener;
    listener.Listen();
    std::unique_ptr<CSocketMaster> server;
    qsizetype got = 0;
    QObject::connect(&listener, &CSocketMaster::ConnectionRequest, [&](int32_t requestID) {
        server = std::make_unique<CSocketMaster>();
        QObject::connect(server.get(), &CSocketMaster::DataArrival, [&](int32_t) {
            Variant data;
            server->GetData(data);
            got += data.ToBytes().size();
        });
        server->Accept(requestID);
    });
    CSocketMaster client;
    client.Connect(Variant("127.0.0.1"), Variant::FromLong(listener.LocalPort()));
    RunEventsUntil([&] { return client.State() == CSocketMaster::sckConnected && server; });
    const Variant payload(QByteArray(kTransfer, 'x'));
    for (auto _ : state) {
        got = 0;
        client.SendData(payload);
        RunEventsUntil([&] { return got >= kTransfer; });
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kTransfer);
}

}  // namespace

BENCHMARK(BM_UdpReceivePlain)->UseRealTime();
BENCHMARK(BM_UdpReceiveFromPlain)->UseRealTime();
BENCHMARK(BM_UdpReceiveCSocketMaster)->UseRealTime();
BENCHMARK(BM_TcpTransferPlain)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TcpTransferCSocketMaster)->UseRealTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
