// Fatal run-time errors: a box titled "错误" and the end of the process with
// exit code -1, without the end-of-program routines.
#pragma once

#include <cstddef>

#include "runtime/value.h"

namespace tavrel {

// Message numbers of FatalError(int).
enum class FatalCode {
  ArrayIndexTooLarge,
  ArrayIndexBelowOne,
  StackChanged,
  ExportNotFound,  // use FatalError(TextView) with the formatted message
  BadValueKind,
  OutOfMemory,
};

[[noreturn]] void FatalError(FatalCode code);

// "分配 %d 字节内存失败!" with the size asked for.
[[noreturn]] void FatalOutOfMemory(std::size_t size);

// The longest fatal text shown, in bytes; a longer message is cut.
inline constexpr std::size_t kFatalTextCapacity = 1024;

namespace platform {
// Shows the fatal-error box and ends the process with -1, allocating nothing
// from the program's heap. Implemented per platform.
[[noreturn]] void ShowFatalBoxAndExit(TextView fullText);
// Hands back the address space set aside at start for the error box of an
// out-of-memory error; nothing after the first call.
void ReleaseEmergencyReserve();
}  // namespace platform

}  // namespace tavrel
