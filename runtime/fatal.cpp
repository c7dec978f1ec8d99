#include "runtime/fatal.h"

#include <cstdio>
#include <cstdlib>
#include <new>

#include "runtime/program_end.h"

namespace tavrel {

Text FatalErrorText(TextView message) {
  Text text = "运行时出错!";
  text.append(message);
  return text;
}

void FatalError(TextView message) {
  // The end-of-program routines must not run after a fatal error: the state
  // they would clean up may be what failed.
  ClearProgramEndRoutines();
  platform::ShowFatalBoxAndExit(FatalErrorText(message));
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
  char message[64];
  std::snprintf(message, sizeof message, "分配 %lld 字节内存失败!", static_cast<long long>(size));
  FatalError(message);
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
