#pragma once
// The comma-separated item reader that every Vimo text file is read with ("brain.txt",
// "medd.txt", "version.txt", "användare.txt", "user.vimo").
//
// An item runs from the current position to the next comma or line end (CR LF, LF or a lone CR);
// an empty line is one empty item; blanks at the start of an item are dropped. Everything else is
// kept byte for byte: double quotes are ordinary characters and blanks at the end of an item stay,
// so text a user typed comes back exactly as it was written.
//
// The reader borrows the text: it must outlive the reader.

#include <cstddef>
#include <string>
#include <string_view>

class ItemReader {
 public:
  explicit ItemReader(std::string_view text) : text_(text) {}

  // True once every byte has been consumed.
  bool AtEnd() const { return pos_ >= text_.size(); }

  // The next item; at the end it is empty and the reader stays at the end.
  std::string_view Next();

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};
