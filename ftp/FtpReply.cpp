#include "ftp/FtpReply.h"

namespace inet {

int ReplyCode(std::string_view reply) {
  if (reply.size() < 3) return 0;
  int code = 0;
  for (char digit : reply.substr(0, 3)) {
    if (digit < '0' || digit > '9') return 0;
    code = code * 10 + (digit - '0');
  }
  return code;
}

namespace {
// A server that never ends its reply must not fill the memory: inner lines past this are not kept.
constexpr size_t kMaxKeptReplyBytes = 64 * 1024;
}  // namespace

bool FtpReplyReader::Feed(std::string_view line) {
  int lineCode = ReplyCode(line);
  if (open_.empty() && lineCode == 0) return false;
  bytes_ = open_.empty() ? line.size() : bytes_ + line.size();
  // The last line repeats the first line's code, followed by anything but "-".
  bool last = lineCode != 0 && (open_.empty() || lineCode == ReplyCode(open_)) &&
              (line.size() == 3 || line[3] != '-');
  if (open_.empty() || last || open_.size() + line.size() <= kMaxKeptReplyBytes) open_.append(line);
  if (!last) return false;
  text_ = std::move(open_);
  open_.clear();
  code_ = lineCode;
  return true;
}

std::optional<std::string> DirectoryFromPwdReply(std::string_view reply) {
  size_t open = reply.find('"');
  if (ReplyCode(reply) != 257 || open == std::string_view::npos) return std::nullopt;
  std::string directory;
  for (size_t i = open + 1; i < reply.size(); ++i) {
    if (reply[i] != '"') {
      directory += reply[i];
    } else if (i + 1 < reply.size() && reply[i + 1] == '"') {
      directory += '"';
      ++i;
    } else {
      break;
    }
  }
  return directory;
}

}  // namespace inet
