#include "ftp/CFtpFile.h"

#include <cctype>
#include <cmath>
#include <cstdio>

namespace {

long long DaysFromCivil(int year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  long long era = (year >= 0 ? year : year - 399) / 400;
  long long yearOfEra = year - era * 400;
  long long dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  long long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;  // days since 1970-01-01
}

}  // namespace

double MakeFileDate(int year, int month, int day, int hour, int minute, int second) {
  const long long kDay1899_12_30 = DaysFromCivil(1899, 12, 30);
  double days = static_cast<double>(DaysFromCivil(year, month, day) - kDay1899_12_30);
  double fraction = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
  // Before the base date the day is counted down while the time of day still counts up.
  return days < 0 ? days - fraction : days + fraction;
}

std::string FormatByteSize(uint64_t size) {
  char text[64];
  if (size < 1024) {
    std::snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(size));
    return text;
  }
  static const char* kUnits[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
  double value = static_cast<double>(size) / 1024.0;
  int unit = 0;
  while (value >= 1024.0 && unit < 5) {
    value /= 1024.0;
    ++unit;
  }
  // Three significant digits, cut rather than rounded, so a size never reads larger than it is.
  if (value < 10) {
    std::snprintf(text, sizeof text, "%.2f %s", std::floor(value * 100) / 100, kUnits[unit]);
  } else if (value < 100) {
    std::snprintf(text, sizeof text, "%.1f %s", std::floor(value * 10) / 10, kUnits[unit]);
  } else {
    std::snprintf(text, sizeof text, "%.0f %s", std::floor(value), kUnits[unit]);
  }
  return text;
}

double CFtpFile::FileSize() const {
  return static_cast<double>(fileSizeHigh_) * 4294967296.0 + static_cast<double>(fileSizeLow_);
}

std::string CFtpFile::FileSizeStr() const {
  std::string text = FormatByteSize((static_cast<uint64_t>(fileSizeHigh_) << 32) | fileSizeLow_);
  std::string result;
  for (size_t i = 0; i < text.size();) {
    bool isBytes = i + 5 <= text.size();
    for (size_t k = 0; isBytes && k < 5; ++k) {
      isBytes = std::tolower(static_cast<unsigned char>(text[i + k])) == "bytes"[k];
    }
    if (isBytes) {
      result += 'b';
      i += 5;
    } else {
      result += text[i++];
    }
  }
  return result;
}
