#include "core/Globals.h"

#include "platform/ProgramState.h"

bool ConfigLoaded = false;
bool DialogAccepted = false;
bool ConnectionChanged = false;

namespace {
[[maybe_unused]] const bool kFlagsResetRegistered = platform::RegisterStateReset([] {
    ConfigLoaded = false;
    DialogAccepted = false;
    ConnectionChanged = false;
});
}  // namespace
