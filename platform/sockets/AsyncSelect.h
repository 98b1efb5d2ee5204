#pragma once

#include <cstdint>
#include <functional>

#include "platform/sockets/SocketApi.h"

class QString;

// Winsock's asynchronous selection and host look-ups on the Qt event loop.
//
// Notifications are delivered on the user-interface thread while it runs its
// event loop, one at a time and in the order the system reports them, with
// Winsock's rules:
// - read (and accept) is reported once and then again only after the owner
//   called a receiving function (RecvBytes, RecvFromSocket, AcceptSocket), so
//   an owner that leaves data unread gets no further read notification and
//   the thread never spins;
// - close is reported once, after every byte of the stream has been reported
//   readable; a reset connection reports close with 10054;
// - connect is reported once with its outcome, followed on success by one
//   write notification; after that write is reported only after a send would
//   have blocked.
// The handler may close the socket, select again, or pump events; a socket
// closed inside a handler gets no further notification.
namespace platform {

inline constexpr int kEventRead = 1;
inline constexpr int kEventWrite = 2;
inline constexpr int kEventOutOfBand = 4;
inline constexpr int kEventAccept = 8;
inline constexpr int kEventConnect = 16;
inline constexpr int kEventClose = 32;

using SocketEventHandler = std::function<void(SocketHandle socket, int event, int error)>;

// Selects the events of `mask` for the socket (replacing any earlier
// selection); a mask of 0 cancels the selection. Answers 0 or 10038 when the
// descriptor is not a socket.
int AsyncSelect(SocketHandle socket, SocketEventHandler handler, int mask);
bool HasAsyncSelection(SocketHandle socket);

// Host look-ups on a worker thread, completed on the user-interface thread.
// The handler gets the look-up handle, 0 or a Winsock error (11001 host not
// found, ...), and the first IPv4 address of the host's record.
using HostLookupHandler = std::function<void(int handle, int error, uint32_t address)>;
// Answers a handle above 0, or 0 when the look-up could not be started; the
// handler never runs inside this call.
int StartHostLookup(const QString& name, HostLookupHandler handler);
// Answers 0 when the look-up was pending (its handler will not run), else
// 10022: it already completed or never existed.
int CancelHostLookup(int handle);

namespace detail {
// Hooks of SocketApi.cpp into the selection state.
void NoteReceived(SocketHandle socket);
void NoteWouldBlock(SocketHandle socket);
void NoteConnectStarted(SocketHandle socket);
void NoteListening(SocketHandle socket);
void NoteAcceptFailed(SocketHandle listener);
void NoteAccepted(SocketHandle listener, SocketHandle accepted);
void ForgetSelection(SocketHandle socket);
// Serves a stream receive from the bytes read at its readiness: answers false
// when there are none. `more` tells that the socket may hold more at once
// behind them (they filled the read), for the caller to receive as well.
bool TakePrefetched(SocketHandle socket, char* buffer, int length, bool peek, int* taken,
                    bool* more);
// A receive behind such bytes failed (errno `error`): the next readiness
// reports it as the close, as the read at the readiness would have.
void NoteStreamFailed(SocketHandle socket, int error);
}  // namespace detail

}  // namespace platform
