#pragma once
// Stand-ins for the main window and for `Vimo_close` as MainWindowServer sees them, shared by the
// flag and shutdown suites. They record what the server class asked of them; the upload window
// refuses to close, like the real one, unless CloseWindowMayClose is set at that moment.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "FtpTestServer.h"
#include "MainWindowServer.h"
#include "ProgramValues.h"
#include "SpeechVoice.h"

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

class RecordingVoice final : public SpeechVoice {
 public:
  void SetRate(int) override {}
  void Speak(const std::string& text, int flags) override { spoken.push_back({text, flags}); }

  struct Call {
    std::string text;
    int flags;
  };
  std::vector<Call> spoken;
};

// A free loopback port below 32768. ReadServerSettings() takes only ports that fit its signed 16-bit
// field, while the system hands out ephemeral ports above it; pass {"--port", FreeLowPort()} to the
// test server so that the program can reach it.
inline std::string FreeLowPort() {
  std::mt19937 random(std::random_device{}());
  std::uniform_int_distribution<int> ports(20000, 32767);
  for (int attempt = 0; attempt < 200; ++attempt) {
    const int port = ports(random);
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool free = bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(probe);
    if (free) return std::to_string(port);
  }
  return "0";
}

// A test server on a port the program's settings can hold.
inline std::unique_ptr<FtpTestServer> StartTestServer(std::vector<std::string> switches = {}) {
  switches.push_back("--port");
  switches.push_back(FreeLowPort());
  return std::make_unique<FtpTestServer>(std::move(switches));
}

// Points the program's server settings (read from the environment) at the test server.
inline void UseServer(const FtpTestServer& server) {
  setenv("VIMO_FTP_HOST", "127.0.0.1", 1);
  setenv("VIMO_FTP_PORT", std::to_string(server.port()).c_str(), 1);
  setenv("VIMO_FTP_USER", server.user().c_str(), 1);
  setenv("VIMO_FTP_PASSWORD", server.password().c_str(), 1);
}
