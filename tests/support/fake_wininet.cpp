#include "tests/support/fake_wininet.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace tavrel::testing {
namespace {
std::optional<std::string> Recorded(const char* text) { return text ? std::optional<std::string>(text) : std::nullopt; }
}  // namespace

InternetHandle FakeWinInet::Open(const char* agent, std::uint32_t accessType, const char* proxy,
                                 const char* proxyBypass, std::uint32_t flags) {
  sequence.push_back("Open");
  opens.push_back({Recorded(agent), accessType, Recorded(proxy), Recorded(proxyBypass), flags});
  if (failOpen) EndExchange();
  return failOpen ? 0 : kInternet;
}

InternetHandle FakeWinInet::Connect(InternetHandle internet, const char* host, std::uint16_t port, const char* userName,
                                    const char* password, std::uint32_t service, std::uint32_t flags,
                                    std::uintptr_t context) {
  sequence.push_back("Connect");
  connects.push_back(
      {internet, host ? host : "(null)", port, userName == nullptr, password == nullptr, service, flags, context});
  return failConnect ? 0 : kConnection;
}

InternetHandle FakeWinInet::OpenRequest(InternetHandle connection, const char* verb, const char* objectName,
                                        const char* version, const char* referrer, const char* const* acceptTypes,
                                        std::uint32_t flags, std::uintptr_t context) {
  sequence.push_back("OpenRequest");
  openRequests.push_back({connection, verb ? verb : "(null)", objectName ? objectName : "(null)", Recorded(version),
                          referrer == nullptr, acceptTypes == nullptr, flags, context});
  return failOpenRequest ? 0 : kRequest;
}

bool FakeWinInet::SetOption(InternetHandle handle, std::uint32_t option, const void* buffer, std::uint32_t length) {
  sequence.push_back("SetOption");
  if (handle == kRequest && option == 31 && length == 4) {
    std::uint32_t value = 0;
    std::memcpy(&value, buffer, 4);
    securityFlagsSet.push_back(value);
  } else if (length == 4) {
    std::uint32_t value = 0;
    std::memcpy(&value, buffer, 4);
    options.push_back({handle, option, value});
  }
  return true;
}

bool FakeWinInet::SendRequest(InternetHandle request, const char* headers, std::uint32_t headersLength,
                              const void* body, std::uint32_t bodyLength) {
  sequence.push_back("Send");
  SendCall call;
  if (headers) call.headers = std::string(headers, headersLength);
  call.headersLength = headersLength;
  if (body) call.body = std::string(static_cast<const char*>(body), bodyLength);
  call.bodyLength = bodyLength;
  sends.push_back(call);
  sent_ = request == kRequest && !failSend;
  return sent_;
}

bool FakeWinInet::Read(InternetHandle request, void* buffer, std::uint32_t toRead, std::uint32_t* read) {
  sequence.push_back("Read");
  readSizes.push_back(toRead);
  *read = 0;
  if (!sent_ || request != kRequest) return false;
  const std::size_t count = std::min<std::size_t>({toRead, readLimit, body.size() - delivered_});
  std::memcpy(buffer, body.data() + delivered_, count);
  delivered_ += count;
  *read = static_cast<std::uint32_t>(count);
  return true;
}

bool FakeWinInet::QueryInfo(InternetHandle request, std::uint32_t infoLevel, void* buffer, std::uint32_t* bufferLength,
                            std::uint32_t*) {
  sequence.push_back("QueryInfo");
  queryLevels.push_back(infoLevel);
  queryLengths.push_back(*bufferLength);
  if (!sent_ || request != kRequest) return false;
  const auto needed = static_cast<std::uint32_t>(rawHeaders.size() + 1);
  if (needed > *bufferLength) {
    *bufferLength = needed;
    return false;
  }
  std::memcpy(buffer, rawHeaders.c_str(), needed);
  *bufferLength = needed - 1;
  return true;
}

bool FakeWinInet::Close(InternetHandle handle) {
  sequence.push_back("Close");
  closed.push_back(handle);
  if (handle == kInternet) EndExchange();
  return true;
}

void FakeWinInet::EndExchange() {
  std::lock_guard guard(lock_);
  exchangeEnded_ = true;
  ended_.notify_all();
}

bool FakeWinInet::WaitForExchangeEnd(std::int32_t timeoutMs) {
  std::unique_lock lock(lock_);
  return ended_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return exchangeEnded_; });
}

}  // namespace tavrel::testing
