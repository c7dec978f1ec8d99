#include "runtime/fatal.h"

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
    case FatalCode::OutOfMemory: FatalError("分配 0 字节内存失败!");
    case FatalCode::ExportNotFound: break;
  }
  FatalError("未知错误");
}

}  // namespace tavrel
