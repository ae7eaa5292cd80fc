#pragma once
// Stand-ins for the main window's services, so that it runs offscreen without sound or real waits
// (the waiter and the pump are the shared ones of FakePlatform.h, the voice, random source and
// clock those of ChatDoubles.h), and a temporary program folder.

#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ChatDoubles.h"
#include "Environment.h"
#include "FakePlatform.h"
#include "Platform.h"
#include "SpeechVoice.h"

// A fresh folder under the system's temporary folder, removed with everything in it.
class TemporaryFolder {
 public:
  TemporaryFolder();
  ~TemporaryFolder();
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // Writes the bytes exactly as given (Windows-1252, CR LF already in them).
  void Write(const std::string& name, const std::string& bytes) const;
  std::string Read(const std::string& name) const;

 private:
  std::filesystem::path path_;
};
