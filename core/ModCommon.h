#pragma once

#include <QString>

#include "platform/Registry.h"
#include "platform/Variant.h"

class QFont;
class QWidget;

// Module values, set by GetDecimalSeparator and ReadDateSettings.
extern QString DecimalSeparator;
extern QString ShortDateFormat;
extern QString DateSeparator;

// INI access with a buffer of bufferSize characters: the value has at most
// bufferSize - 1 characters; a missing file, section or key gives "".
QString ReadIniValue(const QString& section, const QString& key, const QString& file,
                     int bufferSize = 255);
// Writes the value's text form (integers in decimal, Booleans "True"/"False").
bool WriteIniValue(const QString& section, const QString& key, const Variant& value,
                   const QString& file);

// True when a normal file matches the path: a folder path without a trailing
// separator gives false, one with it gives true when the folder holds a file,
// and the wildcards * and ? in the last part match.
bool FileExists(const QString& path);
QString AddBackslash(const QString& path);
// The part after the last separator; "" for a path without one.
QString GetFileNameFromPath(const QString& path);

QString GetDecimalSeparator();
void ReadDateSettings();
// The integer part plus 1 for a number with a fraction, else the number.
double RoundUp(double number);
// Empty text: no system name of that table exists on this platform.
QString GetOSVersionName();
// The computer's name, computed once.
QString GetMachineName();
// Vertical scroll bar width, in twips when inTwips.
int16_t GetScrollBarWidth(bool inTwips);
int16_t GetScreenWidthPixels();

// Modes: 1 pad right and cut, 2 pad left keeping the rightmost characters,
// 3 centre, anything else the first `width` characters.
QString AlignText(const QString& text, int16_t width, int mode);
// Size of a text in the control's (or the font's) font, in twips.
int32_t GetTextWidth(const QWidget* control, const QString& text);
int32_t GetTextHeight(const QWidget* control, const QString& text);
int32_t GetTextWidth(const QFont& font, const QString& text);
int32_t GetTextHeight(const QFont& font, const QString& text);
// The digits of the text, in order; of these the rightmost `count` (0: all).
QString GetDigitsOnly(const QString& text, int count = 0);

// The mouse pointer: the hourglass while busy, the default otherwise. One
// override cursor at most, never stacked.
void SetHourglass(bool busy);

// Creates the key path when missing; errors are ignored.
void WriteRegistryString(platform::RegistryRoot root, const QString& keyPath,
                         const QString& valueName, const QString& value);
