// Bytes a server sends before the body: where the header lies, its status and
// the fields the service reads.
#include "runtime/download/http_message.h"
#include "support/fuzz_input.h"

using namespace tavrel::download;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view received = tavrel::fuzz::AsText(data, size);
  const HeaderScan scan = ScanResponseHeader(received);
  // The header arrives in pieces: a header complete in the first bytes stays
  // the same header whatever follows.
  const HeaderScan early = ScanResponseHeader(received.substr(0, size / 2));
  if (early.state == HeaderScan::State::kComplete)
    FUZZ_CHECK(scan.state == HeaderScan::State::kComplete && scan.begin == early.begin && scan.end == early.end);
  if (scan.state != HeaderScan::State::kComplete) return 0;

  FUZZ_CHECK(scan.begin < scan.end && scan.end <= size && scan.end - scan.begin <= kMaxHeaderBytes);
  const std::string_view header = received.substr(scan.begin, scan.end - scan.begin);
  FUZZ_CHECK(header.substr(0, 8) == "HTTP/1.1" || header.substr(0, 8) == "HTTP/1.0");
  FUZZ_CHECK(header.find("\r\n\r\n") == header.size() - 4);

  const int status = StatusCode(header);
  FUZZ_CHECK(status >= -1 && status <= 999);
  for (std::string_view name : {"Content-Length", "Content-Range", "Location", "Set-Cookie", "Content-Disposition",
                                "Transfer-Encoding", "ETag", "X"}) {
    const auto value = FindField(header, name);
    if (!value) continue;
    FUZZ_CHECK(value->data() >= header.data() && value->data() + value->size() <= header.data() + header.size());
    FUZZ_CHECK(value->find("\r\n") == std::string_view::npos);
    FUZZ_CHECK(value->empty() || (value->front() != ' ' && value->back() != ' '));
  }
  const std::int64_t length = ContentLength(header);
  FUZZ_CHECK(length == -1 || FindField(header, "Content-Length"));
  HasTransferCoding(header);
  return 0;
}
