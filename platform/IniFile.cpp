#include "platform/IniFile.h"

#include <algorithm>

#include <sys/stat.h>
#include <QFile>
#include <QHash>

#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/CodePage.h"
#include "platform/Files.h"
#include "platform/ProgramState.h"

namespace platform {

namespace {

// How a file's bytes become the text the parser works on: decoded from the
// station's code page, or one character per byte (U+0000..U+00FF), which
// keeps bytes of any code page as they are. A file is cached per coding.
enum class Coding { Ansi, Bytes };

QString DecodeText(const QByteArray& bytes, Coding coding) {
    return coding == Coding::Ansi ? FromAnsi(bytes) : QString::fromLatin1(bytes);
}

// The file's bytes: every line followed by CR LF. Encoded line by line into
// one buffer, as the file is rewritten whole on every write. A line that
// kept its original bytes (raw, not null) is written as it was read.
QByteArray EncodeLines(const QStringList& lines, const QList<QByteArray>& raw, Coding coding) {
    qsizetype size = 0;
    for (const QString& line : lines)
        size += line.size() + 2;
    QByteArray out;
    out.reserve(size);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i < raw.size() && !raw[i].isNull())
            out += raw[i];
        else if (coding == Coding::Ansi)
            AppendAnsi(out, lines[i]);
        else
            out += lines[i].toLatin1();
        out += "\r\n";
    }
    return out;
}

// Names in a byte-coded file: their bytes in the station's code page.
QString NameIn(const QString& name, Coding coding) {
    return coding == Coding::Ansi ? name : QString::fromLatin1(ToAnsi(name));
}

// The text as a file in the station's code page holds it: what the code page
// lacks becomes "?". Names and values pass through this before they are
// matched or stored, so that the parsed copy always equals a fresh parse.
QString AnsiForm(const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() >= 0x80)
            return FromAnsi(ToAnsi(text));
    }
    return text;
}

std::string CacheKey(const QByteArray& path, Coding coding) {
    // No path holds a NUL character.
    return coding == Coding::Ansi ? path.toStdString() : path.toStdString() + '\0' + "bytes";
}

struct Entry {
    QString value;
    int line = -1;
};

struct Section {
    QString name;
    int headerLine = -1;
    int lastContentLine = -1;    // the last non-blank line that belongs to the section
    QHash<QString, Entry> keys;  // lower-cased name -> first occurrence
    QStringList keyOrder;        // names as written, first occurrences
};

struct Document {
    QStringList lines;
    // Per line, the bytes it was read from when its text does not give them
    // back (a multi-byte code page such as UTF-8 decodes bytes of another
    // code page to U+FFFD): such a line, untouched, is written as it was
    // read, so that a write of one key never changes another key's bytes.
    // A null entry (and every line past the end) is encoded from its text.
    QList<QByteArray> raw;
    std::vector<Section> sections;
    QHash<QString, int> sectionIndex;  // lower-cased name -> first occurrence
};

struct Identity {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = -1;
    timespec mtime{};
    timespec ctime{};
    bool operator==(const Identity& o) const {
        return dev == o.dev && ino == o.ino && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
               mtime.tv_nsec == o.mtime.tv_nsec && ctime.tv_sec == o.ctime.tv_sec &&
               ctime.tv_nsec == o.ctime.tv_nsec;
    }
};

bool StatFile(const QByteArray& path, Identity& id) {
    struct stat st {};
    if (::stat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    id.dev = st.st_dev;
    id.ino = st.st_ino;
    id.size = st.st_size;
    id.mtime = st.st_mtim;
    id.ctime = st.st_ctim;
    return true;
}

bool IsBlank(QChar c) {
    return c == ' ' || c == '\t';
}

QString TrimBlanks(QStringView s) {
    return IniTrimBlanks(s).toString();
}

QStringView Unquote(QStringView v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.mid(1, v.size() - 2);
    return v;
}

bool ParseHeader(const QString& line, QString& name) {
    QStringView view;
    if (!IniSectionHeader(line, view))
        return false;
    name = view.toString();
    return true;
}

bool ParseKey(const QString& line, QString& key, QString& value) {
    QStringView keyView, valueView;
    if (!IniKeyAndValue(line, keyView, valueView))
        return false;
    key = keyView.toString();
    value = valueView.toString();
    return true;
}

void Index(Document& doc) {
    doc.sections.clear();
    doc.sectionIndex.clear();
    Section* current = nullptr;
    for (int i = 0; i < doc.lines.size(); ++i) {
        const QString& line = doc.lines[i];
        QString name;
        if (ParseHeader(line, name)) {
            doc.sections.push_back(Section{name, i, i, {}, {}});
            current = &doc.sections.back();
            continue;
        }
        if (!current)
            continue;
        if (!TrimBlanks(line).isEmpty())
            current->lastContentLine = i;
        QString key, value;
        if (ParseKey(line, key, value)) {
            const QString lower = key.toLower();
            if (!current->keys.contains(lower)) {
                current->keys.insert(lower, Entry{value, i});
                current->keyOrder.append(key);
            }
        }
    }
    // Keep the first occurrence of duplicate section names.
    for (int s = int(doc.sections.size()) - 1; s >= 0; --s)
        doc.sectionIndex.insert(doc.sections[s].name.toLower(), s);
}

// The file's lines as bytes, split where the decoded text splits them: at CR,
// LF and CR LF, which no code page the station uses has inside a character.
QList<QByteArray> ByteLines(const QByteArray& bytes) {
    QList<QByteArray> lines;
    qsizetype start = 0;
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            lines.append(bytes.mid(start, i - start));
            if (c == '\r' && i + 1 < n && bytes[i + 1] == '\n')
                ++i;
            start = i + 1;
        }
    }
    if (start < n)
        lines.append(bytes.mid(start));
    return lines;
}

std::shared_ptr<Document> Parse(const QByteArray& bytes, Coding coding) {
    auto doc = std::make_shared<Document>();
    const QString text = DecodeText(bytes, coding);
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c == '\r' || c == '\n') {
            QString line = text.mid(start, i - start);
            line.remove(QChar(0));
            doc->lines.append(line);
            if (c == '\r' && i + 1 < n && text[i + 1] == '\n')
                ++i;
            start = i + 1;
        }
    }
    if (start < n) {
        QString line = text.mid(start);
        line.remove(QChar(0));
        doc->lines.append(line);
    }
    if (coding == Coding::Ansi && text.contains(QChar(0xFFFD))) {
        const QList<QByteArray> lines = ByteLines(bytes);
        if (lines.size() == doc->lines.size()) {
            doc->raw.resize(lines.size());
            for (qsizetype i = 0; i < lines.size(); ++i) {
                if (doc->lines[i].contains(QChar(0xFFFD)))
                    doc->raw[i] = lines[i];
            }
        }
    }
    Index(*doc);
    return doc;
}

struct CacheSlot {
    Identity id;
    std::shared_ptr<Document> doc;
};

std::mutex gMutex;
std::unordered_map<std::string, CacheSlot> gCache;

// The parsed file, or nullptr when it does not exist or cannot be read.
std::shared_ptr<Document> Load(const QString& file, Coding coding = Coding::Ansi) {
    const QByteArray path = QFile::encodeName(file);
    const std::string cacheKey = CacheKey(path, coding);
    Identity id;
    if (!StatFile(path, id)) {
        std::lock_guard lock(gMutex);
        gCache.erase(cacheKey);
        return nullptr;
    }
    {
        std::lock_guard lock(gMutex);
        const auto it = gCache.find(cacheKey);
        if (it != gCache.end() && it->second.id == id)
            return it->second.doc;
    }
    bool ok = false;
    const QByteArray bytes = ReadWholeFile(file, &ok);
    if (!ok)
        return nullptr;
    auto doc = Parse(bytes, coding);
    // The file may have changed while it was read; the identity taken after
    // the read is the one that matches the parsed text only if both agree.
    Identity after;
    if (StatFile(path, after) && after == id) {
        std::lock_guard lock(gMutex);
        gCache[cacheKey] = CacheSlot{id, doc};
    }
    return doc;
}

const Entry* Find(const Document& doc, const QString& section, const QString& key) {
    const auto s = doc.sectionIndex.constFind(TrimBlanks(section).toLower());
    if (s == doc.sectionIndex.constEnd())
        return nullptr;
    const Section& sec = doc.sections[size_t(*s)];
    const auto k = sec.keys.constFind(TrimBlanks(key).toLower());
    return k == sec.keys.constEnd() ? nullptr : &*k;
}

}  // namespace

std::optional<QString> IniLookup(const QString& file, const QString& section, const QString& key) {
    const auto doc = Load(file);
    if (!doc)
        return std::nullopt;
    const Entry* e = Find(*doc, AnsiForm(section), AnsiForm(key));
    if (!e)
        return std::nullopt;
    return e->value;
}

QString IniRead(const QString& file, const QString& section, const QString& key, int bufferSize) {
    if (bufferSize <= 1)
        return QString();
    const auto value = IniLookup(file, section, key);
    if (!value)
        return QString();
    return value->left(bufferSize - 1);
}

namespace {

bool HasLineBreakOrNul(const QString& name) {
    return name.contains('\r') || name.contains('\n') || name.contains(QChar(0));
}

// Whether a parse reads the line as the key (in any letter case) and not as
// a section header.
bool ReadsAsKey(const QString& line, const QString& key) {
    QString header, name, value;
    return !ParseHeader(line, header) && ParseKey(line, name, value) &&
           name.compare(key, Qt::CaseInsensitive) == 0;
}

// Applies one key = value to the document's lines and re-indexes it. A write
// that a parse of the file would not read back as written (a name holding a
// line break or "=", a key line that would read as a section header) is
// refused.
bool ApplyWrite(Document& doc, const QString& section, const QString& key, const QString& value) {
    const QString sectionName = TrimBlanks(section);
    const QString keyName = TrimBlanks(key);
    if (sectionName.isEmpty() || keyName.isEmpty() || HasLineBreakOrNul(sectionName) ||
        HasLineBreakOrNul(keyName))
        return false;
    QString clean = value;
    clean.replace(QLatin1String("\r\n"), QLatin1String(" "));
    clean.replace('\r', ' ').replace('\n', ' ').remove(QChar(0));

    // The value as a later parse of the line will read it.
    const QString parsed = Unquote(IniTrimBlanks(clean)).toString();
    const QString lowerKey = keyName.toLower();
    if (!ReadsAsKey(keyName + '=' + clean, keyName))
        return false;
    const auto s = doc.sectionIndex.constFind(sectionName.toLower());
    if (s == doc.sectionIndex.constEnd()) {
        // Drop trailing empty lines so that the new section follows the content.
        while (!doc.lines.isEmpty() && TrimBlanks(doc.lines.back()).isEmpty())
            doc.lines.removeLast();
        if (doc.raw.size() > doc.lines.size())
            doc.raw.resize(doc.lines.size());
        // Appended at the end: the index grows by the new section alone.
        doc.lines.append('[' + sectionName + ']');
        doc.lines.append(keyName + '=' + clean);
        const int header = int(doc.lines.size()) - 2;
        Section added{sectionName, header, header + 1, {}, {keyName}};
        added.keys.insert(lowerKey, Entry{parsed, header + 1});
        doc.sections.push_back(std::move(added));
        doc.sectionIndex.insert(sectionName.toLower(), int(doc.sections.size()) - 1);
        return true;
    }
    Section& sec = doc.sections[size_t(*s)];
    const auto k = sec.keys.constFind(lowerKey);
    if (k != sec.keys.constEnd()) {
        // In place: no line moves, so only this entry's value changes.
        QString written;
        QString ignored;
        ParseKey(doc.lines[k->line], written, ignored);
        if (!ReadsAsKey(written + '=' + clean, keyName))
            return false;
        doc.lines[k->line] = written + '=' + clean;
        if (k->line < doc.raw.size())
            doc.raw[k->line] = QByteArray();
        sec.keys[lowerKey].value = parsed;
        return true;
    }
    if (sec.lastContentLine + 1 == doc.lines.size()) {
        // A new key at the very end of the file: no other line moves.
        doc.lines.append(keyName + '=' + clean);
        sec.lastContentLine = int(doc.lines.size()) - 1;
        sec.keys.insert(lowerKey, Entry{parsed, sec.lastContentLine});
        sec.keyOrder.append(keyName);
        return true;
    }
    doc.lines.insert(sec.lastContentLine + 1, keyName + '=' + clean);
    if (doc.raw.size() > sec.lastContentLine + 1)
        doc.raw.insert(sec.lastContentLine + 1, QByteArray());
    Index(doc);
    return true;
}

}  // namespace

namespace {

bool WriteEntries(const QString& file, const QList<IniEntry>& entries, Coding coding) {
    const auto existing = Load(file, coding);
    if (!existing && QFile::exists(file))
        return false;  // there but unreadable: never clobber it
    auto doc = std::make_shared<Document>();
    if (existing) {
        doc->lines = existing->lines;
        doc->raw = existing->raw;
        doc->sections = existing->sections;
        doc->sectionIndex = existing->sectionIndex;
    }
    for (const IniEntry& e : entries) {
        const bool applied = coding == Coding::Ansi ? ApplyWrite(*doc, AnsiForm(e.section),
                                                                 AnsiForm(e.key), AnsiForm(e.value))
                                                    : ApplyWrite(*doc, e.section, e.key, e.value);
        if (!applied)
            return false;
    }

    const QByteArray bytes = EncodeLines(doc->lines, doc->raw, coding);
    if (!WriteFileAtomically(file, bytes))
        return false;
    // Lines kept from the old file may hold bytes the code page does not
    // define; they do not come back as they were read.
    const bool undefined = std::any_of(doc->lines.cbegin(), doc->lines.cend(),
                                       [](const QString& l) { return l.contains(QChar(0xFFFD)); });
    if (undefined) {
        const QString text = doc->lines.join(QLatin1String("\r\n")) + QLatin1String("\r\n");
        if (DecodeText(bytes, coding) != text)
            doc = Parse(bytes, coding);
    }

    // Serve the next read from what was just written.
    Identity id;
    const QByteArray path = QFile::encodeName(file);
    if (StatFile(path, id)) {
        std::lock_guard lock(gMutex);
        gCache[CacheKey(path, coding)] = CacheSlot{id, doc};
    }
    return true;
}

}  // namespace

bool IniWriteMany(const QString& file, const QList<IniEntry>& entries) {
    return WriteEntries(file, entries, Coding::Ansi);
}

std::optional<QByteArray> IniLookupBytes(const QString& file, const QString& section,
                                         const QString& key) {
    const auto doc = Load(file, Coding::Bytes);
    if (!doc)
        return std::nullopt;
    const Entry* e = Find(*doc, NameIn(section, Coding::Bytes), NameIn(key, Coding::Bytes));
    if (!e)
        return std::nullopt;
    return e->value.toLatin1();
}

bool IniWriteBytes(const QString& file, const QString& section, const QString& key,
                   const QByteArray& value) {
    return WriteEntries(file,
                        {IniEntry{NameIn(section, Coding::Bytes), NameIn(key, Coding::Bytes),
                                  QString::fromLatin1(value)}},
                        Coding::Bytes);
}

bool IniWrite(const QString& file, const QString& section, const QString& key,
              const QString& value) {
    return IniWriteMany(file, {IniEntry{section, key, value}});
}

QStringList IniSectionNames(const QString& file) {
    QStringList names;
    const auto doc = Load(file);
    if (!doc)
        return names;
    for (size_t i = 0; i < doc->sections.size(); ++i) {
        if (doc->sectionIndex.value(doc->sections[i].name.toLower()) == int(i))
            names.append(doc->sections[i].name);
    }
    return names;
}

QStringList IniKeyNames(const QString& file, const QString& section) {
    const auto doc = Load(file);
    if (!doc)
        return {};
    const auto s = doc->sectionIndex.constFind(AnsiForm(TrimBlanks(section)).toLower());
    if (s == doc->sectionIndex.constEnd())
        return {};
    return doc->sections[size_t(*s)].keyOrder;
}

void IniClearCache() {
    std::lock_guard lock(gMutex);
    gCache.clear();
}

namespace {
// A fresh start has read no file yet.
[[maybe_unused]] const bool kCacheResetRegistered = RegisterStateReset(&IniClearCache);
}  // namespace

QStringView IniTrimBlanks(QStringView s) {
    qsizetype b = 0, e = s.size();
    while (b < e && IsBlank(s[b]))
        ++b;
    while (e > b && IsBlank(s[e - 1]))
        --e;
    return s.mid(b, e - b);
}

bool IniSectionHeader(QStringView line, QStringView& name) {
    qsizetype b = 0;
    while (b < line.size() && IsBlank(line[b]))
        ++b;
    if (b >= line.size() || line[b] != '[')
        return false;
    const qsizetype close = line.lastIndexOf(u']');
    if (close <= b)
        return false;
    name = IniTrimBlanks(line.mid(b + 1, close - b - 1));
    return true;
}

bool IniKeyAndValue(QStringView line, QStringView& key, QStringView& value) {
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 0)
        return false;
    key = IniTrimBlanks(line.left(eq));
    if (key.isEmpty())
        return false;
    value = Unquote(IniTrimBlanks(line.mid(eq + 1)));
    return true;
}

}  // namespace platform
