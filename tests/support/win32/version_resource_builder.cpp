#include "tests/support/win32/version_resource_builder.h"

#include <windows.h>

#include <cstring>

namespace tavrel::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(Bytes& out, std::uint32_t v) {
  Put16(out, static_cast<std::uint16_t>(v));
  Put16(out, static_cast<std::uint16_t>(v >> 16));
}
void Align4(Bytes& out) {
  while (out.size() % 4) out.push_back(0);
}

std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(936, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(936, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

void PutWide(Bytes& out, const std::wstring& text) {
  for (wchar_t c : text) Put16(out, static_cast<std::uint16_t>(c));
  Put16(out, 0);
}

// One node: wLength, wValueLength, wType, key, padding, value, padding, children.
Bytes Node(const std::string& key, const Bytes& value, std::uint16_t valueLength, std::uint16_t type,
           const std::vector<Bytes>& children) {
  Bytes out;
  Put16(out, 0);  // length, filled in below
  Put16(out, valueLength);
  Put16(out, type);
  PutWide(out, Wide(key));
  Align4(out);
  out.insert(out.end(), value.begin(), value.end());
  for (const Bytes& child : children) {
    Align4(out);
    out.insert(out.end(), child.begin(), child.end());
  }
  out[0] = static_cast<std::uint8_t>(out.size());
  out[1] = static_cast<std::uint8_t>(out.size() >> 8);
  return out;
}

Bytes StringNode(const std::string& name, const std::string& value) {
  Bytes text;
  const std::wstring wide = Wide(value);
  PutWide(text, wide);
  return Node(name, text, static_cast<std::uint16_t>(wide.size() + 1), 1, {});
}

Bytes FixedFileInfo() {
  Bytes fixed;
  const std::uint32_t fields[13] = {0xFEEF04BD, 0x00010000, 0x00010002, 0x00030004, 0x00010002, 0x00030004, 0x3F,
                                    0,          0x00040004, 1,          0,          0,          0};
  for (std::uint32_t f : fields) Put32(fixed, f);
  return fixed;
}

}  // namespace

std::vector<std::uint8_t> BuildVersionResource(const VersionResourceLayout& layout) {
  std::vector<Bytes> tables;
  for (const VersionTable& table : layout.tables) {
    std::vector<Bytes> strings;
    for (const auto& [name, value] : table.strings) strings.push_back(StringNode(name, value));
    tables.push_back(Node(table.code, {}, 0, 1, strings));
  }
  std::vector<Bytes> blocks{Node("StringFileInfo", {}, 0, 1, tables)};
  if (layout.withTranslationTable) {
    Bytes entries;
    for (std::uint32_t t : layout.translations) Put32(entries, t);
    const Bytes var = Node("Translation", entries, static_cast<std::uint16_t>(entries.size()), 0, {});
    blocks.push_back(Node("VarFileInfo", {}, 0, 1, {var}));
  }
  const Bytes fixed = FixedFileInfo();
  return Node("VS_VERSION_INFO", fixed, static_cast<std::uint16_t>(fixed.size()), 0, blocks);
}

bool CopyWithVersionResource(const std::string& source, const std::string& target,
                             const VersionResourceLayout* layout) {
  if (!CopyFileA(source.c_str(), target.c_str(), FALSE)) return false;
  if (layout == nullptr) return true;
  Bytes data = BuildVersionResource(*layout);
  HANDLE update = BeginUpdateResourceA(target.c_str(), FALSE);
  if (update == nullptr) return false;
  const BOOL written =
      UpdateResourceA(update, MAKEINTRESOURCEA(16) /* RT_VERSION */, MAKEINTRESOURCEA(1),
                      MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), data.data(), static_cast<DWORD>(data.size()));
  // Committing (or discarding, after a failure) also releases the update handle.
  return EndUpdateResourceA(update, written ? FALSE : TRUE) && written;
}

}  // namespace tavrel::testing
