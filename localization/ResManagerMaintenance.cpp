// Dictionary maintenance of the translation tools: new languages and
// resources, import of tab-separated texts, export for translators.
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

#include "core/ModCommon.h"
#include "localization/ResManagerClass.h"
#include "platform/CodePage.h"
#include "platform/Files.h"
#include "platform/Folders.h"
#include "platform/Runtime.h"

namespace {

const QString kNotTranslated = QStringLiteral("NOT TRANSLATED");
const QString kDashes = QStringLiteral("----------");

// The export is read by translators with plain text tools: every line goes
// out on its own, ending in CR LF, each text in its language's code page as
// the dictionary holds it. False when the line could not be written.
bool AppendLine(const QString& file, const QByteArray& line) {
    return platform::AppendToFile(file, line + "\r\n");
}

// The languages an export of all languages leaves out.
bool SkippedInFullExport(const QString& code) {
    return code == QLatin1String("HY") || code == QLatin1String("SR") ||
           code == QLatin1String("BG");
}

}  // namespace

bool ResManagerClass::CreateNewLanguage(const QString& code) {
    for (const ResourceEntry& entry : std::vector<ResourceEntry>(resources_)) {
        if (!WriteResString(entry.Name, code, kNotTranslated))
            return false;
    }
    return true;
}

bool ResManagerClass::ImportResources(const QString& file, const QString& code) {
    if (!FileExists(file))
        return true;
    bool ok = false;
    const QByteArray bytes = platform::ReadWholeFile(file, &ok);
    if (!ok)
        return true;
    // Names are in the station's code page, texts in the language's: the
    // line is split on its bytes (one character per byte) before either is
    // decoded.
    const int32_t charset = LanguageCharset(code);
    const QString codePage = platform::CharsetCodePage(charset);
    const QString dictionary = DictionaryFile();
    bool written = true;
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
    for (const QString& line : QString::fromLatin1(bytes).split(lineEnd)) {
        const QStringList fields = line.split(QLatin1Char('\t'));
        // A line without a tab has no text field and cannot be used.
        if (fields.size() < 2)
            continue;
        const QString text = platform::FromCodePage(fields[1].toLatin1(), codePage);
        if (rt::Trim(text).isEmpty())
            continue;
        const QString name = rt::Trim(platform::FromAnsi(fields[0].toLatin1()));
        if (name.isEmpty())
            continue;
        const QString stored = ReadDictionaryText(dictionary, name, code, charset, 2048);
        if (text != stored && !WriteResString(name, code, rt::Trim(text)))
            written = false;
    }
    return written;
}

bool ResManagerClass::AddNewResource(const QString& name) {
    bool written = true;
    for (const LanguageEntry& language : std::vector<LanguageEntry>(languages_)) {
        const QString text = language.Abbreviation == QLatin1String("BG") ? GetDefaultResource(name)
                                                                          : kNotTranslated;
        if (!WriteResString(name, language.Abbreviation, text))
            written = false;
    }
    return written;
}

QString ResManagerClass::ExportFile(const QString& code) {
    return AddBackslash(platform::ProgramFolder()) + QStringLiteral("ExpDictionary") +
           rt::Trim(code).left(2) + QStringLiteral(".txt");
}

bool ResManagerClass::ExportResources(bool onlyUntranslated, const QString& codeIn) {
    const QString code = rt::Trim(codeIn).left(2);
    const QString file = ExportFile(code);
    // An old export left in place would pass for this one.
    if (QFileInfo::exists(file) && !QFile::remove(file))
        return false;
    // The first line that cannot be written ends the export: the lines after
    // it would only make a file with a hole.
    bool written = true;
    auto append = [&](const QByteArray& line) {
        written = written && AppendLine(file, line);
        return written;
    };

    const QString bulgarian = QStringLiteral("BG");
    const QString bulgarianPage = platform::CharsetCodePage(LanguageCharset(bulgarian));
    // One block of rows for a language; the trailer only after some row.
    auto block = [&](const QString& language) {
        const QString page = platform::CharsetCodePage(LanguageCharset(language));
        int count = 0;
        for (int16_t j = 0; j < CountResources(); ++j) {
            const QString name = GetDictionaryKey(j);
            QByteArray row = platform::ToAnsi(QString::number(j) + QLatin1Char('\t') +
                                              AlignText(name, 40, 1) + QLatin1Char('\t')) +
                             platform::ToCodePage(ResString(name, bulgarian), bulgarianPage) + '\t';
            if (onlyUntranslated) {
                if (ResString(name, language).toUpper() != kNotTranslated)
                    continue;
            } else {
                row += platform::ToCodePage(ResString(name, language), page) + '\t';
            }
            if (!append(row))
                return;
            ++count;
        }
        if (count > 0) {
            append(platform::ToAnsi(kDashes + QStringLiteral(" Resources = ") +
                                    QString::number(count) + QLatin1Char(' ') + kDashes +
                                    QLatin1Char('\t')));
        }
    };

    if (!code.isEmpty()) {
        block(code);
        return written;
    }
    for (const LanguageEntry& language : std::vector<LanguageEntry>(languages_)) {
        if (SkippedInFullExport(language.Abbreviation))
            continue;
        // The language's name in its own code page, as its texts are.
        if (!append(platform::ToAnsi(QStringLiteral("\r\n") + kDashes + QLatin1Char(' ')) +
                    platform::ToCodePage(language.Caption,
                                         platform::CharsetCodePage(language.Charset)) +
                    platform::ToAnsi(QLatin1Char(' ') + kDashes + QLatin1Char('\t'))))
            break;
        block(language.Abbreviation);
        if (!written)
            break;
    }
    return written;
}
