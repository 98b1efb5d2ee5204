#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// INI files read and written with the semantics of the profile-string routines:
// section and key names compare without regard to case; the first of
// duplicate sections or keys wins; blanks around names and values are dropped
// and a value in matching quotes loses them; a missing file, section or key
// reads as empty text; LF, CR LF and CR all end a line. Files are in the ANSI
// code page: a character the code page lacks is written, read back and
// matched as "?", in this session as in the next. A line that a write does
// not change keeps its bytes, also those the code page cannot decode (a
// language's name kept in that language's code page in a UTF-8 file).
//
// Reads are served from a parsed copy that is checked against the file's
// identity (device, inode, size, modification and change times) on every
// call, so a value written a moment ago, by this process or another, is seen
// by the next read. Writes replace the file atomically.
namespace platform {

// The value, cut to bufferSize - 1 characters, NUL characters removed.
QString IniRead(const QString& file, const QString& section, const QString& key, int bufferSize);

// The value uncut, or nullopt when the file, section or key is missing.
std::optional<QString> IniLookup(const QString& file, const QString& section, const QString& key);

// Sets key = value in the section, creating the file, section or key as
// needed; line breaks inside the value become blanks so a value can never
// forge a section. False when the file cannot be written, or when a read
// would not give the write back (a name holding a line break or "=", a key
// line that would read as a section header); the old file stays.
bool IniWrite(const QString& file, const QString& section, const QString& key,
              const QString& value);

// Several writes applied in order and stored in one atomic replacement, so
// that either all of them or none reach the disk.
struct IniEntry {
    QString section;
    QString key;
    QString value;
};
bool IniWriteMany(const QString& file, const QList<IniEntry>& entries);

// A file whose values are in several code pages (the dictionary keeps each
// language's texts in the code page of that language) is read and written
// byte for byte: a value comes back as the bytes the file holds and is
// written as given, every other byte of the file staying as it was. Section
// and key names are in the station's code page. The rules above hold
// otherwise; line-break bytes inside a value become blanks.
std::optional<QByteArray> IniLookupBytes(const QString& file, const QString& section,
                                         const QString& key);
bool IniWriteBytes(const QString& file, const QString& section, const QString& key,
                   const QByteArray& value);

// Section names in file order (first occurrences), and a section's key names.
QStringList IniSectionNames(const QString& file);
QStringList IniKeyNames(const QString& file, const QString& section);

// Drops every parsed copy (tests measure cold reads with it).
void IniClearCache();

// How the profile routines read one line, for readers of files in their
// form: blanks and tabs dropped at both ends; "[name]" is the name between
// the first "[" (after blanks) and the last "]"; "key=value" splits at the
// first "=", a blank key is no key, and one pair of matching quotes around
// the value is taken off.
QStringView IniTrimBlanks(QStringView s);
bool IniSectionHeader(QStringView line, QStringView& name);
bool IniKeyAndValue(QStringView line, QStringView& key, QStringView& value);

}  // namespace platform
