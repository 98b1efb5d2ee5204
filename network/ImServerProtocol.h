#pragma once

#include <QByteArray>
#include <QChar>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// The wire rules of the station's message server, free of sockets and state:
// framing of received bytes, the fields of a message, the texts the server
// sends and the entries of its log. Messages are ANSI bytes on the wire; the
// functions here work on text except for the framing, which must see bytes so
// that a multi-byte character cut between two arrivals is never decoded half.
namespace ImServerProtocol {

inline constexpr QChar kFieldSeparator = QChar(2);  // STX
inline constexpr QChar kIdSeparator = QChar(3);     // ETX, between an order's id and text
inline constexpr QChar kEndOfMessage = QChar(4);    // EOT
inline constexpr char kEndOfMessageByte = 4;

inline const QString kServerNameSuffix = QStringLiteral("_QVKServer");
inline const QString kLogFileName = QStringLiteral("QVKServer.log");

// Takes every complete message (the bytes before each EOT, without it) out of
// the front of `buffer`, in order, and leaves the remainder (the bytes after
// the last EOT) in it. Bytes before `searchFrom` are known to hold no EOT, so
// that a client sending one byte at a time costs one look per byte.
std::vector<QByteArray> TakeCompleteMessages(QByteArray& buffer, qsizetype searchFrom = 0);

// The n-th field (1-based) between field separators; empty when absent.
QString Field(const QString& message, int n);

// An "ORD" message taken apart: field 2 the sender, 3 the addressee, and field
// 4 split into the id (up to its first ETX, the whole field when there is
// none) and the order text (the field with every "id ETX" removed).
struct OrderMessage {
    QString Sender;
    QString Addressee;
    QString Id;
    QString Text;
};
// nullopt for a message with fewer than four fields. The text takes the
// message's own characters when the caller hands them over (std::move).
std::optional<OrderMessage> ParseOrder(QString message);

// A "MSG" message's first four fields; nullopt with fewer than four.
struct ChatMessage {
    QString Sender;
    QString Addressee;
    QString Text;
};
std::optional<ChatMessage> ParseChat(const QString& message);

// The messages the server sends, EOT included.
QString EnterMessage(const QString& name);
QString LeaveMessage(const QString& name);
QString AcknowledgeMessage(const QString& sender, const QString& id);
// The client list: the server's name, then `names` in order, joined by CR LF
// with none at the end.
QString UserList(const QString& serverName, const QStringList& names);
QString ListMessage(const QString& userList);

// A terminal's name as the server lists, announces and logs it: every control
// character (line breaks, tabs, the protocol's separators) becomes a blank, so
// that a name is always one entry of the "LST" list and stays on its line of
// the log. Names are cleaned rather than refused: the terminal still joins,
// learns the server's name and gets its orders acknowledged.
QString CleanName(const QString& name);

// The first line of the log text of a chat line or an accepted order, CR LF
// included; the text follows it. The sender and the addressee are names,
// cleaned as above.
QString ConversationLogHead(const QString& sender, const QString& addressee);

// One log entry as appended to the file, ANSI: the header line
// "----- dd.MM.yyyy hh:nn:ss---------- ", the text followed by `more`, and an
// empty line, each line ended by CR LF. Empty when both are empty.
QByteArray LogEntry(const QDateTime& when, const QString& text, const QString& more = QString());

}  // namespace ImServerProtocol
