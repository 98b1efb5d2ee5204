#pragma once

#include <QString>

namespace platform {

// The folder of the running executable (the build puts resources beside it).
QString ProgramFolder();

// The common application-data folder: $KESTRELLE_COMMON_APPDATA, else
// $XDG_DATA_HOME, else ~/.local/share. No trailing separator.
QString CommonAppDataFolder();

// Special folders by their numeric id; only 35 (common application data) is
// known here. Empty text for any other id.
QString SpecialFolderPath(int id);

}  // namespace platform
