#pragma once

#include <QString>

// Plays a wave file without waiting: a new sound cuts off the one playing. A
// machine without an audio device plays nothing and reports nothing.
namespace platform {

// False when the file does not exist (nothing is played then).
bool PlaySoundAsync(const QString& path);
// The path of the last sound asked for, empty before the first.
QString LastPlayedSound();
// How many sounds were asked for since the start of the program.
int SoundRequestCount();

}  // namespace platform
