#pragma once
// The speech object `Voice`. Implementations speak in the background and never block; without a
// sound device or engine they say nothing and raise nothing.

#include <string>

class SpeechVoice {
 public:
  // Flags of Speak: speak in the background behind what is queued, or silence everything.
  static constexpr int kSpeakAsync = 1;
  static constexpr int kPurgeBeforeSpeak = 2;

  virtual ~SpeechVoice() = default;
  // Rate on the scale -10..10 (the engine maps it to its own speed).
  virtual void SetRate(int rate) = 0;
  // Speaks Windows-1252 text. An empty text with kPurgeBeforeSpeak stops speech at once and
  // drops the queue.
  virtual void Speak(const std::string& text, int flags) = 0;
};
