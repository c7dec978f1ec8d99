// FTP control-channel texts: replies, the PASV and PORT addresses, and the
// transfer type a file is fetched in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavrel::download {

struct FtpReply {
  int code = 0;
  std::string text;     // every line of the reply
  std::size_t end = 0;  // bytes of the received data it took
};

// The first complete reply in the received data: "ddd text" on one line, or
// "ddd-" lines up to the line that starts "ddd " with the same code.
// Nothing while the reply is incomplete; code -1 for a line that is not one.
std::optional<FtpReply> ParseFtpReply(std::string_view received);

struct FtpAddress {
  std::uint32_t address = 0;  // host byte order
  std::uint16_t port = 0;
};

// The address in a 227 reply: "(h1,h2,h3,h4,p1,p2)" anywhere in its text.
std::optional<FtpAddress> ParsePassiveReply(std::string_view text);

// "h1,h2,h3,h4,p1,p2" for a PORT command.
std::string PortArgument(const FtpAddress& address);

// 'I' (binary) or 'A' (text): type 1 is binary, type 3 binary for the
// extensions listed ("|"-separated, letter case ignored), anything else text.
char FtpTransferType(std::string_view path, std::int32_t type, std::string_view binaryExtensions);

}  // namespace tavrel::download
