#include "ServerLayout.h"

#include <charconv>
#include <cmath>

#include "ItemReader.h"
#include "TextFile.h"

namespace {

// Like the Windows build's numeric input: the leading number of the item, 0 when there is none. A value
// that is not finite would poison the comparisons and the main window's interval, so it is 0 too.
float NumberFrom(std::string_view item) {
  if (!item.empty() && item.front() == '+') item.remove_prefix(1);
  float value = 0.0f;
  const auto result = std::from_chars(item.data(), item.data() + item.size(), value);
  if (result.ec != std::errc() || !std::isfinite(value)) return 0.0f;
  return value;
}

}  // namespace

std::filesystem::path LocalFile(const std::filesystem::path& folder, std::string_view utf8Name) {
  return folder / PathFromUtf8(utf8Name);
}

VersionRecord ParseVersionRecord(std::string_view text) {
  ItemReader reader(text);
  VersionRecord record;
  record.newestVersion = NumberFrom(reader.Next());
  record.news = std::string(reader.Next());
  record.holidayFlag = NumberFrom(reader.Next());
  record.holidayAnimationInterval = NumberFrom(reader.Next());
  return record;
}

std::optional<VersionRecord> ReadVersionRecord(const std::filesystem::path& file) {
  const auto text = ReadFileBytes(file);
  if (!text) return std::nullopt;
  return ParseVersionRecord(*text);
}

int CountUsers(std::string_view userList) {
  int count = 0;
  for (std::size_t at = userList.find("\r\n"); at != std::string_view::npos;
       at = userList.find("\r\n", at + 2)) {
    ++count;
  }
  return count;
}

bool UserListContains(std::string_view userList, std::string_view name) {
  ItemReader reader(userList);
  while (!reader.AtEnd()) {
    if (reader.Next() == name) return true;
  }
  return false;
}

std::string UserListWithName(std::string_view userList, std::string_view name) {
  std::string list(userList);
  if (!list.empty() && list.back() != '\n' && list.back() != '\r') list += "\r\n";
  list += name;
  list += "\r\n";
  return list;
}
