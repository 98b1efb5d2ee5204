#include "network/CSocketMaster.h"

#include <QMessageBox>
#include <limits>

#include "core/ErrorController.h"
#include "network/ModSocketMaster.h"
#include "network/SocketMasterCommon.h"
#include "platform/AppError.h"
#include "platform/sockets/SocketApi.h"

using namespace socketmaster;

namespace {
constexpr int kUdpReceiveBufferBytes = 8 << 20;
}  // namespace

CSocketMaster::CSocketMaster() {
    InitiateProcesses();
}

CSocketMaster::~CSocketMaster() {
    alive_.reset();
    // A destructor raises nothing: each step's failure is recorded and the
    // next step runs.
    try {
        CancelResolutions();
    } catch (const AppError& e) {
        ErrorLogger().Add(kSystemError, e.Number(), e.Description(), e.Source());
    }
    if (!acceptHolder_ && socket_ != -1) {
        try {
            DestroySocket();
        } catch (const AppError& e) {
            ErrorLogger().Add(kSystemError, e.Number(), e.Description(), e.Source());
        }
    }
    try {
        FinalizeProcesses();
    } catch (const AppError& e) {
        ErrorLogger().Add(kSystemError, e.Number(), e.Description(), e.Source());
    }
}

// ---- events -----------------------------------------------------------------

bool CSocketMaster::RaiseEvent(const std::function<void()>& fire) {
    const std::weak_ptr<bool> alive = alive_;
    try {
        fire();
    } catch (const std::exception& e) {
        LogHandlerError(e, QStringLiteral("CSocketMaster.WndProc"));
    }
    return !alive.expired();
}

bool CSocketMaster::RaiseError(int32_t number, const QString& source,
                               const QString& givenDescription) {
    QString description =
        givenDescription.isEmpty() ? GetErrorDescription(number) : givenDescription;
    bool cancelDisplay = true;
    const bool alive = RaiseEvent(
        [&] { emit Error(int16_t(number), description, 0, source, QString(), 0, cancelDisplay); });
    if (!cancelDisplay) {
        QMessageBox box(QMessageBox::NoIcon, source, GetErrorDescription(number), QMessageBox::Ok);
        box.exec();
    }
    return alive;
}

int32_t CSocketMaster::WndProc(intptr_t, uint32_t message, int32_t wParam, int32_t lParam) {
    const std::weak_ptr<bool> alive = alive_;
    try {
        if (message == kMsgResolveDone)
            PostHostResolved(wParam, HiWord(lParam));
        else if (message == kMsgSocketEvent)
            PostSocket(LoWord(lParam), HiWord(lParam));
    } catch (const AppError& e) {
        // The object's own work failed inside a notification (a receive, an
        // accept, a bind after a look-up): nobody called us, so the failure
        // goes to the Error event. Numbers that the event cannot carry go to
        // the error log.
        if (alive.expired() || e.Number() > std::numeric_limits<int16_t>::max()) {
            ErrorLogger().Add(kSystemError, e.Number(), e.Description(), e.Source());
        } else {
            RaiseError(e.Number(), e.Source(), e.Description());
        }
    }
    return 0;
}

// ---- properties ---------------------------------------------------------------

void CSocketMaster::SetRemotePort(int32_t port) {
    if (!IsUdp() && state_ != sckClosed)
        Raise(kErrInvalidState, kInvalidStateText, "RemotePort");
    if (port < 0 || port > 65535)
        Raise(kErrBadArgument, kBadArgumentText, "RemotePort");
    remotePort_ = port;
}

void CSocketMaster::SetRemoteHost(const QString& host) {
    if (!IsUdp() && state_ != sckClosed)
        Raise(kErrInvalidState, kInvalidStateText, "RemoteHost");
    remoteHost_ = host;
}

int32_t CSocketMaster::LocalPort() const {
    return boundPort_ != 0 ? boundPort_ : localPort_;
}

void CSocketMaster::SetLocalPort(int32_t port) {
    if (state_ != sckClosed)
        Raise(kErrInvalidState, kInvalidStateText, "LocalPort");
    if (port < 0 || port > 65535)
        Raise(kErrBadArgument, kBadArgumentText, "LocalPort");
    localPort_ = port;
}

void CSocketMaster::SetProtocol(int32_t protocol) {
    if (state_ != sckClosed)
        Raise(kErrInvalidState, kInvalidStateText, "Protocol");
    if (protocol != sckTCPProtocol && protocol != sckUDPProtocol)
        Raise(kErrBadArgument, kBadArgumentText, "Protocol");
    protocol_ = protocol;
}

QString CSocketMaster::LocalHostName() const {
    return GetLocalHostName();
}

QString CSocketMaster::LocalIP() const {
    if (state_ == sckOpen || state_ == sckListening)
        return boundIP_;
    return GetLocalIP();
}

int32_t CSocketMaster::BytesReceived() const {
    if (!IsUdp())
        return int32_t(recvBuffer_.size() - recvOffset_);
    if (HoldsDatagram())
        return HeldDatagram().size;
    // Looked at where it waits: the datagram stays on the socket, and its
    // notification with it.
    int size = 0;
    if (socket_ == -1 || platform::PendingDatagramSize(socket_, &size) != 0)
        return 0;
    return size;
}

int32_t CSocketMaster::PendingDatagram() {
    return FetchDatagram() ? HeldDatagram().size : 0;
}

bool CSocketMaster::FetchDatagram() {
    if (HoldsDatagram())
        return true;
    if (socket_ == -1 || !IsUdp())
        return false;
    static_assert(kDatagramSlot >= platform::kDatagramSlot);
    constexpr qsizetype kBuffer = qsizetype(kDatagramBatch) * kDatagramSlot;
    if (datagramBuffer_.size() != kBuffer)
        datagramBuffer_.resize(kBuffer);
    batchNext_ = 0;
    batchCount_ = 0;
    std::array<platform::ReceivedDatagram, kDatagramBatch> received;
    int taken = 0;
    if (platform::RecvDatagrams(socket_, datagramBuffer_.data(), kDatagramSlot, kDatagramBatch,
                                received.data(), &taken) != 0)
        return false;
    for (int i = 0; i < taken; ++i)
        batch_[size_t(i)] = {received[size_t(i)].size, received[size_t(i)].address,
                             received[size_t(i)].port};
    batchCount_ = taken;
    if (!inUdpRead_)
        PostAnnouncement();
    return true;
}

void CSocketMaster::PostAnnouncement() {
    if (announcePosted_)
        return;
    announcePosted_ = true;
    // Queued on this object, so it is dropped with the object.
    QMetaObject::invokeMethod(
        this,
        [this] {
            announcePosted_ = false;
            if (socket_ != -1 && HoldsDatagram())
                WndProc(0, kMsgSocketEvent, socket_, 1);
        },
        Qt::QueuedConnection);
}

QString CSocketMaster::GetLocalHostName() const {
    QString name;
    const int error = platform::GetLocalHostName(&name);
    if (error)
        RaiseWinsock(error, "GetLocalHostName");
    return name;
}

QString CSocketMaster::GetLocalIP() const {
    QString name;
    int error = platform::GetLocalHostName(&name);
    uint32_t address = 0;
    if (!error)
        error = platform::ResolveHostName(name, &address);
    if (error)
        RaiseWinsock(error, "GetLocalIP");
    return platform::DottedAddress(address);
}

// ---- socket creation, binding ------------------------------------------------

bool CSocketMaster::SocketExists() {
    if (socket_ != -1)
        return true;
    platform::SocketHandle handle = platform::kInvalidSocket;
    const int error = platform::CreateSocket(
        IsUdp() ? platform::SocketKind::Datagram : platform::SocketKind::Stream, &handle);
    if (error) {
        state_ = sckError;
        RaiseError(error, "CSocketMaster.SocketExists");
        return false;
    }
    socket_ = handle;
    ProcessOptions();
    RegisterSocket(socket_, this, true);
    return true;
}

void CSocketMaster::ProcessOptions() {
    int value = 0;
    if (IsUdp()) {
        platform::SetSocketOption(socket_, platform::SocketOption::Broadcast, 1);
        // The system's default holds about 256 small datagrams: a burst of
        // orders from many terminals while the thread is busy would lose the
        // rest. Whatever the system grants is taken.
        platform::RequestReceiveBuffer(socket_, kUdpReceiveBufferBytes);
        const int error =
            platform::GetSocketOption(socket_, platform::SocketOption::MaxMessageSize, &value);
        if (error)
            RaiseWinsock(error, "ProcessOptions");
        recvChunk_ = value;
        sendChunk_ = value;
        return;
    }
    int error = platform::GetSocketOption(socket_, platform::SocketOption::ReceiveBuffer, &value);
    if (error)
        RaiseWinsock(error, "ProcessOptions");
    recvChunk_ = value;
    error = platform::GetSocketOption(socket_, platform::SocketOption::SendBuffer, &value);
    if (error)
        RaiseWinsock(error, "ProcessOptions");
    sendChunk_ = value;
}

bool CSocketMaster::BindInternal(const Variant& port, const Variant& address) {
    if (state_ == sckOpen)
        return true;
    int32_t localPort = localPort_;
    if (!port.IsEmpty())
        localPort = PortArgument(port, 0, "BindInternal");
    const QString ip = address.IsEmpty() || address.IsNull() ? QString() : address.ToString();
    uint32_t bindAddress = platform::kAnyAddress;
    QString boundIP;
    if (ip.isEmpty()) {
        // Every interface, so that the station hears its terminals whatever
        // its host name resolves to (often a loopback address); LocalIP still
        // reports the host's first address.
        try {
            boundIP = GetLocalIP();
        } catch (const AppError&) {
            boundIP = platform::DottedAddress(platform::kAnyAddress);
        }
    } else {
        if (ResolveHostSync(ip, &bindAddress) != 0)
            Raise(kErrBadArgument, kInvalidArgumentText, "BindInternal");
        boundIP = platform::DottedAddress(bindAddress);
    }
    if (!SocketExists())
        return false;
    const int error = platform::BindSocket(socket_, bindAddress, IntegerToUnsigned(localPort));
    if (error)
        RaiseWinsock(error, "BindInternal");
    boundIP_ = boundIP;
    if (localPort != 0)
        localPort_ = localPort;
    else
        TakeBoundName("BindInternal");
    return true;
}

uint32_t CSocketMaster::TakeBoundName(const char* procedure) {
    uint32_t address = 0;
    uint16_t port = 0;
    const int error = platform::GetSocketName(socket_, &address, &port);
    if (error)
        RaiseWinsock(error, procedure);
    boundPort_ = UnsignedToInteger(port);
    return address;
}

void CSocketMaster::TakePeerName() {
    uint32_t address = 0;
    uint16_t port = 0;
    if (platform::GetPeerName(socket_, &address, &port) == 0) {
        remotePort_ = UnsignedToInteger(port);
        remoteHostIP_ = platform::DottedAddress(address);
    }
}

void CSocketMaster::Bind(const Variant& localPort, const Variant& localIP) {
    if (state_ != sckClosed)
        Raise(kErrInvalidState, kInvalidStateText, "Bind");
    if (BindInternal(localPort, localIP))
        state_ = sckOpen;
}

// ---- connecting -----------------------------------------------------------------

void CSocketMaster::Connect(const Variant& remoteHost, const Variant& remotePort) {
    if (state_ != sckClosed)
        Raise(kErrInvalidState, kInvalidStateText, "Connect");
    if (!remoteHost.IsEmpty())
        remoteHost_ = remoteHost.IsNull() ? QString() : remoteHost.ToString();
    if (!remotePort.IsEmpty())
        remotePort_ = PortArgument(remotePort, 1, "Connect");
    if (!SocketExists())
        return;
    if (IsUdp()) {
        // A UDP "connection" only binds; the remote address is used at each send.
        if (BindInternal(Variant(), Variant()))
            state_ = sckOpen;
        return;
    }
    if (const std::optional<uint32_t> address = ResolveIfHostname(remoteHost_, 0))
        ConnectToIP(*address, 0);
}

std::optional<uint32_t> CSocketMaster::ResolveIfHostname(const QString& host, int32_t destination) {
    uint32_t address = 0;
    if (platform::ParseDottedAddress(host, &address))
        return address;
    state_ = sckResolvingHost;
    resolveBuffer_ = std::make_unique<uint32_t>(0);
    const int32_t handle = ResolveHostAsync(host, resolveBuffer_.get(), this);
    if (handle == 0) {
        FreeResolveBuffer();
        state_ = sckError;
        RaiseError(platform::wsa::kNoBufferSpace, "CSocketMaster.ResolveIfHostname");
        return std::nullopt;
    }
    pendingResolutions_[handle] = destination;
    return std::nullopt;
}

void CSocketMaster::PostHostResolved(int32_t handle, int32_t error) {
    if (state_ != sckResolvingHost)
        return;
    const auto it = pendingResolutions_.find(handle);
    if (it == pendingResolutions_.end())
        return;
    const int32_t destination = it->second;
    pendingResolutions_.erase(it);
    if (error != 0) {
        FreeResolveBuffer();
        if (destination == 0)
            ConnectToIP(0, error);
        return;
    }
    state_ = sckHostResolved;
    const uint32_t address = resolveBuffer_ ? *resolveBuffer_ : 0;
    FreeResolveBuffer();
    if (destination == 0)
        ConnectToIP(address, 0);
}

void CSocketMaster::ConnectToIP(uint32_t address, int32_t error) {
    if (error != 0) {
        state_ = sckError;
        RaiseError(error, "CSocketMaster.ConnectToIP");
        return;
    }
    if (!BindInternal(Variant(), Variant()))
        return;
    state_ = sckConnecting;
    const int result = platform::ConnectSocket(socket_, address, IntegerToUnsigned(remotePort_));
    if (result == platform::wsa::kWouldBlock)
        return;  // completion comes as a connect notification
    if (result == platform::wsa::kAddressNotAvailable)
        RaiseWinsock(result, "ConnectToIP");
    state_ = sckError;
    RaiseError(result, "CSocketMaster.ConnectToIP");
}

// ---- notifications -----------------------------------------------------------------

void CSocketMaster::PostSocket(int32_t event, int32_t error) {
    if (error != 0) {
        state_ = sckError;
        RaiseError(error, "CSocketMaster.PostSocket");
        return;
    }
    switch (event) {
        case 1:
            OnRead();
            break;
        case 2:
            if (state_ == sckConnected && sendBuffer_.size() > sendOffset_)
                SendBufferedData();
            break;
        case 8:
            if (state_ == sckListening)
                OnAccept();
            break;
        case 16:
            if (state_ == sckConnecting) {
                TakePeerName();
                state_ = sckConnected;
                RaiseEvent([this] { emit CSocketMasterEvents::Connect(); });
            }
            break;
        case 32:
            if (state_ == sckConnected) {
                state_ = sckClosing;
                RaiseEvent([this] { emit CSocketMasterEvents::CloseSck(); });
            }
            break;
        default:
            break;
    }
}

void CSocketMaster::OnRead() {
    if (!IsUdp()) {
        if (state_ != sckConnected)
            return;
        const int32_t received = RecvDataToBuffer();
        if (received > 0) {
            const int32_t total = int32_t(recvBuffer_.size() - recvOffset_);
            RaiseEvent([this, total] { emit DataArrival(total); });
        }
        return;
    }
    if (state_ == sckOpen)
        OnUdpRead();
}

// Every pending datagram gets its own DataArrival, up to a bound per
// notification so that a flood cannot starve the rest of the event loop (the
// notification comes again for what is left). The handler is expected to read
// the datagram with GetData; one it leaves unread is dropped here, so the next
// datagram is announced next and nothing stays stuck at the head of the queue.
// A datagram of 0 bytes is never announced (its size is 0) and is dropped.
void CSocketMaster::OnUdpRead() {
    if (inUdpRead_) {
        // A handler pumped events: the outer loop announces what is pending.
        return;
    }
    inUdpRead_ = true;
    const std::weak_ptr<bool> alive = alive_;
    const bool drained = OnUdpReadLoop();
    if (alive.expired())
        return;
    // A notification that arrived while a handler pumped events was swallowed
    // above and left the socket's notification off; taking the next datagram
    // turns it on again, and a datagram taken gets its announcement. A loop
    // that ended on an empty socket has just done that, with no handler after.
    if (!drained && state_ == sckOpen && !HoldsDatagram())
        FetchDatagram();
    inUdpRead_ = false;
    if (HoldsDatagram())
        PostAnnouncement();
}

bool CSocketMaster::OnUdpReadLoop() {
    constexpr int kDatagramsPerNotification = 64;
    for (int handled = 0; handled < kDatagramsPerNotification; ++handled) {
        if (state_ != sckOpen || socket_ == -1)
            return false;
        if (!FetchDatagram())
            return true;
        const int32_t size = HeldDatagram().size;
        if (size == 0) {
            DropDatagram();
            continue;
        }
        const uint64_t taken = datagramsTaken_;
        if (!RaiseEvent([this, size] { emit DataArrival(size); }))
            return false;
        if (state_ != sckOpen || socket_ == -1 || !IsUdp())
            return false;
        if (datagramsTaken_ == taken)
            DropDatagram();
    }
    return false;
}

void CSocketMaster::DropDatagram() {
    if (HoldsDatagram()) {
        ++batchNext_;
        return;
    }
    int received = 0;
    platform::RecvFromSocket(socket_, nullptr, 0, false, &received, nullptr, nullptr);
}

// Every connection waiting is offered in one notification, up to a bound so
// that a flood of them cannot starve the rest of the event loop (the
// notification comes again for what is left): clients connecting together
// are taken in one pass, not one per pass.
void CSocketMaster::OnAccept() {
    constexpr int kAcceptsPerNotification = 64;
    for (int accepted = 0; accepted < kAcceptsPerNotification; ++accepted)
        if (!AcceptOne())
            return;
}

// Offers one waiting connection; answers whether the listener is still there
// and listening, and so may take the next.
bool CSocketMaster::AcceptOne() {
    platform::SocketHandle accepted = platform::kInvalidSocket;
    const int error = platform::AcceptSocket(socket_, &accepted);
    if (error == platform::wsa::kWouldBlock)
        return false;
    if (error)
        RaiseWinsock(error, "PostSocket");
    try {
        RegisterAcceptHolder(accepted);
    } catch (...) {
        platform::CloseSocket(accepted);
        UnregisterSocket(accepted);
        UnregisterAcceptHolder(accepted);
        throw;
    }
    const int32_t savedPort = remotePort_;
    const QString savedIP = remoteHostIP_;
    const QString savedHost = remoteHost_;
    uint32_t address = 0;
    uint16_t port = 0;
    if (platform::GetPeerName(accepted, &address, &port) == 0) {
        remotePort_ = UnsignedToInteger(port);
        remoteHostIP_ = platform::DottedAddress(address);
    } else {
        remotePort_ = 0;
        remoteHostIP_.clear();
    }
    remoteHost_.clear();
    const bool alive = RaiseEvent([this, accepted] { emit ConnectionRequest(accepted); });
    if (alive && state_ == sckListening) {
        remotePort_ = savedPort;
        remoteHostIP_ = savedIP;
        remoteHost_ = savedHost;
    }
    // Nobody accepted during the event: the connection is closed at once.
    // This needs nothing of the listener, which a handler may have destroyed.
    if (IsAcceptHolderRegistered(accepted)) {
        platform::CloseSocket(accepted);
        UnregisterSocket(accepted);
        UnregisterAcceptHolder(accepted);
    }
    return alive && state_ == sckListening;
}

// ---- listening and accepting -------------------------------------------------------

void CSocketMaster::Listen() {
    Listen(5);
}

void CSocketMaster::Listen(int backlog) {
    if (state_ != sckClosed && state_ != sckOpen)
        Raise(kErrInvalidState, kInvalidStateText, "Listen");
    if (!SocketExists())
        return;
    if (!BindInternal(Variant(), Variant()))
        return;
    const int error = platform::ListenSocket(socket_, backlog);
    if (error)
        RaiseWinsock(error, "Listen");
    state_ = sckListening;
}

void CSocketMaster::Accept(int32_t& requestID) {
    if (state_ != sckClosed)
        Raise(kErrInvalidState, kInvalidStateText, "Accept");
    const bool pending = IsAcceptHolderRegistered(requestID);
    if (!pending && !IsSocketRegistered(requestID)) {
        // The hidden holder: it keeps the connection, and collects what
        // arrives on it, until a user object accepts it.
        protocol_ = sckTCPProtocol;
        socket_ = requestID;
        try {
            ProcessOptions();
        } catch (...) {
            socket_ = -1;  // not ours: never close a descriptor we were only shown
            throw;
        }
        acceptHolder_ = true;
        state_ = sckConnected;
        RegisterSocket(socket_, this, false);
        return;
    }
    // Checked before the object takes the socket, so that a refused request
    // leaves it without another object's socket.
    if (!pending)
        Raise(kErrWrongState, WrongStateText(1), "Accept");
    protocol_ = sckTCPProtocol;
    socket_ = requestID;
    try {
        ProcessOptions();
    } catch (...) {
        socket_ = -1;
        throw;
    }
    const std::shared_ptr<CSocketMaster> holder = GetAcceptHolder(requestID);
    UnregisterAcceptHolder(requestID);
    // From here on the notifications of the connection reach this object.
    ChangeSocketOwner(requestID, this);
    boundIP_ = platform::DottedAddress(TakeBoundName("Accept"));
    TakePeerName();
    remoteHost_.clear();
    state_ = sckConnected;
    if (holder && holder->BytesReceived() > 0) {
        // Bytes as they are: the same as taking them as single-byte ANSI text,
        // and lossless on any code page.
        Variant data;
        holder->GetData(data, Variant::FromLong(int32_t(VarType::ByteArray)));
        recvBuffer_ = data.ToBytes();
        recvOffset_ = 0;
    }
    const int32_t total = int32_t(recvBuffer_.size() - recvOffset_);
    if (total > 0 && !RaiseEvent([this, total] { emit DataArrival(total); }))
        return;
    if (holder && holder->State() == sckClosing) {
        state_ = sckClosing;
        RaiseEvent([this] { emit CSocketMasterEvents::CloseSck(); });
    }
}

// ---- closing --------------------------------------------------------------------------

void CSocketMaster::CloseSck() {
    if (socket_ == -1) {
        // A socket that could not be created (no descriptor left) left state
        // 9 behind: closing is the way back to 0 for it too.
        state_ = sckClosed;
        return;
    }
    state_ = sckClosing;
    CancelResolutions();
    DestroySocket();
    boundPort_ = 0;
    remoteHostIP_.clear();
    recvBuffer_.clear();
    recvOffset_ = 0;
    batchNext_ = 0;
    batchCount_ = 0;
    sendBuffer_.clear();
    sendOffset_ = 0;
    sendChunk_ = 0;
    recvChunk_ = 0;
    state_ = sckClosed;
}

void CSocketMaster::DestroySocket() {
    const int error = platform::CloseSocket(socket_);
    if (error) {
        state_ = sckError;
        RaiseWinsock(error, "DestroySocket");
    }
    UnregisterSocket(socket_);
    socket_ = -1;
}

void CSocketMaster::CancelResolutions() {
    for (const auto& [handle, destination] : pendingResolutions_) {
        CancelAsyncRequest(handle);
        UnregisterResolution(handle);
    }
    pendingResolutions_.clear();
    FreeResolveBuffer();
}

void CSocketMaster::FreeResolveBuffer() {
    resolveBuffer_.reset();
}
