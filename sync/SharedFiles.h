#pragma once
// Writing the files every copy of the program shares, built only from what every FTP server offers:
//
// - The lock is "/vimo.lock": MKD of a folder that exists fails, so at most one copy holds it. The
//   holder marks it with a folder of its own inside ("/vimo.lock/<owner>") and checks that mark
//   before it puts anything in place, so a holder whose lock was broken never overwrites the work
//   of the copy that broke it. While it holds the lock it touches the folder at least every
//   LockTiming::refreshSeconds (a folder made and removed inside it), so the folder's listing time
//   says when its holder was last alive.
// - A lock's age is judged on the server's clock alone: the copy makes a probe folder of its own
//   beside the lock and lists both at once, so neither this computer's clock nor the zone the server
//   lists its times in can make a live lock look stale or a dead one young. A lock older than
//   LockTiming::staleAfterSeconds is looked at again right before it is broken, and broken only
//   when it is unchanged. A file named "vimo.lock" is aged and removed like the folder.
// - A file is put in place by uploading it under a temporary name beside the target
//   ("<name>.upload-<random>") and renaming that over the target. A server that refuses to rename
//   onto an existing name gets the old target renamed aside first (under a name of the same kind),
//   once the temporary is confirmed on the server whole; if the rename still fails, the old target
//   is put back. Readers never see half a file, and no failure leaves the server without one.
//
// Everything here runs on the caller's CFtp, synchronously. Failures whose reply is an answer (the
// lock exists, the rename is refused) reach nobody; every other failure reaches the CFtp's listener
// as usual, and the call returns false.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Platform.h"
#include "ftp/CFtp.h"

namespace remote {
inline constexpr std::string_view kLockFolder = "/vimo.lock";
inline constexpr std::string_view kUploadInfix = ".upload-";
// A folder a copy makes beside the lock for a moment, to read the server's clock in its listing.
inline constexpr std::string_view kClockProbePrefix = "vimo.probe-";
}  // namespace remote

struct LockTiming {
  // A lock not touched by its holder for longer than this is stale.
  int staleAfterSeconds = 120;
  // How long Acquire waits for a live lock before it gives up (0: one attempt only).
  int waitLimitMs = 30000;
  // The pause between two attempts.
  int retryMs = 500;
  // How often a holder touches its lock.
  int refreshSeconds = 30;
};

// Seconds on this computer's clock. Only ever used to measure how long this copy has held the lock,
// never compared with a time from the server.
using UtcClock = std::function<std::int64_t()>;
std::int64_t SystemUtcSeconds();

// A random hex text of 16 digits, for owner marks and temporary names.
std::string RandomHexName();

// Routes the CFtp's error reports away from its listener while it lives, keeping its other
// events; the errors are counted and the last one is kept. Not copyable; restores the listener.
class QuietErrors final : private CFtpListener {
 public:
  explicit QuietErrors(CFtp& ftp);
  ~QuietErrors() override;
  QuietErrors(const QuietErrors&) = delete;
  QuietErrors& operator=(const QuietErrors&) = delete;

  int count() const { return count_; }
  const std::string& last() const { return last_; }

 private:
  void ErrorMsg(const std::string& sErr) override;
  void StatusMsg(const std::string& Msg) override;
  void TransferProgress(int32_t nPercent, double fBytesReceived, double fFileSize) override;
  void TransferCompleted() override;

  CFtp& ftp_;
  CFtpListener* previous_;
  int count_ = 0;
  std::string last_;
};

// One entry of the login folder as a listing showed it; `listedAt` is in the listing's own time,
// comparable only with times of the same listing.
struct ListedEntry {
  std::string name;  // without the leading "/"
  bool isFolder = false;
  double size = 0;
  std::int64_t listedAt = 0;
};

// The login folder listed once, with a probe made just before: `serverNow` is the probe's listing
// time, the server's "now" in the listing's terms (absent when no probe could be made).
struct RootListing {
  std::vector<ListedEntry> entries;
  std::optional<std::int64_t> serverNow;

  const ListedEntry* Find(std::string_view name) const;
  // How old an entry is by the server's clock; absent without a probe.
  std::optional<std::int64_t> AgeOf(const ListedEntry& entry) const;
};

// Lists "/" as it is; nothing when the listing fails.
std::optional<RootListing> ListRoot(CFtp& ftp);
// Lists "/" with a probe of `owner`'s made just before and removed after. Nothing when the listing
// itself fails.
std::optional<RootListing> ListRootWithProbe(CFtp& ftp, const std::string& owner);

// The listing resolution: listings of recent files give the time to the minute, cut off.
inline constexpr std::int64_t kListingResolutionSeconds = 60;

class ServerLock {
 public:
  // The CFtp, waiter and clock are borrowed and must outlive the lock.
  ServerLock(CFtp& ftp, Waiter& waiter, LockTiming timing = {}, UtcClock now = SystemUtcSeconds);
  // Releases the lock if it is still held.
  ~ServerLock();
  ServerLock(const ServerLock&) = delete;
  ServerLock& operator=(const ServerLock&) = delete;

  // Takes the lock, breaking a stale one. While another copy holds a live one it waits, at most
  // waitLimitMs in all, calling onWaiting before the first pause. False when the wait ran out or
  // the server failed; failure() then says why.
  bool Acquire(const std::function<void()>& onWaiting = {});
  // Whether the lock is still this holder's (nobody broke it as stale meanwhile).
  bool StillHeld();
  // Touches the lock when refreshSeconds have passed since it was last touched. Between calls on
  // the lock's own CFtp; `duringTransfer` when the CFtp is busy with a transfer (a progress event),
  // which a second session of the same account then does, if the server lets it in.
  void RefreshIfDue(bool duringTransfer = false);
  void Release();

  bool held() const { return held_; }
  // Why Acquire failed, as an error text beginning with "!".
  const std::string& failure() const { return failure_; }
  const std::string& owner() const { return owner_; }

 private:
  // The lock as one look saw it.
  struct Sight {
    bool present = false;
    bool isFolder = true;
    std::int64_t listedAt = 0;
    std::optional<std::int64_t> age;
    std::vector<std::string> marks;
    bool operator==(const Sight& other) const {
      return present == other.present && isFolder == other.isFolder && listedAt == other.listedAt &&
             marks == other.marks;
    }
  };
  enum class Found { Absent, Live, Stale, Unknown };
  Found Judge(const Sight& sight) const;
  std::optional<Sight> Look(bool withProbe);
  // Breaks the lock if it is still as `seen`; false when it changed meanwhile.
  bool BreakIfUnchanged(const Sight& seen);
  void Touch(CFtp& ftp);

  CFtp& ftp_;
  Waiter& waiter_;
  LockTiming timing_;
  UtcClock now_;
  std::string owner_;
  bool held_ = false;
  std::int64_t touchedAt_ = 0;
  std::unique_ptr<CFtp> keeper_;
  bool keeperFailed_ = false;
  std::string failure_;
};

// The most a download of each kind of shared file may bring: the version record and the flag
// messages are a line or two, the user list a line per computer.
inline constexpr std::uint64_t kSmallFileMaxBytes = 64u << 10;
inline constexpr std::uint64_t kUserListMaxBytes = 16u << 20;

// Bounds what the next downloads of the CFtp may bring (0: the client's own bound).
void CapDownloads(CFtp& ftp, std::uint64_t maxBytes);

// The sizes a server may list for a text file uploaded in ASCII mode: its bytes as they are, or
// with every CR LF kept as LF.
bool ListedSizeFits(double listedSize, const std::filesystem::path& localFile);

// Uploads the local file under a temporary name beside `remoteName` and puts it in place (see the
// top of this file). On failure the target is as it was, or, where the server let it be renamed
// aside and not back, present under a temporary name that the brain's repair finds. `keepGoing` is
// asked before anything is put in place; answering false abandons the upload (used to check the
// lock is still held).
// The outcome is the failing call's (its listener heard of it), or kUploadAbandoned with no text when
// nothing failed that a listener heard of: `keepGoing` said no, or the temporary vanished before it
// could be put in place.
inline constexpr std::int32_t kUploadAbandoned = -1;
FtpOutcome UploadInPlace(CFtp& ftp, const std::filesystem::path& localFile, const std::string& remoteName,
                         const std::function<bool()>& keepGoing = {});

// Removes what failed attempts left in the login folder: temporaries of `lockedNames` (only ever
// written under the lock, which the caller holds), other temporaries and probes once they are older
// than `staleAfterSeconds` by the server's clock. A temporary of the brain is kept while it may be
// the newest whole copy: while "/brain.txt" is missing or smaller than it, for a day.
void RemoveLeftoverUploads(CFtp& ftp, std::initializer_list<std::string_view> lockedNames,
                           int staleAfterSeconds, const std::string& owner);
