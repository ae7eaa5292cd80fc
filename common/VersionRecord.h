#pragma once
// "version.txt", the version record both programs read: four items read in order with the item
// reader, the numbers as 32-bit floats. The one reader of it for the main program and the updater.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// "version.txt": four items read in order with the item reader, the numbers as 32-bit floats.
struct VersionRecord {
  float newestVersion = 0.0f;
  // Stored form: every "," of the news is "|".
  std::string news;
  float holidayFlag = 0.0f;
  float holidayAnimationInterval = 0.0f;

  // Exactly 1 announces a holiday; 1.5 or 2 do not.
  bool IsHoliday() const { return holidayFlag == 1.0f; }
  bool IsNewerThan(int installedVersion) const {
    return static_cast<float>(installedVersion) < newestVersion;
  }
};

// Reads the four fields from the record's text. A field that is missing or is not a number reads
// as 0 (an empty news text), so a cut or damaged record can announce neither an update nor a
// holiday that its complete first or third field did not carry.
VersionRecord ParseVersionRecord(std::string_view text);

// The record of the file; nothing when the file is absent or unreadable, which callers treat as
// "no update, no holiday, interval 0".
std::optional<VersionRecord> ReadVersionRecord(const std::filesystem::path& file);

// The leading number of an item (blanks and a "+" before it allowed), 0 when there is none or it
// is not finite: "inf" or "nan" would poison every comparison of versions.
float VersionNumberFrom(std::string_view item);
