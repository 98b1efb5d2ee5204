#pragma once

#include <QString>

namespace platform {

// The user locale's decimal separator ("," or ".").
QString LocaleDecimalSeparator();

// The locale's short-date pattern in the notation d, dd, M, MM, yy, yyyy
// ("dd.MM.yyyy"); KESTRELLE_SHORTDATE overrides it.
QString LocaleShortDatePattern();

// The separator between the parts of the short date ("." in "dd.MM.yyyy").
QString LocaleDateSeparator();

}  // namespace platform
