#include "common/ImTerminal.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

#include "common/TestSupport.h"
#include "platform/CodePage.h"

ImTerminal::ImTerminal(uint16_t port, int receiveBuffer) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd_ < 0)
        throw std::runtime_error("socket");
    if (receiveBuffer > 0)
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0)
        throw std::runtime_error(std::string("connect: ") + std::strerror(errno));
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);
}

ImTerminal::~ImTerminal() {
    Close();
}

void ImTerminal::Send(const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::send(fd_, bytes.constData() + done, size_t(bytes.size() - done), MSG_NOSIGNAL);
        if (n > 0) {
            done += n;
        } else if (n < 0 && errno == EAGAIN) {
            // The server reads only while events are pumped.
            PumpEvents(1);
        } else {
            throw std::runtime_error(std::string("send: ") + std::strerror(errno));
        }
    }
}

void ImTerminal::SendText(const QString& text) {
    Send(platform::ToAnsi(text));
}

void ImTerminal::Poll() {
    if (fd_ < 0)
        return;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n > 0) {
            received_.append(buffer, n);
            continue;
        }
        if (n == 0 || (errno != EAGAIN && errno != EINTR))
            peerClosed_ = true;
        break;
    }
    for (;;) {
        const qsizetype end = received_.indexOf('\x04', parsed_);
        if (end < 0)
            break;
        messages_.append(platform::FromAnsi(received_.mid(parsed_, end - parsed_)));
        parsed_ = end + 1;
    }
}

const QList<QString>& ImTerminal::Messages() {
    Poll();
    return messages_;
}

QList<QString> ImTerminal::MessagesOf(const QString& command) {
    QList<QString> result;
    for (const QString& m : Messages()) {
        if (m.startsWith(command))
            result.append(m);
    }
    return result;
}

const QByteArray& ImTerminal::Received() {
    Poll();
    return received_;
}

bool ImTerminal::WaitForMessages(int count, int timeoutMs) {
    return PumpEventsUntil([&] { return Messages().size() >= count; }, timeoutMs);
}

bool ImTerminal::PeerClosed() {
    Poll();
    return peerClosed_;
}

bool ImTerminal::WaitForPeerClose(int timeoutMs) {
    return PumpEventsUntil([&] { return PeerClosed(); }, timeoutMs);
}

void ImTerminal::Close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

void ImTerminal::Reset() {
    if (fd_ < 0)
        return;
    linger l{1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    Close();
}

QString ConMessage(const QString& name) {
    return QStringLiteral("CON") + QChar(2) + name + QChar(4);
}

QString MsgMessage(const QString& sender, const QString& addressee, const QString& text) {
    return QStringLiteral("MSG") + QChar(2) + sender + QChar(2) + addressee + QChar(2) + text +
           QChar(4);
}

QString OrdMessage(const QString& sender, const QString& addressee, const QString& id,
                   const QString& text) {
    return QStringLiteral("ORD") + QChar(2) + sender + QChar(2) + addressee + QChar(2) + id +
           QChar(3) + text + QChar(4);
}
