#pragma once
// Stand-ins for what the conversation engine borrows besides the platform (chat/Environment.h,
// chat/SpeechVoice.h), shared by the chat, sync and window suites: a random source that hands out
// queued draws, a clock fixed on a settable day and a voice that only records.

#include <chrono>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "Environment.h"
#include "SpeechVoice.h"

// Hands out the queued draws, then `whenEmpty` for ever; counts every draw.
class ScriptedRandom final : public RandomSource {
 public:
  double NextUniform() override {
    ++draws;
    if (next.empty()) return whenEmpty;
    const double r = next.front();
    next.pop_front();
    return r;
  }
  std::deque<double> next;
  double whenEmpty = 0.5;
  int draws = 0;
};

class FixedClock final : public Clock {
 public:
  std::chrono::year_month_day LocalToday() override { return today; }
  std::chrono::year_month_day today{std::chrono::year{2024}, std::chrono::month{6}, std::chrono::day{10}};
};

// What a voice was asked: each text with its flags, and each rate.
struct SpeechLog {
  std::vector<std::pair<std::string, int>> spoken;
  std::vector<int> rates;
};

// Records into its own log, or into one the test keeps when the code under test owns the voice.
class RecordingVoice final : public SpeechVoice {
 public:
  RecordingVoice() : log_(ownLog_) {}
  explicit RecordingVoice(SpeechLog& log) : log_(log) {}
  RecordingVoice(const RecordingVoice&) = delete;
  RecordingVoice& operator=(const RecordingVoice&) = delete;
  void SetRate(int rate) override { log_.rates.push_back(rate); }
  void Speak(const std::string& text, int flags) override { log_.spoken.emplace_back(text, flags); }

 private:
  SpeechLog ownLog_;
  SpeechLog& log_;

 public:
  std::vector<std::pair<std::string, int>>& spoken = log_.spoken;
  std::vector<int>& rates = log_.rates;
};
