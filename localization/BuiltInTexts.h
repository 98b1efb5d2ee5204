#pragma once

// The built-in Bulgarian texts, registered once at start-up right after
// LoadLanguages and before any look-up: the window texts first, then the
// general texts, in a fixed order that is the index of the translation tools.
void RegisterBuiltInTexts();
void LoadDefaultFormCaptions();
void LoadDefaultStrings();
