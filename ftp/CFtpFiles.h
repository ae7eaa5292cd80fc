#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "ftp/CFtpFile.h"
#include "ftp/CUniqueKey.h"

// The entries of one directory listing, in the server's order, each also reachable under a key: its
// name with blanks made "_", made unique without regard to letter case (CUniqueKey). Entries are owned
// by the collection and live until Clear() or the collection's end; references returned by Add and Item
// become invalid then.
class CFtpFiles {
 public:
  CFtpFiles() = default;
  CFtpFiles(const CFtpFiles&) = delete;
  CFtpFiles& operator=(const CFtpFiles&) = delete;

  // FileName is cut at its first NUL, if it holds one. Attribute 0x10 marks a directory.
  CFtpFile& Add(double FileDate, uint32_t FileSizeHigh, uint32_t FileSizeLow, const std::string& FileName,
                int32_t Attributes);
  // 1-based position. Throws std::out_of_range for a position outside 1..Count().
  CFtpFile& Item(int32_t index);
  // Key lookup without regard to letter case. Throws std::out_of_range for an unknown key.
  CFtpFile& Item(const std::string& key);
  int32_t Count() const { return static_cast<int32_t>(entries_.size()); }
  void Clear();

  class Iterator {
   public:
    explicit Iterator(std::vector<std::unique_ptr<CFtpFile>>::const_iterator at) : at_(at) {}
    CFtpFile& operator*() const { return **at_; }
    Iterator& operator++() {
      ++at_;
      return *this;
    }
    bool operator!=(const Iterator& other) const { return at_ != other.at_; }

   private:
    std::vector<std::unique_ptr<CFtpFile>>::const_iterator at_;
  };
  // NewEnum: for (CFtpFile& entry : files) visits the entries in order.
  Iterator begin() const { return Iterator(entries_.begin()); }
  Iterator end() const { return Iterator(entries_.end()); }

 private:
  std::vector<std::unique_ptr<CFtpFile>> entries_;
  std::unordered_map<std::string, size_t> byKey_;  // folded key -> position
  CUniqueKey keys_;
};
