#pragma once
// The speech object `Voice` on espeak-ng, speaking Swedish.

#include <memory>
#include <string>

#include "SpeechVoice.h"

// Words per minute given to espeak-ng for a rate on the -10..10 scale: 175 x 3^(rate / 10),
// which puts -4, 2 and 6 where a listener of the original rates expects them, kept within what
// the engine accepts.
int EspeakWordsPerMinute(int rate);

// espeak-ng plays on its own thread, so Speak returns at once and texts queue behind each other.
// The engine is process-wide and, once started, runs until the process ends; at most one
// EspeakVoice exists at a time and all calls come from one thread. Without a sound device the
// engine still starts and simply plays into nothing.
class EspeakVoice final : public SpeechVoice {
 public:
  // Starts the engine with the Swedish voice (only the first call tries). Null when that cannot be
  // done (no engine data, no Swedish voice, another EspeakVoice alive, or a build without
  // espeak-ng): the caller then simply has no speech.
  static std::unique_ptr<EspeakVoice> Start();

  EspeakVoice(const EspeakVoice&) = delete;
  EspeakVoice& operator=(const EspeakVoice&) = delete;
  ~EspeakVoice() override;

  void SetRate(int rate) override;
  // Every text is spoken in the background, whatever the flags: the window thread never waits for
  // speech. kPurgeBeforeSpeak first silences what is playing and drops the queue.
  void Speak(const std::string& text, int flags) override;

 private:
  EspeakVoice() = default;
};
