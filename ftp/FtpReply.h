#pragma once

#include <optional>
#include <string>
#include <string_view>

// Pure parsing of the server's replies on the control connection, apart from the transport.
namespace inet {

// Gathers reply lines as libcurl hands them over (each with its line end): "ddd-" opens a reply of
// several lines, ended by the line with the same code and no dash. Lines outside a reply that do not
// begin with three digits are dropped.
class FtpReplyReader {
 public:
  // Returns true when `line` completed a reply; it is then in Code() and Text() until the next one.
  bool Feed(std::string_view line);
  int Code() const { return code_; }
  // The whole reply, every line with its line end (of a reply past 64 KiB, its first and last lines
  // and as many inner ones as fit into 64 KiB).
  const std::string& Text() const { return text_; }
  // Bytes (kept or not) of the reply that completed last, or of the one still open.
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
