#pragma once

#include <cstdint>
#include <string>

// One entry of a directory listing. Filled only by CFtpFiles::Add; read-only for everybody else.
class CFtpFile {
 public:
  CFtpFile() = default;

  const std::string& Path() const { return path_; }  // never filled: always empty
  int32_t Attributes() const { return attributes_; }
  const std::string& FileName() const { return fileName_; }
  bool IsDirectory() const { return isDirectory_; }
  double FileSize() const;
  // The size as a short text: "532 b", "1.50 KB", "15.0 MB", ... (three significant digits, truncated).
  std::string FileSizeStr() const;
  // Last-write time as a day number since 1899-12-30 plus the time of day as a fraction.
  double FileDate() const { return fileDate_; }
  uint32_t FileSizeHigh() const { return fileSizeHigh_; }
  uint32_t FileSizeLow() const { return fileSizeLow_; }

 private:
  friend class CFtpFiles;
  std::string fileName_;
  bool isDirectory_ = false;
  double fileDate_ = 0;
  int32_t attributes_ = 0;
  std::string path_;
  uint32_t fileSizeHigh_ = 0;
  uint32_t fileSizeLow_ = 0;
};

// The day-number form of a calendar date and time, as CFtpFile::FileDate gives it.
double MakeFileDate(int year, int month, int day, int hour, int minute, int second);

// The short size text before its "bytes" is shortened: "532 bytes", "1.50 KB", "2.00 GB".
std::string FormatByteSize(uint64_t size);
