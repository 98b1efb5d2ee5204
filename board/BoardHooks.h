#pragma once

#include <functional>

// The board's calls into windows and routines built above it (the start-up
// sequence, the dialogs). Each is set once by the layer that owns it; an unset
// hook does nothing and answers "not accepted".
struct BoardHooks {
    // The settings action: runs the settings dialog and restarts the board.
    std::function<void(bool showSetup)> RunSetup;
    // Modal help window and about box.
    std::function<void()> ShowHelp;
    std::function<void()> ShowAbout;
    // Modal login dialog; answers whether it was accepted. `changing`: the
    // operator is being changed (the caption says so).
    std::function<bool(bool changing)> ShowLoginDialog;
    // Unloads the other windows when the board ends.
    std::function<void()> UnloadOtherWindows;
    // Ends the program (the board's unload is its last act).
    std::function<void()> EndProgram;
};

BoardHooks& Hooks();
