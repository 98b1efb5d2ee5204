#pragma once

// The board's unload of the auxiliary windows: closes a help window or about
// box that is still shown (their modal shows then return) and unloads the
// file chooser.
void UnloadAuxiliaryWindows();
