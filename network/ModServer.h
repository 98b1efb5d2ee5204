#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "network/IndexedServerSocket.h"

namespace platform {
class RotatingLog;
}

// One terminal known to the message server, at the index of its connection.
struct ClientRecord {
    QString Name;      // from "CON"; empty until then
    QString RemoteIP;  // the peer's dotted address
    // Received ANSI bytes not yet handled: never more than the start of one
    // message, because complete messages are taken out as soon as they arrive.
    QByteArray RecvBuffer;
    // The accepted connection the record belongs to: a number given once per
    // accept and never again in the run; 0 while the index carries none.
    uint64_t Connection = 0;
};

// The station's message server for notification mode 1: point-of-sale
// terminals join over TCP, chat, and send orders addressed to the server,
// which logs them to "QVKServer.log", hands their texts to the order board
// through OrderArrived and then acknowledges them to every terminal.
//
// Everything runs on the user-interface thread, and the server itself never
// pumps events: a long send goes on from the event loop after each
// kSendSliceMs. A handler of the server can still run inside another one,
// through whatever the others do: the receiver of OrderArrived, or a handler
// of a socket event, may open a modal window, and in it may come a second
// arrival of the same connection, a new connection that grows ImClients, a
// close that clears a record, even a restart that erases them all. The
// server stays correct by construction:
// - complete messages are taken out of a record's buffer before any of them
//   is handled and queued per connection; a connection's queue is drained by
//   one handler at a time, in arrival order, so every received message is
//   handled exactly once and no byte is lost or reordered;
// - no reference to a record is held across anything that pumps; handlers
//   look the record up again and check that it still belongs to the same
//   connection (ClientRecord::Connection) before they touch it;
// - a message whose connection has meanwhile closed is still handled, except
//   "CON", which would name a record that no longer is its sender's.
// The server may be destroyed by a handler that runs inside it (the window
// closing): every loop checks that it still exists after each call out.
class ModServer final : public QObject {
    Q_OBJECT
public:
    // Highest client index (the platform's control arrays end at 32767).
    static constexpr int kMaxClientIndex = 32766;
    // A terminal that sends this many bytes without ending a message, or that
    // leaves this many bytes of broadcasts unread, is disconnected as if it
    // had closed: nothing the terminals send comes near it, and without it one
    // broken terminal could take the station's memory.
    static constexpr qsizetype kMaxMessageBytes = qsizetype(1) << 20;
    static constexpr int64_t kMaxSendBacklogBytes = int64_t(1) << 20;
    // All terminals together may leave this many bytes unread; past it the
    // terminals that hold the most are disconnected first, until the rest
    // hold less. Terminals that read never come near it.
    static constexpr int64_t kMaxTotalSendBacklogBytes = int64_t(32) << 20;
    // Descriptors kept for the station's own files (the backup and its
    // temporary file, the history, the logs, the settings): a connection
    // that would leave fewer free is closed at once, so that no number of
    // terminals can keep the station from saving an order.
    static constexpr int kReservedDescriptors = 64;
    // A send to many terminals hands the thread back to the event loop
    // after this long, and goes on from there once waiting events are
    // handled. Not after every terminal: a turn of the loop looks at every
    // socket of the process, so a turn per send made a broadcast's cost grow
    // with the square of the terminals.
    static constexpr int kSendSliceMs = 10;
    // The server log stays under this size: an entry that would take it past
    // first moves the file aside to "QVKServer.log.1", replacing the older
    // one, so that no terminal can fill the disk through the log. Entries
    // carry their whole text: a message is far below the bound (its end
    // must come within kMaxMessageBytes), and an entry that still would not
    // fit is refused and reported like any failed write, never cut.
    static constexpr qint64 kMaxLogBytes = qint64(10) << 20;
    static_assert(kMaxLogBytes > 4 * kMaxMessageBytes);

    explicit ModServer(QObject* parent = nullptr);
    ~ModServer() override;

    // The indexed server-socket control: index 0 listens, indexes from 1
    // carry one terminal each.
    IndexedServerSocket& sckServerIM() { return *sckServerIM_; }
    QString ImServerName() const { return imServerName_; }
    const std::vector<ClientRecord>& ImClients() const { return imClients_; }
    bool ImServerStopped() const { return imServerStopped_; }

    // Starts (or restarts) the server under the computer's name followed by
    // "_QVKServer": every client is closed and forgotten, the listener
    // listens on `port` (0: a port chosen by the system, read back from
    // sckServerIM()(0).LocalPort()) and the start is logged. A failure to
    // listen (the port in use) is raised as AppError; the server then has no
    // clients and no listener.
    void StartServer(int port);
    // The listener's local address, for the status bar.
    QString ListenerLocalIP();
    void CloseAllClients();
    // Runs once per server object: closes every client and the listener.
    void StopServer();

    // Receives the text of every accepted order whose text is not only
    // blanks, once per order, with the function that broadcasts its
    // acknowledgement: the receiver runs it once the order is saved, never
    // before, so a terminal that has its acknowledgement knows the station
    // keeps the order; an order that cannot be saved is not acknowledged
    // (the function is never run, or runs once saving works again). The
    // function may be run after this server is gone; it then does nothing.
    // The receiver may run an event loop (a modal window): the server stays
    // correct if it does.
    std::function<void(const QString& text, std::function<void()> acknowledge)> OrderArrived;

    // The server log's path: the program's Logs folder (created) followed by
    // "QVKServer.log"; computed on first use and kept.
    QString GetServerLogFile();
    // A free client index, loading one when needed; 0 when none is left.
    int GetFreeSocketIndex();
    // The highest index of ImClients; 0 when it holds nothing.
    int GetClientsUBound() const;
    // Queues the text for every terminal connected now. Everything queued
    // in one pass of the event loop leaves together, one send per terminal,
    // in the order queued; a long send goes on in slices (see kSendSliceMs),
    // and a failing index is skipped.
    void BroadcastMessage(const QString& text);
    // Sends what is queued now rather than from the event loop, each
    // terminal's messages of a round in one send; a round not done after
    // kSendSliceMs goes on from a queued call. The board calls it once the
    // orders of a pass are saved, so that their acknowledgements leave before
    // it lays out its panels.
    void SendQueued();
    // Runs `work` (a save whose `saved` queues acknowledgements), then sends
    // what is queued as SendQueued does. What `work` queues is not scheduled
    // from the event loop as well: the send follows at once, without waking
    // the loop for another pass.
    void SendQueuedAfter(const std::function<void()>& work);
    // Names the terminal, cleaned (ImServerProtocol::CleanName).
    void HandleConnect(int index, const QString& message);
    // Logs the line and relays the message's bytes as received (`message`
    // without its EOT), so that bytes the code page lacks reach the others.
    void HandleChatMessage(int index, const QByteArray& message);
    // An order addressed to this server is logged and handed to
    // OrderArrived, which acknowledges it once saved (a blank order, or one
    // without a receiver, is acknowledged at once). Answers its text; empty
    // when refused. The text is cut out of `message` itself.
    QString HandleOrderMessage(int index, QString message);
    QString BuildUserList() const;
    void SendUserList(int index);
    // Appends one entry of the text followed by `more` (an order's text is
    // not copied to join its head line), whole or not at all; an empty text
    // writes nothing. The file is kept open from the first entry on and
    // bounded by kMaxLogBytes. A failure is logged to Error.log once until an
    // entry is written again.
    void WriteServerLog(const QString& text, const QString& more = QString());

    // Handlers of the control's events, connected by the constructor.
    void sckServerIM_Close(int index);
    void sckServerIM_ConnectionRequest(int index, int32_t requestID);
    void sckServerIM_DataArrival(int index, int32_t bytesTotal);

    // Lowers the highest client index, for installations whose process may
    // hold fewer connections than kMaxClientIndex. Values outside
    // 1..kMaxClientIndex are clamped.
    void SetClientIndexLimit(int highestIndex);
    int ClientIndexLimit() const { return clientIndexLimit_; }

private:
    // A connection's complete messages waiting to be handled.
    struct Inbox {
        int index = 0;
        std::deque<QByteArray> messages;
        bool draining = false;
    };

    void Broadcast(const QString& text);
    // Queues the bytes for every connection accepted so far, or only for the
    // connection `only` when it is not 0.
    void Queue(QByteArray bytes, uint64_t only);
    void ScheduleSend();
    // The next round: everything queued so far.
    void StartRound();
    // What the round holds for the connection; empty when nothing.
    QByteArray RoundBytesFor(uint64_t connection) const;
    bool SendingLeft() const;
    // Disconnects the terminals with the largest backlogs while all of them
    // together hold more than kMaxTotalSendBacklogBytes. False when the
    // server was destroyed meanwhile.
    bool DropLargestBacklogs();
    void Drain(uint64_t connection);
    void HandleMessage(int index, uint64_t connection, const QByteArray& bytes);
    // The close of a client, by its peer or by the server: the record is
    // cleared first, so that a connection accepted into the index while
    // "LEA" is being broadcast keeps its own record.
    void CloseClient(int index);
    void sckServerIM_Error(int index);
    bool RecordBelongsTo(int index, uint64_t connection) const;

    std::unique_ptr<IndexedServerSocket> sckServerIM_;
    QString imServerName_;
    std::vector<ClientRecord> imClients_;
    bool imServerStopped_ = false;
    QString logPath_;
    std::unique_ptr<platform::RotatingLog> log_;
    bool logFailing_ = false;
    int clientIndexLimit_ = kMaxClientIndex;
    uint64_t lastConnection_ = 0;
    std::map<uint64_t, Inbox> inboxes_;
    // Messages waiting to be sent, oldest first: `upTo` is the last
    // connection accepted when it was queued, so that a terminal joining
    // later does not get what was said before it came.
    struct Outgoing {
        QByteArray bytes;
        uint64_t upTo = 0;
        uint64_t only = 0;
    };
    std::vector<Outgoing> outgoing_;
    // The round being sent: its messages, the one buffer of a round of
    // broadcasts with the last connection every one of them is for, and the
    // next index to send to. Cleared with the clients.
    struct Round {
        std::vector<Outgoing> messages;
        QByteArray all;
        uint64_t allUpTo = UINT64_MAX;
        bool onlyBroadcasts = true;
        int next = 1;
    };
    Round round_;
    bool sendScheduled_ = false;
    bool sendFollows_ = false;  // inside SendQueuedAfter's work
    bool sending_ = false;
    bool droppingBacklogs_ = false;
    // Cleared by the destructor; loops that call out hold a weak copy.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
