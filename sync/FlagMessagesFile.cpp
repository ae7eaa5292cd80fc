#include "FlagMessagesFile.h"

#include <algorithm>

#include "BrainStore.h"
#include "ItemReader.h"
#include "TextFile.h"
#include "Windows1252.h"

FlagMessages ReadFlagMessages(const std::filesystem::path& file) {
  const auto bytes = ReadFileBytes(file);
  if (!bytes) return {};
  ItemReader reader(*bytes);
  FlagMessages messages;
  messages.users = std::string(reader.Next());
  messages.admin = std::string(reader.Next());
  return messages;
}

bool WriteFlagMessages(const std::filesystem::path& file, std::string_view usersAsEntered,
                       std::string_view adminAsStored) {
  std::string content = BlankControlCharacters(BrainStore::ToStored(usersAsEntered)) + "\r\n";
  content.append(adminAsStored);
  content += "\r\n";
  return WriteFileAtomically(file, content);
}
