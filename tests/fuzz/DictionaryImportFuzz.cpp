// The translation editor's import of tab-separated texts into the
// dictionary. The first piece of the input is the dictionary as it stands,
// any bytes; the second the import file (without a second piece, the first is
// the import file and the dictionary is new). The language imported into
// follows from the dictionary's bytes, so that its code page varies.
//
// Invariants: the import ends and answers True unless a name holds NUL;
// then each resource the file names (name before the first TAB, in the
// station's code page; text after it, in the language's) reads back with the
// last text the file gives it, as the dictionary's profile rules read a
// written text (outer blanks and tabs, and one pair of matching quotes, go;
// at most 2047 characters); the other languages' texts of those resources
// stay as they were.
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <map>

#include "FuzzSupport.h"
#include "localization/ResManagerClass.h"
#include "platform/CodePage.h"
#include "platform/IniFile.h"
#include "platform/Runtime.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QString folder = fuzz::Init() + QStringLiteral("/dictionary");
    static ResManagerClass* manager = new ResManagerClass;
    QDir().mkpath(folder);
    const QString dictionary = folder + QStringLiteral("/Dictionary_Kestrelle.lng");
    const QString importFile = folder + QStringLiteral("/import.txt");
    const QList<QByteArray> pieces = fuzz::Pieces(data, size);
    const QByteArray existing = pieces.size() > 1 ? pieces[0] : QByteArray();
    const QByteArray imported = pieces.size() > 1 ? pieces[1] : pieces[0];
    QFile::remove(dictionary);
    QDir(folder + QStringLiteral("/Related Documents")).removeRecursively();
    if (pieces.size() > 1)
        fuzz::WriteFile(dictionary, existing);
    fuzz::WriteFile(importFile, imported);
    // Without a dictionary at the path the manager looks in the folder's
    // "Related Documents", where the import then creates it.
    manager->SetDictionaryFile(dictionary);
    const QString path = manager->DictionaryFile();

    static const QStringList codes = QString::fromLatin1(kDefaultLanguageList).split(',');
    int sum = 0;
    for (char c : existing)
        sum += uchar(c);
    const QString code = codes[sum % codes.size()];
    const QString other = code == QLatin1String("BG") ? QStringLiteral("EN") : QStringLiteral("BG");
    const int32_t charset = manager->LanguageCharset(code);
    const QString codePage = platform::CharsetCodePage(charset);

    // The file's resources: the last text of each name. Names that differ
    // only in letter case are one resource to the station's code page but
    // may be two to the dictionary's byte-wise rules: they are not checked.
    struct Expected {
        QString name;
        QString text;
        bool ambiguous = false;
        QString otherBefore;
    };
    std::map<QString, Expected> expected;
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
    for (const QString& line : QString::fromLatin1(imported).split(lineEnd)) {
        const QStringList fields = line.split(QLatin1Char('\t'));
        if (fields.size() < 2)
            continue;
        const QString text = platform::FromCodePage(fields[1].toLatin1(), codePage);
        const QString name = rt::Trim(platform::FromAnsi(fields[0].toLatin1()));
        if (rt::Trim(text).isEmpty() || name.isEmpty())
            continue;
        Expected& e = expected[name.toLower()];
        e.ambiguous = e.ambiguous || (!e.name.isEmpty() && e.name != name);
        e.name = name;
        // What the language's code page can hold of it, as the dictionary
        // reads it back.
        e.text =
            fuzz::ProfileValueAsRead(
                platform::FromCodePage(platform::ToCodePage(rt::Trim(text), codePage), codePage))
                .left(2047);
    }
    for (auto& [lower, e] : expected)
        e.otherBefore = ReadDictionaryText(path, e.name, other, 204, 2048);

    // Only a name holding NUL cannot be stored: a read would not find it.
    bool storable = true;
    for (const auto& [lower, e] : expected)
        storable = storable && !e.name.contains(QChar(0));
    FUZZ_CHECK(manager->ImportResources(importFile, code) || !storable, code);
    for (const auto& [lower, e] : expected) {
        if (e.ambiguous || e.name.contains(QChar(0)))
            continue;
        const QString detail = e.name + '/' + code;
        const QString read = ReadDictionaryText(path, e.name, code, charset, 2048);
        FUZZ_CHECK(read == e.text, detail + ": " + read + " != " + e.text);
        FUZZ_CHECK(ReadDictionaryText(path, e.name, other, 204, 2048) == e.otherBefore, detail);
    }
    return 0;
}
