#include "runtime/program_end.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

namespace tavrel {
namespace {

std::atomic<bool> g_abandoned{false};

struct EndState {
  std::mutex lock;
  std::vector<ProgramEndRoutine> routines;
  std::vector<RuntimeShutdownHook> hooks;
  bool ran = false;
};

EndState& State() {
  static EndState state;
  return state;
}

}  // namespace

void OnProgramEnd(ProgramEndRoutine routine) {
  auto& s = State();
  std::lock_guard guard(s.lock);
  if (routine && std::find(s.routines.begin(), s.routines.end(), routine) == s.routines.end())
    s.routines.push_back(routine);
}

void AddRuntimeShutdownHook(RuntimeShutdownHook hook) {
  auto& s = State();
  std::lock_guard guard(s.lock);
  if (hook && std::find(s.hooks.begin(), s.hooks.end(), hook) == s.hooks.end()) s.hooks.push_back(hook);
}

void ClearProgramEndRoutines() {
  auto& s = State();
  std::lock_guard guard(s.lock);
  s.routines.clear();
}

void AbandonProgramEnd() { g_abandoned.store(true); }

void RunProgramEndSequence() {
  if (g_abandoned.load()) return;
  auto& s = State();
  std::vector<ProgramEndRoutine> routines;
  std::vector<RuntimeShutdownHook> hooks;
  {
    std::lock_guard guard(s.lock);
    if (s.ran) return;
    s.ran = true;
    routines = s.routines;
    hooks = s.hooks;
  }
  // Routines run without the lock: one may register another or end a task
  // whose threads still call into the runtime.
  for (std::size_t i = 0; i < routines.size() && !g_abandoned.load(); ++i) routines[i](static_cast<std::int32_t>(i));
  for (auto hook : hooks) hook();
}

void ExitProgram(std::int32_t exitCode) {
  RunProgramEndSequence();
  platform::TerminateProcess(exitCode);
}

}  // namespace tavrel
