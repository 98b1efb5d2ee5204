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

QString LocaleDateSeparator() {
    const QString pattern = LocaleShortDatePattern();
    for (const QChar c : pattern) {
        if (!c.isLetter())
            return QString(c);
    }
    return QString();
}

}  // namespace platform
