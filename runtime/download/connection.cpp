#include "runtime/download/connection.h"

#include "runtime/download/log_text.h"
#include "runtime/download/messages.h"
#include "runtime/download/task.h"

namespace tavrel::download {

ConnectionEnd RunConnection(Task& task, std::int32_t number, std::int32_t block) {
  switch (task.StartUrl().scheme) {
    case Scheme::kHttp:
      return RunHttpConnection(task, number, block);
    case Scheme::kFtp:
      return RunFtpConnection(task, number, block);
    case Scheme::kMms:
    case Scheme::kRtsp:
      // Streaming protocols are recognised but not fetched: the task ends at
      // once, visibly.
      task.QueueEvent(kWorkerStarted, number, 0, 0);
      task.QueueLog(number, kLogError, FormatLine(msg::kUnsupportedProtocol, task.Param().url.c_str()));
      task.QueueEvent(kWorkerFailed, number, 0, 0);
      return ConnectionEnd::kGaveUp;
  }
  return ConnectionEnd::kGaveUp;
}

}  // namespace tavrel::download
