#include "platform/controls/SoundPlayer.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>

#include "platform/ProgramState.h"

namespace platform {

namespace {
QString& Last() {
    static QString last;
    return last;
}

int& Requests() {
    static int count = 0;
    return count;
}

// Nothing asked for yet. The player itself is kept: it holds no state a
// caller sees, and a new sound cuts off the one playing anyway.
[[maybe_unused]] const bool kSoundResetRegistered = RegisterStateReset([] {
    Last().clear();
    Requests() = 0;
});
}  // namespace

bool PlaySoundAsync(const QString& path) {
    Last() = path;
    ++Requests();
    if (!QFileInfo(path).isFile())
        return false;
    // KESTRELLE_MUTE keeps test runs quiet; the lookup above still runs.
    if (!qEnvironmentVariableIsEmpty("KESTRELLE_MUTE") || !QCoreApplication::instance())
        return true;
    static QSoundEffect* effect = nullptr;
    if (!effect)
        effect = new QSoundEffect(QCoreApplication::instance());
    effect->stop();
    effect->setSource(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
    effect->play();
    return true;
}

QString LastPlayedSound() {
    return Last();
}

int SoundRequestCount() {
    return Requests();
}

}  // namespace platform
