#pragma once
// Writing the files every copy of the program shares, built only from what every FTP server offers:
//
// - The lock is the folder "/vimo.lock": MKD of a folder that exists fails, so at most one copy
//   holds it. The holder marks it with a folder of its own inside ("/vimo.lock/<owner>") and checks
//   that mark before it puts anything in place, so a holder whose lock was broken as stale never
//   overwrites the work of the copy that broke it. A lock whose listing time is older than
//   LockTiming::staleAfterSeconds was left by a copy that died; it is removed and taken.
// - A file is put in place by uploading it under a temporary name beside the target
//   ("<name>.upload-<random>") and renaming that over the target; a server that refuses to rename
//   onto an existing name gets the target deleted first. Readers never see half a file.
//
// Everything here runs on the caller's CFtp, synchronously. Failures whose reply is an answer (the
// lock exists, the rename is refused) reach nobody; every other failure reaches the CFtp's listener
// as usual, and the call returns false.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "Platform.h"
#include "ftp/CFtp.h"

namespace remote {
inline constexpr std::string_view kLockFolder = "/vimo.lock";
inline constexpr std::string_view kUploadInfix = ".upload-";
}  // namespace remote

struct LockTiming {
  // A lock listed as older than this is stale.
  int staleAfterSeconds = 120;
  // How long Acquire waits for a live lock before it gives up.
  int waitLimitMs = 30000;
  // The pause between two attempts.
  int retryMs = 500;
};

// Seconds since 1970 in UTC, as the lock's age is measured (listing times are taken as UTC).
using UtcClock = std::function<std::int64_t()>;
std::int64_t SystemUtcSeconds();

// Sleeps on the calling thread; for code that has no window to keep alive while it waits.
class SleepingWaiter final : public Waiter {
 public:
  void Wait(int milliseconds) override;
};

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
  void Release();

  bool held() const { return held_; }
  // Why Acquire failed, as an error text beginning with "!".
  const std::string& failure() const { return failure_; }
  const std::string& owner() const { return owner_; }

 private:
  enum class Found { Absent, Live, Stale, Unknown };
  Found LookAtLock();
  void BreakLock();

  CFtp& ftp_;
  Waiter& waiter_;
  LockTiming timing_;
  UtcClock now_;
  std::string owner_;
  bool held_ = false;
  std::string failure_;
};

// The most a download of each kind of shared file may bring: the version record and the flag
// messages are a line or two, the user list a line per computer.
inline constexpr std::uint64_t kSmallFileMaxBytes = 64u << 10;
inline constexpr std::uint64_t kUserListMaxBytes = 16u << 20;

// Bounds what the next downloads of the CFtp may bring (0: the client's own bound).
void CapDownloads(CFtp& ftp, std::uint64_t maxBytes);

// Uploads the local file under a temporary name beside `remoteName` and renames it into place
// (after deleting the target when the server will not rename onto it). On failure the temporary
// file is removed again as far as the server allows, and the target is as it was unless the
// fallback's delete went through and its rename did not. `keepTarget` is asked before anything is
// put in place; answering false abandons the upload (used to check the lock is still held).
bool UploadInPlace(CFtp& ftp, const std::filesystem::path& localFile, const std::string& remoteName,
                   const std::function<bool()>& keepGoing = {});

// Removes temporary uploads that failed attempts left in the login folder: those of `lockedNames`
// (only ever written under the lock, which the caller holds) whatever their age, the others once
// they are older than `staleAfterSeconds`.
void RemoveLeftoverUploads(CFtp& ftp, std::initializer_list<std::string_view> lockedNames,
                           int staleAfterSeconds, const UtcClock& now = SystemUtcSeconds);
