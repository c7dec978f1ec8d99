// The system's WinINet behind the web request's seam (ANSI entry points).
#include <windows.h>
#include <wininet.h>

#include "web/wininet_api.h"

namespace tavrel::platform {
namespace {

HINTERNET AsHandle(InternetHandle handle) { return reinterpret_cast<HINTERNET>(handle); }
InternetHandle FromHandle(HINTERNET handle) { return reinterpret_cast<InternetHandle>(handle); }

class SystemWinInet final : public WinInetApi {
 public:
  InternetHandle Open(const char* agent, std::uint32_t accessType, const char* proxy, const char* proxyBypass,
                      std::uint32_t flags) override {
    return FromHandle(InternetOpenA(agent, accessType, proxy, proxyBypass, flags));
  }

  InternetHandle Connect(InternetHandle internet, const char* host, std::uint16_t port, const char* userName,
                         const char* password, std::uint32_t service, std::uint32_t flags,
                         std::uintptr_t context) override {
    return FromHandle(InternetConnectA(AsHandle(internet), host, port, userName, password, service, flags, context));
  }

  InternetHandle OpenRequest(InternetHandle connection, const char* verb, const char* objectName, const char* version,
                             const char* referrer, const char* const* acceptTypes, std::uint32_t flags,
                             std::uintptr_t context) override {
    return FromHandle(HttpOpenRequestA(AsHandle(connection), verb, objectName, version, referrer,
                                       const_cast<LPCSTR*>(acceptTypes), flags, context));
  }

  bool SetOption(InternetHandle handle, std::uint32_t option, const void* buffer, std::uint32_t length) override {
    return InternetSetOptionA(AsHandle(handle), option, const_cast<void*>(buffer), length) != FALSE;
  }

  bool SendRequest(InternetHandle request, const char* headers, std::uint32_t headersLength, const void* body,
                   std::uint32_t bodyLength) override {
    return HttpSendRequestA(AsHandle(request), headers, headersLength, const_cast<void*>(body), bodyLength) != FALSE;
  }

  bool Read(InternetHandle request, void* buffer, std::uint32_t toRead, std::uint32_t* read) override {
    DWORD count = 0;
    const BOOL ok = InternetReadFile(AsHandle(request), buffer, toRead, &count);
    *read = count;
    return ok != FALSE;
  }

  bool QueryInfo(InternetHandle request, std::uint32_t infoLevel, void* buffer, std::uint32_t* bufferLength,
                 std::uint32_t* index) override {
    DWORD length = *bufferLength;
    DWORD indexValue = index ? *index : 0;
    const BOOL ok = HttpQueryInfoA(AsHandle(request), infoLevel, buffer, &length, index ? &indexValue : nullptr);
    *bufferLength = length;
    if (index) *index = indexValue;
    return ok != FALSE;
  }

  bool Close(InternetHandle handle) override { return InternetCloseHandle(AsHandle(handle)) != FALSE; }
};

}  // namespace

WinInetApi& DefaultWinInetApi() {
  static SystemWinInet api;
  return api;
}

}  // namespace tavrel::platform
