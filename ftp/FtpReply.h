#pragma once

#include <optional>
#include <string>
#include <string_view>

// Pure parsing of the server's replies on the control connection, apart from the transport.
namespace inet {

// Gathers the lines of one reply as they arrive (each with its line end, as libcurl hands them over):
// "ddd-" opens a reply of several lines, which ends at the line beginning with the same code and a
// blank (or the code alone). Lines that belong to no reply (anything before a reply's first line
// that does not begin with three digits) are dropped.
class FtpReplyReader {
 public:
  // Returns true when `line` completed a reply; it is then in Code() and Text() until the next one.
  bool Feed(std::string_view line);
  int Code() const { return code_; }
  // The whole reply, every line with its line end (of a reply past 64 KiB, its first and last lines
  // and as many inner ones as fit into 64 KiB).
  const std::string& Text() const { return text_; }
  // Bytes of the reply that completed last, or of the lines taken so far when it is still open, kept
  // or not.
  size_t Bytes() const { return bytes_; }

 private:
  std::string open_;  // lines of the reply in progress
  std::string text_;
  int code_ = 0;
  size_t bytes_ = 0;
};

// The code of a reply text (its first three digits), 0 if it has none.
int ReplyCode(std::string_view reply);

// The directory of a "257" reply to PWD: the text between the first quote and the next single quote,
// a doubled quote standing for one. Nothing when the reply is not a 257 with a quoted name.
std::optional<std::string> DirectoryFromPwdReply(std::string_view reply);

}  // namespace inet
