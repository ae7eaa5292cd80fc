#pragma once
// The flag messages file "medd.txt": line 1 the users' message, line 2 the administrator's. Both
// are kept as stored, every "," written as "|", because the file is read with the item reader.
// Texts are Windows-1252.

#include <filesystem>
#include <string>
#include <string_view>

struct FlagMessages {
  std::string users;  // as stored ("|" for ",")
  std::string admin;  // as stored
};

// The two messages. A missing or unreadable file gives two empty messages: the flag then shows
// nothing rather than failing, and the next refresh fetches the file again.
FlagMessages ReadFlagMessages(const std::filesystem::path& file);

// Rewrites the file atomically with `usersAsEntered` (commas stored as "|") as line 1 and
// `adminAsStored` copied through unchanged as line 2, each ended by CR LF. Line breaks and other control
// characters inside the new message become blanks, so that it cannot push the administrator's
// message off line 2.
// Returns false and leaves the old file when the write fails.
bool WriteFlagMessages(const std::filesystem::path& file, std::string_view usersAsEntered,
                       std::string_view adminAsStored);
