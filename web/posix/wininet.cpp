// The host build has no WinINet: every request fails to open, which the web
// request reports as an empty body, as it does for an unreachable network.
#include "web/wininet_api.h"

namespace tavrel::platform {
namespace {

class NoWinInet final : public WinInetApi {
 public:
  InternetHandle Open(const char*, std::uint32_t, const char*, const char*, std::uint32_t) override { return 0; }
  InternetHandle Connect(InternetHandle, const char*, std::uint16_t, const char*, const char*, std::uint32_t,
                         std::uint32_t, std::uintptr_t) override {
    return 0;
  }
  InternetHandle OpenRequest(InternetHandle, const char*, const char*, const char*, const char*, const char* const*,
                             std::uint32_t, std::uintptr_t) override {
    return 0;
  }
  bool SetOption(InternetHandle, std::uint32_t, const void*, std::uint32_t) override { return false; }
  bool SendRequest(InternetHandle, const char*, std::uint32_t, const void*, std::uint32_t) override { return false; }
  bool Read(InternetHandle, void*, std::uint32_t, std::uint32_t* read) override {
    *read = 0;
    return false;
  }
  bool QueryInfo(InternetHandle, std::uint32_t, void*, std::uint32_t*, std::uint32_t*) override { return false; }
  bool Close(InternetHandle) override { return false; }
};

}  // namespace

WinInetApi& DefaultWinInetApi() {
  static NoWinInet api;
  return api;
}

}  // namespace tavrel::platform
