#pragma once
// The files through which the updater, a freshly installed Vimo and the start-up agree on which
// releases to install and whether the new build started well. Nothing else passes between the
// programs, so this is all plain files in the program folder, named after the main program:
//
// - "Vimo.previous": the replaced program, kept until the new one has started well.
// - "Vimo.trial": the version on trial (one line); present from just before the new build takes the
//   program's name until its start is confirmed or it is reverted.
// - "Vimo.watch": locked (flock, LockFileEx) by the updater that watches the trial; never deleted.
//   A trial whose watch nobody holds was cut short (the updater was killed, the power failed).
// - "Vimo.failed": the newest version that was installed here and did not start.
// - "Vimo.refused": versions the updater refused to install (unsigned, not for this platform, not
//   above the installed one), one a line.
// - "Vimo.version": the version installed here; absent means the one compiled into the programs.
//
// Versions are written as the version record gives them ("10", "9.5"), each line ended by CR LF.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

std::filesystem::path PreviousProgramPath(const std::filesystem::path& programFolder);
std::filesystem::path TrialMarkerPath(const std::filesystem::path& programFolder);
std::filesystem::path TrialWatchPath(const std::filesystem::path& programFolder);
std::filesystem::path FailedReleasePath(const std::filesystem::path& programFolder);
std::filesystem::path RefusedReleasesPath(const std::filesystem::path& programFolder);
std::filesystem::path InstalledVersionPath(const std::filesystem::path& programFolder);

// "10" for 10, "9.5" for 9.5: the fewest digits that read back as the same float.
std::string VersionText(float version);

// Called by the main program once its main window is shown. Harmless when no update is on trial.
void ConfirmHealthyStart(const std::filesystem::path& programFolder);

// The version on trial, or nothing when no trial is under way.
std::optional<float> TrialVersion(const std::filesystem::path& programFolder);

// The higher of the compiled-in version and "Vimo.version": nothing at or below it is installed.
float InstalledVersion(const std::filesystem::path& programFolder);
// Forced to disk; returns false when it could not be written.
bool RecordInstalledVersion(const std::filesystem::path& programFolder, float version);

// Remembers that the build released as `version` was installed here and did not start.
void RecordFailedRelease(const std::filesystem::path& programFolder, float version);
// Remembers that the updater would not install the release announced as `version`. Only that exact
// version is refused, so a bogus announcement of a huge number never blocks a real, lower release.
void RecordRefusedRelease(const std::filesystem::path& programFolder, float version);
// A valid release of `version` has appeared: refusals of it and of lower versions are forgotten.
void ForgetRefusalsUpTo(const std::filesystem::path& programFolder, float version);
// True when the start-up must not hand over to the updater for `version`: a release of this
// version (or a newer one) failed to start here, the updater refused exactly this version, or it
// is not above the version installed here.
bool ReleaseFailedHere(const std::filesystem::path& programFolder, float version);

// The exclusive lock on "Vimo.watch" of one program folder, held while a trial is watched. The lock
// belongs to this process alone (it is not inherited by the programs it starts) and ends with the
// object, or with the process however it ends. Not copyable.
class TrialWatch {
 public:
  // Takes the lock at once, or gives nothing when another process holds it or the file cannot be
  // opened. Creates "Vimo.watch" when it is missing.
  static std::unique_ptr<TrialWatch> TryTake(const std::filesystem::path& programFolder);
  ~TrialWatch();
  TrialWatch(const TrialWatch&) = delete;
  TrialWatch& operator=(const TrialWatch&) = delete;

 private:
  explicit TrialWatch(std::intptr_t handle) : handle_(handle) {}
  std::intptr_t handle_;
};

// Puts "Vimo.previous" back over the program on trial (keeping its own permissions), records the
// trial's version as failed and ends the trial. The caller holds the watch. Returns true when the
// previous program is back; when it cannot be put back the trial stays for a later attempt, and
// without a previous program there is nothing to put back.
bool RevertTrial(const std::filesystem::path& programFolder);

// RevertTrial for a trial that no running updater watches; run before anything else when the
// updater starts. True when it put the previous program back.
bool RevertAbandonedTrial(const std::filesystem::path& programFolder);
