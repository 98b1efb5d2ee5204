// kestrelle_simulator: a point-of-sale terminal for trying a station without
// the point-of-sale product.
//
//   kestrelle_simulator udp --port 7002 --name POS1 --count 5 --interval 1000
//   kestrelle_simulator im  --port 7003 --name POS --terminals 3 --count 10 --chat 1 --wait-ack
//
// "udp" sends order datagrams (notification mode 0); "im" joins the station's
// message server (mode 1). Texts are sent in the station's ANSI code page
// (CP1251 unless KESTRELLE_CODEPAGE names another).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QString>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>

#include "ImTerminals.h"
#include "platform/CodePage.h"

namespace {

void Usage() {
    std::fputs(
        "usage: kestrelle_simulator udp|im [options]\n"
        "  --host H        station address (default 127.0.0.1)\n"
        "  --port P        station port (udp: 7002, im: 7003)\n"
        "  --name N        terminal name (several terminals: N-1, N-2, ...)\n"
        "  --count C       orders per terminal (default 1)\n"
        "  --interval MS   pause between a terminal's orders (default 0)\n"
        "  --text T        order text; %i the order number, %s the name, %n a quantity\n"
        "udp only:\n"
        "  --start S       first sequence number (default 1; then rising)\n"
        "im only:\n"
        "  --terminals M   terminals sending orders (default 1)\n"
        "  --idle K        further terminals that only join and listen\n"
        "  --chat L        chat lines before each order (default 0)\n"
        "  --to NAME       address orders to NAME instead of the server's own name\n"
        "  --wait-ack      stay until every order is acknowledged (exit 1 when not)\n"
        "  --at-once       every terminal connects at once and sends as soon as it joined\n"
        "  --timeout S     give up after S seconds (default 60)\n"
        "  --quiet         print only the summary\n",
        stderr);
}

int RunUdp(const std::string& host, uint16_t port, const QString& name, int count, int start,
           int intervalMs, const QString& textPattern) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    if (::inet_pton(AF_INET, host.c_str(), &sa.sin_addr) != 1) {
        std::fprintf(stderr, "udp mode takes a dotted address, not %s\n", host.c_str());
        return 2;
    }
    for (int i = 0; i < count; ++i) {
        const int sequence = start + i;
        QString text = textPattern;
        text.replace("%i", QString::number(sequence))
            .replace("%s", name)
            .replace("%n", QString::number(1 + sequence % 3));
        // Characters 1-6 the sequence number, 7 a separator, then the sender
        // up to the first TAB, then the order text.
        const QString datagram =
            QStringLiteral("%1").arg(sequence, 6, 10, QLatin1Char('0')).right(6) + " " + name +
            "\t" + text;
        const QByteArray bytes = platform::ToAnsi(datagram);
        if (bytes.size() < 20)
            std::fprintf(stderr,
                         "warning: datagram %d has %lld bytes; the station ignores fewer than 20\n",
                         sequence, static_cast<long long>(bytes.size()));
        if (::sendto(fd, bytes.constData(), size_t(bytes.size()), 0,
                     reinterpret_cast<const sockaddr*>(&sa), sizeof sa) < 0) {
            std::fprintf(stderr, "sendto: %s\n", std::strerror(errno));
            ::close(fd);
            return 2;
        }
        std::printf("> %d %s\n", sequence, text.toUtf8().constData());
        if (intervalMs > 0 && i + 1 < count)
            std::this_thread::sleep_for(std::chrono::milliseconds(intervalMs));
    }
    ::close(fd);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || (std::strcmp(argv[1], "udp") != 0 && std::strcmp(argv[1], "im") != 0)) {
        Usage();
        return 2;
    }
    const bool udp = std::strcmp(argv[1], "udp") == 0;
    ImOptions im;
    im.port = udp ? 7002 : 7003;
    int start = 1;
    try {
        for (int i = 2; i < argc; ++i) {
            const std::string arg = argv[i];
            auto value = [&]() -> std::string {
                if (i + 1 >= argc)
                    throw std::invalid_argument(arg + " needs a value");
                return argv[++i];
            };
            if (arg == "--host")
                im.host = value();
            else if (arg == "--port")
                im.port = uint16_t(std::stoi(value()));
            else if (arg == "--name")
                im.name = QString::fromLocal8Bit(value().c_str());
            else if (arg == "--count")
                im.count = std::stoi(value());
            else if (arg == "--interval")
                im.intervalMs = std::stoi(value());
            else if (arg == "--text")
                im.text = QString::fromLocal8Bit(value().c_str());
            else if (arg == "--start")
                start = std::stoi(value());
            else if (arg == "--terminals")
                im.terminals = std::stoi(value());
            else if (arg == "--idle")
                im.idle = std::stoi(value());
            else if (arg == "--chat")
                im.chat = std::stoi(value());
            else if (arg == "--to")
                im.addressee = QString::fromLocal8Bit(value().c_str());
            else if (arg == "--wait-ack")
                im.waitAck = true;
            else if (arg == "--at-once")
                im.atOnce = true;
            else if (arg == "--timeout")
                im.timeoutMs = std::stoi(value()) * 1000;
            else if (arg == "--quiet")
                im.quiet = true;
            else
                throw std::invalid_argument("unknown option " + arg);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        Usage();
        return 2;
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (udp)
        return RunUdp(im.host, im.port, im.name, im.count, start, im.intervalMs, im.text);
    try {
        const ImSummary s = RunImTerminals(im);
        const int expected = im.terminals * im.count;
        std::printf(
            "joined %d of %d terminals in %lld ms; orders sent %d, acknowledged %d of %d, "
            "doubled %d%s\n",
            s.joined, im.terminals + im.idle, static_cast<long long>(s.joinMs), s.ordersSent,
            s.acknowledged, expected, s.doubled, s.timedOut ? "; timed out" : "");
        if (im.waitAck && !s.timedOut && s.acknowledged >= expected)
            std::printf("all acknowledged %lld ms after the first order\n",
                        static_cast<long long>(s.ordersMs));
        if (im.waitAck && (s.timedOut || s.acknowledged < expected))
            return 1;
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 2;
    }
}
