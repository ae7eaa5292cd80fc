#pragma once
// How much of a brain file is whole: its well-formed records (a line that is exactly "*", then a
// question line and an answer line, neither of them "*" nor holding a comma), and how many of its
// bytes belong to them. A brain padded with junk, cut short or overwritten has few records for its
// size, however many "*" bytes it holds, so every check of a whole brain counts these.

#include <cstdint>
#include <filesystem>
#include <string_view>

struct BrainRecords {
  std::uint64_t records = 0;
  // Bytes of the well-formed records and of the empty lines between them, line ends counted as a
  // single byte each (as servers that keep LF on their disk list them) and as CR LF.
  std::uint64_t wholeBytesLf = 0;
  std::uint64_t wholeBytesCrLf = 0;
  // The file's size and its line ends, to tell how a server's listing size relates to it.
  std::uint64_t fileBytes = 0;
  std::uint64_t lineEnds = 0;
};

// Reads the file in pieces (it may be large); an absent or unreadable file has no records.
BrainRecords CountBrainRecords(const std::filesystem::path& brainFile);
// The same count over text in memory.
BrainRecords CountBrainRecordsIn(std::string_view text);
