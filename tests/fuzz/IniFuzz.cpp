// The INI reader on any bytes as a file, and the writer on what it read.
//
// Invariants: every section and key the reader lists has a value; a read
// with a buffer is the value cut to the buffer; the file with CR LF turned
// into LF reads the same; a value written reads back as the writer's
// contract says (line breaks become blanks, outer blanks and matching quotes
// go) and every other key keeps its value; the parsed copy a read is served
// from agrees with a fresh parse of the file.
#include <QDir>
#include <map>

#include "FuzzSupport.h"
#include "platform/CodePage.h"
#include "platform/Files.h"
#include "platform/IniFile.h"

using namespace platform;

namespace {

using Snapshot = std::map<std::pair<QString, QString>, QString>;

// Every value the file holds, by lower-cased section and key.
Snapshot Read(const QString& file) {
    Snapshot values;
    for (const QString& section : IniSectionNames(file)) {
        for (const QString& key : IniKeyNames(file, section)) {
            const auto value = IniLookup(file, section, key);
            FUZZ_CHECK(value.has_value(), section + '/' + key);
            FUZZ_CHECK(IniRead(file, section, key, 255) == value->left(254), *value);
            FUZZ_CHECK(!value->contains(QChar(0)), *value);
            values.emplace(std::make_pair(section.toLower(), key.toLower()), *value);
        }
    }
    return values;
}

QString Describe(const Snapshot& s) {
    QString text;
    for (const auto& [name, value] : s)
        text += '[' + name.first + "] " + name.second + '=' + value + '\n';
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QString folder = fuzz::Init() + QStringLiteral("/ini");
    QDir().mkpath(folder);
    const QString file = folder + QStringLiteral("/fuzz.ini");
    const QString lfFile = folder + QStringLiteral("/fuzz-lf.ini");
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    // Files of one run may share a size and a clock tick with the last run's:
    // the parsed copies of the last run go first.
    IniClearCache();
    fuzz::WriteFile(file, bytes);
    QByteArray lf = bytes;
    fuzz::WriteFile(lfFile, lf.replace("\r\n", "\n"));

    const Snapshot before = Read(file);
    FUZZ_CHECK(Read(lfFile) == before, Describe(before));

    // One write into a section the file has (its first key, or a new key) and
    // one into a section it lacks; the value is the file's first line. The
    // first may be refused, when the reader would not read it back (a key
    // line that would turn into a section header): the file then stays.
    const QString text = FromAnsi(bytes);
    const qsizetype eol = text.indexOf('\n');
    const QString value = text.left(eol < 0 ? 200 : eol);
    const QStringList sections = IniSectionNames(file);
    QList<IniEntry> writes;
    if (!sections.isEmpty() && !sections.first().isEmpty()) {
        const QStringList keys = IniKeyNames(file, sections.first());
        writes.append(
            {sections.first(), keys.isEmpty() ? QStringLiteral("Value") : keys.first(), value});
    }
    writes.append({QStringLiteral("Fuzz written"), QStringLiteral("Value"), value});

    Snapshot after = before;
    for (const IniEntry& w : writes) {
        const QByteArray unchanged = ReadWholeFile(file);
        if (!IniWrite(file, w.section, w.key, w.value)) {
            FUZZ_CHECK(w.section != QLatin1String("Fuzz written"), w.value);
            FUZZ_CHECK(ReadWholeFile(file) == unchanged, w.section + '/' + w.key);
            continue;
        }
        const auto read = IniLookup(file, w.section, w.key);
        FUZZ_CHECK(read.has_value(), w.section + '/' + w.key);
        if (FromAnsi(ToAnsi(w.value)) == w.value)
            FUZZ_CHECK(*read == fuzz::ProfileValueAsRead(w.value),
                       *read + QStringLiteral(" != ") + fuzz::ProfileValueAsRead(w.value));
        after[std::make_pair(w.section.toLower(), w.key.toLower())] = *read;
    }
    const Snapshot cached = Read(file);
    FUZZ_CHECK(cached == after, Describe(cached) + "---\n" + Describe(after));
    IniClearCache();
    const Snapshot cold = Read(file);
    FUZZ_CHECK(cold == cached, Describe(cold) + "---\n" + Describe(cached));
    return 0;
}
