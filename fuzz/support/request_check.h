// What any request the service sends looks like, whatever went into it.
#pragma once

#include "runtime/download/http_message.h"
#include "support/fuzz_input.h"

namespace tavrel::fuzz {

// Every line ends with CR LF and holds neither CR nor LF itself, the request
// ends with an empty line and stays within the limits.
inline void CheckRequest(const std::string& request, const download::RequestParts& parts) {
  FUZZ_CHECK(request.size() <= download::kMaxRequestBytes);
  FUZZ_CHECK(request.substr(0, 4) == "GET " && request.size() >= 4 && request.substr(request.size() - 4) == "\r\n\r\n");
  std::size_t lines = 0;
  for (std::size_t at = 0; at < request.size();) {
    const std::size_t end = request.find("\r\n", at);
    FUZZ_CHECK(end != std::string::npos);
    const std::string_view line(request.data() + at, end - at);
    FUZZ_CHECK(line.find_first_of("\r\n") == std::string_view::npos);
    at = end + 2;
    ++lines;
  }
  const std::string target = download::EncodeSpaces(parts.target);
  FUZZ_CHECK(target.size() <= download::kMaxRequestBytes && target.find(' ') == std::string::npos);
  FUZZ_CHECK(request.find("GET " + target + " HTTP/1.1\r\nHost: " + parts.hostPart + "\r\n") == 0);
  FUZZ_CHECK(lines >= (parts.viaProxy ? 6u : 9u));
}

}  // namespace tavrel::fuzz
