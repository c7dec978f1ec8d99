// The end-of-program list and the sequence that ends the process.
#pragma once

#include <cstdint>

namespace tavrel {

using ProgramEndRoutine = void (*)(std::int32_t placeInList);

// Appends the routine unless it is already registered.
void OnProgramEnd(ProgramEndRoutine routine);

// Runs the end-of-program routines once, in order of registration, then lets
// the runtime's libraries shut down, then ends the process with the code.
[[noreturn]] void ExitProgram(std::int32_t exitCode);

// The same sequence without ending the process (the entry point returns
// normally after the window closes). Runs at most once per process.
void RunProgramEndSequence();

// Drops every registered routine (a list starts afresh).
void ClearProgramEndRoutines();

// No routine will run, whatever ends the program: for a fatal error, which
// may come while memory ran out and this list's lock is held, so this takes
// no lock and allocates nothing.
void AbandonProgramEnd();

// Shutdown hooks of the runtime's own libraries (the download service, the
// bound system libraries), told after the program's routines have run.
using RuntimeShutdownHook = void (*)();
void AddRuntimeShutdownHook(RuntimeShutdownHook hook);

namespace platform {
[[noreturn]] void TerminateProcess(std::int32_t exitCode);
}  // namespace platform

}  // namespace tavrel
