// From Vimo's start-up to the new Vimo, in one process against each real FTP server: the start-up
// finds a newer version, starts the updater and ends; the updater, run next in the same program
// folder, announces the version, downloads the signed new build, puts it in place and starts it,
// and the new build confirms its start. A release that failed to start or was refused here is not
// offered again, yet never blocks a valid one; a trial cut short is undone by the next updater.

#include <gtest/gtest.h>

#include <csignal>
#include <initializer_list>
#include <optional>

#include "FakePlatform.h"
#include "FtpTestServer.h"
#include "PureFtpTestServer.h"
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

const std::string kOldBuild = "version 9";

class HandOverTest : public ::testing::TestWithParam<std::string> {
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

  // The power fails (or the updater is killed) the moment the new build is in place.
  struct PowerCut final : ProgramRunner {
    std::unique_ptr<RunningProgram> Start(const fs::path&, const fs::path&) override {
      std::raise(SIGKILL);
      return nullptr;
    }
  };

  void SeedServer() {
    SeedAccount(*server_, {.version = W("10,Nytt|bättre,0,100\r\n")});
    key_.Publish(*server_, HealthyBuild(), 10.0f);
    WriteBytes(program_ / "Vimo", kOldBuild);
    WriteBytes(program_ / "Data" / "system.vimo", "kollad\r\n");
  }

  StartupSequence::Outcome RunStartup() {
    // The updater's process has ended by then, and its connection with it (pure-ftpd takes one).
    updater_.reset();
    StartupWindow window;
    ProgramValues values;
    StartupSequence startup(window, values, StartupServices{dialogs_, waiter_, pump_, desktop_},
                            SettingsFor(*server_), program_.path(), "testdator");
    startup.Timer_laddanerbrain_Timer();
    EXPECT_EQ(window.handOvers + window.ends, 1);
    return startup.outcome();
  }

  // The updater in the program folder; null runner: real child processes.
  UpdaterLogic& MakeUpdater(ProgramRunner* runner = nullptr) {
    UpdateSafeguards safeguards;
    safeguards.releasePublicKey = key_.pair.publicKey;
    safeguards.pollInterval = std::chrono::milliseconds(10);
    safeguards.runner = runner;
    return updater_.emplace(updaterWindow_, dialogs_, pump_, desktop_, SettingsFor(*server_), program_.path(),
                            safeguards);
  }
  // As the start-up leaves it: loaded, announcing.
  UpdaterLogic& LoadUpdater(ProgramRunner* runner = nullptr) {
    MakeUpdater(runner).Form_Load();
    return *updater_;
  }

  std::vector<fs::path> Started(std::initializer_list<const char*> names) const {
    std::vector<fs::path> paths;
    for (const char* name : names) paths.push_back(program_ / name);
    return paths;
  }

  std::unique_ptr<RealFtpServer> server_ = StartTestServer(GetParam());
  TestReleaseKey key_;
  TempFolder program_{"vimo-handover"};
  ScriptedDialogs dialogs_;
  RecordingWaiter waiter_;
  RecordingPump pump_;
  RecordingDesktop desktop_;
  UpdaterWindow updaterWindow_;
  std::optional<UpdaterLogic> updater_;
};

TEST_P(HandOverTest, NewerVersionOnTheServerEndsInTheNewBuildRunning) {
  SeedServer();
  EXPECT_EQ(RunStartup(), StartupSequence::Outcome::Ended) << server_->log();
  ASSERT_EQ(desktop_.startedPrograms, Started({"vimo_updater"}));
  EXPECT_EQ(ReadBytes(program_ / "Vimo"), kOldBuild);

  LoadUpdater();
  EXPECT_EQ(updaterWindow_.status, W("Version 10 av Vimo har släppts!"));
  EXPECT_EQ(updaterWindow_.news, W("Nytt,bättre"));
  updater_->Label3_Click();

  EXPECT_TRUE(dialogs_.shown().empty());
  // The new build was started as a watched child, not through the desktop, and confirmed its start.
  EXPECT_EQ(desktop_.startedPrograms, Started({"vimo_updater"}));
  EXPECT_EQ(ReadBytes(program_ / "new-build-ran.txt"), "ran\n");
  EXPECT_TRUE(ReadBytes(program_ / "Vimo") == HealthyBuild());
  EXPECT_NE(fs::status(program_ / "Vimo").permissions() & fs::perms::owner_exec, fs::perms::none);
  EXPECT_FALSE(fs::exists(TrialMarkerPath(program_.path())));
  EXPECT_EQ(updaterWindow_.closed, 1);
  // The new build's start does not hand over again for the version it is, whatever it was built as.
  EXPECT_EQ(RunStartup(), StartupSequence::Outcome::HandedOver) << server_->log();
}

TEST_P(HandOverTest, ReleaseThatFailedToStartHereIsNotOfferedAgain) {
  SeedServer();
  RecordFailedRelease(program_.path(), 10.0f);
  EXPECT_EQ(RunStartup(), StartupSequence::Outcome::HandedOver) << server_->log();
  EXPECT_TRUE(desktop_.startedPrograms.empty());

  // A newer release is offered again.
  server_->WriteText("version.txt", W("10.5,Lagad,0,100\r\n"));
  EXPECT_EQ(RunStartup(), StartupSequence::Outcome::Ended) << server_->log();
  EXPECT_EQ(desktop_.startedPrograms, Started({"vimo_updater"}));
}

// Anyone with the account can announce a version nobody signed. It costs each user one visit to
// the updater per announced number, never the chat, and never blocks the next real release.
TEST_P(HandOverTest, RefusedReleaseNeitherLocksUsersOutNorBlocksARealOne) {
  SeedServer();
  server_->WriteText("version.txt", W("99,Falsk,0,100\r\n"));
  server_->WriteFile("Vimo.sig", "");
  EXPECT_EQ(RunStartup(), StartupSequence::Outcome::Ended) << server_->log();
  dialogs_.AnswerNext(DialogAnswer::No);
  LoadUpdater().Label3_Click();
  ASSERT_EQ(dialogs_.shown().size(), 1u);
  EXPECT_NE(dialogs_.shown()[0].text.find(W("Signaturen /Vimo.sig är skadad.")), std::string::npos);
  EXPECT_EQ(desktop_.startedPrograms, Started({"vimo_updater", "Vimo"})) << "the installed Vimo starts again";
  EXPECT_EQ(ReadBytes(program_ / "Vimo"), kOldBuild);
  EXPECT_EQ(RunStartup(), StartupSequence::Outcome::HandedOver) << server_->log();
  EXPECT_EQ(RunStartup(), StartupSequence::Outcome::HandedOver) << server_->log();

  // A valid release below the bogus number is offered, installed, and ends the refusals it passes.
  server_->WriteText("version.txt", W("10,Äkta,0,100\r\n"));
  key_.Publish(*server_, HealthyBuild(), 10.0f);
  RecordRefusedRelease(program_.path(), 9.5f);
  EXPECT_EQ(RunStartup(), StartupSequence::Outcome::Ended) << server_->log();
  LoadUpdater().Label3_Click();
  EXPECT_EQ(dialogs_.shown().size(), 1u);
  EXPECT_TRUE(ReadBytes(program_ / "Vimo") == HealthyBuild());
  EXPECT_EQ(ReadBytes(RefusedReleasesPath(program_.path())), "99\r\n");
}

TEST_P(HandOverTest, DowngradeIsNeitherOfferedNorInstalled) {
  SeedServer();
  RecordInstalledVersion(program_.path(), 10.0f);
  server_->WriteText("version.txt", W("9.5,Äldre,0,100\r\n"));
  key_.Publish(*server_, HealthyBuild(), 9.5f);
  EXPECT_EQ(RunStartup(), StartupSequence::Outcome::HandedOver) << server_->log();
  // Run by hand beside the record left behind, the updater does not announce it (UpdaterLogicTest);
  // clicked all the same, it does not install it either.
  dialogs_.AnswerNext(DialogAnswer::No);
  MakeUpdater().Label3_Click();
  ASSERT_EQ(dialogs_.shown().size(), 1u);
  EXPECT_NE(
      dialogs_.shown()[0].text.find(W("Version 9.5 är inte nyare än den installerade Vimo (version 10).")),
      std::string::npos);
  EXPECT_EQ(ReadBytes(program_ / "Vimo"), kOldBuild);
  EXPECT_FALSE(fs::exists(PreviousProgramPath(program_.path())));
}

TEST_P(HandOverTest, TrialCutShortIsRevertedAtTheNextUpdaterStart) {
  SeedServer();
  EXPECT_EQ(RunStartup(), StartupSequence::Outcome::Ended) << server_->log();
  PowerCut powerCut;
  EXPECT_EXIT(LoadUpdater(&powerCut).Label3_Click(), testing::KilledBySignal(SIGKILL), "");
  ASSERT_TRUE(ReadBytes(program_ / "Vimo") == HealthyBuild())
      << "the cut came before the new build was in place";
  ASSERT_EQ(ReadBytes(PreviousProgramPath(program_.path())), kOldBuild);

  // The next start of the new build would confirm what nobody tested; the updater comes first.
  LoadUpdater();
  EXPECT_EQ(ReadBytes(program_ / "Vimo"), kOldBuild);
  EXPECT_FALSE(fs::exists(PreviousProgramPath(program_.path())));
  EXPECT_FALSE(fs::exists(TrialMarkerPath(program_.path())));
  EXPECT_TRUE(ReleaseFailedHere(program_.path(), 10.0f));
  EXPECT_EQ(RunStartup(), StartupSequence::Outcome::HandedOver) << server_->log();
}

INSTANTIATE_TEST_SUITE_P(Servers, HandOverTest, testing::ValuesIn(kTestServerKinds), TestServerKindName);

}  // namespace
