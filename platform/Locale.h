#pragma once

#include <QString>
#include <QTime>

namespace platform {

// The user locale's decimal separator ("," or ".").
QString LocaleDecimalSeparator();

// The locale's short-date pattern in the notation d, dd, M, MM, yy, yyyy
// ("dd.MM.yyyy"); KESTRELLE_SHORTDATE overrides it.
QString LocaleShortDatePattern();

// The separator between the parts of the short date ("." in "dd.MM.yyyy").
QString LocaleDateSeparator();

// The locale's time format with seconds and without a time zone, in Qt's
// notation (h, hh, H, HH, mm, ss, AP, quoted literals): "HH:mm:ss",
// "h:mm:ss AP"; KESTRELLE_TIMEFORMAT overrides it.
QString LocaleTimePattern();

// A time of day in that format, with the locale's AM and PM texts.
QString LocaleTimeText(const QTime& time);

}  // namespace platform
