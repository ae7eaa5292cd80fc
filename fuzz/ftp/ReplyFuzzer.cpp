// Feeds arbitrary bytes to the reply reader as libcurl hands over the control connection's lines, and
// every completed reply to the PWD parser. Besides not crashing, a completed reply must start with its
// code and count exactly the bytes fed since the previous one ended (less lines outside any reply),
// keeping no more of them than were fed.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "ftp/FtpReply.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  inet::FtpReplyReader reader;
  size_t fed = 0;
  while (!text.empty()) {
    size_t end = text.find('\n');
    end = end == std::string_view::npos ? text.size() : end + 1;
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end);
    if (inet::ReplyCode(line) != 0 || fed != 0) fed += line.size();
    if (!reader.Feed(line)) continue;
    if (inet::ReplyCode(reader.Text()) != reader.Code() || reader.Code() == 0) __builtin_trap();
    if (reader.Text().size() > fed || reader.Bytes() != fed) __builtin_trap();
    fed = 0;
    auto directory = inet::DirectoryFromPwdReply(reader.Text());
    if (directory.has_value() && (reader.Code() != 257 || directory->size() >= reader.Text().size())) {
      __builtin_trap();
    }
  }
  return 0;
}
