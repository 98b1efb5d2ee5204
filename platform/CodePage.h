#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// The station's ANSI code page: CP1251 unless KESTRELLE_CODEPAGE names another
// ("1252", "CP1252", "UTF-8", any name iconv knows). Every file the program
// calls ANSI, every datagram and every message-server byte is in it.
QString AnsiCodePageName();

// Text to ANSI bytes; a character the code page lacks becomes "?".
QByteArray ToAnsi(const QString& text);

// ANSI bytes to text; a byte the code page does not define becomes U+FFFD.
QString FromAnsi(const QByteArray& bytes);
QString FromAnsi(const char* data, qsizetype size);

// Re-reads KESTRELLE_CODEPAGE (tests switch code pages within one process).
void ResetAnsiCodePage();

}  // namespace platform
