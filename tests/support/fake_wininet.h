// A scripted stand-in for WinINet that records every call made to it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "web/wininet_api.h"

namespace tavrel::testing {

class FakeWinInet final : public WinInetApi {
 public:
  // Handles the fake hands out.
  static constexpr InternetHandle kInternet = 0x11;
  static constexpr InternetHandle kConnection = 0x22;
  static constexpr InternetHandle kRequest = 0x33;

  // Script.
  bool failOpen = false;
  bool failConnect = false;
  bool failOpenRequest = false;
  bool failSend = false;          // as an unreachable host: no body, no headers
  std::string body;               // delivered by the reads
  std::uint32_t readLimit = ~0u;  // at most this many bytes per read
  std::string rawHeaders;         // answered by the header query (without terminator)

  // What was passed. A null text is recorded as nullopt.
  struct OpenCall {
    std::optional<std::string> agent;
    std::uint32_t accessType = 0;
    std::optional<std::string> proxy, bypass;
    std::uint32_t flags = 0;
  };
  struct ConnectCall {
    InternetHandle internet = 0;
    std::string host;
    std::uint16_t port = 0;
    bool userNull = false, passwordNull = false;
    std::uint32_t service = 0, flags = 0;
    std::uintptr_t context = 0;
  };
  struct OpenRequestCall {
    InternetHandle connection = 0;
    std::string verb, object;
    std::optional<std::string> version;
    bool referrerNull = false, acceptTypesNull = false;
    std::uint32_t flags = 0;
    std::uintptr_t context = 0;
  };
  struct SendCall {
    std::optional<std::string> headers;  // exactly headersLength bytes
    std::uint32_t headersLength = 0;
    std::optional<std::string> body;  // exactly bodyLength bytes
    std::uint32_t bodyLength = 0;
  };
  std::vector<OpenCall> opens;
  std::vector<ConnectCall> connects;
  std::vector<OpenRequestCall> openRequests;
  std::vector<std::uint32_t> securityFlagsSet;  // value of each INTERNET_OPTION_SECURITY_FLAGS call
  struct OptionCall {
    InternetHandle handle;
    std::uint32_t option, value;  // every 4-byte option but the security flags
    bool operator==(const OptionCall&) const = default;
  };
  std::vector<OptionCall> options;
  std::vector<SendCall> sends;
  std::vector<std::uint32_t> readSizes;     // bytes asked for by each read
  std::vector<std::uint32_t> queryLengths;  // buffer length passed to each header query
  std::vector<std::uint32_t> queryLevels;
  std::vector<InternetHandle> closed;  // in order
  std::vector<std::string> sequence;   // operation names in call order

  InternetHandle Open(const char* agent, std::uint32_t accessType, const char* proxy, const char* proxyBypass,
                      std::uint32_t flags) override;
  InternetHandle Connect(InternetHandle internet, const char* host, std::uint16_t port, const char* userName,
                         const char* password, std::uint32_t service, std::uint32_t flags,
                         std::uintptr_t context) override;
  InternetHandle OpenRequest(InternetHandle connection, const char* verb, const char* objectName, const char* version,
                             const char* referrer, const char* const* acceptTypes, std::uint32_t flags,
                             std::uintptr_t context) override;
  bool SetOption(InternetHandle handle, std::uint32_t option, const void* buffer, std::uint32_t length) override;
  bool SendRequest(InternetHandle request, const char* headers, std::uint32_t headersLength, const void* body,
                   std::uint32_t bodyLength) override;
  bool Read(InternetHandle request, void* buffer, std::uint32_t toRead, std::uint32_t* read) override;
  bool QueryInfo(InternetHandle request, std::uint32_t infoLevel, void* buffer, std::uint32_t* bufferLength,
                 std::uint32_t* index) override;
  bool Close(InternetHandle handle) override;

  // Waits until an exchange through the fake has ended: its Open failed or
  // its internet handle was closed. The update check asks on a thread of its
  // own and gives up on it after a while; a loaded machine may start that
  // thread later still, and the test must not look (or leave) before it ran.
  bool WaitForExchangeEnd(std::int32_t timeoutMs = 120000);

 private:
  void EndExchange();

  std::mutex lock_;
  std::condition_variable ended_;
  bool exchangeEnded_ = false;
  std::size_t delivered_ = 0;
  bool sent_ = false;
};

// Installs a fake for the lifetime of the scope.
using ScopedWinInet = ScopedSeam<g_winInetSeam>;

}  // namespace tavrel::testing
