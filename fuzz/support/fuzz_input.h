// What every fuzz target shares: failing loudly on a broken invariant, and
// cutting one input into the several texts an entry point takes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

// An invariant that holds for any input; its failure is a finding like a crash.
#define FUZZ_CHECK(condition)                                                                \
  do {                                                                                       \
    if (!(condition)) {                                                                      \
      std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                          \
    }                                                                                        \
  } while (0)

namespace tavrel::fuzz {

inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// The input cut at its zero bytes into at most `count` parts (a text holds no
// zero byte); missing parts are empty, the last part takes the rest.
inline std::vector<std::string> Parts(const std::uint8_t* data, std::size_t size, std::size_t count) {
  std::vector<std::string> parts;
  std::string_view rest = AsText(data, size);
  while (parts.size() + 1 < count) {
    std::size_t zero = rest.find('\0');
    if (zero == std::string_view::npos) break;
    parts.emplace_back(rest.substr(0, zero));
    rest.remove_prefix(zero + 1);
  }
  parts.emplace_back(rest);
  parts.resize(count);
  return parts;
}

// The 0-based positions at which the walk starts a character.
inline std::vector<bool> CharStarts(std::string_view text) {
  std::vector<bool> starts(text.size() + 1, false);
  std::size_t i = 0;
  while (i < text.size()) {
    starts[i] = true;
    i += (static_cast<unsigned char>(text[i]) >= 0x80 && i + 1 < text.size()) ? 2 : 1;
  }
  starts[text.size()] = true;
  return starts;
}

// Whether the walk ends exactly at the end of text, with no lead byte left
// alone as its last character.
inline bool WalksWhole(std::string_view text) {
  return text.empty() || !(CharStarts(text)[text.size() - 1] && static_cast<unsigned char>(text.back()) >= 0x80);
}

}  // namespace tavrel::fuzz
