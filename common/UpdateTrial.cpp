#include "UpdateTrial.h"

#include <charconv>
#include <string>

#include "Settings.h"
#include "TextFile.h"

namespace fs = std::filesystem;

namespace {

fs::path BesideProgram(const fs::path& programFolder, const char* suffix) {
  return programFolder / PathFromUtf8(std::string(kMainProgramFile) + suffix);
}

}  // namespace

fs::path PreviousProgramPath(const fs::path& programFolder) {
  return BesideProgram(programFolder, ".previous");
}

fs::path TrialMarkerPath(const fs::path& programFolder) {
  return BesideProgram(programFolder, ".trial");
}

fs::path FailedReleasePath(const fs::path& programFolder) {
  return BesideProgram(programFolder, ".failed");
}

void ConfirmHealthyStart(const fs::path& programFolder) {
  RemoveFile(TrialMarkerPath(programFolder));
}

void RecordFailedRelease(const fs::path& programFolder, float version) {
  char text[64];
  const auto end = std::to_chars(text, text + sizeof text, version, std::chars_format::fixed).ptr;
  WriteFileAtomically(FailedReleasePath(programFolder), std::string(text, end) + "\r\n");
}

bool ReleaseFailedHere(const fs::path& programFolder, float version) {
  const auto record = ReadFileBytes(FailedReleasePath(programFolder));
  if (!record) return false;
  float failed = 0.0f;
  const auto result = std::from_chars(record->data(), record->data() + record->size(), failed);
  return result.ec == std::errc() && failed >= version;
}
