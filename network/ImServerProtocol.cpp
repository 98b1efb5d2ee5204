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
        if (start == 0 && end == buffer.size() - 1) {
            // The buffer is one message (a large order arrives in many reads
            // and ends with its last one): it becomes the message, uncopied.
            buffer.chop(1);
            messages.push_back(std::move(buffer));
            buffer = QByteArray();
            return messages;
        }
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

std::optional<OrderMessage> ParseOrder(QString message) {
    // The fields as a split at every separator gives them, without copying
    // the fields beyond the fourth; the text is cut out of the message
    // itself, which a caller that hands its message over does not copy.
    qsizetype separators[4] = {};
    qsizetype found = 0;
    for (qsizetype from = 0; found < 4; ++found) {
        const qsizetype at = message.indexOf(kFieldSeparator, from);
        if (at < 0)
            break;
        separators[found] = at;
        from = at + 1;
    }
    if (found < 3)
        return std::nullopt;
    const auto end = [&](qsizetype n) { return n < found ? separators[n] : message.size(); };
    OrderMessage order;
    order.Sender = message.mid(separators[0] + 1, separators[1] - separators[0] - 1);
    order.Addressee = message.mid(separators[1] + 1, separators[2] - separators[1] - 1);
    const qsizetype bodyStart = separators[2] + 1;
    const qsizetype bodyEnd = end(3);
    const QStringView body = QStringView(message).sliced(bodyStart, bodyEnd - bodyStart);
    const qsizetype cut = body.indexOf(kIdSeparator);
    order.Id = (cut < 0 ? body : body.first(cut)).toString();
    // The body starts with "id ETX"; another one can only be where another
    // ETX is.
    const qsizetype textStart = cut < 0 ? bodyStart : bodyStart + cut + 1;
    if (body.sliced(textStart - bodyStart).indexOf(kIdSeparator) < 0) {
        order.Text = std::move(message);
        order.Text.truncate(bodyEnd);
        order.Text.remove(0, textStart);
    } else {
        order.Text = body.toString();
        order.Text.remove(order.Id + kIdSeparator);
    }
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

QString ConversationLogHead(const QString& sender, const QString& addressee) {
    return "[" + CleanName(sender) + " -> " + CleanName(addressee) + "]: " + kCrLf;
}

QByteArray LogEntry(const QDateTime& when, const QString& text, const QString& more) {
    if (text.isEmpty() && more.isEmpty())
        return QByteArray();
    // The header line (digits and signs only, the same in every code page)
    // changes once a second: the message server writes an entry per message,
    // and entries of the same second share the header made for the first.
    thread_local QDate headerDate;
    thread_local int headerSecond = -1;
    thread_local QByteArray header;
    const QDate date = when.date();
    const int second = when.time().msecsSinceStartOfDay() / 1000;
    if (date != headerDate || second != headerSecond) {
        header = platform::ToAnsi("----- " +
                                  rt::FormatDate(when, QStringLiteral("dd.MM.yyyy hh:nn:ss")) +
                                  "---------- " + kCrLf);
        headerDate = date;
        headerSecond = second;
    }
    // The pieces meet at line breaks, where no code page carries anything
    // from one character to the next: converted one by one they give the
    // bytes of the whole, and a text of a megabyte is converted straight
    // into the entry instead of being copied to join the others.
    QByteArray entry;
    entry.reserve(header.size() + text.size() + more.size() + 4);
    entry += header;
    platform::AppendAnsi(entry, text);
    platform::AppendAnsi(entry, more);
    entry += "\r\n\r\n";
    return entry;
}

}  // namespace ImServerProtocol
