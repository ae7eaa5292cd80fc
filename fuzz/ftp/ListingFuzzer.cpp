// Feeds arbitrary bytes to the listing parser as a LIST reply from the server would arrive. The first
// byte picks the reference time (year boundaries and leap days move the dates without a year); the rest
// is the reply. Besides not crashing, every entry must be one the directory collection can take.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "ftp/FtpListing.h"
#include "ftp/InetCodes.h"

namespace {

const inet::CalendarTime kReferenceTimes[] = {
    {2024, 6, 15, 12, 0, 0},
    {2025, 1, 1, 0, 0, 0},
    {2024, 2, 29, 23, 59, 59},
    {1601, 1, 1, 0, 0, 0},
};

bool IsWellFormed(const inet::FindData& entry) {
  const auto& t = entry.lastWrite;
  bool dateInRange = t.year >= 1601 && t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31 &&
                     t.hour >= 0 && t.hour < 24 && t.minute >= 0 && t.minute < 60 && t.second >= 0 &&
                     t.second < 60;
  bool knownKind =
      entry.attributes == inet::kAttributeDirectory || entry.attributes == inet::kAttributeNormal;
  bool usableName = !entry.name.empty() && entry.name != "." && entry.name != ".." &&
                    entry.name.find('\n') == std::string::npos;
  return dateInRange && knownKind && usableName;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return -1;
  const auto& now = kReferenceTimes[data[0] % std::size(kReferenceTimes)];
  std::string_view reply(reinterpret_cast<const char*>(data + 1), size - 1);
  size_t lines = 1;
  for (char c : reply) lines += c == '\n' ? 1 : 0;
  auto entries = inet::ParseListing(reply, now);
  if (entries.size() > lines) __builtin_trap();
  for (const auto& entry : entries) {
    if (!IsWellFormed(entry)) __builtin_trap();
  }
  return 0;
}
