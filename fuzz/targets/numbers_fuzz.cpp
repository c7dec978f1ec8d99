// Texts read as numbers: the leading C literal, full-width digits counted.
#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "runtime/convert.h"
#include "support/fuzz_input.h"

using namespace tavrel;

namespace {

// A word such as "inf" or "nan" counts as no number.
bool NamesInfinityOrNan(const char* begin, const char* end) {
  for (const char* p = begin; p < end; ++p)
    if ((*p | 0x20) == 'i' || (*p | 0x20) == 'n') return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Text text(tavrel::fuzz::AsText(data, size).substr(0, tavrel::fuzz::AsText(data, size).find('\0')));
  const Text half = FullWidthToHalfWidth(text);
  FUZZ_CHECK(half.size() <= text.size());

  // The C library, in the C locale, as the reference.
  char* stop = nullptr;
  const long long whole = std::strtoll(half.c_str(), &stop, 10);
  const long long clamped = std::min<long long>(std::max<long long>(whole, INT32_MIN), INT32_MAX);
  FUZZ_CHECK(ToInteger(text) == clamped);

  const double number = ToNumber(text);
  FUZZ_CHECK(!std::isnan(number));
  const double reference = std::strtod(half.c_str(), &stop);
  if (NamesInfinityOrNan(half.c_str(), stop))
    FUZZ_CHECK(number == 0.0);
  else if (std::fabs(reference) >= DBL_MIN || reference == 0.0)
    FUZZ_CHECK(number == reference);
  else  // below the normal range the reader may give 0
    FUZZ_CHECK(number == reference || number == 0.0);
  return 0;
}
