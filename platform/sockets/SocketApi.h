#pragma once

#include <QString>
#include <cstdint>

// Non-blocking IPv4 sockets over the BSD calls, answering Winsock's error
// numbers. Every call answers 0 on success or the Winsock number of the failure
// (10035 "would block" included); results come back through out-parameters.
// Addresses are IPv4 addresses in network byte order (as in in_addr.s_addr),
// ports are host-order 16-bit values.
//
// Contract shared with AsyncSelect.h: receiving calls re-enable the read-side
// notification of a socket (as Winsock re-enables FD_READ and FD_ACCEPT after
// recv and accept), a send that would block arms the write notification, and
// closing a socket ends its notifications before the descriptor is released.
// All of this is for the user-interface thread only.
namespace platform {

using SocketHandle = int32_t;
inline constexpr SocketHandle kInvalidSocket = -1;

// Winsock error numbers that the layer answers.
namespace wsa {
inline constexpr int kInterrupted = 10004;
inline constexpr int kAccessDenied = 10013;
inline constexpr int kFault = 10014;
inline constexpr int kInvalidArgument = 10022;
inline constexpr int kTooManyOpenFiles = 10024;
inline constexpr int kWouldBlock = 10035;
inline constexpr int kInProgress = 10036;
inline constexpr int kAlreadyInProgress = 10037;
inline constexpr int kNotSocket = 10038;
inline constexpr int kDestinationRequired = 10039;
inline constexpr int kMessageSize = 10040;
inline constexpr int kProtocolType = 10041;
inline constexpr int kProtocolOption = 10042;
inline constexpr int kProtocolNotSupported = 10043;
inline constexpr int kSocketTypeNotSupported = 10044;
inline constexpr int kOperationNotSupported = 10045;
inline constexpr int kProtocolFamilyNotSupported = 10046;
inline constexpr int kAddressFamilyNotSupported = 10047;
inline constexpr int kAddressInUse = 10048;
inline constexpr int kAddressNotAvailable = 10049;
inline constexpr int kNetworkDown = 10050;
inline constexpr int kNetworkUnreachable = 10051;
inline constexpr int kNetworkReset = 10052;
inline constexpr int kConnectionAborted = 10053;
inline constexpr int kConnectionReset = 10054;
inline constexpr int kNoBufferSpace = 10055;
inline constexpr int kIsConnected = 10056;
inline constexpr int kNotConnected = 10057;
inline constexpr int kShutdown = 10058;
inline constexpr int kTimedOut = 10060;
inline constexpr int kConnectionRefused = 10061;
inline constexpr int kHostUnreachable = 10065;
inline constexpr int kTooManyProcesses = 10067;
inline constexpr int kSystemNotReady = 10091;
inline constexpr int kVersionNotSupported = 10092;
inline constexpr int kNotInitialised = 10093;
inline constexpr int kHostNotFound = 11001;
inline constexpr int kTryAgain = 11002;
inline constexpr int kNoRecovery = 11003;
inline constexpr int kNoData = 11004;
}  // namespace wsa

// The Winsock number of an errno value (EAGAIN and EINPROGRESS both become
// 10035, as a non-blocking Winsock call reports them); of a resolver h_errno.
int WsaErrorFromErrno(int error);
int WsaErrorFromHostError(int hostError);

// Start and stop of the networking layer, counted like WSAStartup/WSACleanup.
// Cleanup without a matching startup answers 10093.
int SocketStartup(uint16_t requestedVersion);
int SocketCleanup();
// How often the layer was started and cleaned up in this process (tests).
int SocketStartupCalls();
int SocketCleanupCalls();

enum class SocketKind { Stream, Datagram };

// A new non-blocking, close-on-exec socket. Stream sockets allow rebinding a
// port whose old connections linger in TIME_WAIT (Winsock's default), so a
// restarted listener does not fail with "address in use" for a minute.
int CreateSocket(SocketKind kind, SocketHandle* socket);
int CloseSocket(SocketHandle socket);

int BindSocket(SocketHandle socket, uint32_t address, uint16_t port);
int ListenSocket(SocketHandle socket, int backlog);
// The longest listen queue the system grants (net.core.somaxconn, else
// SOMAXCONN): for a listener that many peers may reach at once.
int MaxListenBacklog();
// How many descriptors the process may hold open (the soft limit of
// RLIMIT_NOFILE); a descriptor's number is always below it.
int DescriptorLimit();
// The accepted socket is non-blocking and inherits the listener's
// notification selection, as Winsock's accept does.
int AcceptSocket(SocketHandle listener, SocketHandle* accepted);
// Answers 10035 when the connection is under way; completion arrives as a
// connect notification followed by one write notification.
int ConnectSocket(SocketHandle socket, uint32_t address, uint16_t port);

// Stream send and receive. Send never raises SIGPIPE; a send that would block
// answers 10035 and arms one write notification. Receive answers 0 with
// *received == 0 at the end of the stream.
int SendBytes(SocketHandle socket, const char* data, int length, int* sent);
int RecvBytes(SocketHandle socket, char* buffer, int length, bool peek, int* received);

// Datagrams. RecvFromSocket reads the first pending datagram into the buffer;
// when it held more than length bytes, the first length bytes are delivered
// and 10040 is answered (the rest is discarded unless peeking). A length of 0
// discards the datagram (or only peeks at it).
int SendToSocket(SocketHandle socket, const char* data, int length, uint32_t address, uint16_t port,
                 int* sent);
int RecvFromSocket(SocketHandle socket, char* buffer, int length, bool peek, int* received,
                   uint32_t* fromAddress, uint16_t* fromPort);
// Up to `count` pending datagrams with one call, oldest first: datagram i is
// written at buffer + i * slotSize, and its size and sender go to
// datagrams[i]. Slots of kDatagramSlot bytes hold any IPv4 datagram whole; a
// datagram larger than a smaller slot keeps its first slotSize bytes, and its
// size says how many it had. Answers 0 with *taken >= 1, or the error of the
// first receive (10035 when none is pending).
inline constexpr int kDatagramSlot = 65536;
struct ReceivedDatagram {
    int size = 0;
    uint32_t address = 0;
    uint16_t port = 0;
};
int RecvDatagrams(SocketHandle socket, char* buffer, int slotSize, int count,
                  ReceivedDatagram* datagrams, int* taken);
// The size of the first pending datagram (0 for an empty one); 10035 when
// none is pending. Re-enables the read notification like a receive, so an
// owner that finds nothing pending hears the next datagram.
int PendingDatagramSize(SocketHandle socket, int* size);

int GetSocketName(SocketHandle socket, uint32_t* address, uint16_t* port);
int GetPeerName(SocketHandle socket, uint32_t* address, uint16_t* port);

// The socket options the layer above reads and sets. MaxMessageSize answers
// the largest IPv4 UDP payload, which is what Winsock's SO_MAX_MSG_SIZE gives
// for datagram sockets. NoDelay is TCP_NODELAY of a stream socket: each send
// leaves at once instead of waiting while an earlier one is unacknowledged.
enum class SocketOption { Broadcast, MaxMessageSize, ReceiveBuffer, SendBuffer, NoDelay };
int GetSocketOption(SocketHandle socket, SocketOption option, int* value);
int SetSocketOption(SocketHandle socket, SocketOption option, int value);

// Asks for a receive buffer of `bytes` and takes what the system gives: past
// its cap (net.core.rmem_max) only for a process allowed to exceed it.
void RequestReceiveBuffer(SocketHandle socket, int bytes);

// The host name, as gethostname gives it.
int GetLocalHostName(QString* name);
// The first IPv4 address of a host's record (blocking look-up). An empty name
// is the local host, as Winsock's gethostbyname treats it.
int ResolveHostName(const QString& name, uint32_t* address);
// A dotted IPv4 address in any form inet_addr accepts ("a.b.c.d", "a.b.c",
// "a.b", "a", decimal, octal or hex parts); false for anything else.
bool ParseDottedAddress(const QString& text, uint32_t* address);
QString DottedAddress(uint32_t address);
inline constexpr uint32_t kAnyAddress = 0;

}  // namespace platform
