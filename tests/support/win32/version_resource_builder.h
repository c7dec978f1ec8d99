// Writes a version resource of our own making into a copy of a program, for
// tests of the version reader against the system's version.dll.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tavrel::testing {

struct VersionTable {
  std::string code;                                          // the block name, such as "080404b0"
  std::vector<std::pair<std::string, std::string>> strings;  // name, value (ASCII or GBK)
};

struct VersionResourceLayout {
  std::vector<VersionTable> tables;
  bool withTranslationTable = true;
  std::vector<std::uint32_t> translations;  // language in the low word, code page in the high word
};

// The binary VS_VERSIONINFO block.
std::vector<std::uint8_t> BuildVersionResource(const VersionResourceLayout& layout);

// Copies source to target (Windows paths) and, when layout is given, replaces
// the copy's version resource with it. False when either step fails.
bool CopyWithVersionResource(const std::string& source, const std::string& target, const VersionResourceLayout* layout);

}  // namespace tavrel::testing
