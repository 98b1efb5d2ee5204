#include "network/ImServerProtocol.h"

#include "platform/CodePage.h"
#include "platform/Runtime.h"

namespace ImServerProtocol {

namespace {
const QString kCrLf = QStringLiteral("\r\n");
}  // namespace

std::vector<QByteArray> TakeCompleteMessages(QByteArray& buffer, qsizetype searchFrom) {
    std::vector<QByteArray> messages;
    // Only the new bytes are searched; a buffer without EOT is never scanned
    // again from its start.
    if (buffer.indexOf(kEndOfMessageByte, searchFrom) < 0)
        return messages;
    const qsizetype last = buffer.lastIndexOf(kEndOfMessageByte);
    qsizetype start = 0;
    while (start <= last) {
        const qsizetype end = buffer.indexOf(kEndOfMessageByte, start);
        messages.push_back(buffer.mid(start, end - start));
        start = end + 1;
    }
    buffer.remove(0, last + 1);
    return messages;
}

QString Field(const QString& message, int n) {
    if (n < 1)
        return QString();
    return message.section(kFieldSeparator, n - 1, n - 1);
}

std::optional<OrderMessage> ParseOrder(const QString& message) {
    const QStringList fields = message.split(kFieldSeparator);
    if (fields.size() < 4)
        return std::nullopt;
    OrderMessage order;
    order.Sender = fields[1];
    order.Addressee = fields[2];
    const QString& body = fields[3];
    const qsizetype cut = body.indexOf(kIdSeparator);
    order.Id = cut < 0 ? body : body.left(cut);
    order.Text = body;
    order.Text.remove(order.Id + kIdSeparator);
    return order;
}

std::optional<ChatMessage> ParseChat(const QString& message) {
    const QStringList fields = message.split(kFieldSeparator);
    if (fields.size() < 4)
        return std::nullopt;
    return ChatMessage{fields[1], fields[2], fields[3]};
}

QString EnterMessage(const QString& name) {
    return QStringLiteral("ENT") + kFieldSeparator + name + kEndOfMessage;
}

QString LeaveMessage(const QString& name) {
    return QStringLiteral("LEA") + kFieldSeparator + name + kEndOfMessage;
}

QString AcknowledgeMessage(const QString& sender, const QString& id) {
    return QStringLiteral("ORA") + kFieldSeparator + QStringLiteral("ACK") + kFieldSeparator +
           sender + kFieldSeparator + id + kEndOfMessage;
}

QString UserList(const QString& serverName, const QStringList& names) {
    QString list = serverName;
    for (const QString& name : names)
        list += kCrLf + name;
    return list;
}

QString ListMessage(const QString& userList) {
    return QStringLiteral("LST") + kFieldSeparator + userList + kEndOfMessage;
}

QString CleanName(const QString& name) {
    QString clean = name;
    for (QChar& c : clean) {
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            c = ' ';
    }
    return clean;
}

QString ConversationLogText(const QString& sender, const QString& addressee, const QString& text) {
    return "[" + CleanName(sender) + " -> " + CleanName(addressee) + "]: " + kCrLf + text;
}

QByteArray LogEntry(const QDateTime& when, const QString& text) {
    if (text.isEmpty())
        return QByteArray();
    const QString entry = "----- " + rt::FormatDate(when, QStringLiteral("dd.MM.yyyy hh:nn:ss")) +
                          "---------- " + kCrLf + text + kCrLf + kCrLf;
    return platform::ToAnsi(entry);
}

}  // namespace ImServerProtocol
