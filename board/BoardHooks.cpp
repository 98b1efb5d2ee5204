#include "board/BoardHooks.h"

BoardHooks& Hooks() {
    static BoardHooks hooks;
    return hooks;
}
