// The updater's handlers against a real FTP server: the announcement, the download that replaces
// the program only when it is a whole, signed release, the error dialog's alternation, the offer to
// start Vimo, and the return to the previous program when the new one does not start.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "FakePlatform.h"
#include "FtpTestServer.h"
#include "PureFtpTestServer.h"
#include "ReleaseTestFiles.h"
#include "SyncTestFiles.h"
#include "TestServerSettings.h"
#include "TextFile.h"
#include "UpdateTrial.h"
#include "UpdaterLogic.h"
#include "Windows1252.h"
#include "ftp/FtpLimits.h"

namespace fs = std::filesystem;

namespace {

const std::string kOldBuild = "the old build, which must survive a failed download\n";
const std::string kErrorTitle = "Vimo uppdatering - Fel!";
const std::string kRecord = W("10,Nytt|bättre,0,100\r\n");
// Not runnable, and not for everyone: the new build gets these and may run where they may read.
constexpr fs::perms kOldPermissions = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;

// A real program, bigger than one data chunk, so that a drop after a few kilobytes happens in the middle.
std::string LargeBuild() {
  std::string build = HealthyBuild();
  if (build.size() < 200 * 1024) build.resize(200 * 1024, '\0');
  return build;
}

class UpdaterLogicTest : public ::testing::Test {
 protected:
  class RecordingView final : public UpdaterView {
   public:
    void SetStatusText(const std::string& text) override { statuses.push_back(text); }
    void SetNewsText(const std::string& text) override { news = text; }
    void SetDownloadEnabled(bool enabled) override { downloadEnabled = enabled; }
    void CloseWindow() override { ++closed; }

    int CountStatus(const std::string& text) const {
      return static_cast<int>(std::count(statuses.begin(), statuses.end(), text));
    }

    std::vector<std::string> statuses;
    std::string news;
    bool downloadEnabled = true;
    int closed = 0;
  };

  // Starts nothing: records what was started and plays the new program's part as scripted.
  class ScriptedRunner final : public ProgramRunner {
   public:
    enum class Then { Confirm, End, Hang, CannotStart };
    class Program final : public RunningProgram {
     public:
      Program(ScriptedRunner& runner, fs::path folder) : runner_(runner), folder_(std::move(folder)) {}
      bool HasEnded() override { return terminated_ || runner_.then != Then::Hang; }
      void Terminate() override { terminated_ = true, ++runner_.terminated; }

     private:
      ScriptedRunner& runner_;
      fs::path folder_;
      bool terminated_ = false;
    };

    std::unique_ptr<RunningProgram> Start(const fs::path& program, const fs::path& folder) override {
      started.push_back(program);
      bytesAtStart.push_back(fs::is_regular_file(program) ? ReadBytes(program) : "");
      std::error_code ignored;
      permsAtStart.push_back(fs::status(program, ignored).permissions());
      if (then == Then::CannotStart) return nullptr;
      if (then == Then::Confirm) ConfirmHealthyStart(folder);
      return std::make_unique<Program>(*this, folder);
    }

    Then then = Then::Confirm;
    std::vector<fs::path> started;
    std::vector<std::string> bytesAtStart;
    std::vector<fs::perms> permsAtStart;
    int terminated = 0;
  };

  UpdaterLogicTest() {
    desktop_.onStart = [this](const fs::path& program) {
      bytesAtStart_.push_back(fs::is_regular_file(program) ? ReadBytes(program) : "");
    };
  }
  void TearDown() override { EXPECT_TRUE(desktop_.openedUrls.empty()) << "the updater opens no address"; }

  // For the next attempt in the same test.
  void ForgetStarts() {
    desktop_.startedPrograms.clear();
    bytesAtStart_.clear();
  }

  static void SetUpTestSuite() {
    // A dead server is given up quickly; nothing here waits on a healthy one for long.
    FtpLimits limits;
    limits.connectTimeout = std::chrono::seconds(5);
    limits.stallTimeout = std::chrono::seconds(5);
    FtpLimits::SetDefault(limits);
  }

  // Starts the server (with fault switches) and the logic in a fresh program folder holding the
  // old build and the version record that announces version 10.
  void Start(std::vector<std::string> switches = {}) {
    server_.emplace(std::move(switches));
    WriteBytes(folder_ / "Vimo", kOldBuild);
    fs::permissions(folder_ / "Vimo", kOldPermissions);
    WriteBytes(folder_ / "version.txt", kRecord);
    MakeLogic();
  }

  void MakeLogic(UpdateSafeguards safeguards = {}, std::optional<ServerSettings> server = std::nullopt) {
    safeguards.releasePublicKey = key_.pair.publicKey;
    if (safeguards.runner == nullptr) safeguards.runner = &runner_;
    if (safeguards.waiter == nullptr) safeguards.waiter = &waiter_;
    logic_.emplace(view_, dialogs_, pump_, desktop_, server.value_or(SettingsFor(*server_)), folder_.path(),
                   safeguards);
  }

  // Every file of the program folder, to catch temporary files left behind.
  std::vector<std::string> FolderNames() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_.path())) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  // A refusal leaves its record (the start-up then goes on to the chat), and No starts the old build.
  enum class Refused { No, Yes };
  void ExpectOldBuildUntouched(Refused refused = Refused::No) {
    EXPECT_EQ(ReadBytes(folder_ / "Vimo"), kOldBuild);
    EXPECT_EQ(fs::status(folder_ / "Vimo").permissions(), kOldPermissions);
    std::vector<std::string> names{"Vimo", "version.txt"};
    if (refused == Refused::Yes) {
      names.insert(names.begin() + 1, "Vimo.refused");
      EXPECT_TRUE(ReleaseFailedHere(folder_.path(), 10.0f));
    }
    EXPECT_EQ(FolderNames(), names);
  }

  // Installed, already whole and executable at the moment it was started, and kept once it confirmed.
  void ExpectNewBuildInstalled(const std::string& build) {
    EXPECT_EQ(ReadBytes(folder_ / "Vimo"), build);
    EXPECT_EQ(FolderNames(), (std::vector<std::string>{"Vimo", "Vimo.version", "Vimo.watch", "version.txt"}));
    EXPECT_EQ(ReadBytes(InstalledVersionPath(folder_.path())), "10\r\n");
    ASSERT_EQ(runner_.started, std::vector<fs::path>{folder_ / "Vimo"});
    EXPECT_EQ(runner_.bytesAtStart[0], build);
    EXPECT_EQ(runner_.permsAtStart[0], kOldPermissions | fs::perms::owner_exec | fs::perms::group_exec);
    EXPECT_TRUE(desktop_.startedPrograms.empty());
    EXPECT_TRUE(logic_->finished());
    EXPECT_EQ(view_.closed, 1);
  }

  // The new build was installed and started, did not confirm, and the old one is back and running.
  void ExpectReverted(const std::string& why) {
    ASSERT_EQ(dialogs_.shown().size(), 1u);
    EXPECT_EQ(dialogs_.shown()[0].title, kErrorTitle);
    EXPECT_EQ(dialogs_.shown()[0].buttons, DialogButtons::Ok);
    EXPECT_EQ(dialogs_.shown()[0].text, W("Vimo version 10 startade inte som den skulle. ") + why +
                                            W(" Den tidigare versionen är återställd och startas nu."));
    EXPECT_EQ(ReadBytes(folder_ / "Vimo"), kOldBuild);
    EXPECT_EQ(desktop_.startedPrograms, std::vector<fs::path>{folder_ / "Vimo"});
    EXPECT_EQ(FolderNames(), (std::vector<std::string>{"Vimo", "Vimo.failed", "Vimo.watch", "version.txt"}));
    EXPECT_TRUE(ReleaseFailedHere(folder_.path(), 10.0f));
    EXPECT_FALSE(ReleaseFailedHere(folder_.path(), 10.5f)) << "a newer release must still be offered";
    EXPECT_TRUE(logic_->finished());
  }

  TempFolder folder_{"vimo-updater"};
  RecordingView view_;
  ScriptedDialogs dialogs_;
  RecordingPump pump_;
  RecordingWaiter waiter_;
  RecordingDesktop desktop_;
  // What each program started through the desktop held at that moment.
  std::vector<std::string> bytesAtStart_;
  ScriptedRunner runner_;
  TestReleaseKey key_;
  std::optional<FtpTestServer> server_;
  std::optional<UpdaterLogic> logic_;
};

TEST(UpdaterNumbers, AreWrittenInTheirShortestPlainForm) {
  EXPECT_EQ(ShortestDecimal(10.0f), "10");
  EXPECT_EQ(ShortestDecimal(9.5f), "9.5");
  EXPECT_EQ(ShortestDecimal(0.1f), "0.1");
  EXPECT_EQ(ShortestDecimal(1e7f), "10000000");
  EXPECT_EQ(PlainDecimal(0.0), "0");
  EXPECT_EQ(PlainDecimal(1234.0), "1234");
  EXPECT_EQ(PlainDecimal(716800.0), "716800");
  EXPECT_EQ(PlainDecimal(1e21), "1000000000000000000000");
}

TEST_F(UpdaterLogicTest, AnnouncementShowsVersionAndNewsFromTheRecord) {
  Start();
  struct Case {
    std::string record;
    std::string status;
    std::string news;
  } cases[] = {
      {W("10,Nytt|bättre,0,100\r\n"), W("Version 10 av Vimo har släppts!"), W("Nytt,bättre")},
      {"9.5,a|b|c\n", W("Version 9.5 av Vimo har släppts!"), "a,b,c"},
      {"  11,ingen nyhet", W("Version 11 av Vimo har släppts!"), "ingen nyhet"},
  };
  for (const Case& c : cases) {
    WriteBytes(folder_ / "version.txt", c.record);
    MakeLogic();
    logic_->Form_Load();
    ASSERT_FALSE(view_.statuses.empty());
    EXPECT_EQ(view_.statuses.back(), c.status) << c.record;
    EXPECT_EQ(view_.news, c.news) << c.record;
  }
  EXPECT_TRUE(dialogs_.shown().empty());
  EXPECT_FALSE(logic_->finished());
  EXPECT_EQ(view_.closed, 0);
}

// A record of nothing newer than what is installed (compiled in, or installed later) is a leftover,
// not an announcement.
TEST_F(UpdaterLogicTest, WithoutAFreshVersionRecordOnlyOffersToStartVimo) {
  Start();
  // The record (none for nullptr) and the version installed before (none for 0).
  const std::pair<const char*, float> cases[] = {
      {nullptr, 0}, {"9,Gammal", 0}, {"nonsense,x", 0}, {"9.5,Nedgradering", 10}, {"10,Samma", 10}};
  for (const auto& [record, installed] : cases) {
    SCOPED_TRACE(record ? record : "no record");
    RemoveFile(folder_ / "version.txt");
    if (record) WriteBytes(folder_ / "version.txt", record);
    RemoveFile(InstalledVersionPath(folder_.path()));
    if (installed > 0) RecordInstalledVersion(folder_.path(), installed);
    ForgetStarts();
    view_ = RecordingView();
    const std::size_t before = dialogs_.shown().size();
    dialogs_.AnswerNext(DialogAnswer::Yes);
    MakeLogic();
    logic_->Form_Load();
    ASSERT_EQ(dialogs_.shown().size(), before + 1);
    EXPECT_EQ(dialogs_.shown().back().title, "Vimo-updater - Fel");
    EXPECT_EQ(dialogs_.shown().back().text,
              W("Du behöver inte köra updatern manuellt, Vimo uppdateras varje gång det körs.\n\n"
                "Vill du starta Vimo nu?"));
    EXPECT_EQ(dialogs_.shown().back().buttons, DialogButtons::YesNo);
    EXPECT_EQ(desktop_.startedPrograms, std::vector<fs::path>{folder_ / "Vimo"});
    EXPECT_TRUE(logic_->finished());
    EXPECT_EQ(view_.closed, 1);
    EXPECT_TRUE(view_.statuses.empty());
  }
}

TEST_F(UpdaterLogicTest, WithoutVersionRecordNoEndsWithoutStarting) {
  Start();
  fs::remove(folder_ / "version.txt");
  dialogs_.AnswerNext(DialogAnswer::No);
  logic_->Form_Load();
  EXPECT_EQ(dialogs_.shown().size(), 1u);
  EXPECT_TRUE(desktop_.startedPrograms.empty());
  EXPECT_TRUE(logic_->finished());
  EXPECT_EQ(view_.closed, 1);
}

TEST_F(UpdaterLogicTest, SignedReleaseReplacesTheProgramMarksItExecutableAndStartsIt) {
  Start();
  const std::string build = LargeBuild();
  key_.Publish(*server_, build, 10.0f);
  logic_->Label3_Click();

  ExpectNewBuildInstalled(build);
  EXPECT_TRUE(dialogs_.shown().empty()) << server_->log();
  ASSERT_FALSE(view_.statuses.empty());
  EXPECT_EQ(view_.statuses.front(), "Uppdaterar...");
  EXPECT_FALSE(view_.downloadEnabled);
  const auto progress =
      std::find_if(view_.statuses.begin(), view_.statuses.end(),
                   [](const std::string& text) { return text.rfind("Mottagna kb: ", 0) == 0; });
  ASSERT_NE(progress, view_.statuses.end());
  EXPECT_EQ(progress->substr(progress->size() - 6), " / 700");
  const std::string amount = progress->substr(13, progress->size() - 13 - 6);
  EXPECT_EQ(amount.find_first_not_of("0123456789"), std::string::npos) << *progress;
  EXPECT_GT(pump_.calls, 1);
  EXPECT_EQ(view_.statuses.back(), "Startar Vimo version 10...");
}

// Each is refused with its reason in the error dialog; nothing is started and the installed program
// stays byte-identical.
TEST_F(UpdaterLogicTest, ReleasesThatAreNotSignedForThisVersionAreRefused) {
  Start();
  const std::string build = LargeBuild();
  const TestReleaseKey otherKey;
  std::string changed = build;
  changed[build.size() / 3] ^= 0x20;
  const std::string notSigned =
      W("Signaturen stämmer inte med Vimo version 10: programfilen är ändrad, "
        "ofullständig eller inte utgiven av Vimos utvecklare.");
  struct Case {
    const char* what;
    std::string program;
    std::optional<std::string> signature;
    std::string reason;
  } cases[] = {
      {"signed by another key", build, otherKey.Sign(build, 10.0f), notSigned},
      {"changed after signing", changed, key_.Sign(build, 10.0f), notSigned},
      {"signed for another version", build, key_.Sign(build, 11.0f), notSigned},
      {"truncated on the server", build.substr(0, build.size() / 2), key_.Sign(build, 10.0f), notSigned},
      {"empty", "", key_.Sign("", 10.0f), W("Den nedladdade programfilen är tom.")},
      {"damaged signature", build, key_.Sign(build, 10.0f).substr(0, 63),
       W("Signaturen /Vimo.sig är skadad.")},
      {"no signature", build, std::nullopt, W("Signaturen /Vimo.sig kunde inte hämtas (!")},
      {"not a program for this platform", "#!/bin/sh\necho ran\n", key_.Sign("#!/bin/sh\necho ran\n", 10.0f),
       W("Den nedladdade filen är inte ett program för den här datorn.")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    server_->WriteFile("Vimo", c.program);
    if (c.signature) {
      server_->WriteFile("Vimo.sig", *c.signature);
    } else {
      fs::remove(server_->PathOf("Vimo.sig"));
    }
    const std::size_t before = dialogs_.shown().size();
    dialogs_.AnswerNext(DialogAnswer::No);
    ForgetStarts();
    MakeLogic();
    logic_->Label3_Click();

    ASSERT_EQ(dialogs_.shown().size(), before + 1) << server_->log();
    const std::string& text = dialogs_.shown().back().text;
    EXPECT_NE(text.find(W("\nOrsak: ") + c.reason), std::string::npos) << Windows1252ToUtf8(text);
    EXPECT_NE(text.find(W("Den installerade Vimo är orörd.\n\nVill du försöka igen?")), std::string::npos);
    EXPECT_EQ(view_.statuses.back(), "Fel!");
    EXPECT_TRUE(runner_.started.empty());
    EXPECT_EQ(bytesAtStart_, std::vector<std::string>{kOldBuild}) << "the old build must start again";
    ExpectOldBuildUntouched(Refused::Yes);
  }
}

// The same on a server nobody here wrote: a forged release is refused, a signed one installed.
TEST_F(UpdaterLogicTest, PureFtpdServesSignedReleasesAsWell) {
  Start();
  PureFtpOptions oneConnection;
  oneConnection.maxConnectionsPerAddress = 1;
  PureFtpTestServer pure(oneConnection);
  const TestReleaseKey forger;
  const std::string build = LargeBuild();
  pure.WriteFile("Vimo", build);
  pure.WriteFile("Vimo.sig", forger.Sign(build, 10.0f));
  dialogs_.AnswerNext(DialogAnswer::No);
  MakeLogic({}, SettingsFor(pure));
  logic_->Label3_Click();
  ASSERT_EQ(dialogs_.shown().size(), 1u);
  EXPECT_NE(dialogs_.shown()[0].text.find(W("Signaturen stämmer inte med Vimo version 10")),
            std::string::npos);
  ExpectOldBuildUntouched(Refused::Yes);

  // A valid release of the refused version ends the refusal.
  pure.WriteFile("Vimo.sig", key_.Sign(build, 10.0f));
  view_.closed = 0;
  ForgetStarts();
  MakeLogic({}, SettingsFor(pure));
  logic_->Label3_Click();
  EXPECT_EQ(dialogs_.shown().size(), 1u);
  ExpectNewBuildInstalled(build);
}

TEST_F(UpdaterLogicTest, EveryRefusalIsExplainedUnlikeEveryOtherTransferError) {
  Start();
  key_.Publish(*server_, "", 10.0f);
  dialogs_.AnswerNext(DialogAnswer::Yes);
  dialogs_.AnswerNext(DialogAnswer::No);
  logic_->Label3_Click();
  EXPECT_EQ(dialogs_.CountTitled(kErrorTitle), 2);
  EXPECT_TRUE(logic_->finished());
  ExpectOldBuildUntouched(Refused::Yes);
}

TEST_F(UpdaterLogicTest, NewProgramThatDoesNotStartWellIsReverted) {
  using Then = ScriptedRunner::Then;
  struct Case {
    Then then;
    std::string why;
  } cases[] = {
      {Then::End, W("Den avslutades innan den hade startat klart.")},
      {Then::Hang, W("Den hade inte startat klart efter 120 sekunder och stängdes.")},
      {Then::CannotStart, W("Den nya versionen gick inte att starta.")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.then));
    for (const auto& entry : fs::directory_iterator(folder_.path())) fs::remove_all(entry.path());
    dialogs_ = ScriptedDialogs();
    ForgetStarts();
    runner_ = ScriptedRunner();
    waiter_ = RecordingWaiter();
    runner_.then = c.then;
    Start();
    key_.Publish(*server_, HealthyBuild(), 10.0f);
    dialogs_.AnswerNext(DialogAnswer::Ok);
    logic_->Label3_Click();
    EXPECT_EQ(runner_.started.size(), 1u);
    ExpectReverted(c.why);
    if (c.then == Then::Hang) {
      EXPECT_EQ(runner_.terminated, 1);
      // The bound was waited out in polls, with the window's events running in between.
      EXPECT_EQ(waiter_.Total(), 120000);
    }
  }
}

// What a killed updater leaves is reverted at the next start (HandOverTest); one that still runs
// is left to finish its trial.
TEST_F(UpdaterLogicTest, TrialThatAnUpdaterWatchesIsNotReverted) {
  Start();
  WriteBytes(PreviousProgramPath(folder_.path()), kOldBuild);
  WriteBytes(folder_ / "Vimo", "the build on trial");
  WriteBytes(TrialMarkerPath(folder_.path()), "10\r\n");
  {
    const auto watch = TrialWatch::TryTake(folder_.path());
    ASSERT_TRUE(watch);
    EXPECT_FALSE(TrialWatch::TryTake(folder_.path())) << "the watch must be exclusive";
    EXPECT_FALSE(RevertAbandonedTrial(folder_.path()));
    EXPECT_EQ(ReadBytes(folder_ / "Vimo"), "the build on trial");
    EXPECT_TRUE(fs::exists(TrialMarkerPath(folder_.path())));
  }
  EXPECT_TRUE(RevertAbandonedTrial(folder_.path()));
  EXPECT_EQ(ReadBytes(folder_ / "Vimo"), kOldBuild);
  EXPECT_EQ(FolderNames(), (std::vector<std::string>{"Vimo", "Vimo.failed", "Vimo.watch", "version.txt"}));
}

TEST_F(UpdaterLogicTest, DroppedDownloadKeepsTheOldProgramAndAsks) {
  Start({"--drop-after-bytes", "4000", "--drop-name", "Vimo"});
  server_->WriteFile("Vimo", LargeBuild());
  dialogs_.AnswerNext(DialogAnswer::No);
  dialogs_.onShow = [&](const ScriptedDialogs::Shown&) {
    // When the dialog decides, the old program is still in place.
    EXPECT_EQ(ReadBytes(folder_ / "Vimo"), kOldBuild);
    EXPECT_EQ(view_.statuses.back(), "Fel!");
  };
  logic_->Label3_Click();

  ASSERT_EQ(dialogs_.shown().size(), 1u) << server_->log();
  const auto& dialog = dialogs_.shown()[0];
  EXPECT_EQ(dialog.title, kErrorTitle);
  EXPECT_EQ(dialog.buttons, DialogButtons::YesNo);
  const std::string head =
      W("Fel i nedladdningen! Se till att du är uppkopplad till internet, och att brandväggen inte blockerar "
        "detta program.\nOrsak: !");
  EXPECT_EQ(dialog.text.rfind(head, 0), 0u) << dialog.text;
  EXPECT_GT(dialog.text.size(), head.size() + 23) << "the reason is missing";
  EXPECT_EQ(dialog.text.substr(dialog.text.size() - 23), W("\n\nVill du försöka igen?"));
  ExpectOldBuildUntouched();
  EXPECT_TRUE(desktop_.startedPrograms.empty());
  EXPECT_TRUE(logic_->finished());
  EXPECT_EQ(view_.closed, 1);
}

TEST_F(UpdaterLogicTest, ErrorDialogAlternatesAndYesRetriesAtOnce) {
  Start();  // no "/Vimo" on the server: every attempt fails with the server's refusal
  dialogs_.AnswerNext(DialogAnswer::Yes);
  logic_->Label3_Click();
  // First error: the dialog, whose Yes ran a second attempt inside it; its error only cleared the flag.
  EXPECT_EQ(dialogs_.CountTitled(kErrorTitle), 1);
  EXPECT_EQ(view_.CountStatus("Uppdaterar..."), 2);
  EXPECT_FALSE(logic_->DownloadErrorShown());
  EXPECT_FALSE(logic_->finished());
  EXPECT_TRUE(view_.downloadEnabled) << "the button must work again after a failure";
  ExpectOldBuildUntouched();

  // Third error: the dialog again; No ends without starting anything.
  dialogs_.AnswerNext(DialogAnswer::No);
  logic_->Label3_Click();
  EXPECT_EQ(dialogs_.CountTitled(kErrorTitle), 2);
  EXPECT_TRUE(logic_->finished());
  EXPECT_EQ(view_.closed, 1);
  EXPECT_TRUE(desktop_.startedPrograms.empty());
  ExpectOldBuildUntouched();
}

TEST_F(UpdaterLogicTest, RealBuildThatDiesAtStartIsRevertedAndTheOldOneStarted) {
  Start();
  key_.Publish(*server_, DyingBuild(), 10.0f);
  RecordingWaiter sleeping;
  sleeping.hook = [](int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  };
  ChildProcessRunner processes;
  UpdateSafeguards safeguards;
  safeguards.runner = &processes;
  safeguards.waiter = &sleeping;
  safeguards.pollInterval = std::chrono::milliseconds(10);
  MakeLogic(safeguards);
  dialogs_.AnswerNext(DialogAnswer::Ok);
  logic_->Label3_Click();

  EXPECT_EQ(ReadBytes(folder_ / "new-build-ran.txt"), "ran\n") << "the new build never ran";
  fs::remove(folder_ / "new-build-ran.txt");
  ExpectReverted(W("Den avslutades innan den hade startat klart."));
}

TEST_F(UpdaterLogicTest, YesRetryThatSucceedsInstallsOnceWhileTheFailedAttemptUnwinds) {
  Start();
  // The build appears on the server while the user reads the error dialog.
  dialogs_.onShow = [&](const ScriptedDialogs::Shown&) { key_.Publish(*server_, HealthyBuild(), 10.0f); };
  dialogs_.AnswerNext(DialogAnswer::Yes);
  logic_->Label3_Click();
  EXPECT_EQ(dialogs_.CountTitled(kErrorTitle), 1);
  ExpectNewBuildInstalled(HealthyBuild());
}

TEST_F(UpdaterLogicTest, ProgramThatCannotBeReplacedIsReportedAndNothingStarts) {
  Start();
  key_.Publish(*server_, HealthyBuild(), 10.0f);
  fs::remove(folder_ / "Vimo");
  WriteBytes(folder_ / "Vimo" / "in-the-way.txt", "a folder stands where the program belongs");
  dialogs_.AnswerNext(DialogAnswer::No);
  logic_->Label3_Click();
  ASSERT_EQ(dialogs_.shown().size(), 1u);
  EXPECT_NE(dialogs_.shown()[0].text.find("Orsak: !Could not replace Vimo: "), std::string::npos);
  EXPECT_TRUE(runner_.started.empty());
  EXPECT_EQ(FolderNames(), (std::vector<std::string>{"Vimo", "Vimo.watch", "version.txt"}))
      << "the download must be removed";
  EXPECT_TRUE(fs::is_directory(folder_ / "Vimo"));
}

}  // namespace
