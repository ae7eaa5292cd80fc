// One lesson's road through the shared brain: client A starts, is taught, closes and uploads; client
// B, in a folder of its own, starts against the same server and knows the answer.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "ChatEngine.h"
#include "FakePlatform.h"
#include "FlagAndShutdownFakes.h"
#include "FtpTestServer.h"
#include "MainWindowServer.h"
#include "QuietViews.h"
#include "StartupSequence.h"
#include "SyncTestFiles.h"
#include "TestServerSettings.h"
#include "TextFile.h"
#include "Windows1252.h"

namespace {

// One copy of the program in its own folder, with the start-up, the chat and the main window's
// server handlers wired as the real windows wire them.
class Client {
 public:
  Client(const FtpTestServer& server, std::string computer)
      : settings_(SettingsFor(server)), computer_(std::move(computer)) {}

  // Runs the start-up sequence; true when it handed over to the main window.
  bool Start() {
    StartupSequence startup(startupView_, values_, StartupServices{dialogs_, waiter_, pump_, desktop_},
                            settings_, folder_.path(), computer_);
    startup.Timer_laddanerbrain_Timer();
    if (startup.outcome() != StartupSequence::Outcome::HandedOver) return false;
    chat_ = std::make_unique<ChatEngine>(chatView_, waiter_, pump_, random_, clock_, folder_.path());
    handlers_ = std::make_unique<MainWindowServer>(window_, uploadWindow_, values_, dialogs_, pump_,
                                                   settings_, folder_.path());
    return true;
  }

  // Types a line and presses Enter; the bot's reply as it stands in Svar.
  std::string Type(const std::string& utf8Line) {
    chatView_.input = W(utf8Line);
    chat_->meddelande_KeyPress(13);
    return chatView_.reply;
  }

  // Closes the main window; true when it stays open.
  bool Close() {
    bool cancel = false;
    handlers_->Form_Unload(cancel);
    return cancel;
  }

  ChatEngine& chat() { return *chat_; }
  const TempFolder& folder() const { return folder_; }
  const ScriptedDialogs& dialogs() const { return dialogs_; }

 private:
  ServerSettings settings_;
  std::string computer_;
  TempFolder folder_{"vimo-road"};
  ProgramValues values_;
  ScriptedDialogs dialogs_;
  RecordingWaiter waiter_;
  RecordingPump pump_;
  RecordingDesktop desktop_;
  QuietStartupView startupView_;
  PlainChatView chatView_;
  ScriptedRandom random_;
  FixedClock clock_;
  RecordingMainWindow window_;
  RecordingUploadWindow uploadWindow_{values_};
  std::unique_ptr<ChatEngine> chat_;
  std::unique_ptr<MainWindowServer> handlers_;
};

TEST(RoadOfOneLessonTest, WhatClientATeachesClientBKnows) {
  FtpTestServer server;
  SeedAccount(server, {.flagMessages = "Hej| alla\r\nAdmin talar\r\n", .users = ""});

  Client a(server, "dator-a");
  ASSERT_TRUE(a.Start());
  a.Type("Vem är bäst?");
  ASSERT_TRUE(a.chat().TeachMode());
  const std::string question = a.chat().LastQuestion();
  EXPECT_EQ(a.Type("Jag, såklart"), W("Tack så mycket! Nu vet jag det."));
  EXPECT_FALSE(a.Close());
  EXPECT_TRUE(a.dialogs().shown().empty());
  EXPECT_FALSE(FileExists(a.folder() / "brain.txt"));

  // The server's brain now holds the record.
  const std::string shared = server.ReadText("brain.txt");
  EXPECT_NE(shared.find("\r\n*\r\n" + question + W("\r\njag| såklart\r\n")), std::string::npos);
  EXPECT_EQ(shared.rfind(BrainText(1500), 0), 0u);

  Client b(server, "dator-b");
  ASSERT_TRUE(b.Start());
  EXPECT_EQ(b.Type("Vem är bäst?"), W("jag, såklart"));
  EXPECT_FALSE(b.chat().TeachMode());
}

}  // namespace
