#pragma once
// Which copy of the shared brain on the server is whole, and the history that no single start or
// close can overwrite.
//
// A brain is whole when it holds at least kWholeBrainCells well-formed records, no fewer than nine
// tenths of the records of "/brain2.txt", and no fewer than nine tenths of those of the newest
// generation at least a day old. The backup's records are counted only when the listing suggests
// they might matter: when the bytes of the brain's well-formed records come to less than nine
// tenths of the backup's listed size. A generation's records are in its name.
//
// Generations are dated copies of a brain that passed every check: "brain-<yyyymmdd>-<records>.txt"
// in the login folder, at most one a day (the server's day, from its listing), the newest
// kGenerationsKept kept. A start writes one a day under the lock and never replaces one.
//
// The candidates for a repair, newest first: temporaries of the brain that failed attempts left
// ("brain.txt.upload-…", the newest merges), the two backups, then the generations.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "BrainRecords.h"
#include "SharedFiles.h"

inline constexpr int kGenerationsKept = 14;

struct Generation {
  std::string name;  // without the leading "/"
  int day = 0;       // yyyymmdd
  std::uint64_t records = 0;
};

std::string GenerationName(int day, std::uint64_t records);
std::optional<Generation> ParseGenerationName(std::string_view name);
// The generations of the listing, newest first.
std::vector<Generation> GenerationsIn(const RootListing& listing);
// The day (yyyymmdd) of a listing time.
int DayOf(std::int64_t listedSeconds);

// Downloads a remote file to a local path; true only when it arrived whole. The caller's own, so
// that its errors are reported and counted the way its window wants.
using FetchFile = std::function<bool(const std::string& remoteName, const std::filesystem::path& local)>;

class BrainCheck {
 public:
  // `scratch`: a file this check may use for a backup it must count. Listing and fetch borrowed.
  BrainCheck(const RootListing& listing, FetchFile fetch, std::filesystem::path scratch);

  // Whether the local copy of the remote `listedName` (how the listing names it, e.g. "brain.txt")
  // is whole. `counted` is filled with what it holds.
  bool IsWhole(const std::filesystem::path& local, std::string_view listedName,
               BrainRecords* counted = nullptr);

  // The newest whole candidate, downloaded into `into`; its remote name, or nothing when none is
  // whole. `broken` is set when a download broke off (the connection is then suspect).
  std::optional<std::string> FetchNewestWhole(const std::filesystem::path& into, bool& broken);

 private:
  bool AtLeastNineTenthsOf(std::uint64_t records, std::uint64_t reference) const;
  std::optional<std::uint64_t> BackupRecords();

  const RootListing& listing_;
  FetchFile fetch_;
  std::filesystem::path scratch_;
  std::optional<std::optional<std::uint64_t>> backupRecords_;
};

// Writes today's generation from a brain that passed every check, unless the server has one of
// today already, and removes all but the newest kGenerationsKept. Takes the lock for it without
// waiting; a lock held elsewhere leaves the generation to a later start. Errors are not reported.
// `seen`: the login folder as listed with a probe just before.
void KeepGeneration(CFtp& ftp, Waiter& waiter, const RootListing& seen, const std::filesystem::path& brain,
                    std::uint64_t records);

// Puts a local brain in place as "/brain.txt" under the lock, waiting for a live one as a close
// does. False with a reason (beginning with "!") when it could not.
bool PutBrainInPlace(CFtp& ftp, Waiter& waiter, const std::filesystem::path& brain, std::string& failure);

// The administrator's restore: downloads the generation `name` (as listed, e.g.
// "brain-20261201-1532.txt") into `scratch`, checks that it holds whole records, and puts it in
// place as "/brain.txt" under the lock. The backups and the other generations stay. False with a
// reason (beginning with "!") when it could not.
bool RestoreGeneration(CFtp& ftp, Waiter& waiter, const std::string& name,
                       const std::filesystem::path& scratch, std::string& failure);
