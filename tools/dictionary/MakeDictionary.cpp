// kestrelle_make_dictionary SOURCE OUTPUT
//
// Writes the station's dictionary from its source: the source is an INI file
// in UTF-8 (one section per resource name, one key per language code, lines
// beginning with ";" are notes); the dictionary keeps each text in the ANSI
// code page of its language's character set, as the station reads it. A
// language whose character set has no code page of its own (EN, US) is read
// in the station's code page, whichever that is: its texts must be ASCII.
// A section with an EN text and none for US gets the EN text for US.
//
// The output is the same for the same source: sections in source order, keys
// in source order with the US text after the others, a blank line after each
// section, CR LF line ends. Anything the station would read otherwise than
// written (a letter the code page lacks, a duplicate section or key, a key
// outside a section, a blank value) stops the tool with the source line, and
// no output is written.
#include <QByteArray>
#include <QFile>
#include <QSaveFile>
#include <QSet>
#include <QString>
#include <QStringDecoder>
#include <QStringList>
#include <cstdio>
#include <optional>

#include "localization/ResManagerClass.h"
#include "platform/CodePage.h"

namespace {

struct Text {
    QString Language;
    QString Value;
    int Line = 0;
};

struct Section {
    QString Name;
    QList<Text> Texts;
};

QString g_source;

[[noreturn]] void Fail(int line, const QString& message) {
    std::fprintf(stderr, "%s:%d: %s\n", qPrintable(g_source), line, qPrintable(message));
    std::exit(1);
}

bool IsAscii(const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}

bool IsLanguageCode(const QString& key) {
    return key.size() == 2 && key[0] >= 'A' && key[0] <= 'Z' && key[1] >= 'A' && key[1] <= 'Z';
}

// The text's bytes as the station reads them for that language.
QByteArray Encode(const Text& text, const QString& section) {
    const QString page =
        platform::CharsetCodePage(ResManagerClass::GetCharsetDefault(text.Language));
    if (page.isEmpty()) {
        if (!IsAscii(text.Value))
            Fail(text.Line, QStringLiteral("[%1] %2: the station's code page may lack these "
                                           "letters; write ASCII")
                                .arg(section, text.Language));
        return text.Value.toLatin1();
    }
    const QString missing = platform::MissingCharacters(text.Value, page);
    if (!missing.isEmpty())
        Fail(text.Line,
             QStringLiteral("[%1] %2: %3 lacks \"%4\"").arg(section, text.Language, page, missing));
    return platform::ToCodePage(text.Value, page);
}

QList<Section> Parse(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString content = utf8.decode(bytes);
    if (utf8.hasError())
        Fail(0, QStringLiteral("not UTF-8"));
    QList<Section> sections;
    QSet<QString> sectionNames;
    const QStringList lines = content.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const int number = i + 1;
        QString line = lines[i];
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char(';')))
            continue;
        if (trimmed.startsWith(QLatin1Char('[')) && trimmed.endsWith(QLatin1Char(']'))) {
            const QString name = trimmed.mid(1, trimmed.size() - 2).trimmed();
            if (name.isEmpty() || !IsAscii(name))
                Fail(number, QStringLiteral("a section name must be ASCII and not empty"));
            // Names compare without case in the station's reader.
            if (sectionNames.contains(name.toLower()))
                Fail(number, QStringLiteral("[%1] comes twice").arg(name));
            sectionNames.insert(name.toLower());
            sections.append(Section{name, {}});
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            Fail(number, QStringLiteral("neither a section, a text nor a note"));
        if (sections.isEmpty())
            Fail(number, QStringLiteral("a text before the first section"));
        Section& section = sections.last();
        const QString key = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1).trimmed();
        if (!IsLanguageCode(key))
            Fail(number, QStringLiteral("\"%1\" is no language code").arg(key));
        if (value.isEmpty())
            Fail(number, QStringLiteral("[%1] %2 is blank").arg(section.Name, key));
        for (const Text& t : section.Texts) {
            if (t.Language == key)
                Fail(number, QStringLiteral("[%1] %2 comes twice").arg(section.Name, key));
        }
        section.Texts.append(Text{key, value, number});
    }
    return sections;
}

QByteArray Write(const QList<Section>& sections) {
    QByteArray out;
    for (const Section& section : sections) {
        out += '[' + section.Name.toLatin1() + "]\r\n";
        std::optional<Text> english;
        bool american = false;
        for (const Text& text : section.Texts) {
            out += text.Language.toLatin1() + '=' + Encode(text, section.Name) + "\r\n";
            if (text.Language == QLatin1String("EN"))
                english = text;
            american = american || text.Language == QLatin1String("US");
        }
        if (english && !american) {
            Text us = *english;
            us.Language = QStringLiteral("US");
            out += "US=" + Encode(us, section.Name) + "\r\n";
        }
        out += "\r\n";
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: kestrelle_make_dictionary SOURCE OUTPUT\n", stderr);
        return 2;
    }
    g_source = QString::fromLocal8Bit(argv[1]);
    QFile source(g_source);
    if (!source.open(QIODevice::ReadOnly))
        Fail(0, source.errorString());
    const QByteArray dictionary = Write(Parse(source.readAll()));

    QSaveFile output(QString::fromLocal8Bit(argv[2]));
    if (!output.open(QIODevice::WriteOnly) || output.write(dictionary) != dictionary.size() ||
        !output.commit()) {
        std::fprintf(stderr, "%s: %s\n", argv[2], qPrintable(output.errorString()));
        return 1;
    }
    return 0;
}
