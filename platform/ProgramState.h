#pragma once

#include <new>

// The program's process-wide state (the settings record, the global objects,
// the keyboard hook, the "recorded once" flags) lives in the modules that own
// it; each registers here how to bring its part back to how a fresh start
// finds it. A test calls ResetProgramState before it runs, so that no test
// depends on what another one left behind in the same process.
namespace platform {

using StateReset = void (*)();

// Adds a reset, run by every later ResetProgramState in the order registered;
// true, so that a module can register from the initialiser of a static.
bool RegisterStateReset(StateReset reset);

// Runs every registered reset.
void ResetProgramState();

// Puts a freshly constructed object in the place of a program-wide one that
// cannot be assigned: at the same address, so the references callers keep
// to it (and its members) stay valid and see the fresh state.
template <class T>
void RenewInPlace(T& object) {
    object.~T();
    ::new (static_cast<void*>(&object)) T();
}

}  // namespace platform
