#include "ftp/CFtpFiles.h"

#include <stdexcept>

CFtpFile& CFtpFiles::Add(double FileDate, uint32_t FileSizeHigh, uint32_t FileSizeLow,
                         const std::string& FileName, int32_t Attributes) {
  auto entry = std::make_unique<CFtpFile>();
  std::string name = FileName.substr(0, FileName.find('\0'));
  std::string keySource = name;
  for (char& c : keySource) {
    if (c == ' ') c = '_';
  }
  std::string key = keys_.UniqueKey(keySource);
  entry->fileDate_ = FileDate;
  entry->fileSizeHigh_ = FileSizeHigh;
  entry->fileSizeLow_ = FileSizeLow;
  entry->isDirectory_ = (static_cast<uint32_t>(Attributes) & 0x10u) != 0;
  entry->fileName_ = name;
  entry->attributes_ = Attributes;
  byKey_[CUniqueKey::FoldKey(key)] = entries_.size();
  entries_.push_back(std::move(entry));
  return *entries_.back();
}

CFtpFile& CFtpFiles::Item(int32_t index) {
  if (index < 1 || index > Count())
    throw std::out_of_range("CFtpFiles: no entry at position " + std::to_string(index));
  return *entries_[static_cast<size_t>(index - 1)];
}

CFtpFile& CFtpFiles::Item(const std::string& key) {
  auto found = byKey_.find(CUniqueKey::FoldKey(key));
  if (found == byKey_.end()) throw std::out_of_range("CFtpFiles: no entry under the key " + key);
  return *entries_[found->second];
}

void CFtpFiles::Clear() {
  entries_.clear();
  byKey_.clear();
  keys_.Clear();
}
