// One HTTP or HTTPS request through WinINet, returning the response body.
#pragma once

#include <cstdint>

#include "runtime/value.h"

namespace tavrel {

// The optional arguments of WebRequest, in their customary order. A member
// left at its initial value is an argument left out; out-arguments are the
// caller's variables, given by address.
struct WebRequestArgs {
  // 0 GET, 1 POST, 2 HEAD, 3 PUT, 4 OPTIONS, 5 DELETE, 6 TRACE, 7 CONNECT;
  // anything else counts as GET.
  std::int32_t method = 0;
  // Request body as text, used when postBytes is empty; never sent with GET.
  TextView postText = {};
  // Cookie text to send (in and out). Giving it at all, even empty, switches
  // WinINet's own cookie handling off and enables merging.
  Text* cookies = nullptr;
  // Out: the cookies this response set, "name=value" items joined by "; ".
  Text* newCookies = nullptr;
  // Extra request headers, one per line (CR LF).
  TextView headers = {};
  // Out: the raw response header block.
  Text* responseHeaders = nullptr;
  bool noRedirect = false;
  // Request body as bytes (in and out); takes precedence over postText and is
  // filled from it when empty and the method is not GET.
  ByteSet* postBytes = nullptr;
  // Proxy host and port as WinINet takes them; empty: direct connection.
  TextView proxy = {};
  // Merge the received cookies into *cookies (only when cookies is given).
  bool mergeCookies = true;
  // Add the browser-like Accept, Referer, Accept-Language (and, for POST,
  // Content-Type) headers that headers lacks.
  bool addDefaultHeaders = true;
  // Capitalise the header names in headers and drop lines without a colon.
  bool normalizeHeaders = true;
  // Bounds each of the connection, the sending and every wait for data to
  // this many milliseconds (one connection attempt); 0 leaves WinINet's own
  // time-outs. A time-out ends the request like a failed send.
  std::uint32_t phaseTimeoutMs = 0;
};

// Synchronous; any server certificate is accepted. The body comes back exactly
// as WinINet delivers it. An empty body is the only sign of failure; a URL
// whose port lies outside 1..65535 fails before anything is opened.
ByteSet WebRequest(TextView url, const WebRequestArgs& args = {});

}  // namespace tavrel
