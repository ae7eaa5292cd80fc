#include "ftp/CUniqueKey.h"

#include <cstdio>

#include "Windows1252.h"

std::string CUniqueKey::FoldKey(const std::string& key) {
  return LowerWindows1252(key);
}

std::string CUniqueKey::UniqueKey(const std::string& str) {
  std::string key = str;
  for (long counter = 1;; ++counter) {
    if (folded_.insert(FoldKey(key)).second) break;
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, "%06ld", counter);
    key = str;
    key.append(suffix);
  }
  keys_.push_back(key);
  return key;
}

void CUniqueKey::Clear() {
  keys_.clear();
  folded_.clear();
}
