// Content-Range and Content-Length values: a range the parser accepts is one
// the file can hold.
#include "runtime/download/http_message.h"
#include "support/fuzz_input.h"

using namespace tavrel::download;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view value = tavrel::fuzz::AsText(data, size);
  if (const auto range = ParseContentRange(value)) {
    FUZZ_CHECK(range->total >= -1);
    FUZZ_CHECK((range->first == -1) == (range->last == -1));
    if (range->first >= 0) {
      FUZZ_CHECK(range->first <= range->last);
      if (range->total >= 0) FUZZ_CHECK(range->last < range->total);
    }
  }
  const auto number = LeadingNumber(value);
  if (number) FUZZ_CHECK(value.find_first_of("0123456789") != std::string_view::npos);
  if (value.find_first_of("\r\n") == std::string_view::npos) {
    const std::string header = "HTTP/1.1 200 OK\r\nContent-Length: " + std::string(value) + "\r\n\r\n";
    const std::int64_t length = ContentLength(header);
    FUZZ_CHECK(length == (number ? *number : -1));
  }
  return 0;
}
