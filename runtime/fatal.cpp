#include "runtime/fatal.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "runtime/program_end.h"

namespace tavrel {
namespace {

constexpr char kFatalPrefix[] = "运行时出错!";

// Appends as much of part as fits, keeping room for the terminating zero.
std::size_t Append(char* text, std::size_t used, std::size_t capacity, TextView part) {
  std::size_t n = part.size() < capacity - 1 - used ? part.size() : capacity - 1 - used;
  std::memcpy(text + used, part.data(), n);
  text[used + n] = '\0';
  return used + n;
}

}  // namespace

// The text shown is "运行时出错!" followed by the message. Neither allocates
// nor takes a lock: it may be reached because memory ran out, possibly while
// the caller holds the end-of-program list's lock.
void FatalError(TextView message) {
  // The end-of-program routines must not run after a fatal error: the state
  // they would clean up may be what failed.
  AbandonProgramEnd();
  char text[kFatalTextCapacity];
  std::size_t used = Append(text, 0, sizeof text, kFatalPrefix);
  used = Append(text, used, sizeof text, message);
  platform::ShowFatalBoxAndExit(TextView(text, used));
}

void FatalError(FatalCode code) {
  switch (code) {
    case FatalCode::ArrayIndexTooLarge: FatalError("数组成员引用下标超出定义范围");
    case FatalCode::ArrayIndexBelowOne: FatalError("数组成员引用下标必须大于等于1");
    case FatalCode::StackChanged: FatalError("调用DLL命令后发现堆栈错误");
    case FatalCode::BadValueKind: FatalError("“欲取出数据的类型”参数值无效");
    case FatalCode::OutOfMemory: FatalOutOfMemory(0);
    case FatalCode::ExportNotFound: break;
  }
  FatalError("未知错误");
}

void FatalOutOfMemory(std::size_t size) {
  // The heap may give nothing more: a little address space set aside at
  // start is handed back for the error box, and the text is made on the
  // stack.
  platform::ReleaseEmergencyReserve();
  char digits[24];
  std::size_t at = sizeof digits;
  do {
    digits[--at] = static_cast<char>('0' + size % 10);
    size /= 10;
  } while (size != 0);
  char message[64];
  std::size_t used = Append(message, 0, sizeof message, "分配 ");
  used = Append(message, used, sizeof message, TextView(digits + at, sizeof digits - at));
  used = Append(message, used, sizeof message, " 字节内存失败!");
  FatalError(TextView(message, used));
}

}  // namespace tavrel

// Every allocation of the program comes from here, so that running out of
// memory is the runtime's fatal error with the size asked for, as for any
// other block, and never an exception thrown through a service.
void* operator new(std::size_t size) {
  if (void* p = std::malloc(size ? size : 1)) return p;
  tavrel::FatalOutOfMemory(size);
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
