#include "core/Globals.h"

bool ConfigLoaded = false;
bool DialogAccepted = false;
bool ConnectionChanged = false;
