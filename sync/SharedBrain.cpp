#include "SharedBrain.h"

#include <algorithm>
#include <charconv>
#include <chrono>

#include "ServerLayout.h"
#include "TextFile.h"

namespace {

constexpr std::string_view kGenerationPrefix = "brain-";
constexpr std::string_view kGenerationSuffix = ".txt";
// Downloads a repair tries at most, so that a server full of junk cannot keep a start busy.
constexpr int kMostCandidatesTried = 6;

std::string Bare(std::string_view name) {
  while (!name.empty() && name.front() == '/') name.remove_prefix(1);
  return std::string(name);
}

bool ParseNumber(std::string_view text, std::uint64_t& value) {
  if (text.empty()) return false;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

}  // namespace

std::string GenerationName(int day, std::uint64_t records) {
  return std::string(kGenerationPrefix) + std::to_string(day) + "-" + std::to_string(records) +
         std::string(kGenerationSuffix);
}

std::optional<Generation> ParseGenerationName(std::string_view name) {
  if (name.size() <= kGenerationPrefix.size() + kGenerationSuffix.size() ||
      !name.starts_with(kGenerationPrefix) || !name.ends_with(kGenerationSuffix))
    return std::nullopt;
  const std::string_view middle = name.substr(
      kGenerationPrefix.size(), name.size() - kGenerationPrefix.size() - kGenerationSuffix.size());
  const std::size_t dash = middle.find('-');
  std::uint64_t day = 0;
  std::uint64_t records = 0;
  if (dash != 8 || !ParseNumber(middle.substr(0, dash), day) ||
      !ParseNumber(middle.substr(dash + 1), records))
    return std::nullopt;
  if (day < 19700101 || day > 99991231) return std::nullopt;
  return Generation{std::string(name), static_cast<int>(day), records};
}

std::vector<Generation> GenerationsIn(const RootListing& listing) {
  std::vector<Generation> generations;
  for (const ListedEntry& entry : listing.entries) {
    if (entry.isFolder) continue;
    if (auto generation = ParseGenerationName(entry.name)) generations.push_back(std::move(*generation));
  }
  std::sort(generations.begin(), generations.end(),
            [](const Generation& a, const Generation& b) { return a.day > b.day; });
  return generations;
}

int DayOf(std::int64_t listedSeconds) {
  using namespace std::chrono;
  const year_month_day date{floor<days>(sys_seconds{seconds{listedSeconds}})};
  return static_cast<int>(date.year()) * 10000 + static_cast<int>(static_cast<unsigned>(date.month())) * 100 +
         static_cast<int>(static_cast<unsigned>(date.day()));
}

BrainCheck::BrainCheck(const RootListing& listing, FetchFile fetch, std::filesystem::path scratch)
    : listing_(listing), fetch_(std::move(fetch)), scratch_(std::move(scratch)) {}

bool BrainCheck::AtLeastNineTenthsOf(std::uint64_t records, std::uint64_t reference) const {
  return records * 10 >= reference * 9;
}

std::optional<std::uint64_t> BrainCheck::BackupRecords() {
  if (!backupRecords_) {
    backupRecords_.emplace();
    std::error_code ignored;
    std::filesystem::create_directories(scratch_.parent_path(), ignored);
    RemoveFile(scratch_);
    if (fetch_(std::string(remote::kBrainBackup), scratch_))
      *backupRecords_ = CountBrainRecords(scratch_).records;
    RemoveFile(scratch_);
  }
  return *backupRecords_;
}

bool BrainCheck::IsWhole(const std::filesystem::path& local, std::string_view listedName,
                         BrainRecords* counted) {
  const BrainRecords found = CountBrainRecords(local);
  if (counted) *counted = found;
  if (found.records < kWholeBrainCells) return false;

  const std::string name = Bare(listedName);
  if (name != Bare(remote::kBrainBackup)) {
    if (const ListedEntry* backup = listing_.Find(remote::kBrainBackup)) {
      // Sizes on the server are those of its disk: the bytes as sent, or LF for every CR LF.
      const ListedEntry* self = listing_.Find(name);
      const bool keepsCrLf = self != nullptr && self->size == static_cast<double>(found.fileBytes);
      const double wholeBytes = static_cast<double>(keepsCrLf ? found.wholeBytesCrLf : found.wholeBytesLf);
      if (wholeBytes * 10 < backup->size * 9) {
        // A listing or download that fails decides nothing.
        const auto reference = BackupRecords();
        if (reference && !AtLeastNineTenthsOf(found.records, *reference)) return false;
      }
    }
  }
  if (listing_.serverNow) {
    const int today = DayOf(*listing_.serverNow);
    for (const Generation& generation : GenerationsIn(listing_)) {
      if (generation.day >= today || generation.name == name) continue;
      return AtLeastNineTenthsOf(found.records, generation.records);
    }
  }
  return true;
}

std::optional<std::string> BrainCheck::FetchNewestWhole(const std::filesystem::path& into, bool& broken) {
  broken = false;
  std::vector<const ListedEntry*> temporaries;
  const std::string temporaryPrefix = Bare(remote::kBrainUpload) + std::string(remote::kUploadInfix);
  for (const ListedEntry& entry : listing_.entries) {
    if (!entry.isFolder && entry.name.starts_with(temporaryPrefix)) temporaries.push_back(&entry);
  }
  std::sort(temporaries.begin(), temporaries.end(),
            [](const ListedEntry* a, const ListedEntry* b) { return a->listedAt > b->listedAt; });
  std::vector<std::string> candidates;
  for (const ListedEntry* entry : temporaries) candidates.push_back(entry->name);
  for (std::string_view backup : {remote::kBrainBackup, remote::kBrainManualBackup}) {
    if (listing_.Find(backup)) candidates.push_back(Bare(backup));
  }
  for (const Generation& generation : GenerationsIn(listing_)) candidates.push_back(generation.name);

  int tried = 0;
  for (const std::string& candidate : candidates) {
    if (tried++ == kMostCandidatesTried) break;
    RemoveFile(into);
    if (!fetch_("/" + candidate, into)) {
      broken = true;
      return std::nullopt;
    }
    if (IsWhole(into, candidate)) return "/" + candidate;
  }
  RemoveFile(into);
  return std::nullopt;
}

void KeepGeneration(CFtp& ftp, Waiter& waiter, const RootListing& seen, const std::filesystem::path& brain,
                    std::uint64_t records) {
  if (!seen.serverNow) return;
  const int today = DayOf(*seen.serverNow);
  const std::vector<Generation> before = GenerationsIn(seen);
  if (!before.empty() && before.front().day >= today) return;

  LockTiming once;
  once.waitLimitMs = 0;
  ServerLock lock(ftp, waiter, once);
  if (!lock.Acquire()) return;
  QuietErrors quiet(ftp);
  // Another start may have written today's while this one waited for the lock.
  const auto listing = ListRoot(ftp);
  if (!listing) return;
  std::vector<Generation> generations = GenerationsIn(*listing);
  if (generations.empty() || generations.front().day < today) {
    if (!UploadInPlace(ftp, brain, GenerationName(today, records), [&] { return lock.StillHeld(); })) return;
    generations.insert(generations.begin(), Generation{GenerationName(today, records), today, records});
  }
  for (std::size_t old = kGenerationsKept; old < generations.size(); ++old)
    ftp.DeleteFile("/" + generations[old].name);
}

bool PutBrainInPlace(CFtp& ftp, Waiter& waiter, const std::filesystem::path& brain, std::string& failure) {
  ServerLock lock(ftp, waiter);
  if (!lock.Acquire()) {
    failure = lock.failure();
    return false;
  }
  QuietErrors quiet(ftp);
  const FtpOutcome put =
      UploadInPlace(ftp, brain, std::string(remote::kBrainUpload), [&] { return lock.StillHeld(); });
  if (put) return true;
  failure = put.text.empty() ? "!Kunde inte lägga tillbaka hjärnan på servern." : put.text;
  return false;
}

bool RestoreGeneration(CFtp& ftp, Waiter& waiter, const std::string& name,
                       const std::filesystem::path& scratch, std::string& failure) {
  const auto generation = ParseGenerationName(Bare(name));
  if (!generation) {
    failure = "!" + name + " is not the name of a generation (brain-<yyyymmdd>-<records>.txt).";
    return false;
  }
  std::error_code ignored;
  if (scratch.has_parent_path()) std::filesystem::create_directories(scratch.parent_path(), ignored);
  RemoveFile(scratch);
  FtpOutcome fetched;
  {
    QuietErrors quiet(ftp);
    fetched = ftp.GetFile("/" + generation->name, scratch, false);
  }
  if (!fetched) failure = fetched.text;
  bool restored = false;
  if (fetched && CountBrainRecords(scratch).records < kWholeBrainCells) {
    failure =
        "!" + generation->name + " holds fewer than " + std::to_string(kWholeBrainCells) + " whole records.";
  } else if (fetched) {
    restored = PutBrainInPlace(ftp, waiter, scratch, failure);
  }
  RemoveFile(scratch);
  return restored;
}
