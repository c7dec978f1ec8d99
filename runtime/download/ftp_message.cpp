#include "runtime/download/ftp_message.h"

#include "runtime/download/url.h"

namespace tavrel::download {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int CodeOf(std::string_view line) {
  if (line.size() < 3 || !IsDigit(line[0]) || !IsDigit(line[1]) || !IsDigit(line[2])) return -1;
  return (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
}

}  // namespace

std::optional<FtpReply> ParseFtpReply(std::string_view received) {
  std::size_t lineEnd = received.find("\r\n");
  if (lineEnd == std::string_view::npos) return std::nullopt;
  std::string_view first = received.substr(0, lineEnd);
  FtpReply reply;
  reply.code = CodeOf(first);
  bool multiLine = reply.code >= 0 && first.size() > 3 && first[3] == '-';
  std::size_t end = lineEnd + 2;
  if (multiLine) {
    const std::string closing = std::string(first.substr(0, 3)) + " ";
    while (true) {
      std::size_t next = received.find("\r\n", end);
      if (next == std::string_view::npos) return std::nullopt;
      std::string_view line = received.substr(end, next - end);
      end = next + 2;
      if (line.substr(0, 4) == closing || line == closing.substr(0, 3)) break;
    }
  }
  reply.text = std::string(received.substr(0, end));
  reply.end = end;
  return reply;
}

std::optional<FtpAddress> ParsePassiveReply(std::string_view text) {
  std::size_t open = text.find('(');
  std::size_t close = text.find(')', open == std::string_view::npos ? 0 : open);
  if (open == std::string_view::npos || close == std::string_view::npos) return std::nullopt;
  std::string_view inside = text.substr(open + 1, close - open - 1);
  std::uint32_t numbers[6];
  for (int i = 0; i < 6; ++i) {
    std::size_t comma = inside.find(',');
    std::string_view part = inside.substr(0, comma);
    while (!part.empty() && part.front() == ' ') part.remove_prefix(1);
    if (part.empty() || part.size() > 3) return std::nullopt;
    std::uint32_t n = 0;
    for (char c : part) {
      if (!IsDigit(c)) return std::nullopt;
      n = n * 10 + static_cast<std::uint32_t>(c - '0');
    }
    if (n > 255) return std::nullopt;
    numbers[i] = n;
    if (i < 5) {
      if (comma == std::string_view::npos) return std::nullopt;
      inside = inside.substr(comma + 1);
    } else if (comma != std::string_view::npos) {
      return std::nullopt;
    }
  }
  FtpAddress a;
  a.address = numbers[0] << 24 | numbers[1] << 16 | numbers[2] << 8 | numbers[3];
  a.port = static_cast<std::uint16_t>(numbers[4] << 8 | numbers[5]);
  if (a.port == 0) return std::nullopt;
  return a;
}

std::string PortArgument(const FtpAddress& a) {
  return std::to_string(a.address >> 24) + "," + std::to_string((a.address >> 16) & 0xFF) + "," +
         std::to_string((a.address >> 8) & 0xFF) + "," + std::to_string(a.address & 0xFF) + "," +
         std::to_string(a.port >> 8) + "," + std::to_string(a.port & 0xFF);
}

char FtpTransferType(std::string_view path, std::int32_t type, std::string_view binaryExtensions) {
  if (type == 1) return 'I';
  if (type != 3) return 'A';
  std::string_view name = path.substr(0, path.find_first_of("?#"));
  std::size_t slash = name.rfind('/');
  if (slash != std::string_view::npos) name = name.substr(slash + 1);
  std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return 'A';
  std::string_view extension = name.substr(dot);
  while (!binaryExtensions.empty()) {
    std::size_t bar = binaryExtensions.find('|');
    std::string_view item = binaryExtensions.substr(0, bar);
    if (!item.empty() && EqualsIgnoringCase(item, extension)) return 'I';
    if (bar == std::string_view::npos) break;
    binaryExtensions.remove_prefix(bar + 1);
  }
  return 'A';
}

}  // namespace tavrel::download
