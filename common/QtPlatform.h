#pragma once
// Qt implementations of the platform interfaces, for the real programs.

#include <QString>
#include <string>
#include <string_view>

#include "Platform.h"

class QCoreApplication;
class QInputDialog;
class QMessageBox;
class QWidget;

// Windows-1252 core text to and from the windows' Unicode.
QString ToQString(std::string_view cp1252);
std::string FromQString(const QString& text);

// Loads Qt's Swedish translation for Qt's own texts, when it is installed.
void InstallSwedishTranslation(QCoreApplication& application);

// What MessageBoxDialogs puts into its boxes before they are run: the title, the text as plain text,
// no icon, and the buttons with their Swedish texts ("Ja", "Nej", "OK"). Apart so tests can look.
void PrepareMessageBox(QMessageBox& box, const std::string& title, const std::string& text,
                       DialogButtons buttons);
// The same for the input dialog: "OK" and "Avbryt".
void PrepareInputDialog(QInputDialog& dialog, const std::string& title, const std::string& prompt,
                        const std::string& defaultText);

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
