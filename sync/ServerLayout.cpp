#include "ServerLayout.h"

#include <charconv>
#include <cmath>

#include "ItemReader.h"
#include "TextFile.h"

std::filesystem::path LocalFile(const std::filesystem::path& folder, std::string_view utf8Name) {
  return folder / PathFromUtf8(utf8Name);
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
