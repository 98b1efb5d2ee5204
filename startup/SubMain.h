#pragma once

#include <QString>
#include <cstdint>

// The program's start: the 24 steps that set up the globals, the texts, the
// skin, the board and (in mode 2) the database, in this order, once this copy
// holds the lock of its data folder (taken after the error log is set up and
// before the first read of the settings). Answers true when the program is to
// live in its windows' events, false when it has already ended (another copy
// works with the data folder, the user gave up on the database, or there is
// no window to live in).
bool Main();

// The exit prompt of the database loop: Yes ends the program, anything else
// opens the settings dialog.
void AskExitOrSetup();
// The settings dialog on the program's settings, then the board translated
// in the current language; true when the dialog was accepted.
bool OpenSetupWindow();

// The Setup action: the station-password gate, the settings dialog (skipped
// and taken as accepted when showSetup is false), then the board restarted in
// the possibly new mode.
void RunSetup(bool showSetup);

// Copies the settings into the database object, opens it (with the moved
// Access database tried as well) and validates it; tells the user when not.
bool ConnectDatabase();
bool DatabaseValidation();

// The Access path migration: a database named inside the point-of-sale
// program's installation folder is looked for in its data folder instead.
void MigrateAccessPath();

// "RU" 1, "EN" 4, "RO" 2, "GR" 5, "US" 9, "ES" 15, "TR" 16, else 0.
int32_t GetCountryFromLanguage(const QString& language);

// "Install Bin Path" (useBinPath) or "Install Path" of the point-of-sale
// program in the registry store; "" when missing.
QString GetFerromontInstallPath(bool useBinPath);

void InitErrorController();
void InitMessageBoxes();

// The program's name ("Kestrelle": window class, messages that name the
// program) and its icon (every window's, the about box's picture). The
// executable calls it once its application object exists.
void SetProgramIdentity();

// SIGTERM, SIGHUP and SIGINT end the program from then on as the board's Exit
// does (its unload saves the settings and stops the message server); without
// a board, the open windows are closed and the program ends.
void EndOnTerminationSignals();

// Ends the program at once (after a Yes at the exit prompt or a failed
// reconnect): the event loop is left and nothing more runs.
void EndProgram();
bool ProgramEnded();
