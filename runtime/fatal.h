// Fatal run-time errors: a box titled "错误" and the end of the process with
// exit code -1, without the end-of-program routines.
#pragma once

#include <cstddef>

#include "runtime/value.h"

namespace tavrel {

// The text shown: "运行时出错!" followed by the message.
Text FatalErrorText(TextView message);

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

namespace platform {
// Shows the fatal-error box and ends the process with -1. Implemented per platform.
[[noreturn]] void ShowFatalBoxAndExit(const Text& fullText);
}  // namespace platform

}  // namespace tavrel
