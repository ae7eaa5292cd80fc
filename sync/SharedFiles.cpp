#include "SharedFiles.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <thread>
#include <vector>

namespace {

// CFtpFile::FileDate counts days from 1899-12-30; 1970-01-01 is day 25569.
constexpr double kUnixEpochFileDate = 25569.0;
constexpr double kSecondsPerDay = 86400.0;
// Listings of recent files give the time to the minute, cut off: an entry may be up to this much
// younger than it looks.
constexpr std::int64_t kListingResolutionSeconds = 60;

std::int64_t UtcSecondsOf(const CFtpFile& entry) {
  return static_cast<std::int64_t>(std::llround((entry.FileDate() - kUnixEpochFileDate) * kSecondsPerDay));
}

std::string WithoutLeadingSlash(std::string_view name) {
  while (!name.empty() && name.front() == '/') name.remove_prefix(1);
  return std::string(name);
}

// The entry of the login folder's listing with this name, if the listing works and holds it.
const CFtpFile* FindInRoot(CFtp& ftp, std::string_view name) {
  if (!ftp.ListDir("/", true)) return nullptr;
  const std::string wanted = WithoutLeadingSlash(name);
  for (const CFtpFile& entry : ftp.Files()) {
    if (entry.FileName() == wanted) return &entry;
  }
  return nullptr;
}

std::string LockPath() {
  return std::string(remote::kLockFolder);
}

}  // namespace

std::int64_t SystemUtcSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

void SleepingWaiter::Wait(int milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::string RandomHexName() {
  std::random_device device;
  char text[17];
  std::snprintf(text, sizeof text, "%08x%08x", device(), device());
  return text;
}

QuietErrors::QuietErrors(CFtp& ftp) : ftp_(ftp), previous_(ftp.Listener()) {
  ftp_.SetListener(this);
}

QuietErrors::~QuietErrors() {
  ftp_.SetListener(previous_);
}

void QuietErrors::ErrorMsg(const std::string& sErr) {
  ++count_;
  last_ = sErr;
}

void QuietErrors::StatusMsg(const std::string& Msg) {
  if (previous_) previous_->StatusMsg(Msg);
}

void QuietErrors::TransferProgress(int32_t nPercent, double fBytesReceived, double fFileSize) {
  if (previous_) previous_->TransferProgress(nPercent, fBytesReceived, fFileSize);
}

void QuietErrors::TransferCompleted() {
  if (previous_) previous_->TransferCompleted();
}

ServerLock::ServerLock(CFtp& ftp, Waiter& waiter, LockTiming timing, UtcClock now)
    : ftp_(ftp), waiter_(waiter), timing_(timing), now_(std::move(now)), owner_(RandomHexName()) {}

ServerLock::~ServerLock() {
  if (held_) Release();
}

bool ServerLock::Acquire(const std::function<void()>& onWaiting) {
  failure_.clear();
  int waited = 0;
  bool told = false;
  // A stale lock is broken once per turn; one that will not go (a server that refuses) is waited
  // out like a live one, so the loop stays bounded.
  bool brokeThisTurn = false;
  while (true) {
    bool made = false;
    {
      QuietErrors quiet(ftp_);
      made = ftp_.MakeDir(LockPath());
    }
    if (made) {
      held_ = true;
      // Without its mark the lock still keeps others out; only the check before putting a file
      // in place would then fail, which abandons the work safely.
      ftp_.MakeDir(LockPath() + "/" + owner_);
      return true;
    }
    switch (LookAtLock()) {
      case Found::Stale:
        if (!brokeThisTurn) {
          brokeThisTurn = true;
          BreakLock();
          continue;
        }
        break;
      case Found::Absent:
        // Released between our attempt and the look: try again at once, but count the turn.
        break;
      case Found::Unknown:
        failure_ = "!Kunde inte läsa låset på servern.";
        return false;
      case Found::Live:
        break;
    }
    if (waited >= timing_.waitLimitMs) {
      failure_ = "!En annan Vimo laddar upp just nu; försök igen om en stund.";
      return false;
    }
    if (!told && onWaiting) onWaiting();
    told = true;
    waiter_.Wait(timing_.retryMs);
    waited += timing_.retryMs;
    brokeThisTurn = false;
  }
}

ServerLock::Found ServerLock::LookAtLock() {
  QuietErrors quiet(ftp_);
  const CFtpFile* entry = FindInRoot(ftp_, remote::kLockFolder);
  if (entry == nullptr) return quiet.count() == 0 ? Found::Absent : Found::Unknown;
  const std::int64_t age = now_() - UtcSecondsOf(*entry);
  return age > timing_.staleAfterSeconds + kListingResolutionSeconds ? Found::Stale : Found::Live;
}

void ServerLock::BreakLock() {
  QuietErrors quiet(ftp_);
  std::vector<std::pair<std::string, bool>> marks;
  if (ftp_.ListDir(LockPath() + "/", true)) {
    for (const CFtpFile& entry : ftp_.Files()) marks.emplace_back(entry.FileName(), entry.IsDirectory());
  }
  for (const auto& [mark, isFolder] : marks) {
    if (isFolder) {
      ftp_.DeleteDir(LockPath() + "/" + mark);
    } else {
      ftp_.DeleteFile(LockPath() + "/" + mark);
    }
  }
  ftp_.DeleteDir(LockPath());
}

bool ServerLock::StillHeld() {
  if (!held_) return false;
  QuietErrors quiet(ftp_);
  if (!ftp_.ListDir(LockPath() + "/", true)) return false;
  for (const CFtpFile& entry : ftp_.Files()) {
    if (entry.FileName() == owner_) return true;
  }
  return false;
}

void ServerLock::Release() {
  if (!held_) return;
  held_ = false;
  // Only our own lock is removed: if it was broken and taken by another copy, that copy's mark is
  // in it and the folder is not empty, so its removal fails.
  QuietErrors quiet(ftp_);
  bool markGone = ftp_.DeleteDir(LockPath() + "/" + owner_);
  if (!markGone) {
    // A connection lost on the way would leave the lock to be waited out by everyone else for its
    // whole stale bound; a new one can still release it.
    ftp_.CloseConnection();
    if (ftp_.Connect()) markGone = ftp_.DeleteDir(LockPath() + "/" + owner_);
  }
  if (markGone) ftp_.DeleteDir(LockPath());
}

void CapDownloads(CFtp& ftp, std::uint64_t maxBytes) {
  FtpLimits limits = FtpLimits::Default();
  if (maxBytes != 0) limits.maxDownloadBytes = maxBytes;
  ftp.SetLimits(limits);
}

bool UploadInPlace(CFtp& ftp, const std::filesystem::path& localFile, const std::string& remoteName,
                   const std::function<bool()>& keepGoing) {
  const std::string temporary = remoteName + std::string(remote::kUploadInfix) + RandomHexName();
  const auto removeTemporary = [&] {
    QuietErrors quiet(ftp);
    ftp.DeleteFile(temporary);
  };
  if (!ftp.PutFile(localFile, temporary)) {
    removeTemporary();
    return false;
  }
  if (keepGoing && !keepGoing()) {
    removeTemporary();
    return false;
  }
  {
    QuietErrors quiet(ftp);
    if (ftp.RenFile(temporary, remoteName)) return true;
  }
  // Many servers (Windows hosts among them) refuse to rename onto an existing name.
  bool targetGone = false;
  {
    QuietErrors quiet(ftp);
    targetGone = ftp.DeleteFile(remoteName);
  }
  if (targetGone) {
    if (ftp.RenFile(temporary, remoteName)) return true;
    // The content now exists only under the temporary name: it stays for the next attempt's
    // clean-up rather than vanish (the backups still hold the brain).
    return false;
  }
  // Neither rename nor delete worked: let the listener hear why the target could not be replaced.
  ftp.RenFile(temporary, remoteName);
  removeTemporary();
  return false;
}

void RemoveLeftoverUploads(CFtp& ftp, std::initializer_list<std::string_view> lockedNames,
                           int staleAfterSeconds, const UtcClock& now) {
  QuietErrors quiet(ftp);
  if (!ftp.ListDir("/", true)) return;
  std::vector<std::string> leftovers;
  for (const CFtpFile& entry : ftp.Files()) {
    const std::string& name = entry.FileName();
    const std::size_t infix = name.find(remote::kUploadInfix);
    if (infix == std::string::npos || entry.IsDirectory()) continue;
    bool locked = false;
    for (std::string_view lockedName : lockedNames) {
      if (name.compare(0, infix, WithoutLeadingSlash(lockedName)) == 0 &&
          infix == WithoutLeadingSlash(lockedName).size())
        locked = true;
    }
    if (locked || now() - UtcSecondsOf(entry) > staleAfterSeconds + kListingResolutionSeconds)
      leftovers.push_back("/" + name);
  }
  for (const std::string& name : leftovers) ftp.DeleteFile(name);
}
