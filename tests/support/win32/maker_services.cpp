#include "tests/support/win32/maker_services.h"

#include "tests/support/win32/tavrel_driver.h"

namespace tavrel::testing {

MakerServices::MakerServices(const std::string& updateAnswer, Handler download)
    : update_(true), download_(std::move(download)), ports_(download_.Port(), update_.Port()) {
  update_.SetAnswer(updateAnswer);
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
  for (auto& command : commands_) installed_ = command->SetText("cmd /c echo %1>> " + file_) && installed_;
}

std::vector<std::string> OpenedAddressRecorder::Addresses() const {
  std::vector<std::string> lines;
  const std::string text = ReadWholeFile(file_).value_or("");
  // Only whole lines: the recorder may be writing the last one.
  for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    std::string line = text.substr(start, end - start);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> OpenedAddressRecorder::WaitForAddresses(std::size_t count, DWORD timeoutMs) const {
  std::vector<std::string> lines;
  WaitUntil([&] { return (lines = Addresses()).size() >= count; }, timeoutMs);
  return lines;
}

}  // namespace tavrel::testing
