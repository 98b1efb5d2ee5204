#include "platform/sockets/AsyncSelect.h"

#include <sys/socket.h>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <vector>

namespace platform {

namespace {

// One socket's selection. Qt's read notifier is level-triggered, so it stays
// disabled from a read notification until the owner receives again; the write
// notifier is enabled only while a connect or a blocked send waits.
struct Selection {
    SocketHandle socket = kInvalidSocket;
    SocketEventHandler handler;
    int mask = 0;
    bool stream = true;
    bool listening = false;
    bool connected = false;   // stream: readable data or end may be reported
    bool connecting = false;  // stream: the write notifier waits for the outcome
    bool closeReported = false;
    bool readArmed = true;
    bool writeWanted = false;
    bool alive = true;
    QSocketNotifier* read = nullptr;
    QSocketNotifier* write = nullptr;
};

using SelectionPtr = std::shared_ptr<Selection>;

// Bytes of a connected stream read while telling data from its end, kept for
// the owner's next receive. They belong to the socket, not to its selection:
// they outlive a new selection or a cancelled one, and go with the socket.
struct Prefetched {
    std::vector<char> bytes;
    size_t at = 0;
    bool filled = false;  // the read filled the buffer: more may be queued
    bool replayPosted = false;
    int error = 0;  // a failure met behind them, for the next readiness to report
    size_t Left() const { return bytes.size() - at; }
};

// Up to this much is read at a readiness; a larger stream has the rest read
// by the owner's receive itself.
constexpr size_t kPrefetchBytes = 8192;

std::unordered_map<SocketHandle, Prefetched>& PrefetchedBytes() {
    static auto* map = new std::unordered_map<SocketHandle, Prefetched>();
    return *map;
}

Prefetched* FindPrefetched(SocketHandle socket) {
    auto& map = PrefetchedBytes();
    const auto it = map.find(socket);
    return it == map.end() || it->second.Left() == 0 ? nullptr : &it->second;
}

std::unordered_map<SocketHandle, SelectionPtr>& Selections() {
    static auto* map = new std::unordered_map<SocketHandle, SelectionPtr>();
    return *map;
}

SelectionPtr Find(SocketHandle socket) {
    auto& map = Selections();
    const auto it = map.find(socket);
    return it == map.end() ? nullptr : it->second;
}

bool WantsReadSide(const Selection& s) {
    return (s.mask & (kEventRead | kEventAccept | kEventClose)) != 0;
}

// Enables exactly the notifiers the selection's state calls for.
void Update(Selection& s) {
    if (!s.alive)
        return;
    bool readOn = false;
    if (s.readArmed && WantsReadSide(s)) {
        if (!s.stream)
            readOn = true;
        else if (s.listening)
            readOn = true;
        else if (s.connected && !s.closeReported && !s.connecting)
            readOn = true;
    }
    const bool writeOn = s.connecting || s.writeWanted;
    if (s.read->isEnabled() != readOn)
        s.read->setEnabled(readOn);
    if (s.write->isEnabled() != writeOn)
        s.write->setEnabled(writeOn);
}

// Runs the handler for one event; answers whether the selection is still the
// socket's (the handler may have closed the socket or selected again).
bool Deliver(const SelectionPtr& s, int event, int error) {
    if (!s->alive)
        return false;
    if (s->mask & event) {
        // A copy: the handler may replace the selection and with it this one.
        const SocketEventHandler handler = s->handler;
        handler(s->socket, event, error);
    }
    return s->alive;
}

// Runs the handler for a read-side event. The read notifier stays on while it
// runs: the owner normally receives inside the event, which arms reading
// again, and turning the notifier off and on for every read is work for the
// event loop. Only an owner that has not received by the end of the event
// has its notifier turned off; one whose handler pumps events meanwhile gets
// the notifier once more, which turns it off (OnReadable).
void DeliverRead(const SelectionPtr& s, int event) {
    if (Deliver(s, event, 0) && !s->readArmed)
        Update(*s);
}

void OnReadable(const SelectionPtr& s) {
    if (!s->alive)
        return;
    if (!s->readArmed) {
        // Reported already, and the owner has not received since: nothing
        // more is reported until it does.
        Update(*s);
        return;
    }
    s->readArmed = false;
    if (!s->stream) {
        DeliverRead(s, kEventRead);
        return;
    }
    if (s->listening) {
        DeliverRead(s, kEventAccept);
        return;
    }
    if (FindPrefetched(s->socket)) {
        // Bytes read earlier are still the owner's to take.
        DeliverRead(s, kEventRead);
        return;
    }
    // The read that tells data from the end keeps what it read for the
    // owner's receive, so that data costs one system call, not a peek and a
    // receive.
    char buffer[kPrefetchBytes];
    ssize_t n = 0;
    auto& map = PrefetchedBytes();
    if (const auto it = map.find(s->socket); it != map.end() && it->second.error != 0) {
        errno = it->second.error;
        map.erase(it);
        n = -1;
    } else {
        n = ::recv(s->socket, buffer, sizeof buffer, MSG_DONTWAIT);
    }
    if (n > 0) {
        Prefetched& p = map[s->socket];
        p.bytes.assign(buffer, buffer + n);
        p.at = 0;
        p.filled = size_t(n) == sizeof buffer;
        DeliverRead(s, kEventRead);
        return;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
        // Nothing after all: wait for the next readiness.
        s->readArmed = true;
        return;
    }
    if (n < 0 && errno == ENOTCONN) {
        Update(*s);
        return;
    }
    const int error = n == 0 ? 0 : WsaErrorFromErrno(errno);
    s->closeReported = true;
    Update(*s);
    Deliver(s, kEventClose, error);
}

// Bytes left over after a receive that took part of them are reported again,
// as the socket itself would be: the system does not know of them.
void PostReplay(SocketHandle socket, Prefetched& p) {
    if (!Find(socket) || p.replayPosted)
        return;
    p.replayPosted = true;
    // By the socket, not the selection: the socket may be selected again
    // meanwhile, and its new selection reports them.
    QTimer::singleShot(0, [socket] {
        auto& map = PrefetchedBytes();
        if (const auto it = map.find(socket); it != map.end())
            it->second.replayPosted = false;
        const SelectionPtr sel = Find(socket);
        if (sel && sel->alive && sel->readArmed && FindPrefetched(socket))
            OnReadable(sel);
    });
}

void OnWritable(const SelectionPtr& s) {
    if (!s->alive)
        return;
    if (s->connecting) {
        s->connecting = false;
        int soError = 0;
        socklen_t len = sizeof soError;
        if (::getsockopt(s->socket, SOL_SOCKET, SO_ERROR, &soError, &len) != 0)
            soError = errno;
        if (soError == 0)
            s->connected = true;
        Update(*s);
        if (!Deliver(s, kEventConnect, WsaErrorFromErrno(soError)))
            return;
        if (soError == 0)
            Deliver(s, kEventWrite, 0);
        return;
    }
    s->writeWanted = false;
    Update(*s);
    Deliver(s, kEventWrite, 0);
}

SelectionPtr MakeSelection(SocketHandle socket, SocketEventHandler handler, int mask) {
    auto s = std::make_shared<Selection>();
    s->socket = socket;
    s->handler = std::move(handler);
    s->mask = mask;
    int type = 0;
    socklen_t len = sizeof type;
    ::getsockopt(socket, SOL_SOCKET, SO_TYPE, &type, &len);
    s->stream = type == SOCK_STREAM;
    if (s->stream) {
        int accepting = 0;
        len = sizeof accepting;
        ::getsockopt(socket, SOL_SOCKET, SO_ACCEPTCONN, &accepting, &len);
        s->listening = accepting != 0;
        sockaddr_storage peer{};
        len = sizeof peer;
        s->connected =
            !s->listening && ::getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &len) == 0;
    }
    s->read = new QSocketNotifier(qintptr(socket), QSocketNotifier::Read);
    s->write = new QSocketNotifier(qintptr(socket), QSocketNotifier::Write);
    // A new notifier starts enabled; Update decides.
    s->read->setEnabled(false);
    s->write->setEnabled(false);
    std::weak_ptr<Selection> weak = s;
    QObject::connect(s->read, &QSocketNotifier::activated, s->read, [weak] {
        if (const SelectionPtr p = weak.lock())
            OnReadable(p);
    });
    QObject::connect(s->write, &QSocketNotifier::activated, s->write, [weak] {
        if (const SelectionPtr p = weak.lock())
            OnWritable(p);
    });
    return s;
}

// Ends a selection. The notifiers may be the ones whose signal is running, so
// they are disabled now and deleted once control is back in the event loop.
void Retire(const SelectionPtr& s) {
    if (!s || !s->alive)
        return;
    s->alive = false;
    for (QSocketNotifier* n : {s->read, s->write}) {
        n->setEnabled(false);
        n->deleteLater();
    }
    s->read = nullptr;
    s->write = nullptr;
}

}  // namespace

int AsyncSelect(SocketHandle socket, SocketEventHandler handler, int mask) {
    int type = 0;
    socklen_t len = sizeof type;
    if (socket < 0 || ::getsockopt(socket, SOL_SOCKET, SO_TYPE, &type, &len) != 0)
        return wsa::kNotSocket;
    auto& map = Selections();
    const SelectionPtr old = Find(socket);
    map.erase(socket);
    if (mask == 0) {
        Retire(old);
        return 0;
    }
    SelectionPtr s = MakeSelection(socket, std::move(handler), mask);
    if (old) {
        // Selecting again keeps what is under way (a pending connect, a
        // reported close) and re-arms reading, as Winsock does.
        s->connecting = old->connecting;
        s->closeReported = old->closeReported;
        s->writeWanted = old->writeWanted;
        s->listening = s->listening || old->listening;
        Retire(old);
    }
    map.emplace(socket, s);
    Update(*s);
    // Bytes kept from an earlier readiness are reported again, as the
    // socket's own would be.
    if (Prefetched* p = FindPrefetched(socket))
        PostReplay(socket, *p);
    return 0;
}

bool HasAsyncSelection(SocketHandle socket) {
    return Find(socket) != nullptr;
}

namespace detail {

// Runs at every receive: it looks the selection up without sharing it.
void NoteReceived(SocketHandle socket) {
    auto& map = Selections();
    if (const auto it = map.find(socket); it != map.end() && !it->second->readArmed) {
        it->second->readArmed = true;
        Update(*it->second);
    }
}

void NoteWouldBlock(SocketHandle socket) {
    if (const SelectionPtr s = Find(socket); s && !s->writeWanted) {
        s->writeWanted = true;
        Update(*s);
    }
}

void NoteConnectStarted(SocketHandle socket) {
    if (const SelectionPtr s = Find(socket)) {
        s->connecting = true;
        s->connected = false;
        Update(*s);
    }
}

void NoteListening(SocketHandle socket) {
    if (const SelectionPtr s = Find(socket)) {
        s->listening = true;
        s->readArmed = true;
        Update(*s);
    }
}

void NoteAcceptFailed(SocketHandle listener) {
    const SelectionPtr s = Find(listener);
    if (!s || !s->readArmed)
        return;
    // The request stays queued (out of descriptors, say): reporting it again
    // at once would spin, so the listener rests a moment before it does.
    s->readArmed = false;
    Update(*s);
    std::weak_ptr<Selection> weak = s;
    QTimer::singleShot(100, s->read, [weak] {
        if (const SelectionPtr p = weak.lock(); p && p->alive) {
            p->readArmed = true;
            Update(*p);
        }
    });
}

void NoteAccepted(SocketHandle listener, SocketHandle accepted) {
    const SelectionPtr l = Find(listener);
    if (!l)
        return;
    // A selection left on this descriptor number by a socket closed outside
    // this layer must not watch the new connection, nor its bytes be read.
    Retire(Find(accepted));
    PrefetchedBytes().erase(accepted);
    SelectionPtr s = MakeSelection(accepted, l->handler, l->mask);
    s->connected = true;
    s->listening = false;
    // Winsock reports an accepted socket writable once.
    s->writeWanted = true;
    Selections()[accepted] = s;
    Update(*s);
}

bool TakePrefetched(SocketHandle socket, char* buffer, int length, bool peek, int* taken,
                    bool* more) {
    Prefetched* p = FindPrefetched(socket);
    if (!p)
        return false;
    const size_t count = std::min(p->Left(), size_t(std::max(length, 0)));
    if (count > 0)
        std::memcpy(buffer, p->bytes.data() + p->at, count);
    *taken = int(count);
    *more = false;
    if (peek)
        return true;
    p->at += count;
    if (p->Left() > 0) {
        PostReplay(socket, *p);
        return true;
    }
    *more = p->filled;
    PrefetchedBytes().erase(socket);
    return true;
}

void NoteStreamFailed(SocketHandle socket, int error) {
    PrefetchedBytes()[socket].error = error;
}

void ForgetSelection(SocketHandle socket) {
    PrefetchedBytes().erase(socket);
    const SelectionPtr s = Find(socket);
    Selections().erase(socket);
    Retire(s);
}

}  // namespace detail

}  // namespace platform
