#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

// Plain programs that do the station's work with its durability and nothing
// else, so that a ratio against them measures the station and not the disk:
// a record counts once it is appended and flushed to the disk, and one flush
// covers everything one pass of the loop read (group commit, as the station
// saves once per pass of its event loop).

// The sync floor: a 200-byte append followed by fdatasync, to a file in the
// given folder (the folder of the station's files, so the same disk), opened
// once. Nothing the station saves can cost less.
class SyncFloorFile {
public:
    explicit SyncFloorFile(const QString& folder);
    ~SyncFloorFile();
    SyncFloorFile(const SyncFloorFile&) = delete;
    SyncFloorFile& operator=(const SyncFloorFile&) = delete;
    // Microseconds of one append and its fdatasync; negative when either failed.
    double AppendAndSyncUs();

private:
    QString path_;
    int fd_ = -1;
};
// The median of `samples` appends with their syncs in that folder.
double SyncFloorUs(const QString& folder, int samples = 40);

// The message server's protocol as plainly as it goes: one thread, poll(),
// a byte queue per terminal, bytes never decoded. CON announces the terminal
// (ENT to all) and answers it with LST, MSG is relayed to all, and an ORD
// addressed to this server is saved: every order that one pass read is
// appended to the orders file, the file is flushed once (fdatasync), and
// only then are their ORAs queued to every terminal. An order the file did
// not take is not acknowledged.
class PlainImServer {
public:
    explicit PlainImServer(const QString& ordersFile);
    ~PlainImServer();
    PlainImServer(const PlainImServer&) = delete;
    PlainImServer& operator=(const PlainImServer&) = delete;
    uint16_t Port() const { return port_; }
    // Orders saved and acknowledged, and the flushes that saved them.
    int Orders() const { return orders_; }
    int Syncs() const { return syncs_; }
    bool SaveFailed() const { return saveFailed_; }

private:
    struct Client {
        int fd = -1;
        QByteArray name;
        QByteArray in;
        QByteArray out;
        bool closed = false;
    };
    struct Pending {
        QByteArray sender;
        QByteArray id;
    };
    void Run();
    void Handle(Client& client, const QByteArray& message, QByteArray& lines,
                std::vector<Pending>& pending);
    void Broadcast(const QByteArray& bytes);

    int listener_ = -1;
    int ordersFd_ = -1;
    uint16_t port_ = 0;
    QByteArray name_;
    std::vector<Client> clients_;
    std::atomic<bool> stop_{false};
    std::atomic<int> orders_{0};
    std::atomic<int> syncs_{0};
    std::atomic<bool> saveFailed_{false};
    std::thread thread_;
};

// The same server run as plain_im_server, another process than the
// terminals, as the station is: what part of a gap to the server above is
// the cost of being a process of its own rather than a thread beside them.
class PlainImServerProcess {
public:
    explicit PlainImServerProcess(const QString& ordersFile);
    ~PlainImServerProcess();
    PlainImServerProcess(const PlainImServerProcess&) = delete;
    PlainImServerProcess& operator=(const PlainImServerProcess&) = delete;
    // 0 when the program did not start or did not say its port.
    uint16_t Port() const { return port_; }
    qint64 Pid() const { return process_.processId(); }

private:
    QProcess process_;
    uint16_t port_ = 0;
};

// A plain recvfrom loop on its own thread with a receive buffer of the given
// size (the station's: see StationUdpReceiveBuffer), saving as the station
// does: every datagram that one pass read is appended to the file, then one
// fdatasync.
class PlainDatagramReceiver {
public:
    PlainDatagramReceiver(const QString& ordersFile, int receiveBufferBytes);
    ~PlainDatagramReceiver();
    PlainDatagramReceiver(const PlainDatagramReceiver&) = delete;
    PlainDatagramReceiver& operator=(const PlainDatagramReceiver&) = delete;
    uint16_t Port() const { return port_; }
    // The receive buffer the system gave (what SO_RCVBUF reads back).
    int ReceiveBuffer() const;
    // Datagrams saved, and when the last of them was (NowUs()).
    int Saved() const { return saved_; }
    double LastSavedUs() const { return lastSavedUs_; }

private:
    int fd_ = -1;
    int ordersFd_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> saved_{0};
    std::atomic<double> lastSavedUs_{0};
    std::thread thread_;
};

// The receive buffer (SO_RCVBUF as read back) of a UDP socket of the
// station's own kind, bound on 127.0.0.1 the way the station binds it.
int StationUdpReceiveBuffer();
// Asks the system for a receive buffer that reads back as `bytes` (past
// net.core.rmem_max when running as root) and answers what it reads back.
int SetReceiveBuffer(int fd, int bytes);
