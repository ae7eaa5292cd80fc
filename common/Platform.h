#pragma once
// Narrow interfaces in front of what the windows get from the operating system, so that the logic
// behind every window runs in tests with scripted answers and without real waits. The Qt
// implementations are in QtPlatform.h. Texts are Windows-1252, like all core text.

#include <filesystem>
#include <string>

// Blocks the window thread (the fixed pauses of the start-up and the typing effect).
class Waiter {
 public:
  virtual ~Waiter() = default;
  virtual void Wait(int milliseconds) = 0;
};

// Sleeps on the calling thread: a window that waits this way is frozen for the wait, as the
// start-up's fixed pauses and the typing effect mean it to be.
class SleepingWaiter final : public Waiter {
 public:
  void Wait(int milliseconds) override;
};

// Lets pending window events run, nested inside the caller.
class EventPump {
 public:
  virtual ~EventPump() = default;
  virtual void ProcessEvents() = 0;
};

enum class DialogButtons { Ok, YesNo };
enum class DialogAnswer { Ok, Yes, No };

// Every modal dialog of the programs goes through here: message boxes without an icon, and the one
// input dialog.
class Dialogs {
 public:
  virtual ~Dialogs() = default;
  virtual DialogAnswer Show(const std::string& title, const std::string& text, DialogButtons buttons) = 0;
  // The text the user entered; empty when the dialog was cancelled.
  virtual std::string AskText(const std::string& title, const std::string& prompt,
                              const std::string& defaultText) = 0;
};

// The shell: starting the other program and opening a web address in the user's browser.
class Desktop {
 public:
  virtual ~Desktop() = default;
  // Starts the program from the current folder, without arguments and without waiting for it.
  virtual bool StartProgram(const std::filesystem::path& program) = 0;
  virtual void OpenUrl(const std::string& url) = 0;
};

// The machine's name as the operating system reports it (at most 255 characters).
std::string ComputerName();
