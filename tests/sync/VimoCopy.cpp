// One copy of the program's logic in a process of its own, for the tests that run several copies
// against one server at once: the start-up, a lesson taught through the reply engine, and the
// close, with every dialog answered "no" and every window a stand-in.
//
//   vimo_copy <folder> <host> <port> <user> <password> <question> <answer> <go-file>
//
// It starts (handing over to the chat), teaches the lesson, writes "<folder>/taught" and then
// waits until <go-file> exists before it closes, so that a test can let many copies close at the
// same moment, or kill one before it closes. Exit status: 0 when the start handed over, the lesson
// was learnt and the close ended the program without a dialog; 1 otherwise.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "ChatEngine.h"
#include "MainWindowServer.h"
#include "ProgramValues.h"
#include "QuietViews.h"
#include "SharedFiles.h"
#include "StartupSequence.h"
#include "TextFile.h"

namespace {

// The fixed pauses of the windows are for people; the lock's retries are real.
class LockOnlyWaiter final : public Waiter {
 public:
  void Wait(int milliseconds) override {
    if (milliseconds == LockTiming{}.retryMs)
      std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
};

class NoEvents final : public EventPump {
 public:
  void ProcessEvents() override {}
};

class CountingDialogs final : public Dialogs {
 public:
  DialogAnswer Show(const std::string& title, const std::string& text, DialogButtons buttons) override {
    ++shown;
    std::fprintf(stderr, "dialog: %s: %s\n", title.c_str(), text.c_str());
    return buttons == DialogButtons::YesNo ? DialogAnswer::No : DialogAnswer::Ok;
  }
  std::string AskText(const std::string&, const std::string&, const std::string&) override { return {}; }
  int shown = 0;
};

class NoDesktop final : public Desktop {
 public:
  bool StartProgram(const std::filesystem::path&) override { return false; }
  void OpenUrl(const std::string&) override {}
};

class LoadWindow final : public QuietStartupView {
 public:
  void PrintLine(const std::string& text) override {
    if (text.rfind("Error: ", 0) == 0) std::fprintf(stderr, "start: %s\n", text.c_str());
  }
};

class FixedChance final : public RandomSource {
 public:
  double NextUniform() override { return 0.5; }
};

class Today final : public Clock {
 public:
  std::chrono::year_month_day LocalToday() override {
    return std::chrono::year_month_day(
        std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now()));
  }
};

class MainWindow final : public MainWindowView {
 public:
  void SetFlagText(const std::string&) override {}
  void SelectFlagTab(FlagTab) override {}
  void SetFlagButtonsEnabled(bool) override {}
  void ShowAgain() override {}
};

class CloseWindow final : public UploadWindow {
 public:
  void Show() override {}
  void PrintLine(const std::string& text) override {
    if (text.rfind("Error: ", 0) == 0) std::fprintf(stderr, "close: %s\n", text.c_str());
  }
  void Close() override {}
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 9) {
    std::fprintf(stderr,
                 "usage: vimo_copy <folder> <host> <port> <user> <password> <question> <answer> <go-file>\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  const ServerSettings settings{argv[2], static_cast<std::int16_t>(std::stoi(argv[3])), argv[4], argv[5],
                                FtpTls::Optional};
  LockOnlyWaiter waiter;
  NoEvents pump;
  CountingDialogs dialogs;
  NoDesktop desktop;
  ProgramValues values;

  LoadWindow loadWindow;
  StartupSequence startup(loadWindow, values, {dialogs, waiter, pump, desktop}, settings, folder,
                          "dator-" + folder.filename().string());
  startup.Timer_laddanerbrain_Timer();
  if (startup.outcome() != StartupSequence::Outcome::HandedOver) return 1;

  PlainChatView chat;
  FixedChance chance;
  Today today;
  ChatEngine engine(chat, waiter, pump, chance, today, folder);
  chat.input = argv[6];
  engine.meddelande_KeyPress(13);
  chat.input = argv[7];
  engine.meddelande_KeyPress(13);
  const bool learnt = engine.Brain().FindAnswer(argv[6]).has_value();
  WriteFileAtomically(folder / "taught", "1");

  while (!std::filesystem::exists(argv[8])) std::this_thread::sleep_for(std::chrono::milliseconds(5));

  MainWindow mainWindow;
  CloseWindow closeWindow;
  MainWindowServer server(mainWindow, closeWindow, values, dialogs, pump, settings, folder);
  server.SetWaiter(waiter);
  bool cancel = false;
  server.Form_Unload(cancel);
  return learnt && !cancel && server.ProgramEnding() && dialogs.shown == 0 ? 0 : 1;
}
