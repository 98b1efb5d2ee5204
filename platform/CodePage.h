#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

namespace platform {

// The station's ANSI code page: CP1251 unless KESTRELLE_CODEPAGE names another
// ("1252", "CP1252", "UTF-8", any name iconv knows). Every file the program
// calls ANSI, every datagram and every message-server byte is in it.
QString AnsiCodePageName();

// Whether the station's code page gives every character one byte (a
// surrogate pair is one character) and every ASCII character its own byte,
// as the single-byte code pages do: the ANSI bytes of a text then break into
// lines, and start and end with blanks and quotes, where its characters do.
bool AnsiIsSingleByte();

// Text to ANSI bytes; a character the code page lacks becomes "?".
QByteArray ToAnsi(const QString& text);

// ToAnsi appending to out, for writers that put many texts into one buffer.
void AppendAnsi(QByteArray& out, QStringView text);

// ANSI bytes to text. In a single-byte code page a byte it does not define
// becomes a character that ToAnsi turns back into that byte (U+0080-U+009F or
// U+F7A0-U+F7FF); in a multi-byte one an invalid sequence becomes U+FFFD.
QString FromAnsi(const QByteArray& bytes);
QString FromAnsi(const char* data, qsizetype size);

// The ANSI code page of a font character set: "CP1252" for 0 (Western),
// "CP1250" for 238 (Central European), "CP1251" for 204 (Cyrillic) and so on;
// empty for a set that has none (1 default, 2 symbol, 255 OEM, ...), whose
// texts are in the station's code page.
QString CharsetCodePage(int charset);

// Text to and from a named code page, with the rules of ToAnsi and FromAnsi;
// an empty or unknown name is the station's code page.
QByteArray ToCodePage(const QString& text, const QString& codePage);
QString FromCodePage(const QByteArray& bytes, const QString& codePage);

// The characters of the text that the code page lacks (each once, in the
// order of their first occurrence): those ToCodePage would store as "?".
QString MissingCharacters(const QString& text, const QString& codePage);

// Re-reads KESTRELLE_CODEPAGE (tests switch code pages within one process).
void ResetAnsiCodePage();

}  // namespace platform
