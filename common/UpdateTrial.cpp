#include "UpdateTrial.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "Settings.h"
#include "TextFile.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

// Enough to remember every refusal a user will meet, small enough that a server announcing a new
// bogus number at every start cannot grow the file without bound.
constexpr std::size_t kRefusalsKept = 32;

fs::path BesideProgram(const fs::path& programFolder, const char* suffix) {
  return programFolder / PathFromUtf8(std::string(kMainProgramFile) + suffix);
}

std::optional<float> VersionFrom(std::string_view line) {
  float version = 0.0f;
  const auto result = std::from_chars(line.data(), line.data() + line.size(), version);
  // "inf" as the installed version would block every release for good.
  if (result.ec != std::errc() || !std::isfinite(version)) return std::nullopt;
  return version;
}

// Every version of a file of version lines, in file order; unreadable lines are skipped.
std::vector<float> ReadVersions(const fs::path& file) {
  std::vector<float> versions;
  const auto bytes = ReadFileBytes(file);
  if (!bytes) return versions;
  std::string_view rest(*bytes);
  while (!rest.empty()) {
    const auto end = std::min(rest.find_first_of("\r\n"), rest.size());
    if (const auto version = VersionFrom(rest.substr(0, end))) versions.push_back(*version);
    rest.remove_prefix(std::min(rest.find_first_not_of("\r\n", end), rest.size()));
  }
  return versions;
}

std::optional<float> ReadVersion(const fs::path& file) {
  const auto versions = ReadVersions(file);
  if (versions.empty()) return std::nullopt;
  return versions.front();
}

bool WriteVersions(const fs::path& file, const std::vector<float>& versions) {
  if (versions.empty()) return RemoveFile(file);
  std::string text;
  for (const float version : versions) text += VersionText(version) + "\r\n";
  return WriteFileDurably(file, text);
}

}  // namespace

fs::path PreviousProgramPath(const fs::path& programFolder) {
  return BesideProgram(programFolder, ".previous");
}

fs::path TrialMarkerPath(const fs::path& programFolder) {
  return BesideProgram(programFolder, ".trial");
}

fs::path TrialWatchPath(const fs::path& programFolder) {
  return BesideProgram(programFolder, ".watch");
}

fs::path FailedReleasePath(const fs::path& programFolder) {
  return BesideProgram(programFolder, ".failed");
}

fs::path RefusedReleasesPath(const fs::path& programFolder) {
  return BesideProgram(programFolder, ".refused");
}

fs::path InstalledVersionPath(const fs::path& programFolder) {
  return BesideProgram(programFolder, ".version");
}

std::string VersionText(float version) {
  char text[64];
  const auto end = std::to_chars(text, text + sizeof text, version, std::chars_format::fixed).ptr;
  return std::string(text, end);
}

void ConfirmHealthyStart(const fs::path& programFolder) {
  RemoveFile(TrialMarkerPath(programFolder));
}

std::optional<float> TrialVersion(const fs::path& programFolder) {
  return ReadVersion(TrialMarkerPath(programFolder));
}

float InstalledVersion(const fs::path& programFolder) {
  const float compiled = static_cast<float>(kProgramVersion);
  return std::max(compiled, ReadVersion(InstalledVersionPath(programFolder)).value_or(compiled));
}

bool RecordInstalledVersion(const fs::path& programFolder, float version) {
  return WriteVersions(InstalledVersionPath(programFolder), {version});
}

void RecordFailedRelease(const fs::path& programFolder, float version) {
  WriteVersions(FailedReleasePath(programFolder), {version});
}

void RecordRefusedRelease(const fs::path& programFolder, float version) {
  auto refused = ReadVersions(RefusedReleasesPath(programFolder));
  if (std::find(refused.begin(), refused.end(), version) != refused.end()) return;
  refused.push_back(version);
  if (refused.size() > kRefusalsKept) refused.erase(refused.begin(), refused.end() - kRefusalsKept);
  WriteVersions(RefusedReleasesPath(programFolder), refused);
}

void ForgetRefusalsUpTo(const fs::path& programFolder, float version) {
  auto refused = ReadVersions(RefusedReleasesPath(programFolder));
  const auto kept = std::remove_if(refused.begin(), refused.end(), [&](float old) { return old <= version; });
  if (kept == refused.end()) return;
  refused.erase(kept, refused.end());
  WriteVersions(RefusedReleasesPath(programFolder), refused);
}

bool ReleaseFailedHere(const fs::path& programFolder, float version) {
  if (version <= InstalledVersion(programFolder)) return true;
  if (const auto failed = ReadVersion(FailedReleasePath(programFolder)); failed && *failed >= version)
    return true;
  const auto refused = ReadVersions(RefusedReleasesPath(programFolder));
  return std::find(refused.begin(), refused.end(), version) != refused.end();
}

std::unique_ptr<TrialWatch> TrialWatch::TryTake(const fs::path& programFolder) {
  const fs::path file = TrialWatchPath(programFolder);
#ifdef _WIN32
  // Not inheritable (no security attributes), so a started program never holds the lock.
  const HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  OVERLAPPED whole{};
  if (!LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &whole)) {
    CloseHandle(handle);
    return nullptr;
  }
  return std::unique_ptr<TrialWatch>(new TrialWatch(reinterpret_cast<std::intptr_t>(handle)));
#else
  // Close-on-exec: the new program must not keep the lock alive after its updater has died.
  const int descriptor = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (descriptor < 0) return nullptr;
  if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
    ::close(descriptor);
    return nullptr;
  }
  return std::unique_ptr<TrialWatch>(new TrialWatch(descriptor));
#endif
}

TrialWatch::~TrialWatch() {
#ifdef _WIN32
  const auto handle = reinterpret_cast<HANDLE>(handle_);
  OVERLAPPED whole{};
  UnlockFileEx(handle, 0, 1, 0, &whole);
  CloseHandle(handle);
#else
  ::flock(static_cast<int>(handle_), LOCK_UN);
  ::close(static_cast<int>(handle_));
#endif
}

bool RevertTrial(const fs::path& programFolder) {
  const fs::path previous = PreviousProgramPath(programFolder);
  bool restored = false;
  if (FileExists(previous)) {
    std::error_code error;
    fs::rename(previous, programFolder / kMainProgramFile, error);
    if (error) return false;
    restored = true;
  }
  // Written durably, which also makes the rename above durable before the marker goes.
  if (const auto version = TrialVersion(programFolder)) RecordFailedRelease(programFolder, *version);
  RemoveFile(TrialMarkerPath(programFolder));
  return restored;
}

bool RevertAbandonedTrial(const fs::path& programFolder) {
  if (!FileExists(TrialMarkerPath(programFolder))) return false;
  const auto watch = TrialWatch::TryTake(programFolder);
  // Asked again under the lock: the updater that held it may just have ended the trial.
  if (!watch || !FileExists(TrialMarkerPath(programFolder))) return false;
  return RevertTrial(programFolder);
}
