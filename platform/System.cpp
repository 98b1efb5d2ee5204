#include "platform/System.h"

#include <unistd.h>
#include <QApplication>
#include <QFont>
#include <QFontMetrics>
#include <QScreen>
#include <QStyle>
#include <cmath>
#include <optional>

#include "platform/ProgramState.h"

namespace platform {

QString ComputerName() {
    char buffer[256] = {};
    if (::gethostname(buffer, sizeof(buffer) - 1) != 0)
        return QString();
    return QString::fromLocal8Bit(buffer).section('.', 0, 0);
}

namespace {
QScreen* Primary() {
    return QGuiApplication::instance() ? QGuiApplication::primaryScreen() : nullptr;
}

int TwipsFor(double dpi) {
    if (dpi <= 0)
        dpi = 96;
    const int t = int(1440.0 / dpi + 0.5);
    return t > 0 ? t : 1;
}

std::optional<QString>& ForcedCommandLine() {
    static std::optional<QString> forced;
    return forced;
}
}  // namespace

int ScreenWidthPixels() {
    QScreen* s = Primary();
    return s ? s->geometry().width() : 1024;
}

int ScreenHeightPixels() {
    QScreen* s = Primary();
    return s ? s->geometry().height() : 768;
}

int TwipsPerPixelX() {
    QScreen* s = Primary();
    return TwipsFor(s ? s->logicalDotsPerInchX() : 96);
}

int TwipsPerPixelY() {
    QScreen* s = Primary();
    return TwipsFor(s ? s->logicalDotsPerInchY() : 96);
}

int TwipsToPixelsX(double twips) {
    return int(std::lround(twips / TwipsPerPixelX()));
}

int TwipsToPixelsY(double twips) {
    return int(std::lround(twips / TwipsPerPixelY()));
}

int VerticalScrollBarWidthPixels() {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return 17;
    return QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent);
}

int TextWidthPixels(const QFont& font, const QString& text) {
    return QFontMetrics(font).horizontalAdvance(text);
}

int TextHeightPixels(const QFont& font, const QString& text) {
    // The platform's text extent gives the line height whatever the text.
    Q_UNUSED(text);
    return QFontMetrics(font).height();
}

QString CommandLine() {
    if (ForcedCommandLine())
        return *ForcedCommandLine();
    if (!QCoreApplication::instance())
        return QString();
    QStringList args = QCoreApplication::arguments();
    if (!args.isEmpty())
        args.removeFirst();
    return args.join(' ');
}

void SetCommandLine(const QString& commandLine) {
    ForcedCommandLine() = commandLine;
}

namespace {
// The process's own arguments again.
[[maybe_unused]] const bool kCommandLineResetRegistered =
    RegisterStateReset([] { ForcedCommandLine().reset(); });
}  // namespace

}  // namespace platform
