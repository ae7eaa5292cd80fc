#pragma once
// The bot's only personal memory: the user's name in "user.vimo" (one line, stored form, CR LF),
// kept across runs and never sent anywhere. The file is replaced atomically, never deleted.
//
// Holds only the path; every call reads or writes the file afresh. Replies are Windows-1252.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

class NameMemory {
 public:
  explicit NameMemory(std::filesystem::path file);

  // The name told before, as stored. Nothing when no name was told: no file, or a file whose
  // first item is empty (made by hand), which counts as no name at all.
  std::optional<std::string> StoredName() const;

  // The answer to "jag heter ...": `text` is the whole normalised input; the name is what follows
  // its first 10 characters, wherever the phrase stands. Stores the name when it is new.
  std::string Tell(std::string_view text) const;

  // The answer to "vad heter jag".
  std::string Recall() const;

 private:
  bool Store(std::string_view name) const;

  std::filesystem::path file_;
};
