#include "platform/ProgramState.h"

#include <vector>

namespace platform {

namespace {

// A function-local static: modules register from their own static
// initialisers, whose order across files is not defined.
std::vector<StateReset>& Resets() {
    static std::vector<StateReset> resets;
    return resets;
}

}  // namespace

bool RegisterStateReset(StateReset reset) {
    if (reset)
        Resets().push_back(reset);
    return true;
}

void ResetProgramState() {
    for (StateReset reset : Resets())
        reset();
}

}  // namespace platform
