#pragma once
// Stand-ins for the main window's services, so that it runs offscreen without sound or real waits
// (the waiter and the pump are the shared ones of FakePlatform.h), and a temporary program folder.

#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Environment.h"
#include "FakePlatform.h"
#include "Platform.h"
#include "SpeechVoice.h"

// Remembers every request; the window owns it, the test keeps a pointer through the log.
struct SpeechLog {
  std::vector<std::pair<std::string, int>> spoken;  // text, flags
  std::vector<int> rates;
};

class RecordingVoice final : public SpeechVoice {
 public:
  explicit RecordingVoice(SpeechLog& log) : log_(log) {}
  void SetRate(int rate) override { log_.rates.push_back(rate); }
  void Speak(const std::string& text, int flags) override { log_.spoken.emplace_back(text, flags); }

 private:
  SpeechLog& log_;
};

// Hands out the queued draws, then 0.5 for ever.
class ScriptedRandom final : public RandomSource {
 public:
  double NextUniform() override {
    if (draws.empty()) return 0.5;
    const double next = draws.front();
    draws.pop_front();
    return next;
  }
  std::deque<double> draws;
};

class FixedClock final : public Clock {
 public:
  std::chrono::year_month_day LocalToday() override { return today; }
  std::chrono::year_month_day today{std::chrono::year{2024}, std::chrono::month{6}, std::chrono::day{10}};
};

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
