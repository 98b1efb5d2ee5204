#include "core/ModCommon.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QWidget>
#include <cmath>

#include "platform/IniFile.h"
#include "platform/Locale.h"
#include "platform/ProgramState.h"
#include "platform/Registry.h"
#include "platform/System.h"

QString DecimalSeparator;
QString ShortDateFormat;
QString DateSeparator;

namespace {
// Empty until start-up reads them from the locale.
[[maybe_unused]] const bool kLocaleTextsResetRegistered = platform::RegisterStateReset([] {
    DecimalSeparator.clear();
    ShortDateFormat.clear();
    DateSeparator.clear();
});
}  // namespace

QString ReadIniValue(const QString& section, const QString& key, const QString& file,
                     int bufferSize) {
    return platform::IniRead(file, section, key, bufferSize);
}

bool WriteIniValue(const QString& section, const QString& key, const Variant& value,
                   const QString& file) {
    return platform::IniWrite(file, section, key, value.ToString());
}

bool FileExists(const QString& path) {
    if (path.trimmed().isEmpty())
        return false;
    const QFileInfo info(path);
    const QString folder = path.endsWith('/') ? path : info.path();
    const QString pattern = path.endsWith('/') ? QStringLiteral("*") : info.fileName();
    if (!pattern.contains('*') && !pattern.contains('?'))
        return info.isFile();
    const QDir dir(folder);
    return !dir.entryList({pattern}, QDir::Files | QDir::NoDotAndDotDot).isEmpty();
}

QString AddBackslash(const QString& path) {
    return path.endsWith('/') ? path : path + '/';
}

QString GetFileNameFromPath(const QString& path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QString() : path.mid(slash + 1);
}

QString GetDecimalSeparator() {
    DecimalSeparator = platform::LocaleDecimalSeparator();
    return DecimalSeparator;
}

void ReadDateSettings() {
    ShortDateFormat = platform::LocaleShortDatePattern().left(24);
    DateSeparator = platform::LocaleDateSeparator().left(4);
}

double RoundUp(double number) {
    if (number == std::floor(number))
        return number;
    return std::floor(number) + 1;
}

QString GetOSVersionName() {
    return QString();
}

QString GetMachineName() {
    static const QString name = platform::ComputerName().left(99);
    return name;
}

int16_t GetScrollBarWidth(bool inTwips) {
    const int pixels = platform::VerticalScrollBarWidthPixels();
    return int16_t(inTwips ? pixels * platform::TwipsPerPixelX() : pixels);
}

int16_t GetScreenWidthPixels() {
    return int16_t(platform::ScreenWidthPixels());
}

QString AlignText(const QString& text, int16_t width, int mode) {
    const int w = std::max<int>(0, width);
    switch (mode) {
        case 1:
            return text.leftJustified(w, ' ', true);
        case 2: {
            const QString padded = text.rightJustified(w, ' ');
            return padded.right(w);
        }
        case 3:
            if (text.size() < w) {
                const int before = int((w - text.size()) / 2);
                return (QString(before, ' ') + text).leftJustified(w, ' ');
            }
            return text.left(w);
        default:
            return text.left(w);
    }
}

int32_t GetTextWidth(const QFont& font, const QString& text) {
    return platform::TextWidthPixels(font, text) * platform::TwipsPerPixelX();
}

int32_t GetTextHeight(const QFont& font, const QString& text) {
    return platform::TextHeightPixels(font, text) * platform::TwipsPerPixelY();
}

int32_t GetTextWidth(const QWidget* control, const QString& text) {
    return GetTextWidth(control ? control->font() : QApplication::font(), text);
}

int32_t GetTextHeight(const QWidget* control, const QString& text) {
    return GetTextHeight(control ? control->font() : QApplication::font(), text);
}

QString GetDigitsOnly(const QString& text, int count) {
    QString digits;
    for (const QChar c : text) {
        if (c >= '0' && c <= '9')
            digits += c;
    }
    if (count > 0 && digits.size() > count)
        return digits.right(count);
    return digits;
}

void SetHourglass(bool busy) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
}

void WriteRegistryString(platform::RegistryRoot root, const QString& keyPath,
                         const QString& valueName, const QString& value) {
    platform::RegistryWriteString(root, keyPath, valueName, value);
}
