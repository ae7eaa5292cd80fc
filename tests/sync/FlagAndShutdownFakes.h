#pragma once
// Stand-ins for the main window and for `Vimo_close` as MainWindowServer sees them, shared by the
// flag and shutdown suites. They record what the server class asked of them; the upload window
// refuses to close, like the real one, unless CloseWindowMayClose is set at that moment.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ChatDoubles.h"
#include "FakePlatform.h"
#include "FtpTestServer.h"
#include "MainWindowServer.h"
#include "ProgramValues.h"
#include "Settings.h"
#include "SpeechVoice.h"
#include "SyncTestFiles.h"

class RecordingMainWindow final : public MainWindowView {
 public:
  void SetFlagText(const std::string& text) override { flagTexts.push_back(text); }
  void SelectFlagTab(FlagTab tab) override { selectedTab = tab; }
  void SetFlagButtonsEnabled(bool enabled) override { buttonsEnabled = enabled; }
  void ShowAgain() override { ++shownAgain; }

  std::string flagText() const { return flagTexts.empty() ? std::string() : flagTexts.back(); }

  std::vector<std::string> flagTexts;
  FlagTab selectedTab = FlagTab::Admin;
  bool buttonsEnabled = false;
  int shownAgain = 0;
};

class RecordingUploadWindow final : public UploadWindow {
 public:
  explicit RecordingUploadWindow(const ProgramValues& values) : values_(values) {}

  void Show() override {
    visible = true;
    ++timesShown;
    surface.clear();
  }
  void PrintLine(const std::string& text) override {
    surface.push_back(text);
    allLines.push_back(text);
  }
  void Close() override {
    ++closeRequests;
    if (values_.CloseWindowMayClose) visible = false;
  }

  // The printed lines that report an error, over every showing of the window.
  int ErrorLines() const {
    int count = 0;
    for (const auto& line : allLines) count += line.rfind("Error: ", 0) == 0 ? 1 : 0;
    return count;
  }

  bool visible = false;
  int timesShown = 0;
  int closeRequests = 0;
  std::vector<std::string> surface;   // since the last Show
  std::vector<std::string> allLines;  // ever printed

 private:
  const ProgramValues& values_;
};

// The main window's server handlers in a program folder of their own, with every stand-in they
// talk to. The handlers are made on first use, once the test has chosen its server, and go first
// when the fixture goes, before the stand-ins they borrow.
class MainWindowServerTest : public ::testing::Test {
 protected:
  MainWindowServer& Handlers() {
    if (!handlers) {
      handlers = std::make_unique<MainWindowServer>(window, uploadWindow, values, dialogs, pump, settings,
                                                    folder.path());
    }
    return *handlers;
  }

  TempFolder folder;
  std::unique_ptr<FtpTestServer> ftp;
  ProgramValues values;
  ScriptedDialogs dialogs;
  RecordingPump pump;
  RecordingMainWindow window;
  RecordingUploadWindow uploadWindow{values};
  RecordingVoice voice;
  ServerSettings settings;
  std::unique_ptr<MainWindowServer> handlers;
};
