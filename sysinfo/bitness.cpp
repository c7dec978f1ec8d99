#include "sysinfo/bitness.h"

#include "runtime/system_facts.h"

namespace tavrel::sysinfo {

Logical IsSystem64Bit() {
  SystemFactsApi& api = g_systemFactsSeam.Current();
  if (!api.HasSystemWow64Directory()) return 0;
  constexpr std::uint32_t kSize = 255;
  Text buffer(kSize, ' ');
  // A path longer than the buffer gives the size needed, still above 0.
  auto length = static_cast<std::int32_t>(api.SystemWow64Directory(buffer.data(), kSize));
  return length > 0 ? 1 : 0;
}

}  // namespace tavrel::sysinfo
