// The WinINet operations the web request uses, as a seam: the system's
// WinINet on Windows, a recording fake in tests. Texts are zero-terminated
// ANSI strings; a null pointer stands for "none", which WinINet tells apart
// from an empty text.
#pragma once

#include <cstdint>

#include "runtime/seam.h"
#include "runtime/unique_handle.h"

namespace tavrel {

// An HINTERNET; 0 when an open failed.
using InternetHandle = std::uintptr_t;

class WinInetApi {
 public:
  virtual ~WinInetApi() = default;
  // InternetOpenA
  virtual InternetHandle Open(const char* agent, std::uint32_t accessType, const char* proxy, const char* proxyBypass,
                              std::uint32_t flags) = 0;
  // InternetConnectA
  virtual InternetHandle Connect(InternetHandle internet, const char* host, std::uint16_t port, const char* userName,
                                 const char* password, std::uint32_t service, std::uint32_t flags,
                                 std::uintptr_t context) = 0;
  // HttpOpenRequestA
  virtual InternetHandle OpenRequest(InternetHandle connection, const char* verb, const char* objectName,
                                     const char* version, const char* referrer, const char* const* acceptTypes,
                                     std::uint32_t flags, std::uintptr_t context) = 0;
  // InternetSetOptionA
  virtual bool SetOption(InternetHandle handle, std::uint32_t option, const void* buffer, std::uint32_t length) = 0;
  // HttpSendRequestA
  virtual bool SendRequest(InternetHandle request, const char* headers, std::uint32_t headersLength, const void* body,
                           std::uint32_t bodyLength) = 0;
  // InternetReadFile: *read is the count placed in the buffer, 0 at the end.
  virtual bool Read(InternetHandle request, void* buffer, std::uint32_t toRead, std::uint32_t* read) = 0;
  // HttpQueryInfoA: on a buffer that is too small it fails and sets
  // *bufferLength to the size needed.
  virtual bool QueryInfo(InternetHandle request, std::uint32_t infoLevel, void* buffer, std::uint32_t* bufferLength,
                         std::uint32_t* index) = 0;
  // InternetCloseHandle
  virtual bool Close(InternetHandle handle) = 0;
};

namespace platform {
WinInetApi& DefaultWinInetApi();
}  // namespace platform
// The WinINet in use: the platform's unless a test installed another.
inline constinit Seam<WinInetApi> g_winInetSeam{&platform::DefaultWinInetApi};

// A WinINet handle, closed through the WinINet in use.
using UniqueInternetHandle = UniqueHandle<SeamHandleTraits<g_winInetSeam, InternetHandle, &WinInetApi::Close>>;

}  // namespace tavrel
