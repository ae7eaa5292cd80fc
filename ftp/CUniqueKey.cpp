#include "ftp/CUniqueKey.h"

#include <cstdio>

std::string CUniqueKey::FoldKey(const std::string& key) {
  std::string folded = key;
  for (char& c : folded) {
    auto byte = static_cast<unsigned char>(c);
    if ((byte >= 'A' && byte <= 'Z') || (byte >= 0xC0 && byte <= 0xDE && byte != 0xD7)) {
      byte += 0x20;
    } else if (byte == 0x8A || byte == 0x8C || byte == 0x8E) {  // Š Œ Ž
      byte += 0x10;
    } else if (byte == 0x9F) {  // Ÿ
      byte = 0xFF;
    }
    c = static_cast<char>(byte);
  }
  return folded;
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
