// Dictionary maintenance of the translation tools: new languages and
// resources, import of tab-separated texts, export for translators.
#include <QCoreApplication>
#include <QFile>
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
// out on its own, in the ANSI code page, ending in CR LF. A line that cannot
// be written is lost; the export goes on.
void AppendLine(const QString& file, const QString& line) {
    platform::AppendToFile(file, platform::ToAnsi(line + QStringLiteral("\r\n")));
}

// The languages an export of all languages leaves out.
bool SkippedInFullExport(const QString& code) {
    return code == QLatin1String("HY") || code == QLatin1String("SR") ||
           code == QLatin1String("BG");
}

}  // namespace

void ResManagerClass::CreateNewLanguage(const QString& code) {
    const QString file = DictionaryFile();
    for (const ResourceEntry& entry : std::vector<ResourceEntry>(resources_)) {
        WriteIniValue(entry.Name, code, Variant(kNotTranslated), file);
        // Long runs keep the window responsive; handlers may run between writes.
        QCoreApplication::processEvents();
    }
}

void ResManagerClass::ImportResources(const QString& file, const QString& code) {
    if (!FileExists(file))
        return;
    bool ok = false;
    const QByteArray bytes = platform::ReadWholeFile(file, &ok);
    if (!ok)
        return;
    const QString dictionary = DictionaryFile();
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
    for (const QString& line : platform::FromAnsi(bytes).split(lineEnd)) {
        const QStringList fields = line.split(QLatin1Char('\t'));
        // A line without a tab has no text field and cannot be used.
        if (fields.size() < 2 || rt::Trim(fields[1]).isEmpty())
            continue;
        const QString name = rt::Trim(fields[0]);
        if (name.isEmpty())
            continue;
        const QString stored = ReadIniValue(name, code, dictionary, 2048);
        if (fields[1] != stored)
            WriteIniValue(name, code, Variant(rt::Trim(fields[1])), dictionary);
    }
}

void ResManagerClass::AddNewResource(const QString& name) {
    const QString file = DictionaryFile();
    for (const LanguageEntry& language : std::vector<LanguageEntry>(languages_)) {
        const QString text = language.Abbreviation == QLatin1String("BG") ? GetDefaultResource(name)
                                                                          : kNotTranslated;
        WriteIniValue(name, language.Abbreviation, Variant(text), file);
    }
}

void ResManagerClass::ExportResources(bool onlyUntranslated, const QString& codeIn) {
    const QString code = rt::Trim(codeIn).left(2);
    const QString file = AddBackslash(platform::ProgramFolder()) + QStringLiteral("ExpDictionary") +
                         code + QStringLiteral(".txt");
    if (QFile::exists(file))
        QFile::remove(file);

    // One block of rows for a language; the trailer only after some row.
    auto block = [&](const QString& language) {
        int count = 0;
        for (int16_t j = 0; j < CountResources(); ++j) {
            const QString name = GetDictionaryKey(j);
            QString row = QString::number(j) + QLatin1Char('\t') + AlignText(name, 40, 1) +
                          QLatin1Char('\t') + ResString(name, QStringLiteral("BG")) +
                          QLatin1Char('\t');
            if (onlyUntranslated) {
                if (ResString(name, language).toUpper() != kNotTranslated)
                    continue;
            } else {
                row += ResString(name, language) + QLatin1Char('\t');
            }
            AppendLine(file, row);
            ++count;
        }
        if (count > 0) {
            AppendLine(file, kDashes + QStringLiteral(" Resources = ") + QString::number(count) +
                                 QLatin1Char(' ') + kDashes + QLatin1Char('\t'));
        }
    };

    if (!code.isEmpty()) {
        block(code);
        return;
    }
    for (const LanguageEntry& language : std::vector<LanguageEntry>(languages_)) {
        if (SkippedInFullExport(language.Abbreviation))
            continue;
        AppendLine(file, QStringLiteral("\r\n") + kDashes + QLatin1Char(' ') + language.Caption +
                             QLatin1Char(' ') + kDashes + QLatin1Char('\t'));
        block(language.Abbreviation);
    }
}
