#pragma once
// The main window's conversation handlers without the window: the input box's Enter, the bot's
// one output path Say, teaching and correction (Ändra), random talk and the speech switches.
//
// Borrows the view, waiter, pump, random source and clock, and the voice given to SetVoice; all
// must outlive the engine. Runs on the window thread only.
//
// Re-entrancy: Say lets window events run after every character, so any handler here may run
// nested inside another's Say. A nested Say takes over the reply caption; when it returns, the
// outer one continues from its next character. Every handler works on its own copy of the text.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

#include "BrainStore.h"
#include "CannedQuestions.h"
#include "ChatView.h"
#include "Environment.h"
#include "LessonJournal.h"
#include "NameMemory.h"
#include "Platform.h"
#include "RandomTalk.h"
#include "SpeechVoice.h"

class ChatEngine {
 public:
  // folder: where "brain.txt", "temp_brain.txt", "user.vimo" and the lesson journal
  // "Data/lessons.vimo" live (production: the current folder, "").
  ChatEngine(ChatView& view, Waiter& waiter, EventPump& pump, RandomSource& random, Clock& clock,
             std::filesystem::path folder = {});
  ChatEngine(const ChatEngine&) = delete;
  ChatEngine& operator=(const ChatEngine&) = delete;

  // The program's Voice, created in Form_Load; nullptr means no speech.
  void SetVoice(SpeechVoice* voice);

  // A key typed into meddelande; only Enter (13) does anything.
  void meddelande_KeyPress(int KeyAscii);
  // Ändra: starts a correction; called by meddelande_KeyPress in correcting mode, finishes it
  // with the text of the input box as the new answer. After an exact answer the record gets the
  // new answer; after a near one the question as typed is taught with it, and the record that
  // gave the near answer stays as it was.
  void Ändra_Click();
  void Timer_Vimopratslump_Timer();
  void Chk_slumpprat_Click();
  void Chk_tal_Click();

  // Speaks the text (when Chk_tal is checked and a voice exists) and types it into Svar, one more
  // character at a time with a 10 ms wait and the window's events after each. A text longer than
  // kLongestTypedPerCharacter advances several characters per wait instead, so that its typing
  // takes no more waits than that; otherwise a 10 MB line would keep the bot typing for a day.
  void Say(const std::string& text);
  static constexpr std::size_t kLongestTypedPerCharacter = 500;

  const std::string& LastQuestion() const { return lastQuestion_; }
  bool TeachMode() const { return teachMode_; }
  bool CorrectMode() const { return correctMode_; }
  BrainStore& Brain() { return brain_; }
  const LessonJournal& Journal() const { return journal_; }

 private:
  void HandleEnter();
  // Writes the lesson to the journal first, so that whatever reaches the local brain also reaches
  // the shared one; false when either refuses it.
  bool Learn(Lesson lesson);
  // Says the complaint about a text the input rules refuse; false when the text is acceptable.
  bool RejectInput(const std::string& typed);
  void Answer(const std::string& question);
  // Says an answer from the brain and lets it be corrected.
  void SayBrainAnswer(const std::string& answer);
  void Teach(const std::string& answer);
  void Speak(const std::string& text);

  ChatView& view_;
  Waiter& waiter_;
  EventPump& pump_;
  SpeechVoice* voice_ = nullptr;
  BrainStore brain_;
  LessonJournal journal_;
  NameMemory names_;
  CannedQuestions canned_;
  RandomTalk randomTalk_;

  std::string lastQuestion_;
  bool teachMode_ = false;
  bool correctMode_ = false;
  // The last answer came from a stored question that is not the one typed.
  bool answeredNear_ = false;
  // Counts the Enters, so that an answer can tell whether another Enter ran inside its typing.
  unsigned enterCount_ = 0;
};
