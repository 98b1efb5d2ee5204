#pragma once

#include <QString>

// Plays a wave file without waiting: a new sound cuts off the one playing. A
// machine without an audio device plays nothing and reports nothing.
namespace platform {

// False when the file does not exist (nothing is played then).
bool PlaySoundAsync(const QString& path);
// The path of the last sound asked for, empty before the first.
QString LastPlayedSound();

}  // namespace platform
