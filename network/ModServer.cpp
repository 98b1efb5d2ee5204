#include "network/ModServer.h"

#include <errno.h>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>

#include "core/ErrorController.h"
#include "core/ModCommon.h"
#include "core/ModSpecialFolders.h"
#include "network/CSocketMaster.h"
#include "network/ImServerProtocol.h"
#include "platform/AppError.h"
#include "platform/CodePage.h"
#include "platform/Files.h"
#include "platform/RotatingLog.h"
#include "platform/Runtime.h"
#include "platform/Variant.h"
#include "platform/sockets/SocketApi.h"

using namespace ImServerProtocol;

ModServer::ModServer(QObject* parent)
    : QObject(parent), sckServerIM_(std::make_unique<IndexedServerSocket>()) {
    IndexedServerSocket* control = sckServerIM_.get();
    connect(control, &IndexedServerSocket::ConnectionRequest, this,
            &ModServer::sckServerIM_ConnectionRequest);
    connect(control, &IndexedServerSocket::DataArrival, this, &ModServer::sckServerIM_DataArrival);
    connect(control, &IndexedServerSocket::Close, this, &ModServer::sckServerIM_Close);
    connect(control, &IndexedServerSocket::Error, this,
            [this](int index, int, const QString&) { sckServerIM_Error(index); });
}

ModServer::~ModServer() {
    alive_.reset();
    // Quietly: a server that goes away with its window writes no log and
    // sends nothing.
    disconnect(sckServerIM_.get(), nullptr, this, nullptr);
}

// ---- starting and stopping -----------------------------------------------------

void ModServer::StartServer(int port) {
    imServerName_ = GetMachineName() + kServerNameSuffix;
    CloseAllClients();
    CSocketMaster& listener = sckServerIM_->Item(0);
    listener.CloseSck();
    listener.SetLocalPort(port);
    // Terminals of a large site join at once (after a power cut, at the
    // start of a shift) while this thread may be busy broadcasting: the
    // system keeps as many of them waiting as it can.
    listener.Listen(platform::MaxListenBacklog());
    WriteServerLog("Server started on local IP (" + listener.LocalIP() + ":" +
                   QString::number(port) + ").");
}

QString ModServer::ListenerLocalIP() {
    return sckServerIM_->Item(0).LocalIP();
}

void ModServer::CloseAllClients() {
    if (sckServerIM_->IsLoaded(0)) {
        try {
            sckServerIM_->Item(0).CloseSck();
        } catch (const AppError&) {
        }
    }
    for (int i = sckServerIM_->UBound(); i >= 1; --i) {
        if (!sckServerIM_->IsLoaded(i))
            continue;
        try {
            sckServerIM_->Item(i).CloseSck();
        } catch (const AppError&) {
        }
        sckServerIM_->Unload(i);
    }
    // Messages already taken from these connections stay queued and are
    // handled; only their records go, and what waited to be sent to them.
    imClients_.clear();
    outgoing_.clear();
    round_ = Round{};
}

void ModServer::StopServer() {
    if (imServerStopped_)
        return;
    imServerStopped_ = true;
    CloseAllClients();
    imClients_.clear();
}

// ---- the log ---------------------------------------------------------------------------

QString ModServer::GetServerLogFile() {
    if (logPath_.isEmpty())
        logPath_ = GetAppDataFolder(kAppKestrelle, kFolderLogs, true) + kLogFileName;
    return logPath_;
}

void ModServer::WriteServerLog(const QString& text, const QString& more) {
    if (text.isEmpty() && more.isEmpty())
        return;
    // A log that cannot be written never stops the server; its failure
    // goes to Error.log once until an entry is written again.
    try {
        if (!log_)
            log_ = std::make_unique<platform::RotatingLog>(GetServerLogFile(), kMaxLogBytes, true);
        if (log_->Append(LogEntry(rt::NowOften(), text, more))) {
            logFailing_ = false;
            return;
        }
        if (!logFailing_) {
            logFailing_ = true;
            const int error = errno;
            ErrorLogger().Add(
                kSystemError, error,
                platform::SystemErrorText(error) + QStringLiteral(" (") + GetServerLogFile() + ')',
                QStringLiteral("ModServer.WriteServerLog"));
        }
    } catch (const AppError&) {
    } catch (...) {
        rt::ReportUnexpectedError("ModServer.WriteServerLog");
    }
}

// ---- clients -----------------------------------------------------------------------------

void ModServer::SetClientIndexLimit(int highestIndex) {
    clientIndexLimit_ = std::clamp(highestIndex, 1, kMaxClientIndex);
}

int ModServer::GetClientsUBound() const {
    return imClients_.empty() ? 0 : int(imClients_.size()) - 1;
}

bool ModServer::RecordBelongsTo(int index, uint64_t connection) const {
    return connection != 0 && index >= 1 && index <= GetClientsUBound() &&
           imClients_[size_t(index)].Connection == connection;
}

int ModServer::GetFreeSocketIndex() {
    IndexedServerSocket& control = *sckServerIM_;
    const int highest = control.UBound();
    if (highest <= 0) {
        control.Load(1);
        control.Item(1).CloseSck();
        return 1;
    }
    for (int i = 1; i <= std::min(highest, clientIndexLimit_); ++i) {
        if (control.IsLoaded(i) && control.Item(i).State() == CSocketMaster::sckClosed)
            return i;
    }
    if (highest + 1 <= clientIndexLimit_) {
        control.Load(highest + 1);
        control.Item(highest + 1).CloseSck();
        return highest + 1;
    }
    return 0;
}

void ModServer::sckServerIM_ConnectionRequest(int index, int32_t requestID) {
    if (index != 0)
        return;
    // The request's descriptor is the lowest one free: at or beyond this
    // mark, fewer than the reserve are left, and the connection is refused.
    if (requestID >= platform::DescriptorLimit() - kReservedDescriptors)
        return;
    const int slot = GetFreeSocketIndex();
    // No free index: the request is not taken, and the socket layer closes
    // the connection when this event returns; the terminal sees it end.
    if (slot == 0)
        return;
    // The record is ready before Accept, which may already raise the new
    // connection's DataArrival or Close.
    if (GetClientsUBound() < slot)
        imClients_.resize(size_t(slot) + 1);
    const uint64_t connection = ++lastConnection_;
    const std::weak_ptr<bool> alive = alive_;
    imClients_[size_t(slot)] = ClientRecord{};
    imClients_[size_t(slot)].Connection = connection;
    try {
        sckServerIM_->Accept(slot, requestID);
    } catch (...) {
        if (alive.expired())
            throw;
        if (RecordBelongsTo(slot, connection))
            imClients_[size_t(slot)] = ClientRecord{};
        if (sckServerIM_->IsLoaded(slot))
            sckServerIM_->Item(slot).CloseSck();
        throw;
    }
    if (alive.expired() || !RecordBelongsTo(slot, connection))
        return;  // closed during Accept
    // The server's answers are small: each leaves at once rather than wait
    // for the terminal's delayed acknowledgement of the one before (up to
    // 40 ms), which a terminal that only listens sends late. Should the
    // system refuse, the terminal is served all the same, only slower.
    platform::SetSocketOption(sckServerIM_->Item(slot).SocketHandle(),
                              platform::SocketOption::NoDelay, 1);
    const QString ip = sckServerIM_->Item(slot).RemoteHostIP();
    imClients_[size_t(slot)].RemoteIP = ip;
    imClients_[size_t(slot)].Name.clear();
    WriteServerLog(ip + " connected!");
}

void ModServer::sckServerIM_Close(int index) {
    CloseClient(index);
}

void ModServer::sckServerIM_Error(int index) {
    // A reset connection or a failed send leaves the socket in state 9 and
    // raises no Close: the terminal is gone all the same. The close runs
    // from the event loop, not inside the failing send.
    if (index < 1 || index > GetClientsUBound())
        return;
    const uint64_t connection = imClients_[size_t(index)].Connection;
    if (connection == 0)
        return;
    const std::weak_ptr<bool> alive = alive_;
    QTimer::singleShot(0, this, [this, alive, index, connection] {
        if (!alive.expired() && RecordBelongsTo(index, connection))
            CloseClient(index);
    });
}

void ModServer::CloseClient(int index) {
    if (!sckServerIM_->IsLoaded(index) || index < 1)
        return;
    try {
        sckServerIM_->CloseSck(index);
    } catch (const AppError&) {
    }
    // Only a record with a connection announces a leave, so that one
    // connection never leaves twice.
    if (index > GetClientsUBound() || imClients_[size_t(index)].Connection == 0)
        return;
    const QString name = imClients_[size_t(index)].Name;
    imClients_[size_t(index)] = ClientRecord{};
    Broadcast(LeaveMessage(name));
    WriteServerLog(name + " has left the room.");
}

// ---- sending -------------------------------------------------------------------------------

void ModServer::BroadcastMessage(const QString& text) {
    Broadcast(text);
}

void ModServer::Broadcast(const QString& text) {
    Queue(platform::ToAnsi(text), 0);
}

void ModServer::Queue(QByteArray bytes, uint64_t only) {
    outgoing_.push_back({std::move(bytes), lastConnection_, only});
    ScheduleSend();
}

void ModServer::ScheduleSend() {
    // A queued call, not a timer: queued calls run in the order queued and
    // before the timers of the loop's next pass, so that acknowledgements
    // queued before a large order's save (a queued call of the store) leave
    // before it.
    if (sendScheduled_ || sendFollows_)
        return;
    sendScheduled_ = true;
    QTimer::singleShot(0, this, &ModServer::SendQueued);
}

void ModServer::StartRound() {
    round_ = Round{};
    round_.messages.swap(outgoing_);
    for (const Outgoing& m : round_.messages) {
        round_.all += m.bytes;
        round_.allUpTo = std::min(round_.allUpTo, m.upTo);
        round_.onlyBroadcasts = round_.onlyBroadcasts && m.only == 0;
    }
}

QByteArray ModServer::RoundBytesFor(uint64_t connection) const {
    // Most rounds are broadcasts only: one buffer, shared by every terminal
    // that was there when the first of them was queued.
    if (round_.onlyBroadcasts && connection <= round_.allUpTo)
        return round_.all;
    QByteArray bytes;
    for (const Outgoing& m : round_.messages) {
        if (m.only == 0 ? connection <= m.upTo : connection == m.only)
            bytes += m.bytes;
    }
    return bytes;
}

bool ModServer::SendingLeft() const {
    return (!round_.messages.empty() && round_.next <= sckServerIM_->UBound()) ||
           !outgoing_.empty();
}

void ModServer::SendQueuedAfter(const std::function<void()>& work) {
    const bool outer = sendFollows_;
    const std::weak_ptr<bool> alive = alive_;
    struct Follow {
        ModServer* server;
        std::weak_ptr<bool> alive;
        bool outer;
        bool worked = false;
        ~Follow() {
            if (alive.expired())
                return;
            server->sendFollows_ = outer;
            // A `work` that threw: its messages go from the event loop.
            if (!worked && !outer && !server->outgoing_.empty())
                server->ScheduleSend();
        }
    };
    {
        Follow follow{this, alive, outer};
        sendFollows_ = true;
        work();
        follow.worked = true;
    }
    if (!outer && !alive.expired())
        SendQueued();
}

void ModServer::SendQueued() {
    sendScheduled_ = false;
    // A round already under way further up the stack (a handler of its send
    // ran a modal window) sends these after its own, so that every terminal
    // gets its messages in the order queued.
    if (sending_)
        return;
    sending_ = true;
    const std::weak_ptr<bool> alive = alive_;
    struct Done {
        ModServer* server;
        std::weak_ptr<bool> alive;
        ~Done() {
            if (!alive.expired())
                server->sending_ = false;
        }
    } done{this, alive};
    QElapsedTimer slice;
    slice.start();
    for (;;) {
        // The highest index is read again for every terminal: a connection
        // may have come or gone since the round began. A round cleared by a
        // restart is over at once.
        if (round_.messages.empty() || round_.next > sckServerIM_->UBound()) {
            round_ = Round{};
            if (outgoing_.empty())
                return;
            StartRound();
        }
        const int i = round_.next++;
        if (!sckServerIM_->IsLoaded(i) || i > GetClientsUBound())
            continue;
        const uint64_t connection = imClients_[size_t(i)].Connection;
        if (connection == 0)
            continue;
        const QByteArray bytes = RoundBytesFor(connection);
        if (bytes.isEmpty())
            continue;
        try {
            sckServerIM_->SendData(i, Variant(bytes));
        } catch (const AppError&) {
            // A closed index; the round goes on.
        }
        // The send's own events may have run anything, this object's end
        // included.
        if (alive.expired())
            return;
        if (sckServerIM_->IsLoaded(i) && sckServerIM_->PendingSendBytes(i) > kMaxSendBacklogBytes) {
            CloseClient(i);
            if (alive.expired())
                return;
        }
        if (sckServerIM_->TotalPendingSendBytes() > kMaxTotalSendBacklogBytes &&
            !DropLargestBacklogs())
            return;
        // Sending to many terminals takes a while: after a slice the rest
        // goes on from the event loop, so that arrivals, new terminals and
        // the board are served in between without running inside the send.
        if (slice.elapsed() >= kSendSliceMs && SendingLeft()) {
            ScheduleSend();
            return;
        }
    }
}

bool ModServer::DropLargestBacklogs() {
    // The leaves announced below are broadcasts themselves: they add to the
    // backlogs and may end here again, which this one loop takes care of.
    if (droppingBacklogs_)
        return true;
    droppingBacklogs_ = true;
    const std::weak_ptr<bool> alive = alive_;
    while (sckServerIM_->TotalPendingSendBytes() > kMaxTotalSendBacklogBytes) {
        int largest = 0;
        int64_t most = 0;
        for (int i = 1; i <= sckServerIM_->UBound(); ++i) {
            const int64_t pending = sckServerIM_->PendingSendBytes(i);
            if (pending > most) {
                most = pending;
                largest = i;
            }
        }
        if (largest == 0)
            break;
        CloseClient(largest);
        if (alive.expired())
            return false;
    }
    droppingBacklogs_ = false;
    return true;
}

QString ModServer::BuildUserList() const {
    QStringList names;
    for (const ClientRecord& client : imClients_) {
        if (!client.RemoteIP.isEmpty() && !client.Name.isEmpty())
            names.append(client.Name);
    }
    return UserList(imServerName_, names);
}

void ModServer::SendUserList(int index) {
    if (!sckServerIM_->IsLoaded(index) ||
        sckServerIM_->Item(index).State() != CSocketMaster::sckConnected)
        return;
    if (index <= GetClientsUBound() && imClients_[size_t(index)].Connection != 0)
        Queue(platform::ToAnsi(ListMessage(BuildUserList())), imClients_[size_t(index)].Connection);
}

// ---- receiving -------------------------------------------------------------------------------

void ModServer::sckServerIM_DataArrival(int index, int32_t bytesTotal) {
    if (index < 1 || !sckServerIM_->IsLoaded(index))
        return;
    Variant data;
    sckServerIM_->Item(index).GetData(data, Variant::FromLong(int32_t(VarType::ByteArray)),
                                      Variant::FromLong(bytesTotal));
    if (index > GetClientsUBound() || imClients_[size_t(index)].Connection == 0)
        return;  // bytes of a connection the server no longer knows
    ClientRecord& client = imClients_[size_t(index)];
    const uint64_t connection = client.Connection;
    const qsizetype searched = client.RecvBuffer.size();
    client.RecvBuffer.append(data.ToBytes());
    std::vector<QByteArray> messages = TakeCompleteMessages(client.RecvBuffer, searched);
    const bool overlong = client.RecvBuffer.size() > kMaxMessageBytes;
    // `client` is not used beyond this point: everything below may run other
    // handlers (a modal window of the order's receiver).
    if (!messages.empty()) {
        Inbox& inbox = inboxes_[connection];
        inbox.index = index;
        for (QByteArray& message : messages)
            inbox.messages.push_back(std::move(message));
    }
    const std::weak_ptr<bool> alive = alive_;
    if (overlong) {
        CloseClient(index);
        if (alive.expired())
            return;
    }
    Drain(connection);
}

void ModServer::Drain(uint64_t connection) {
    auto it = inboxes_.find(connection);
    // Already being drained further up the stack: that handler takes the new
    // messages after the one it is handling, so the order holds.
    if (it == inboxes_.end() || it->second.draining)
        return;
    it->second.draining = true;
    const std::weak_ptr<bool> alive = alive_;
    for (;;) {
        it = inboxes_.find(connection);
        if (it->second.messages.empty()) {
            inboxes_.erase(it);
            return;
        }
        const int index = it->second.index;
        const QByteArray message = std::move(it->second.messages.front());
        it->second.messages.pop_front();
        try {
            HandleMessage(index, connection, message);
        } catch (const AppError& e) {
            if (alive.expired())
                return;
            ErrorLogger().Add(kSystemError, e.Number(), e.Description(),
                              QStringLiteral("ModServer.sckServerIM_DataArrival"));
        } catch (const std::exception& e) {
            if (alive.expired())
                return;
            ErrorLogger().Add(kSystemError, 0, QString::fromLocal8Bit(e.what()),
                              QStringLiteral("ModServer.sckServerIM_DataArrival"));
        }
        if (alive.expired())
            return;
    }
}

void ModServer::HandleMessage(int index, uint64_t connection, const QByteArray& bytes) {
    QString message = platform::FromAnsi(bytes);
    if (message.size() <= 3)
        return;
    const QString command = message.left(3);
    if (command == QLatin1String("MSG")) {
        HandleChatMessage(index, bytes);
    } else if (command == QLatin1String("CON")) {
        if (RecordBelongsTo(index, connection))
            HandleConnect(index, message);
    } else if (command == QLatin1String("ORD")) {
        HandleOrderMessage(index, std::move(message));
    }
}

// ---- commands
// ------------------------------------------------------------------------------------

void ModServer::HandleConnect(int index, const QString& message) {
    if (!message.contains(kFieldSeparator))
        return;
    if (index < 1 || index > GetClientsUBound())
        return;
    const QString name = CleanName(Field(message, 2));
    imClients_[size_t(index)].Name = name;
    Broadcast(EnterMessage(name));
    WriteServerLog(name + " has joined the room.");
    SendUserList(index);
}

void ModServer::HandleChatMessage(int index, const QByteArray& message) {
    const std::optional<ChatMessage> chat = ParseChat(platform::FromAnsi(message));
    if (!chat)
        return;
    WriteServerLog(ConversationLogHead(chat->Sender, chat->Addressee), chat->Text);
    Queue(message + kEndOfMessageByte, 0);
}

QString ModServer::HandleOrderMessage(int index, QString message) {
    const std::optional<OrderMessage> order = ParseOrder(std::move(message));
    if (!order || order->Addressee != imServerName_)
        return QString();
    WriteServerLog(ConversationLogHead(order->Sender, order->Addressee), order->Text);
    const QString acknowledgement = AcknowledgeMessage(order->Sender, order->Id);
    if (!rt::Trim(order->Text).isEmpty() && OrderArrived) {
        // A copy: the receiver may destroy this server, and the function
        // object with it, while it runs.
        const auto handOver = OrderArrived;
        const std::weak_ptr<bool> alive = alive_;
        handOver(order->Text, [this, alive, acknowledgement] {
            if (!alive.expired())
                Broadcast(acknowledgement);
        });
        return order->Text;
    }
    Broadcast(acknowledgement);
    return order->Text;
}
