#include "ftp/FtpListing.h"

#include <charconv>
#include <cstring>
#include <ctime>

namespace inet {
namespace {

struct Token {
  std::string_view text;
  size_t end = 0;  // offset just past the token in the line
};

std::vector<Token> Tokenize(std::string_view line, size_t maxTokens) {
  std::vector<Token> tokens;
  size_t pos = 0;
  while (tokens.size() < maxTokens) {
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
    if (pos >= line.size()) break;
    size_t start = pos;
    while (pos < line.size() && line[pos] != ' ' && line[pos] != '\t') ++pos;
    tokens.push_back({line.substr(start, pos - start), pos});
  }
  return tokens;
}

bool ParseNumber(std::string_view text, uint64_t& value) {
  if (text.empty()) return false;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && ptr == text.data() + text.size();
}

bool ParseInt(std::string_view text, int& value) {
  uint64_t wide = 0;
  if (!ParseNumber(text, wide) || wide > 100000) return false;
  value = static_cast<int>(wide);
  return true;
}

int MonthFromName(std::string_view name) {
  static const char* kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                  "jul", "aug", "sep", "oct", "nov", "dec"};
  if (name.size() != 3) return 0;
  for (int i = 0; i < 12; ++i) {
    bool same = true;
    for (int c = 0; c < 3; ++c) {
      char lower = static_cast<char>(name[c] | 0x20);
      if (lower != kMonths[i][c]) same = false;
    }
    if (same) return i + 1;
  }
  return 0;
}

bool IsLeap(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

bool IsValid(const CalendarTime& t) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (t.year < 1601 || t.year > 30827 || t.month < 1 || t.month > 12 || t.day < 1) return false;
  int days = kDays[t.month - 1] + (t.month == 2 && IsLeap(t.year) ? 1 : 0);
  return t.day <= days && t.hour >= 0 && t.hour < 24 && t.minute >= 0 && t.minute < 60 && t.second >= 0 &&
         t.second < 60;
}

CalendarTime ValidOrEpoch(const CalendarTime& t) {
  return IsValid(t) ? t : CalendarTime{};
}

bool ParseClock(std::string_view text, int& hour, int& minute) {
  size_t colon = text.find(':');
  if (colon == std::string_view::npos) return false;
  return ParseInt(text.substr(0, colon), hour) && ParseInt(text.substr(colon + 1), minute);
}

void SetSize(FindData& entry, uint64_t size) {
  entry.sizeHigh = static_cast<uint32_t>(size >> 32);
  entry.sizeLow = static_cast<uint32_t>(size & 0xFFFFFFFFu);
}

bool IsDotName(std::string_view name) {
  return name == "." || name == "..";
}

// "-rw-r--r--   1 owner group   123 Jan 02 10:30 name with  blanks"
std::optional<FindData> ParseUnixLine(std::string_view line, const CalendarTime& now) {
  auto tokens = Tokenize(line, 9);
  // Find "<size> <month> <day> <time-or-year>" after the permissions; owner or group may be missing.
  for (size_t m = 2; m + 2 < tokens.size(); ++m) {
    int month = MonthFromName(tokens[m].text);
    uint64_t size = 0;
    int day = 0;
    if (month == 0 || !ParseNumber(tokens[m - 1].text, size) || !ParseInt(tokens[m + 1].text, day)) continue;
    const Token& when = tokens[m + 2];
    size_t nameStart = when.end + 1;
    if (nameStart > line.size()) return std::nullopt;
    std::string_view name = line.substr(nameStart);

    FindData entry;
    CalendarTime time;
    time.month = month;
    time.day = day;
    int hour = 0, minute = 0;
    if (ParseClock(when.text, hour, minute)) {
      time.hour = hour;
      time.minute = minute;
      // Without a year the date lies within the last twelve months.
      time.year = now.year;
      if (month > now.month || (month == now.month && day > now.day + 1)) time.year = now.year - 1;
    } else if (!ParseInt(when.text, time.year)) {
      time.year = 0;  // not a date: ValidOrEpoch replaces it
    }
    entry.lastWrite = ValidOrEpoch(time);
    char kind = line.empty() ? '-' : line[0];
    if (kind == 'l') {
      size_t arrow = name.find(" -> ");
      if (arrow != std::string_view::npos) name = name.substr(0, arrow);
    }
    if (name.empty() || IsDotName(name)) return std::nullopt;
    entry.attributes = kind == 'd' ? 0x10u : 0x80u;
    entry.name = std::string(name);
    SetSize(entry, size);
    return entry;
  }
  return std::nullopt;
}

// "01-02-24  10:30AM       <DIR>          name" or "01-02-2024  10:30PM  123 name"
std::optional<FindData> ParseDosLine(std::string_view line) {
  auto tokens = Tokenize(line, 3);
  if (tokens.size() < 3) return std::nullopt;
  std::string_view date = tokens[0].text;
  if (date.size() < 8 || (date[2] != '-' && date[2] != '/') || date[5] != date[2]) return std::nullopt;
  CalendarTime time;
  if (!ParseInt(date.substr(0, 2), time.month) || !ParseInt(date.substr(3, 2), time.day) ||
      !ParseInt(date.substr(6), time.year)) {
    return std::nullopt;
  }
  if (date.size() == 8) time.year += time.year < 70 ? 2000 : 1900;
  std::string_view clock = tokens[1].text;
  bool pm = false, am = false;
  if (clock.size() > 2) {
    char a = static_cast<char>(clock[clock.size() - 2] | 0x20);
    char b = static_cast<char>(clock[clock.size() - 1] | 0x20);
    if (b == 'm' && (a == 'a' || a == 'p')) {
      pm = a == 'p';
      am = a == 'a';
      clock.remove_suffix(2);
    }
  }
  if (!ParseClock(clock, time.hour, time.minute)) return std::nullopt;
  if (pm && time.hour < 12) time.hour += 12;
  if (am && time.hour == 12) time.hour = 0;

  FindData entry;
  std::string_view third = tokens[2].text;
  uint64_t size = 0;
  if (third == "<DIR>") {
    entry.attributes = 0x10u;
  } else if (ParseNumber(third, size)) {
    entry.attributes = 0x80u;
    SetSize(entry, size);
  } else {
    return std::nullopt;
  }
  size_t nameStart = tokens[2].end;
  while (nameStart < line.size() && line[nameStart] == ' ') ++nameStart;
  std::string_view name = line.substr(nameStart);
  if (name.empty() || IsDotName(name)) return std::nullopt;
  entry.name = std::string(name);
  entry.lastWrite = ValidOrEpoch(time);
  return entry;
}

}  // namespace

std::optional<FindData> ParseListLine(std::string_view line, const CalendarTime& now) {
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
  if (line.empty()) return std::nullopt;
  if (line[0] >= '0' && line[0] <= '9') return ParseDosLine(line);
  return ParseUnixLine(line, now);
}

std::vector<FindData> ParseListing(std::string_view text, const CalendarTime& now) {
  std::vector<FindData> entries;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    if (auto entry = ParseListLine(text.substr(pos, end - pos), now)) entries.push_back(std::move(*entry));
    pos = end + 1;
  }
  return entries;
}

CalendarTime CurrentCalendarTime() {
  std::time_t seconds = std::time(nullptr);
  std::tm parts{};
  gmtime_r(&seconds, &parts);
  return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec};
}

}  // namespace inet
