#pragma once
// Test stand-ins for the platform interfaces of common/Platform.h, shared by the suites and benchmarks:
// dialogs answered from a script, a waiter and a pump that only record, and a desktop that records
// the programs it was asked to start and the addresses it was asked to open. None of them blocks.
//
// Each fake is owned by the test fixture and must outlive the object under test. Texts are kept as
// the Windows-1252 bytes the code under test passed in.

#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "Platform.h"

// Dialogs answered in order from a script. Every dialog is recorded. A dialog that finds the script
// empty fails the running test (it was not expected) and gets the harmless answer: No for a Yes/No
// box, Ok for a message box, a cancelled input dialog.
class ScriptedDialogs final : public Dialogs {
 public:
  struct Shown {
    std::string title;
    std::string text;
    DialogButtons buttons;
  };
  struct Asked {
    std::string title;
    std::string prompt;
    std::string defaultText;
  };

  // The next Show answers this.
  void AnswerNext(DialogAnswer answer) { answers_.push_back(answer); }
  // The next AskText returns this ("" = cancelled).
  void TypeNext(std::string text) { texts_.push_back(std::move(text)); }
  // Lets every Show answer Ok (Yes/No boxes: No) without a script, for tests that only count them.
  void AnswerAllWithDefault() { defaultForAll_ = true; }
  // For the programs that drive the logic outside a test, where a dialog means something went wrong:
  // answers as AnswerAllWithDefault and prints each dialog to stderr (this takes onShow).
  void AnswerAllAndReport();

  const std::vector<Shown>& shown() const { return shown_; }
  const std::vector<Asked>& asked() const { return asked_; }
  // How many shown dialogs had this title.
  int CountTitled(const std::string& title) const;
  // Answers scripted but never used.
  std::size_t unusedAnswers() const { return answers_.size() + texts_.size(); }

  // Runs inside Show, after recording and before answering (e.g. to check state at that moment).
  std::function<void(const Shown&)> onShow;

  DialogAnswer Show(const std::string& title, const std::string& text, DialogButtons buttons) override;
  std::string AskText(const std::string& title, const std::string& prompt,
                      const std::string& defaultText) override;

 private:
  std::deque<DialogAnswer> answers_;
  std::deque<std::string> texts_;
  std::vector<Shown> shown_;
  std::vector<Asked> asked_;
  bool defaultForAll_ = false;
};

// Records every requested wait; never sleeps itself. An optional hook runs at each wait, after it was
// recorded: to act as another copy would meanwhile, or to sleep where the wait must be real.
class RecordingWaiter final : public Waiter {
 public:
  void Wait(int milliseconds) override;
  // Only the waits of this length, e.g. to find the fixed pauses among the typing effect's 10 ms.
  int CountOf(int milliseconds) const;
  long long Total() const;
  std::vector<int> waits;
  std::function<void(int milliseconds)> hook;
};

// Counts the times pending events were asked to run; an optional hook runs nested inside, as real
// window events would.
class RecordingPump final : public EventPump {
 public:
  void ProcessEvents() override;
  int calls = 0;
  std::function<void()> hook;
};

// Records program starts and opened addresses instead of performing them. An optional hook runs at
// each start, after it was recorded, e.g. to see what the started file held at that moment.
class RecordingDesktop final : public Desktop {
 public:
  bool StartProgram(const std::filesystem::path& program) override;
  void OpenUrl(const std::string& url) override { openedUrls.push_back(url); }

  std::vector<std::filesystem::path> startedPrograms;
  std::vector<std::string> openedUrls;
  // What StartProgram reports.
  bool startSucceeds = true;
  std::function<void(const std::filesystem::path&)> onStart;
};
