// FTP control-channel replies and the passive-mode address.
#include "runtime/download/ftp_message.h"
#include "support/fuzz_input.h"

using namespace tavrel::download;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view received = tavrel::fuzz::AsText(data, size);
  if (const auto reply = ParseFtpReply(received)) {
    FUZZ_CHECK(reply->end >= 2 && reply->end <= size);
    FUZZ_CHECK(reply->text == received.substr(0, reply->end));
    FUZZ_CHECK(reply->text.substr(reply->text.size() - 2) == "\r\n");
    FUZZ_CHECK(reply->code == -1 || (reply->code >= 0 && reply->code <= 999 &&
                                     std::to_string(1000 + reply->code).substr(1) == reply->text.substr(0, 3)));
    // A reply is made of its own bytes alone.
    const auto again = ParseFtpReply(received.substr(0, reply->end));
    FUZZ_CHECK(again && again->code == reply->code && again->end == reply->end);
  }
  if (const auto passive = ParsePassiveReply(received)) {
    FUZZ_CHECK(passive->port != 0);
    const auto back = ParsePassiveReply("(" + PortArgument(*passive) + ")");
    FUZZ_CHECK(back && back->address == passive->address && back->port == passive->port);
  }
  for (std::int32_t type : {1, 2, 3}) {
    const char kind = FtpTransferType(received, type, ".exe|.rar|.zip|.gif|.jpg|.mp3|.rm");
    FUZZ_CHECK(kind == 'I' || kind == 'A');
  }
  return 0;
}
