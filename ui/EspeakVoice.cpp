#include "EspeakVoice.h"

#include <algorithm>
#include <cmath>

#include "Windows1252.h"

#ifdef VIMO_HAVE_ESPEAK
#include <espeak-ng/speak_lib.h>
#endif

int EspeakWordsPerMinute(int rate) {
  constexpr int kSlowest = 80;  // espeak-ng's own limits
  constexpr int kFastest = 450;
  const double wordsPerMinute = 175.0 * std::pow(3.0, rate / 10.0);
  return std::clamp(static_cast<int>(std::lround(wordsPerMinute)), kSlowest, kFastest);
}

#ifdef VIMO_HAVE_ESPEAK

namespace {
enum class Engine { NotStarted, Running, Failed };
Engine engine = Engine::NotStarted;
bool voiceAlive = false;
}  // namespace

std::unique_ptr<EspeakVoice> EspeakVoice::Start() {
  if (voiceAlive) return nullptr;
  if (engine == Engine::NotStarted) {
    engine = Engine::Failed;
    // Without DONT_EXIT the library ends the whole program when its data is missing.
    if (espeak_Initialize(AUDIO_OUTPUT_PLAYBACK, 0, nullptr, espeakINITIALIZE_DONT_EXIT) < 0) return nullptr;
    if (espeak_SetVoiceByName("sv") != EE_OK) return nullptr;
    engine = Engine::Running;
  }
  if (engine != Engine::Running) return nullptr;
  voiceAlive = true;
  return std::unique_ptr<EspeakVoice>(new EspeakVoice());
}

// espeak-ng 1.51 can deadlock in espeak_Cancel and espeak_Terminate when they closely follow a
// queued text, so the engine is left running until the process ends instead of being shut down.
EspeakVoice::~EspeakVoice() {
  voiceAlive = false;
}

void EspeakVoice::SetRate(int rate) {
  espeak_SetParameter(espeakRATE, EspeakWordsPerMinute(rate), 0);
}

void EspeakVoice::Speak(const std::string& text, int flags) {
  if ((flags & kPurgeBeforeSpeak) != 0) espeak_Cancel();
  if (text.empty()) return;
  const std::string utf8 = Windows1252ToUtf8(text);
  // A full queue or a failing sound device only costs this sentence its voice.
  espeak_Synth(utf8.c_str(), utf8.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr, nullptr);
}

#else

std::unique_ptr<EspeakVoice> EspeakVoice::Start() {
  return nullptr;
}

EspeakVoice::~EspeakVoice() = default;

void EspeakVoice::SetRate(int) {}

void EspeakVoice::Speak(const std::string&, int) {}

#endif
