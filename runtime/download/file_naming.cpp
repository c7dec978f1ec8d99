#include "runtime/download/file_naming.h"

#include <array>

#include "runtime/download/url.h"

namespace tavrel::download {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsDeviceName(std::string_view name) {
  std::string_view stem = name.substr(0, name.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
  static constexpr std::array<std::string_view, 4> kPlain{"CON", "PRN", "AUX", "NUL"};
  for (auto d : kPlain)
    if (EqualsIgnoringCase(stem, d)) return true;
  if (stem.size() == 4 && (StartsWithIgnoringCase(stem, "COM") || StartsWithIgnoringCase(stem, "LPT")) &&
      stem[3] >= '1' && stem[3] <= '9')
    return true;
  return false;
}

// Where the extension's "." stands in the name part, or the path's end.
std::size_t ExtensionStart(std::string_view path, std::size_t nameStart, LeadBytePredicate isLead) {
  std::size_t dot = path.size();
  for (std::size_t i = nameStart; i < path.size(); ++i) {
    if (isLead(static_cast<unsigned char>(path[i])) && i + 1 < path.size()) {
      ++i;
      continue;
    }
    if (path[i] == '.') dot = i;
  }
  return dot;
}

}  // namespace

bool NoLeadBytes(unsigned char) { return false; }
bool GbkLeadByte(unsigned char b) { return b >= 0x81 && b <= 0xFE; }

std::size_t FileNameStart(std::string_view path, LeadBytePredicate isLead) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (isLead(static_cast<unsigned char>(path[i])) && i + 1 < path.size()) {
      ++i;
      continue;
    }
    if (IsSeparator(path[i])) start = i + 1;
  }
  return start;
}

bool EndsWithSeparator(std::string_view path, LeadBytePredicate isLead) {
  return !path.empty() && FileNameStart(path, isLead) == path.size();
}

std::optional<std::string> SafeFileName(std::string_view name, LeadBytePredicate isLead) {
  name = name.substr(FileNameStart(name, isLead));
  if (name.find_first_not_of(". ") == std::string_view::npos) return std::nullopt;
  for (std::size_t i = 0; i < name.size(); ++i) {
    auto b = static_cast<unsigned char>(name[i]);
    if (isLead(b) && i + 1 < name.size()) {
      ++i;
      continue;
    }
    if (b < 0x20 || b == 0x7F) return std::nullopt;
    if (std::string_view(":<>\"|?*").find(static_cast<char>(b)) != std::string_view::npos) return std::nullopt;
  }
  if (IsDeviceName(name)) return std::nullopt;
  return std::string(name);
}

std::string UrlPathFileName(std::string_view path) {
  path = path.substr(0, path.find_first_of("?#"));
  std::size_t slash = path.rfind('/');
  return DecodePercentEscapes(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string NextFreeName(std::string_view path, LeadBytePredicate isLead) {
  std::size_t nameStart = FileNameStart(path, isLead);
  std::size_t dot = ExtensionStart(path, nameStart, isLead);
  std::string_view stem = path.substr(0, dot);
  std::string_view extension = path.substr(dot);

  std::size_t stemName = stem.size() - nameStart;
  if (stemName >= 3 && stem.back() == ')') {
    std::size_t open = stem.rfind('(');
    std::size_t digits = stem.size() - 1 - (open == std::string_view::npos ? 0 : open + 1);
    if (open != std::string_view::npos && open >= nameStart && digits >= 1 && digits <= 2) {
      std::string_view number = stem.substr(open + 1, digits);
      if (number.find_first_not_of("0123456789") == std::string_view::npos) {
        int n = std::stoi(std::string(number)) + 1;
        return std::string(stem.substr(0, open + 1)) + std::to_string(n) + ")" + std::string(extension);
      }
    }
  }
  return std::string(stem) + "(1)" + std::string(extension);
}

}  // namespace tavrel::download
