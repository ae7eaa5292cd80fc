// From Vimo's start-up to the new Vimo, in one process against one real FTP server: the start-up
// finds a newer version, starts the updater and ends; the updater, run next in the same program
// folder, announces the version, downloads the signed new build, puts it in place and starts it,
// and the new build confirms its start. A release that failed to start here is not offered again.

#include <gtest/gtest.h>

#include "FakePlatform.h"
#include "FtpTestServer.h"
#include "QuietViews.h"
#include "ReleaseTestFiles.h"
#include "StartupSequence.h"
#include "SyncTestFiles.h"
#include "TestServerSettings.h"
#include "UpdateTrial.h"
#include "UpdaterLogic.h"
#include "Windows1252.h"

namespace fs = std::filesystem;

namespace {

class HandOverTest : public ::testing::Test {
 protected:
  // The start-up window: only how it ended matters here.
  struct StartupWindow final : QuietStartupView {
    void HandOver() override { ++handOvers; }
    void EndProgram() override { ++ends; }
    int handOvers = 0;
    int ends = 0;
  };

  struct UpdaterWindow final : UpdaterView {
    void SetStatusText(const std::string& text) override { status = text; }
    void SetNewsText(const std::string& text) override { news = text; }
    void SetDownloadEnabled(bool) override {}
    void CloseWindow() override { ++closed; }
    std::string status;
    std::string news;
    int closed = 0;
  };

  void SeedServer() {
    server_.WriteText("index.html", "<html></html>\r\n");
    server_.WriteText("brain.txt", BrainText(1500));
    server_.WriteText("brain2.txt", BrainText(1500));
    server_.WriteText("version.txt", W("10,Nytt|bättre,0,100\r\n"));
    server_.WriteText("medd.txt", "Hej\r\nAdmin\r\n");
    key_.Publish(server_, HealthyBuild(), 10.0f);
    WriteBytes(program_ / "Vimo", "version 9");
  }

  StartupSequence::Outcome RunStartup(StartupWindow& window) {
    ProgramValues values;
    StartupSequence startup(window, values, StartupServices{dialogs_, waiter_, pump_, desktop_},
                            SettingsFor(server_), program_.path(), "testdator");
    startup.Timer_laddanerbrain_Timer();
    return startup.outcome();
  }

  FtpTestServer server_;
  TestReleaseKey key_;
  TempFolder program_{"vimo-handover"};
  ScriptedDialogs dialogs_;
  RecordingWaiter waiter_;
  RecordingPump pump_;
  RecordingDesktop desktop_;
};

TEST_F(HandOverTest, NewerVersionOnTheServerEndsInTheNewBuildRunning) {
  SeedServer();
  StartupWindow startupWindow;
  EXPECT_EQ(RunStartup(startupWindow), StartupSequence::Outcome::Ended) << server_.log();
  ASSERT_EQ(desktop_.startedPrograms, std::vector<fs::path>{program_ / "vimo_updater"});
  EXPECT_EQ(startupWindow.handOvers, 0);
  EXPECT_EQ(ReadBytes(program_ / "Vimo"), "version 9");

  UpdaterWindow updaterWindow;
  UpdateSafeguards safeguards;
  safeguards.releasePublicKey = key_.pair.publicKey;
  safeguards.pollInterval = std::chrono::milliseconds(10);
  UpdaterLogic updater(updaterWindow, dialogs_, pump_, desktop_, SettingsFor(server_), program_.path(),
                       safeguards);
  updater.Form_Load();
  EXPECT_EQ(updaterWindow.status, W("Version 10 av Vimo har släppts!"));
  EXPECT_EQ(updaterWindow.news, W("Nytt,bättre"));
  updater.Label3_Click();

  EXPECT_TRUE(dialogs_.shown().empty());
  // The new build was started as a watched child, not through the desktop, and confirmed its start.
  EXPECT_EQ(desktop_.startedPrograms, std::vector<fs::path>{program_ / "vimo_updater"});
  EXPECT_EQ(ReadBytes(program_ / "new-build-ran.txt"), "ran\n");
  EXPECT_EQ(ReadBytes(program_ / "Vimo"), HealthyBuild());
  EXPECT_NE(fs::status(program_ / "Vimo").permissions() & fs::perms::owner_exec, fs::perms::none);
  EXPECT_FALSE(fs::exists(TrialMarkerPath(program_.path())));
  EXPECT_EQ(updaterWindow.closed, 1);
}

TEST_F(HandOverTest, ReleaseThatFailedToStartHereIsNotOfferedAgain) {
  SeedServer();
  WriteBytes(program_ / "Data" / "system.vimo", "kollad\r\n");
  RecordFailedRelease(program_.path(), 10.0f);
  StartupWindow startupWindow;
  EXPECT_EQ(RunStartup(startupWindow), StartupSequence::Outcome::HandedOver) << server_.log();
  EXPECT_EQ(startupWindow.handOvers, 1);
  EXPECT_TRUE(desktop_.startedPrograms.empty());

  // A newer release is offered again.
  server_.WriteText("version.txt", W("10.5,Lagad,0,100\r\n"));
  StartupWindow nextStart;
  EXPECT_EQ(RunStartup(nextStart), StartupSequence::Outcome::Ended) << server_.log();
  EXPECT_EQ(desktop_.startedPrograms, std::vector<fs::path>{program_ / "vimo_updater"});
}

}  // namespace
