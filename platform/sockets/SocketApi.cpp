#include "platform/sockets/SocketApi.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

#include "platform/sockets/AsyncSelect.h"

namespace platform {

namespace {
int g_startups = 0;
int g_cleanups = 0;
int g_active = 0;

// Largest payload of one IPv4 UDP datagram.
constexpr int kMaxUdpPayload = 65507;

int LastError() {
    return WsaErrorFromErrno(errno);
}

sockaddr_in MakeAddress(uint32_t address, uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = address;
    return sa;
}
}  // namespace

namespace {

// errno values and the Winsock numbers a non-blocking Winsock call reports for
// the same failure; an errno not listed is reported as an invalid argument.
constexpr std::pair<int, int> kErrnoToWsa[] = {
    {EINTR, wsa::kInterrupted},
    {EACCES, wsa::kAccessDenied},
    {EPERM, wsa::kAccessDenied},
    {EFAULT, wsa::kFault},
    {EINVAL, wsa::kInvalidArgument},
    {EMFILE, wsa::kTooManyOpenFiles},
    {ENFILE, wsa::kTooManyOpenFiles},
    {EAGAIN, wsa::kWouldBlock},
    {EINPROGRESS, wsa::kWouldBlock},
    {EALREADY, wsa::kAlreadyInProgress},
    {EBADF, wsa::kNotSocket},
    {ENOTSOCK, wsa::kNotSocket},
    {EDESTADDRREQ, wsa::kDestinationRequired},
    {EMSGSIZE, wsa::kMessageSize},
    {EPROTOTYPE, wsa::kProtocolType},
    {ENOPROTOOPT, wsa::kProtocolOption},
    {EPROTONOSUPPORT, wsa::kProtocolNotSupported},
    {ESOCKTNOSUPPORT, wsa::kSocketTypeNotSupported},
    {EOPNOTSUPP, wsa::kOperationNotSupported},
    {EPFNOSUPPORT, wsa::kProtocolFamilyNotSupported},
    {EAFNOSUPPORT, wsa::kAddressFamilyNotSupported},
    {EADDRINUSE, wsa::kAddressInUse},
    {EADDRNOTAVAIL, wsa::kAddressNotAvailable},
    {ENETDOWN, wsa::kNetworkDown},
    {ENETUNREACH, wsa::kNetworkUnreachable},
    {ENETRESET, wsa::kNetworkReset},
    {ECONNABORTED, wsa::kConnectionAborted},
    {ECONNRESET, wsa::kConnectionReset},
    {EPIPE, wsa::kConnectionReset},
    {ENOBUFS, wsa::kNoBufferSpace},
    {ENOMEM, wsa::kNoBufferSpace},
    {EISCONN, wsa::kIsConnected},
    {ENOTCONN, wsa::kNotConnected},
    {ESHUTDOWN, wsa::kShutdown},
    {ETIMEDOUT, wsa::kTimedOut},
    {ECONNREFUSED, wsa::kConnectionRefused},
    {EHOSTUNREACH, wsa::kHostUnreachable},
    {EHOSTDOWN, wsa::kHostUnreachable},
};

// Resolver h_errno values; any other failure of a look-up is unrecoverable.
constexpr std::pair<int, int> kHostErrorToWsa[] = {
    {HOST_NOT_FOUND, wsa::kHostNotFound},
    {TRY_AGAIN, wsa::kTryAgain},
    {NO_RECOVERY, wsa::kNoRecovery},
    {NO_DATA, wsa::kNoData},
};

template <size_t N>
int Lookup(const std::pair<int, int> (&table)[N], int key, int otherwise) {
    for (const auto& [from, to] : table) {
        if (from == key)
            return to;
    }
    return otherwise;
}

}  // namespace

int WsaErrorFromErrno(int error) {
    return error == 0 ? 0 : Lookup(kErrnoToWsa, error, wsa::kInvalidArgument);
}

int WsaErrorFromHostError(int hostError) {
    return hostError == 0 ? 0 : Lookup(kHostErrorToWsa, hostError, wsa::kNoRecovery);
}

int SocketStartup(uint16_t requestedVersion) {
    ++g_startups;
    // Version 1.1 is the oldest Winsock this layer behaves like; a request
    // below it cannot be served.
    if ((requestedVersion & 0xFF) < 1)
        return wsa::kVersionNotSupported;
    ++g_active;
    return 0;
}

int SocketCleanup() {
    ++g_cleanups;
    if (g_active <= 0)
        return wsa::kNotInitialised;
    --g_active;
    return 0;
}

int SocketStartupCalls() {
    return g_startups;
}
int SocketCleanupCalls() {
    return g_cleanups;
}

int CreateSocket(SocketKind kind, SocketHandle* socket) {
    const bool stream = kind == SocketKind::Stream;
    const int fd =
        ::socket(AF_INET, (stream ? SOCK_STREAM : SOCK_DGRAM) | SOCK_NONBLOCK | SOCK_CLOEXEC,
                 stream ? IPPROTO_TCP : IPPROTO_UDP);
    if (fd < 0) {
        *socket = kInvalidSocket;
        return LastError();
    }
    if (stream) {
        const int one = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    }
    *socket = fd;
    return 0;
}

int CloseSocket(SocketHandle socket) {
    int type = 0;
    socklen_t len = sizeof type;
    if (socket < 0 || ::getsockopt(socket, SOL_SOCKET, SO_TYPE, &type, &len) != 0)
        return wsa::kNotSocket;
    // Notifiers go before the descriptor does, so none watches a number that
    // the next socket may reuse.
    detail::ForgetSelection(socket);
    if (::close(socket) != 0 && errno != EINTR)
        return LastError();
    return 0;
}

int BindSocket(SocketHandle socket, uint32_t address, uint16_t port) {
    const sockaddr_in sa = MakeAddress(address, port);
    if (::bind(socket, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0)
        return LastError();
    return 0;
}

int ListenSocket(SocketHandle socket, int backlog) {
    if (::listen(socket, backlog) != 0)
        return LastError();
    detail::NoteListening(socket);
    return 0;
}

void RequestReceiveBuffer(SocketHandle socket, int bytes) {
    if (::setsockopt(socket, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) != 0)
        ::setsockopt(socket, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
}

int DescriptorLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
        limit.rlim_cur > rlim_t(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    return int(limit.rlim_cur);
}

int MaxListenBacklog() {
    int backlog = SOMAXCONN;
    if (FILE* f = std::fopen("/proc/sys/net/core/somaxconn", "r")) {
        int value = 0;
        if (std::fscanf(f, "%d", &value) == 1 && value > 0)
            backlog = value;
        std::fclose(f);
    }
    return backlog;
}

int AcceptSocket(SocketHandle listener, SocketHandle* accepted) {
    detail::NoteReceived(listener);
    const int fd = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
        *accepted = kInvalidSocket;
        const int error = LastError();
        if (error != wsa::kWouldBlock && error != wsa::kInterrupted &&
            error != wsa::kConnectionAborted)
            detail::NoteAcceptFailed(listener);
        return error;
    }
    *accepted = fd;
    detail::NoteAccepted(listener, fd);
    return 0;
}

int ConnectSocket(SocketHandle socket, uint32_t address, uint16_t port) {
    const sockaddr_in sa = MakeAddress(address, port);
    if (::connect(socket, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
        const int error = LastError();
        if (error == wsa::kWouldBlock)
            detail::NoteConnectStarted(socket);
        return error;
    }
    // Connected at once (possible on loopback): Winsock still reports the
    // completion as a notification, so the caller sees the usual path.
    detail::NoteConnectStarted(socket);
    return wsa::kWouldBlock;
}

namespace {
// The outcome of a send of n bytes: a send that would block asks for the
// write notification, which tells when to try again.
int SendOutcome(SocketHandle socket, ssize_t n, int* sent) {
    if (n < 0) {
        const int error = LastError();
        if (error == wsa::kWouldBlock)
            detail::NoteWouldBlock(socket);
        return error;
    }
    *sent = int(n);
    return 0;
}
}  // namespace

int SendBytes(SocketHandle socket, const char* data, int length, int* sent) {
    *sent = 0;
    const ssize_t n = ::send(socket, data, size_t(length), MSG_NOSIGNAL | MSG_DONTWAIT);
    return SendOutcome(socket, n, sent);
}

int RecvBytes(SocketHandle socket, char* buffer, int length, bool peek, int* received) {
    *received = 0;
    detail::NoteReceived(socket);
    int taken = 0;
    bool more = false;
    if (detail::TakePrefetched(socket, buffer, length, peek, &taken, &more)) {
        *received = taken;
        if (!more || taken >= length)
            return 0;
        // The rest behind the bytes read at the readiness, if any: an end or
        // an error is left for the next readiness to report.
        const ssize_t n = ::recv(socket, buffer + taken, size_t(length - taken), MSG_DONTWAIT);
        if (n > 0)
            *received = taken + int(n);
        else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            detail::NoteStreamFailed(socket, errno);
        return 0;
    }
    const ssize_t n = ::recv(socket, buffer, size_t(length), MSG_DONTWAIT | (peek ? MSG_PEEK : 0));
    if (n < 0)
        return LastError();
    *received = int(n);
    return 0;
}

int SendToSocket(SocketHandle socket, const char* data, int length, uint32_t address, uint16_t port,
                 int* sent) {
    *sent = 0;
    const sockaddr_in sa = MakeAddress(address, port);
    const ssize_t n = ::sendto(socket, data, size_t(length), MSG_NOSIGNAL | MSG_DONTWAIT,
                               reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
    return SendOutcome(socket, n, sent);
}

int RecvFromSocket(SocketHandle socket, char* buffer, int length, bool peek, int* received,
                   uint32_t* fromAddress, uint16_t* fromPort) {
    *received = 0;
    detail::NoteReceived(socket);
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    char dummy = 0;
    // MSG_TRUNC makes recvfrom answer the datagram's real size, so a short read
    // is told from a whole one.
    const ssize_t n = ::recvfrom(socket, length > 0 ? buffer : &dummy, size_t(length),
                                 MSG_DONTWAIT | MSG_TRUNC | (peek ? MSG_PEEK : 0),
                                 reinterpret_cast<sockaddr*>(&sa), &len);
    if (n < 0)
        return LastError();
    if (fromAddress)
        *fromAddress = sa.sin_addr.s_addr;
    if (fromPort)
        *fromPort = ntohs(sa.sin_port);
    if (n > length) {
        *received = length;
        return wsa::kMessageSize;
    }
    *received = int(n);
    return 0;
}

int RecvDatagrams(SocketHandle socket, char* buffer, int slotSize, int count,
                  ReceivedDatagram* datagrams, int* taken) {
    *taken = 0;
    detail::NoteReceived(socket);
    constexpr int kMaxBatch = 64;
    count = std::clamp(count, 1, kMaxBatch);
    mmsghdr messages[kMaxBatch];
    iovec pieces[kMaxBatch];
    sockaddr_in senders[kMaxBatch];
    for (int i = 0; i < count; ++i) {
        pieces[i] = {buffer + ptrdiff_t(i) * slotSize, size_t(slotSize)};
        messages[i] = {};
        messages[i].msg_hdr.msg_name = &senders[i];
        messages[i].msg_hdr.msg_namelen = sizeof senders[i];
        messages[i].msg_hdr.msg_iov = &pieces[i];
        messages[i].msg_hdr.msg_iovlen = 1;
    }
    // MSG_TRUNC makes each message's length its datagram's real size.
    const int n = ::recvmmsg(socket, messages, unsigned(count), MSG_DONTWAIT | MSG_TRUNC, nullptr);
    if (n < 0)
        return LastError();
    for (int i = 0; i < n; ++i) {
        datagrams[i].size = int(messages[i].msg_len);
        datagrams[i].address = senders[i].sin_addr.s_addr;
        datagrams[i].port = ntohs(senders[i].sin_port);
    }
    *taken = n;
    return 0;
}

int PendingDatagramSize(SocketHandle socket, int* size) {
    *size = 0;
    detail::NoteReceived(socket);
    char dummy = 0;
    const ssize_t n = ::recv(socket, &dummy, 0, MSG_DONTWAIT | MSG_PEEK | MSG_TRUNC);
    if (n < 0)
        return LastError();
    *size = int(n);
    return 0;
}

namespace {
// One end of a socket's address, read with getsockname or getpeername.
int AddressOf(int (*read)(int, sockaddr*, socklen_t*), SocketHandle socket, uint32_t* address,
              uint16_t* port) {
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    if (read(socket, reinterpret_cast<sockaddr*>(&sa), &len) != 0)
        return LastError();
    *address = sa.sin_addr.s_addr;
    *port = ntohs(sa.sin_port);
    return 0;
}
}  // namespace

int GetSocketName(SocketHandle socket, uint32_t* address, uint16_t* port) {
    return AddressOf(::getsockname, socket, address, port);
}

int GetPeerName(SocketHandle socket, uint32_t* address, uint16_t* port) {
    return AddressOf(::getpeername, socket, address, port);
}

namespace {
// The option's level and name.
std::pair<int, int> NativeOption(SocketOption option) {
    switch (option) {
        case SocketOption::Broadcast:
            return {SOL_SOCKET, SO_BROADCAST};
        case SocketOption::ReceiveBuffer:
            return {SOL_SOCKET, SO_RCVBUF};
        case SocketOption::SendBuffer:
            return {SOL_SOCKET, SO_SNDBUF};
        case SocketOption::NoDelay:
            return {IPPROTO_TCP, TCP_NODELAY};
        case SocketOption::MaxMessageSize:
            break;
    }
    return {SOL_SOCKET, -1};
}
}  // namespace

int GetSocketOption(SocketHandle socket, SocketOption option, int* value) {
    *value = 0;
    if (option == SocketOption::MaxMessageSize) {
        int type = 0;
        socklen_t len = sizeof type;
        if (::getsockopt(socket, SOL_SOCKET, SO_TYPE, &type, &len) != 0)
            return LastError();
        if (type != SOCK_DGRAM)
            return wsa::kProtocolOption;
        *value = kMaxUdpPayload;
        return 0;
    }
    socklen_t len = sizeof *value;
    const auto [level, name] = NativeOption(option);
    if (::getsockopt(socket, level, name, value, &len) != 0)
        return LastError();
    return 0;
}

int SetSocketOption(SocketHandle socket, SocketOption option, int value) {
    if (option == SocketOption::MaxMessageSize)
        return wsa::kProtocolOption;
    const auto [level, name] = NativeOption(option);
    if (::setsockopt(socket, level, name, &value, sizeof value) != 0)
        return LastError();
    return 0;
}

int GetLocalHostName(QString* name) {
    char buffer[256] = {};
    if (::gethostname(buffer, sizeof buffer - 1) != 0) {
        name->clear();
        return LastError();
    }
    *name = QString::fromLocal8Bit(buffer);
    return 0;
}

int ResolveHostName(const QString& name, uint32_t* address) {
    *address = 0;
    QString host = name;
    if (host.isEmpty()) {
        const int error = GetLocalHostName(&host);
        if (error)
            return error;
    }
    const QByteArray encoded = host.toLocal8Bit();
    if (encoded.isEmpty() || encoded.contains('\0'))
        return wsa::kHostNotFound;
    hostent entry{};
    hostent* result = nullptr;
    int hostError = 0;
    std::vector<char> work(8192);
    for (;;) {
        const int rc = ::gethostbyname_r(encoded.constData(), &entry, work.data(), work.size(),
                                         &result, &hostError);
        if (rc == ERANGE && work.size() < (1u << 20)) {
            work.resize(work.size() * 2);
            continue;
        }
        break;
    }
    if (!result)
        return WsaErrorFromHostError(hostError ? hostError : HOST_NOT_FOUND);
    if (result->h_addrtype != AF_INET || result->h_length != 4 || !result->h_addr_list[0])
        return wsa::kNoData;
    std::memcpy(address, result->h_addr_list[0], 4);
    return 0;
}

bool ParseDottedAddress(const QString& text, uint32_t* address) {
    const QByteArray latin = text.toLatin1();
    if (latin.isEmpty() || latin.size() != text.size())
        return false;
    for (const char c : latin) {
        // inet_aton stops at the first blank; Winsock's inet_addr refuses them.
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f')
            return false;
    }
    in_addr parsed{};
    if (::inet_aton(latin.constData(), &parsed) == 0)
        return false;
    *address = parsed.s_addr;
    return true;
}

QString DottedAddress(uint32_t address) {
    char buffer[INET_ADDRSTRLEN] = {};
    in_addr a{};
    a.s_addr = address;
    ::inet_ntop(AF_INET, &a, buffer, sizeof buffer);
    return QString::fromLatin1(buffer);
}

}  // namespace platform
