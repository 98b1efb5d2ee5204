#include "platform/Locale.h"

#include <QLocale>

namespace platform {

QString LocaleDecimalSeparator() {
    static const QString separator = QLocale::system().decimalPoint();
    return separator;
}

QString LocaleShortDatePattern() {
    const QByteArray forced = qgetenv("KESTRELLE_SHORTDATE");
    if (!forced.isEmpty())
        return QString::fromUtf8(forced);
    // Qt's pattern letters for dates match the notation the program uses; only
    // quoted literals need unwrapping.
    QString pattern = QLocale::system().dateFormat(QLocale::ShortFormat);
    pattern.remove('\'');
    return pattern;
}

QString LocaleTimePattern() {
    const QByteArray forced = qgetenv("KESTRELLE_TIMEFORMAT");
    if (!forced.isEmpty())
        return QString::fromUtf8(forced);
    // The long format is the one with seconds; its zone name ("t") is no part
    // of a time of day. Quoted literals stay as they are.
    const QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    QString pattern;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == '\'')
            quoted = !quoted;
        if (!quoted && c == 't')
            continue;
        pattern += c;
    }
    return pattern.trimmed();
}

QString LocaleTimeText(const QTime& time) {
    return QLocale::system().toString(time, LocaleTimePattern());
}

QString LocaleDateSeparator() {
    const QString pattern = LocaleShortDatePattern();
    for (const QChar c : pattern) {
        if (!c.isLetter())
            return QString(c);
    }
    return QString();
}

}  // namespace platform
