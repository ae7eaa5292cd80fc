#include "VersionRecord.h"

#include <charconv>
#include <cmath>

#include "ItemReader.h"
#include "TextFile.h"

float VersionNumberFrom(std::string_view item) {
  const auto start = item.find_first_not_of(" \t");
  item.remove_prefix(start == std::string_view::npos ? item.size() : start);
  if (!item.empty() && item.front() == '+') item.remove_prefix(1);
  float value = 0.0f;
  const auto result = std::from_chars(item.data(), item.data() + item.size(), value);
  if (result.ec != std::errc() || !std::isfinite(value)) return 0.0f;
  return value;
}

VersionRecord ParseVersionRecord(std::string_view text) {
  ItemReader reader(text);
  VersionRecord record;
  record.newestVersion = VersionNumberFrom(reader.Next());
  record.news = std::string(reader.Next());
  record.holidayFlag = VersionNumberFrom(reader.Next());
  record.holidayAnimationInterval = VersionNumberFrom(reader.Next());
  return record;
}

std::optional<VersionRecord> ReadVersionRecord(const std::filesystem::path& file) {
  const auto text = ReadFileBytes(file);
  if (!text) return std::nullopt;
  return ParseVersionRecord(*text);
}
