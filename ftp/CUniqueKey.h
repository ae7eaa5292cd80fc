#pragma once

#include <string>
#include <unordered_set>
#include <vector>

// Hands out keys that are unique within this object, comparing keys without regard to letter case
// (Windows-1252 letters included). The first request for a text gets the text itself; later requests for
// an equal text get it followed by a counter of at least six digits ("name000001", "name000002", ...).
class CUniqueKey {
 public:
  CUniqueKey() = default;
  CUniqueKey(const CUniqueKey&) = delete;
  CUniqueKey& operator=(const CUniqueKey&) = delete;

  std::string UniqueKey(const std::string& str);
  void Clear();

  // Windows-1252 text folded for key comparison.
  static std::string FoldKey(const std::string& key);

 private:
  std::vector<std::string> keys_;
  std::unordered_set<std::string> folded_;
};
