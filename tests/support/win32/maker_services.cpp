#include "tests/support/win32/maker_services.h"

#include "tests/support/win32/tavrel_driver.h"

namespace tavrel::testing {
namespace {

// Long enough for the other end-to-end tests of a parallel run to finish.
constexpr int kPortWaitMs = 90000;

}  // namespace

MakerServices::MakerServices(const std::string& updateAnswer, Handler download)
    : update_(true, 443, kPortWaitMs) {
  update_.SetAnswer(updateAnswer);
  // Taken only once the first port is held.
  download_ = std::make_unique<LoopbackHttpServer>(std::move(download), 88, update_.Running() ? kPortWaitMs : 0);
}

Handler NoDownloads() {
  return [](const HttpRequest&, ServerConnection& connection) {
    connection.Send(ResponseHead(404, "Content-Length: 0\r\n"));
  };
}

OpenedAddressRecorder::OpenedAddressRecorder(const std::string& scheme, const std::string& file) : file_(file) {
  ::DeleteFileA(file_.c_str());
  const std::string key = "Software\\Classes\\" + scheme + "\\shell\\open\\command";
  // Both registry views, whichever one the program's shell reads.
  for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY})
    commands_.push_back(std::make_unique<ScopedRegistryValue>(HKEY_LOCAL_MACHINE, key, "", view));
  for (auto& command : commands_) installed_ = command->SetText("cmd /c echo %1> " + file_) && installed_;
}

std::string OpenedAddressRecorder::WaitForAddress(DWORD timeoutMs) const {
  if (!WaitForFile(file_, timeoutMs)) return {};
  // The recorder may still be writing when the file appears.
  std::string text;
  for (int attempt = 0; attempt < 40; ++attempt) {
    auto content = ReadWholeFile(file_);
    if (content && content->find('\n') != std::string::npos) {
      text = *content;
      break;
    }
    ::Sleep(25);
  }
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  return text;
}

}  // namespace tavrel::testing
