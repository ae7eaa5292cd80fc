#pragma once
// Qt implementations of the platform interfaces, for the real programs.

#include <QString>
#include <string>
#include <string_view>

#include "Platform.h"

class QWidget;

// Windows-1252 core text to and from the windows' Unicode.
QString ToQString(std::string_view cp1252);
std::string FromQString(const QString& text);

class SleepWaiter final : public Waiter {
 public:
  void Wait(int milliseconds) override;
};

class QtEventPump final : public EventPump {
 public:
  void ProcessEvents() override;
};

// Message boxes with no icon and the exact title, owned by the given window (may be null).
class MessageBoxDialogs final : public Dialogs {
 public:
  explicit MessageBoxDialogs(QWidget* parent = nullptr) : parent_(parent) {}
  void SetParent(QWidget* parent) { parent_ = parent; }
  DialogAnswer Show(const std::string& title, const std::string& text, DialogButtons buttons) override;
  std::string AskText(const std::string& title, const std::string& prompt,
                      const std::string& defaultText) override;

 private:
  QWidget* parent_;
};

class QtDesktop final : public Desktop {
 public:
  bool StartProgram(const std::filesystem::path& program) override;
  void OpenUrl(const std::string& url) override;
};
