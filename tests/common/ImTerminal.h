#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>

// A point-of-sale terminal of the message server, played by a plain socket on
// 127.0.0.1 in the test's own thread: it never blocks, so the server under
// test keeps running while the test waits (PumpEventsUntil pumps events and
// the conditions below read whatever has arrived).
class ImTerminal final {
public:
    // Connects at once (the system accepts into the listen queue); the
    // server's ConnectionRequest runs when events are pumped.
    explicit ImTerminal(uint16_t port, int receiveBuffer = 0);
    ~ImTerminal();
    ImTerminal(const ImTerminal&) = delete;
    ImTerminal& operator=(const ImTerminal&) = delete;

    void Send(const QByteArray& bytes);
    // Text in the station's ANSI code page.
    void SendText(const QString& text);
    // Every complete message received so far, without its EOT, as text.
    const QList<QString>& Messages();
    // Messages with the given three-character command.
    QList<QString> MessagesOf(const QString& command);
    // The raw bytes received so far.
    const QByteArray& Received();
    // Waits (pumping events) until at least `count` messages have arrived.
    bool WaitForMessages(int count, int timeoutMs = 10000);
    // True once the server ended the connection.
    bool PeerClosed();
    bool WaitForPeerClose(int timeoutMs = 10000);
    void Close();
    // Ends the connection with a reset instead of an orderly close.
    void Reset();
    int Fd() const { return fd_; }

private:
    void Poll();

    int fd_ = -1;
    QByteArray received_;
    qsizetype parsed_ = 0;
    QList<QString> messages_;
    bool peerClosed_ = false;
};

// Messages a terminal sends, EOT included, as text.
QString ConMessage(const QString& name);
QString MsgMessage(const QString& sender, const QString& addressee, const QString& text);
QString OrdMessage(const QString& sender, const QString& addressee, const QString& id,
                   const QString& text);
