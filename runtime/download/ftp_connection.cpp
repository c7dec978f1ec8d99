#include "runtime/download/connection.h"
#include "runtime/download/log_text.h"
#include "runtime/download/messages.h"
#include "runtime/download/task.h"

namespace tavrel::download {

ConnectionEnd RunFtpConnection(Task& task, std::int32_t number, std::int32_t) {
  task.QueueEvent(kWorkerStarted, number, 0, 0);
  task.QueueLog(number, kLogError, FormatLine(msg::kUnsupportedProtocol, task.Param().url.c_str()));
  task.QueueEvent(kWorkerFailed, number, 0, 0);
  return ConnectionEnd::kGaveUp;
}

}  // namespace tavrel::download
