// Local file names: the folder/name split of a path, the name a server
// chooses, and the names tried when a file of that name exists already.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tavrel::download {

// Tells whether a byte starts a two-byte character in the path's code page,
// so that a second byte equal to "\" is not taken for a separator.
using LeadBytePredicate = bool (*)(unsigned char);

bool NoLeadBytes(unsigned char);
bool GbkLeadByte(unsigned char);

// The position just after the last "\" or "/" (0 when there is none).
std::size_t FileNameStart(std::string_view path, LeadBytePredicate isLead);
bool EndsWithSeparator(std::string_view path, LeadBytePredicate isLead);

// The name a server gave (Content-Disposition, or the last part of the
// address's path with %XX decoded), reduced to its last path component.
// Nothing when that name is empty, "." or "..", only dots and blanks, a
// device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9, with any extension), or
// holds a control character, ":" or one of <>"|?*.
std::optional<std::string> SafeFileName(std::string_view name, LeadBytePredicate isLead);

// The last part of an address path (before any "?" or "#"), %XX decoded.
std::string UrlPathFileName(std::string_view path);

// The path to try after this one exists: "(1)" put before the extension, or
// a name that already ends in "(n)" with n of one or two digits gets n + 1.
std::string NextFreeName(std::string_view path, LeadBytePredicate isLead);

inline constexpr int kMaxRenames = 99;

}  // namespace tavrel::download
