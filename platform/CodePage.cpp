#include "platform/CodePage.h"

#include <errno.h>
#include <iconv.h>
#include <QHash>
#include <QSet>

#include <array>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/ProgramState.h"

namespace platform {

namespace {

QString CodePageFromEnvironment() {
    QString name = QString::fromLocal8Bit(qgetenv("KESTRELLE_CODEPAGE")).trimmed();
    if (name.isEmpty())
        return QStringLiteral("CP1251");
    bool digits = false;
    name.toInt(&digits);
    return digits ? "CP" + name : name.toUpper();
}

// A byte the code page leaves undefined still stands for itself, so that text
// read from a file or a socket is written back with the bytes that came: it
// becomes the control character of the same number (0x80-0x9F) or a character
// of the private use area, neither of which any of these code pages defines.
char16_t UndefinedByte(uchar b) {
    return b < 0xA0 ? char16_t(b) : char16_t(0xF700 + b);
}

// A single-byte code page is converted through a 256-entry table built once
// with iconv; multi-byte code pages, and those whose decoder holds a letter
// back for a combining mark that may follow (Vietnamese, Hebrew), go through
// iconv on every call.
struct CodePage {
    QString name;
    bool known = false;
    bool singleByte = false;
    bool asciiSame = false;  // single-byte, and bytes below 0x80 are ASCII
    std::array<char16_t, 256> toUnicode{};
    // Single-byte: the byte of every character, one entry per UTF-16 unit,
    // so that a text of any script is converted at a table look-up per
    // character; 0 where the code page has none, except for the character
    // that byte 0 stands for.
    std::vector<uint8_t> fromUnicode;

    explicit CodePage(QString n) : name(std::move(n)) {
        iconv_t cd = iconv_open("UTF-16LE", name.toLatin1().constData());
        if (cd == iconv_t(-1))
            return;
        known = true;
        singleByte = true;
        for (int b = 0; b < 256; ++b) {
            char in = char(b);
            char16_t out[4] = {};
            char* inp = &in;
            size_t inLeft = 1;
            char* outp = reinterpret_cast<char*>(out);
            size_t outLeft = sizeof(out);
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            const size_t r = iconv(cd, &inp, &inLeft, &outp, &outLeft);
            if ((r == size_t(-1) && errno == EINVAL) ||
                (r != size_t(-1) && outLeft == sizeof(out))) {
                singleByte = false;  // a lead byte, or a letter held back
                break;
            }
            const bool ok = r != size_t(-1) && outLeft == sizeof(out) - 2;
            toUnicode[b] = ok ? out[0] : UndefinedByte(uchar(b));
        }
        iconv_close(cd);
        if (singleByte) {
            asciiSame = true;
            for (int b = 0; b < 0x80; ++b)
                asciiSame = asciiSame && toUnicode[b] == b;
            // The lowest byte of a character that several bytes stand for.
            fromUnicode.assign(size_t(1) << 16, 0);
            for (int b = 255; b >= 0; --b)
                fromUnicode[toUnicode[b]] = uint8_t(b);
        }
    }
};

std::mutex gMutex;
// The station's code page is read at every conversion (each datagram, each
// line of a file), so it is taken without the lock once made. A reset (tests
// only) makes a new one and keeps the old alive, so that a conversion still
// running on another thread is never left with a freed table.
std::atomic<const CodePage*> gCodePage{nullptr};
std::vector<std::shared_ptr<const CodePage>> gMade;
QHash<QString, std::shared_ptr<const CodePage>> gNamed;

const CodePage& Current() {
    if (const CodePage* cp = gCodePage.load(std::memory_order_acquire))
        return *cp;
    std::lock_guard lock(gMutex);
    if (const CodePage* cp = gCodePage.load(std::memory_order_relaxed))
        return *cp;
    auto cp = std::make_shared<const CodePage>(CodePageFromEnvironment());
    // An unknown name falls back to the default rather than failing.
    if (!cp->known)
        cp = std::make_shared<const CodePage>(QStringLiteral("CP1251"));
    gMade.push_back(cp);
    gCodePage.store(cp.get(), std::memory_order_release);
    return *cp;
}

// Named code pages stay made for the run.
const CodePage& Named(const QString& name) {
    if (name.isEmpty())
        return Current();
    std::shared_ptr<const CodePage> cp;
    {
        std::lock_guard lock(gMutex);
        cp = gNamed.value(name);
        if (!cp) {
            cp = std::make_shared<const CodePage>(name);
            gNamed.insert(name, cp);
        }
    }
    return cp->known ? *cp : Current();
}

// Streams through iconv, replacing what cannot be converted.
QByteArray IconvConvert(const QByteArray& in, const char* to, const char* from,
                        const QByteArray& replacement, int unitSize) {
    iconv_t cd = iconv_open(to, from);
    if (cd == iconv_t(-1))
        return QByteArray();
    QByteArray out;
    out.reserve(in.size() * 2 + 16);
    char buffer[4096];
    // Emits what the converter holds back (a letter waiting for a combining
    // mark) before its state is reset or the input ends.
    auto flush = [&] {
        char* outp = buffer;
        size_t outLeft = sizeof(buffer);
        iconv(cd, nullptr, nullptr, &outp, &outLeft);
        out.append(buffer, qsizetype(sizeof(buffer) - outLeft));
    };
    char* inp = const_cast<char*>(in.constData());
    size_t inLeft = size_t(in.size());
    while (inLeft > 0) {
        char* outp = buffer;
        size_t outLeft = sizeof(buffer);
        const size_t r = iconv(cd, &inp, &inLeft, &outp, &outLeft);
        out.append(buffer, qsizetype(sizeof(buffer) - outLeft));
        if (r == size_t(-1)) {
            if (errno == E2BIG)
                continue;
            // Invalid or incomplete input: replace one unit and go on.
            flush();
            out.append(replacement);
            const size_t skip = std::min<size_t>(size_t(unitSize), inLeft);
            inp += skip;
            inLeft -= skip;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    flush();
    iconv_close(cd);
    return out;
}

// Four words of eight bytes at a time: a datagram of a few hundred bytes is
// looked at in a few steps.
bool IsAscii(const char* data, qsizetype size) {
    uint64_t any = 0;
    qsizetype i = 0;
    for (; i + 32 <= size; i += 32) {
        uint64_t words[4];
        std::memcpy(words, data + i, sizeof words);
        any |= words[0] | words[1] | words[2] | words[3];
    }
    for (; i + 8 <= size; i += 8) {
        uint64_t word;
        std::memcpy(&word, data + i, sizeof word);
        any |= word;
    }
    for (; i < size; ++i)
        any |= uchar(data[i]);
    return (any & 0x8080808080808080ull) == 0;
}

QString Decode(const CodePage& cp, const char* data, qsizetype size) {
    // Texts of digits and Latin letters (terminal names, numbers) are common
    // enough for a path of their own.
    if (cp.asciiSame && IsAscii(data, size))
        return QString::fromLatin1(data, size);
    if (cp.singleByte) {
        QString out(size, Qt::Uninitialized);
        QChar* o = out.data();
        for (qsizetype i = 0; i < size; ++i)
            o[i] = QChar(cp.toUnicode[uchar(data[i])]);
        return out;
    }
    const QByteArray utf16 =
        IconvConvert(QByteArray::fromRawData(data, size), "UTF-16LE",
                     cp.name.toLatin1().constData(), QByteArray("\xFD\xFF", 2), 1);
    return QString(reinterpret_cast<const QChar*>(utf16.constData()), utf16.size() / 2);
}

// Appends the text's bytes to out.
void EncodeInto(const CodePage& cp, QStringView text, QByteArray& out) {
    if (cp.singleByte) {
        // One byte per character at most: written in place, cut to size.
        qsizetype n = out.size();
        out.resize(n + text.size());
        char* o = out.data();
        const char16_t* in = text.utf16();
        const qsizetype size = text.size();
        for (qsizetype i = 0; i < size; ++i) {
            // Runs of ASCII, four characters at a time, where ASCII is the
            // code page's own.
            if (cp.asciiSame) {
                uint64_t four = 0;
                while (i + 4 <= size && (std::memcpy(&four, in + i, sizeof four),
                                         (four & 0xFF80FF80FF80FF80ull) == 0)) {
                    o[n] = char(four);
                    o[n + 1] = char(four >> 16);
                    o[n + 2] = char(four >> 32);
                    o[n + 3] = char(four >> 48);
                    n += 4;
                    i += 4;
                }
                if (i == size)
                    break;
            }
            const char16_t u = in[i];
            if (u < 0x80 && cp.toUnicode[u] == u) {
                o[n++] = char(u);
                continue;
            }
            // A surrogate pair is one character, and one "?".
            if (QChar::isHighSurrogate(u) && i + 1 < size && QChar::isLowSurrogate(in[i + 1]))
                ++i;
            const uint8_t byte = cp.fromUnicode[u];
            o[n++] = byte != 0 || u == cp.toUnicode[0] ? char(byte) : '?';
        }
        out.truncate(n);
        return;
    }
    const QByteArray utf16(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    out += IconvConvert(utf16, cp.name.toLatin1().constData(), "UTF-16LE", QByteArray("?"), 2);
}

QByteArray Encode(const CodePage& cp, QStringView text) {
    QByteArray out;
    EncodeInto(cp, text, out);
    return out;
}

}  // namespace

QString AnsiCodePageName() {
    return Current().name;
}

bool AnsiIsSingleByte() {
    return Current().asciiSame;
}

void ResetAnsiCodePage() {
    std::lock_guard lock(gMutex);
    gCodePage.store(nullptr, std::memory_order_release);
}

namespace {
// The station's code page is looked up again; the named ones are constant
// tables and stay.
[[maybe_unused]] const bool kCodePageResetRegistered = RegisterStateReset(&ResetAnsiCodePage);
}  // namespace

QString FromAnsi(const char* data, qsizetype size) {
    return Decode(Current(), data, size);
}

QString FromAnsi(const QByteArray& bytes) {
    return FromAnsi(bytes.constData(), bytes.size());
}

QByteArray ToAnsi(const QString& text) {
    return Encode(Current(), text);
}

void AppendAnsi(QByteArray& out, QStringView text) {
    EncodeInto(Current(), text, out);
}

QString CharsetCodePage(int charset) {
    switch (charset) {
        case 0:
            return QStringLiteral("CP1252");
        case 238:
            return QStringLiteral("CP1250");
        case 204:
            return QStringLiteral("CP1251");
        case 161:
            return QStringLiteral("CP1253");
        case 162:
            return QStringLiteral("CP1254");
        case 177:
            return QStringLiteral("CP1255");
        case 178:
            return QStringLiteral("CP1256");
        case 186:
            return QStringLiteral("CP1257");
        case 163:
            return QStringLiteral("CP1258");
        case 222:
            return QStringLiteral("CP874");
        case 128:
            return QStringLiteral("CP932");
        case 134:
            return QStringLiteral("CP936");
        case 129:
            return QStringLiteral("CP949");
        case 136:
            return QStringLiteral("CP950");
        default:
            return QString();
    }
}

QByteArray ToCodePage(const QString& text, const QString& codePage) {
    return Encode(Named(codePage), text);
}

QString FromCodePage(const QByteArray& bytes, const QString& codePage) {
    return Decode(Named(codePage), bytes.constData(), bytes.size());
}

QString MissingCharacters(const QString& text, const QString& codePage) {
    const CodePage& cp = Named(codePage);
    QString missing;
    QSet<char32_t> seen;
    for (const char32_t c : text.toUcs4()) {
        if (c == U'?' || seen.contains(c))
            continue;
        seen.insert(c);
        const QString one = QString::fromUcs4(&c, 1);
        if (Encode(cp, one) == "?")
            missing += one;
    }
    return missing;
}

}  // namespace platform
