#pragma once

#include <QString>

class QFont;

namespace platform {

// The computer's name: the host name up to its first dot.
QString ComputerName();

// Screen geometry of the primary screen, and twips: 1440 per logical inch.
int ScreenWidthPixels();
int ScreenHeightPixels();
int TwipsPerPixelX();
int TwipsPerPixelY();
// A length in twips as whole screen pixels, to the nearest pixel (halves away
// from zero): the one conversion the windows laid out in twips place their
// controls with.
int TwipsToPixelsX(double twips);
int TwipsToPixelsY(double twips);

// Width of a vertical scroll bar in pixels.
int VerticalScrollBarWidthPixels();

// Size of a text in a font, in pixels.
int TextWidthPixels(const QFont& font, const QString& text);
int TextHeightPixels(const QFont& font, const QString& text);

// The command line after the program's name, arguments joined by blanks.
QString CommandLine();
// Replaces what CommandLine returns (a test drives the switches with it).
void SetCommandLine(const QString& commandLine);

}  // namespace platform
