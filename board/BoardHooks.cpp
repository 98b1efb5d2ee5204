#include "board/BoardHooks.h"

#include "platform/ProgramState.h"

BoardHooks& Hooks() {
    static BoardHooks hooks;
    return hooks;
}

namespace {
// Unset until the layer above sets them again.
[[maybe_unused]] const bool kHooksResetRegistered =
    platform::RegisterStateReset([] { Hooks() = BoardHooks{}; });
}  // namespace
