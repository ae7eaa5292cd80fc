#include "SharedFiles.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>

#include "ServerLayout.h"
#include "TextFile.h"

namespace {

// CFtpFile::FileDate counts days from 1899-12-30; 1970-01-01 is day 25569.
constexpr double kUnixEpochFileDate = 25569.0;
constexpr double kSecondsPerDay = 86400.0;
// A temporary of the brain that is larger than the brain is kept this long for the repair.
constexpr std::int64_t kBrainCandidateKeepSeconds = 86400;

std::int64_t SecondsOf(const CFtpFile& entry) {
  return static_cast<std::int64_t>(std::llround((entry.FileDate() - kUnixEpochFileDate) * kSecondsPerDay));
}

std::string WithoutLeadingSlash(std::string_view name) {
  while (!name.empty() && name.front() == '/') name.remove_prefix(1);
  return std::string(name);
}

std::string LockPath() {
  return std::string(remote::kLockFolder);
}

std::string ProbePath(const std::string& owner) {
  return "/" + std::string(remote::kClockProbePrefix) + owner;
}

// Whether `name` is a temporary of `target` ("brain.txt.upload-…" for "brain.txt").
bool IsTemporaryOf(const std::string& name, std::string_view target) {
  const std::string prefix = WithoutLeadingSlash(target) + std::string(remote::kUploadInfix);
  return name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

std::int64_t SystemUtcSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
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

const ListedEntry* RootListing::Find(std::string_view name) const {
  const std::string wanted = WithoutLeadingSlash(name);
  for (const ListedEntry& entry : entries) {
    if (entry.name == wanted) return &entry;
  }
  return nullptr;
}

std::optional<std::int64_t> RootListing::AgeOf(const ListedEntry& entry) const {
  if (!serverNow) return std::nullopt;
  return *serverNow - entry.listedAt;
}

std::optional<RootListing> ListRoot(CFtp& ftp) {
  QuietErrors quiet(ftp);
  if (!ftp.ListDir("/", true)) return std::nullopt;
  RootListing listing;
  for (const CFtpFile& file : ftp.Files()) {
    listing.entries.push_back({file.FileName(), file.IsDirectory(), file.FileSize(), SecondsOf(file)});
  }
  return listing;
}

std::optional<RootListing> ListRootWithProbe(CFtp& ftp, const std::string& owner) {
  const std::string probe = ProbePath(owner);
  bool probed = false;
  {
    QuietErrors quiet(ftp);
    probed = ftp.MakeDir(probe);
  }
  std::optional<RootListing> listing = ListRoot(ftp);
  if (probed) {
    if (listing) {
      if (const ListedEntry* own = listing->Find(probe)) listing->serverNow = own->listedAt;
    }
    QuietErrors quiet(ftp);
    ftp.DeleteDir(probe);
  }
  return listing;
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
  while (true) {
    bool made = false;
    {
      QuietErrors quiet(ftp_);
      made = ftp_.MakeDir(LockPath());
    }
    if (made) {
      held_ = true;
      touchedAt_ = now_();
      // Without its mark the lock still keeps others out; only the check before putting a file
      // in place would then fail, which abandons the work safely.
      QuietErrors quiet(ftp_);
      ftp_.MakeDir(LockPath() + "/" + owner_);
      return true;
    }
    const std::optional<Sight> sight = Look(true);
    switch (sight ? Judge(*sight) : Found::Unknown) {
      case Found::Stale:
        // Broken at most once a turn; one that will not go is waited out like a live one.
        if (BreakIfUnchanged(*sight)) continue;
        break;
      case Found::Absent:
        // Released between our attempt and the look: try again, counting the turn.
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
  }
}

ServerLock::Found ServerLock::Judge(const Sight& sight) const {
  if (!sight.present) return Found::Absent;
  // Without the server's "now" the age is unknown; this computer's clock is no substitute.
  if (!sight.age) return Found::Unknown;
  return *sight.age > timing_.staleAfterSeconds + kListingResolutionSeconds ? Found::Stale : Found::Live;
}

std::optional<ServerLock::Sight> ServerLock::Look(bool withProbe) {
  const std::optional<RootListing> listing = withProbe ? ListRootWithProbe(ftp_, owner_) : ListRoot(ftp_);
  if (!listing) return std::nullopt;
  Sight sight;
  const ListedEntry* lock = listing->Find(remote::kLockFolder);
  if (lock == nullptr) return sight;
  sight.present = true;
  sight.isFolder = lock->isFolder;
  sight.listedAt = lock->listedAt;
  sight.age = listing->AgeOf(*lock);
  if (sight.isFolder) {
    QuietErrors quiet(ftp_);
    if (!ftp_.ListDir(LockPath() + "/", true)) return std::nullopt;
    for (const CFtpFile& entry : ftp_.Files()) sight.marks.push_back(entry.FileName());
    std::sort(sight.marks.begin(), sight.marks.end());
  }
  return sight;
}

bool ServerLock::BreakIfUnchanged(const Sight& seen) {
  // Another copy that judged the same lock stale may have broken and taken it meanwhile; its
  // fresh mark must not be removed.
  const std::optional<Sight> again = Look(false);
  if (!again || !(*again == seen)) return false;
  QuietErrors quiet(ftp_);
  if (!seen.isFolder) return ftp_.DeleteFile(LockPath());
  for (const std::string& mark : seen.marks) {
    const std::string path = LockPath() + "/" + mark;
    if (!ftp_.DeleteDir(path)) ftp_.DeleteFile(path);
  }
  return ftp_.DeleteDir(LockPath());
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

void ServerLock::Touch(CFtp& ftp) {
  // Making and removing an entry inside the folder sets the folder's own time, which the others
  // see in their listings; the mark itself stays as it is for StillHeld.
  QuietErrors quiet(ftp);
  const std::string touch = LockPath() + "/" + owner_ + ".alive";
  if (ftp.MakeDir(touch)) {
    ftp.DeleteDir(touch);
    touchedAt_ = now_();
  }
}

void ServerLock::RefreshIfDue(bool duringTransfer) {
  if (!held_ || now_() - touchedAt_ < timing_.refreshSeconds) return;
  if (!duringTransfer) {
    Touch(ftp_);
    return;
  }
  // The lock's own session is inside a transfer; a second one may do it, once per lock: a server
  // that admits one session per address turns it away, and the merge then goes on untouched.
  if (!keeper_ && !keeperFailed_) {
    keeper_ = std::make_unique<CFtp>();
    keeper_->Port(ftp_.Port());
    keeper_->SetTls(ftp_.Tls());
    keeper_->SetTlsMemory(ftp_.TlsMemory());
    keeper_->SetTlsAuthorities(ftp_.TlsAuthorities());
    QuietErrors quiet(*keeper_);
    if (!keeper_->Connect(ftp_.RemoteHost(), ftp_.UserName(), ftp_.Password(), "")) {
      keeper_.reset();
      keeperFailed_ = true;
    }
  }
  if (keeper_) Touch(*keeper_);
}

void ServerLock::Release() {
  if (!held_) return;
  held_ = false;
  if (keeper_) {
    keeper_->CloseConnection();
    keeper_.reset();
  }
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

bool ListedSizeFits(double listedSize, const std::filesystem::path& localFile) {
  const auto bytes = ReadFileBytes(localFile);
  if (!bytes) return false;
  std::size_t crlf = 0;
  for (std::size_t at = bytes->find("\r\n"); at != std::string::npos; at = bytes->find("\r\n", at + 2))
    ++crlf;
  const double size = static_cast<double>(bytes->size());
  return listedSize == size || listedSize == size - static_cast<double>(crlf);
}

FtpOutcome UploadInPlace(CFtp& ftp, const std::filesystem::path& localFile, const std::string& remoteName,
                         const std::function<bool()>& keepGoing) {
  const std::string temporary = remoteName + std::string(remote::kUploadInfix) + RandomHexName();
  const auto remove = [&](const std::string& name) {
    QuietErrors quiet(ftp);
    ftp.DeleteFile(name);
  };
  const FtpOutcome abandoned{kUploadAbandoned, ""};
  if (FtpOutcome sent = ftp.PutFile(localFile, temporary); !sent) {
    remove(temporary);
    return sent;
  }
  if (keepGoing && !keepGoing()) {
    remove(temporary);
    return abandoned;
  }
  {
    QuietErrors quiet(ftp);
    if (FtpOutcome renamed = ftp.RenFile(temporary, remoteName)) return renamed;
  }
  // Many servers (Windows hosts among them) refuse to rename onto an existing name; the old target
  // then goes aside, but only once the new content is there in full (another copy may have removed
  // the temporary, or the server may have kept only part of it).
  bool whole = false;
  if (const auto listing = ListRoot(ftp)) {
    const ListedEntry* uploaded = listing->Find(temporary);
    whole = uploaded != nullptr && ListedSizeFits(uploaded->size, localFile);
  }
  if (!whole) {
    remove(temporary);
    return abandoned;
  }
  const std::string aside = remoteName + std::string(remote::kUploadInfix) + RandomHexName();
  bool movedAside = false;
  {
    QuietErrors quiet(ftp);
    movedAside = ftp.RenFile(remoteName, aside);
  }
  if (!movedAside) {
    // Let the listener hear why the target could not be replaced; the old one stays.
    const FtpOutcome refused = ftp.RenFile(temporary, remoteName);
    remove(temporary);
    return refused;
  }
  // The listener hears of a failure here: the old target goes back, and if even that fails, both
  // copies stay under temporary names, where the next start or close finds the newest whole one.
  FtpOutcome renamed = ftp.RenFile(temporary, remoteName);
  QuietErrors quiet(ftp);
  if (renamed) {
    ftp.DeleteFile(aside);
  } else if (ftp.RenFile(aside, remoteName)) {
    ftp.DeleteFile(temporary);
  }
  return renamed;
}

void RemoveLeftoverUploads(CFtp& ftp, std::initializer_list<std::string_view> lockedNames,
                           int staleAfterSeconds, const std::string& owner) {
  const auto listing = ListRootWithProbe(ftp, owner);
  if (!listing) return;
  const ListedEntry* brain = listing->Find(remote::kBrain);
  std::vector<std::string> leftovers;
  for (const ListedEntry& entry : listing->entries) {
    const std::optional<std::int64_t> age = listing->AgeOf(entry);
    const bool stale = age && *age > staleAfterSeconds + kListingResolutionSeconds;
    if (entry.isFolder) {
      if (entry.name.rfind(remote::kClockProbePrefix, 0) == 0 && stale) {
        QuietErrors quiet(ftp);
        ftp.DeleteDir("/" + entry.name);
      }
      continue;
    }
    if (entry.name.find(remote::kUploadInfix) == std::string::npos) continue;
    bool locked = false;
    for (std::string_view lockedName : lockedNames) locked = locked || IsTemporaryOf(entry.name, lockedName);
    if (IsTemporaryOf(entry.name, remote::kBrain)) {
      const bool mayBeNewest = brain == nullptr || brain->size < entry.size;
      if (mayBeNewest && !(age && *age > kBrainCandidateKeepSeconds)) continue;
    }
    if (locked || stale) leftovers.push_back("/" + entry.name);
  }
  QuietErrors quiet(ftp);
  for (const std::string& name : leftovers) ftp.DeleteFile(name);
}
