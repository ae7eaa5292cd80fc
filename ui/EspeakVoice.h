#pragma once
// The speech object `Voice`: Swedish speech through the espeak-ng speaker program.

#include <QObject>
#include <QProcess>
#include <QString>
#include <deque>
#include <memory>
#include <string>

#include "SpeechVoice.h"

// Words per minute given to espeak-ng for a rate on the -10..10 scale: 175 x 1.065^(rate - 2), kept
// within what the engine accepts. The three slider positions (-4, 2, 6) give 120, 175 and 225: each
// about a third apart, so that they are told apart at once, and none so fast that espeak-ng's Swedish
// becomes hard to follow (the scale of the Windows build gave 338 for the fastest).
int EspeakWordsPerMinute(int rate);

// Each sentence is spoken by its own run of the speaker program, one run at a time, the next
// sentence waiting in a queue. The program runs as a child process, so nothing the speech engine
// does (a stuck sound device, a crash, a deadlock inside it) can hold up the window thread; the
// linked espeak-ng library was given up because its cancel can deadlock the caller.
//
// Runs on the window thread and needs its event loop: a sentence's end is only noticed, and the
// next one started, while events are processed. Any number of voices may exist; each owns its
// children. Without a sound device the program simply fails to play and nothing is said.
class EspeakVoice final : public SpeechVoice {
 public:
  static constexpr const char* kSpeakerProgram = "espeak-ng";

  // A voice speaking through `program` (a name looked up on PATH, or a path). Null when the
  // program cannot be found: the caller then simply has no speech.
  static std::unique_ptr<EspeakVoice> Start(const QString& program = QString::fromLatin1(kSpeakerProgram));

  EspeakVoice(const EspeakVoice&) = delete;
  EspeakVoice& operator=(const EspeakVoice&) = delete;
  // Kills whatever is still speaking.
  ~EspeakVoice() override;

  // Applies to the sentences given to Speak from now on.
  void SetRate(int rate) override;
  // Every text is spoken in the background, whatever the flags: the window thread never waits for
  // speech. kPurgeBeforeSpeak first kills the sentence being spoken and drops the queue, at once.
  void Speak(const std::string& text, int flags) override;

 private:
  struct Sentence {
    QByteArray utf8;
    int wordsPerMinute;
  };

  explicit EspeakVoice(QString programPath);
  void Purge();
  void StartNext();
  // Called once per run, whether it ended, crashed, was killed or never started.
  void RunEnded(QProcess* process);

  QString programPath_;
  int wordsPerMinute_;
  std::deque<Sentence> queue_;
  // Parent of every child process, so that killed runs still being reaped die with the voice.
  QObject children_;
  QProcess* speaking_ = nullptr;  // owned by children_
};
