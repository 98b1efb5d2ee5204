#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "platform/Variant.h"

// The events of a CSocketMaster, as Qt signals named like the socket's events.
// Two of them, Connect and CloseSck, share their names with methods of
// CSocketMaster, which hide them there: connect to them through this class
// (&CSocketMasterEvents::CloseSck); the others can be named either way.
//
// Every event is raised on the user-interface thread from inside a socket
// notification or from inside the call that caused it, and its handlers run
// before that returns. A handler may call back into the object (read with
// GetData inside DataArrival), pump events (and so receive the next
// notification of the same socket before it returns), close the object, or
// delete it (use deleteLater or drop the owning pointer; the object notices
// and touches nothing afterwards). Connect handlers directly: the reference
// arguments of Error do not survive a queued connection.
class CSocketMasterEvents : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

signals:
    // The peer closed a connected TCP socket (state 7 became 8), or Accept took
    // over a connection that was already closing.
    void CloseSck();
    // An outgoing TCP connection completed (state 7).
    void Connect();
    // A listening socket accepted an incoming connection; requestID is the new
    // socket, to be taken with Accept during the event or closed after it.
    void ConnectionRequest(int32_t requestID);
    // TCP: data was added to the receive buffer (bytesTotal: its whole length);
    // UDP: a datagram is pending (bytesTotal: its size).
    void DataArrival(int32_t bytesTotal);
    // An asynchronous failure. Setting cancelDisplay to false shows the
    // description in a message box titled with the source.
    void Error(int16_t number, QString& description, int32_t scode, const QString& source,
               const QString& helpFile, int32_t helpContext, bool& cancelDisplay);
    // The TCP send buffer became empty.
    void SendComplete();
    // One flush of the TCP send buffer sent bytesSent bytes.
    void SendProgress(int32_t bytesSent, int32_t bytesRemaining);
};

// A socket object with the properties, methods, events and state numbers of a
// Winsock control, for TCP (Protocol 0) and UDP (Protocol 1).
//
// States: 0 closed, 1 open (UDP bound), 2 listening, 3 connection pending
// (never entered), 4 resolving host, 5 host resolved, 6 connecting,
// 7 connected, 8 closing, 9 error (CloseSck is the way back to 0).
//
// Checks of arguments and state, and failures of operations the caller started
// directly, are raised as AppError with the source "CSocketMaster." followed by
// the procedure. Failures found while working asynchronously set state 9 and
// raise the Error event. Sockets never block the thread.
//
// Data is buffered in the object: what SendData cannot send at once waits for
// the next write notification; TCP bytes are read into a receive buffer and
// announced by DataArrival. Each UDP datagram is announced by its own
// DataArrival; one that the handler leaves unread is dropped after the event.
class CSocketMaster final : public CSocketMasterEvents {
public:
    static constexpr int32_t sckClosed = 0;
    static constexpr int32_t sckOpen = 1;
    static constexpr int32_t sckListening = 2;
    static constexpr int32_t sckConnectionPending = 3;
    static constexpr int32_t sckResolvingHost = 4;
    static constexpr int32_t sckHostResolved = 5;
    static constexpr int32_t sckConnecting = 6;
    static constexpr int32_t sckConnected = 7;
    static constexpr int32_t sckClosing = 8;
    static constexpr int32_t sckError = 9;
    static constexpr int32_t sckTCPProtocol = 0;
    static constexpr int32_t sckUDPProtocol = 1;

    CSocketMaster();
    ~CSocketMaster() override;
    CSocketMaster(const CSocketMaster&) = delete;
    CSocketMaster& operator=(const CSocketMaster&) = delete;

    // Entry point of the socket runtime's dispatcher: a completed host look-up
    // or a socket notification. Errors of the object's own work found here are
    // reported through the Error event; an error escaping an event handler is
    // recorded in the error log. Answers 0.
    int32_t WndProc(intptr_t window, uint32_t message, int32_t wParam, int32_t lParam);

    int32_t RemotePort() const { return remotePort_; }
    void SetRemotePort(int32_t port);
    QString RemoteHost() const { return remoteHost_; }
    void SetRemoteHost(const QString& host);
    QString RemoteHostIP() const { return remoteHostIP_; }
    int32_t LocalPort() const;
    void SetLocalPort(int32_t port);
    int32_t State() const { return state_; }
    QString LocalHostName() const;
    // In state 1 or 2 the address the socket was bound with (the host's first
    // address when none was given, though the socket then hears every
    // interface); otherwise the host's first address.
    QString LocalIP() const;
    // UDP: the size of the first pending datagram, which stays pending (0
    // when none); TCP: the bytes in the receive buffer.
    int32_t BytesReceived() const;
    int32_t SocketHandle() const { return socket_; }
    QString Tag() const { return tag_; }
    void SetTag(const QString& tag) { tag_ = tag; }
    int32_t Protocol() const { return protocol_; }
    void SetProtocol(int32_t protocol);

    void CloseSck();
    // Empty values stand for arguments not given.
    void Connect(const Variant& remoteHost = Variant(), const Variant& remotePort = Variant());
    // Without a local address the socket is bound to every interface.
    void Bind(const Variant& localPort = Variant(), const Variant& localIP = Variant());
    void SendData(const Variant& data);
    // type: a type code (Empty when not given); maxLen: Empty when not given.
    void GetData(Variant& data, const Variant& type = Variant(), const Variant& maxLen = Variant());
    void PeekData(Variant& data, const Variant& type = Variant(),
                  const Variant& maxLen = Variant());
    // Listens with the classic backlog of 5 connections waiting to be
    // accepted, or with `backlog`.
    void Listen();
    void Listen(int backlog);
    void Accept(int32_t& requestID);

private:
    bool IsUdp() const { return protocol_ == sckUDPProtocol; }
    bool SocketExists();
    void ProcessOptions();
    bool BindInternal(const Variant& port, const Variant& address);
    // Takes the port the socket is bound to into LocalPort and answers the
    // bound address; raises the look-up's Winsock error under the procedure.
    uint32_t TakeBoundName(const char* procedure);
    // Takes the peer's address and port into RemoteHostIP and RemotePort when
    // the system knows them; leaves them alone otherwise.
    void TakePeerName();
    void ConnectToIP(uint32_t address, int32_t error);
    std::optional<uint32_t> ResolveIfHostname(const QString& host, int32_t destination);
    void PostHostResolved(int32_t handle, int32_t error);
    void PostSocket(int32_t event, int32_t error);
    void OnRead();
    void OnUdpRead();
    // Answers whether it stopped because the socket had nothing more.
    bool OnUdpReadLoop();
    void OnAccept();
    bool AcceptOne();
    int32_t RecvDataToBuffer();
    void SendBufferedData();
    void SendBufferedDataUDP();
    void ReceiveInto(Variant& data, bool peek, const Variant& type, const Variant& maxLen,
                     const QString& procedure);
    void RecvData(Variant& data, bool peek, std::optional<int32_t> type,
                  std::optional<int64_t> maximum);
    // The first `count` bytes received (fewer when fewer are there), taken
    // unless peeking. The view lasts until the next receive or compaction.
    QByteArrayView TakeFromReceived(int32_t count, bool peek, int32_t* error);
    void DestroySocket();
    void CancelResolutions();
    void FreeResolveBuffer();
    QString GetLocalHostName() const;
    QString GetLocalIP() const;
    // Holds the first pending datagram: when the batch is used up, the next
    // pending datagrams are taken from the socket with one receive, and each
    // is served from the batch until it is read or dropped.
    bool FetchDatagram();
    bool HoldsDatagram() const { return batchNext_ < batchCount_; }
    struct Datagram {
        int size = 0;
        uint32_t address = 0;
        uint16_t port = 0;
    };
    const Datagram& HeldDatagram() const { return batch_[size_t(batchNext_)]; }
    void PostAnnouncement();
    int32_t PendingDatagram();

    // Raises the Error event with the description (by default the number's
    // Winsock text); the caller sets state 9 first where it should. Answers
    // whether the object still exists.
    bool RaiseError(int32_t number, const QString& source, const QString& description = QString());
    // Emits through fire(); an error escaping a handler is recorded in the
    // error log. Answers whether this object still exists afterwards.
    bool RaiseEvent(const std::function<void()>& fire);
    void DropDatagram();

    int32_t socket_ = -1;
    int32_t state_ = sckClosed;
    QString tag_;
    QString remoteHost_;
    int32_t remotePort_ = 0;
    QString remoteHostIP_;
    int32_t localPort_ = 0;
    int32_t boundPort_ = 0;
    QString boundIP_;
    int32_t protocol_ = sckTCPProtocol;
    std::unique_ptr<uint32_t> resolveBuffer_;
    int32_t sendChunk_ = 0;
    int32_t recvChunk_ = 0;
    // Buffers keep a read offset, so taking from the front is not a copy of
    // the rest every time.
    QByteArray sendBuffer_;
    qsizetype sendOffset_ = 0;
    QByteArray recvBuffer_;
    qsizetype recvOffset_ = 0;
    bool acceptHolder_ = false;
    std::map<int32_t, int32_t> pendingResolutions_;  // look-up handle -> destination
    uint64_t datagramsTaken_ = 0;
    // Datagrams taken from the socket with one receive and not yet read or
    // dropped, oldest first from batchNext_: datagram i has its bytes at the
    // start of slot i of datagramBuffer_ (kDatagramSlot bytes each, enough for
    // any IPv4 datagram; reserved, but touched only as far as datagrams fill
    // them). The next batch
    // is taken only once this one is used up, so a held datagram's bytes stay
    // where they are. Taking many at once saves a system call per datagram in
    // a burst; the datagrams are announced and read one by one all the same.
    static constexpr int kDatagramBatch = 16;
    static constexpr int kDatagramSlot = 65536;
    std::array<Datagram, kDatagramBatch> batch_{};
    int batchNext_ = 0;
    int batchCount_ = 0;
    QByteArray datagramBuffer_;
    // A datagram taken outside the notification path (a PeekData between
    // events) must still be announced: the socket has no notification left
    // for it.
    bool inUdpRead_ = false;
    bool announcePosted_ = false;
    // The dotted text of the last sender's address: a run of datagrams from
    // one terminal formats it once.
    uint32_t senderAddress_ = 0;
    QString senderText_;
    // Cleared by the destructor; events check it to learn whether a handler
    // destroyed the object.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
