#include "ItemReader.h"

std::string_view ItemReader::Next() {
  while (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
  const std::size_t start = pos_;
  std::size_t end = text_.find_first_of(",\r\n", pos_);
  if (end == std::string_view::npos) end = text_.size();
  std::string_view item = text_.substr(start, end - start);
  pos_ = end;
  if (pos_ < text_.size()) {
    const char stop = text_[pos_++];
    if (stop == '\r' && pos_ < text_.size() && text_[pos_] == '\n') ++pos_;
  }
  return item;
}
