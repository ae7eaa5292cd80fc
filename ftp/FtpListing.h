#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Turns the text of an FTP LIST reply into find records. Pure functions, no network.
namespace inet {

// A calendar time as the listing gave it (no time zone conversion, whole seconds).
struct CalendarTime {
  int year = 1601;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
  bool operator==(const CalendarTime&) const = default;
};

// One entry of a listing, in the shape of the platform's find record: attribute bits, last-write time,
// the size split into 32-bit halves, and the name as raw bytes (Windows-1252 on our servers).
struct FindData {
  uint32_t attributes = 0;
  CalendarTime lastWrite;
  uint32_t sizeHigh = 0;
  uint32_t sizeLow = 0;
  std::string name;
};

// Parses one line in Unix ("-rw-r--r-- 1 owner group 123 Jan 02 10:30 name") or DOS
// ("01-02-24  10:30AM  <DIR>  name") style. Returns nothing for lines that are not entries ("total 8",
// blank lines, ".", ".."). `now` decides the year of Unix dates written with a time instead of a year.
// A date that does not exist in the calendar is given as 1601-01-01 00:00:00, so the entry is kept.
std::optional<FindData> ParseListLine(std::string_view line, const CalendarTime& now);

// Every entry of a whole reply, in the server's order. Accepts CR LF and LF line ends.
std::vector<FindData> ParseListing(std::string_view text, const CalendarTime& now);

// The current UTC time, the reference for ParseListing when reading a live reply.
CalendarTime CurrentCalendarTime();

}  // namespace inet
