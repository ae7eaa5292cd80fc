#pragma once
// The files through which the updater and a freshly installed Vimo agree on whether the new build
// started well. Nothing else passes between the two programs, so this is all plain files in the
// program folder, named after the main program ("Vimo.previous", "Vimo.trial", "Vimo.failed").
//
// The updater keeps the replaced program as the previous one and leaves the trial marker before it
// starts the new build; the new build removes the marker once its main window is shown. A build that
// ends or hangs with the marker still there is replaced by the previous one, and its version is
// recorded as failed so that the start-up does not offer the same release again.

#include <filesystem>

std::filesystem::path PreviousProgramPath(const std::filesystem::path& programFolder);
std::filesystem::path TrialMarkerPath(const std::filesystem::path& programFolder);
std::filesystem::path FailedReleasePath(const std::filesystem::path& programFolder);

// Called by the main program once its main window is shown. Harmless when no update is on trial.
void ConfirmHealthyStart(const std::filesystem::path& programFolder);

// Remembers that the build released as `version` was installed here and did not start.
void RecordFailedRelease(const std::filesystem::path& programFolder, float version);
// True when a release of this version (or a newer one) already failed to start here.
bool ReleaseFailedHere(const std::filesystem::path& programFolder, float version);
