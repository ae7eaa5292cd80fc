// The updater's handlers against a real FTP server: the announcement, the download that replaces
// the program only when whole, the error dialog's alternation, and the offer to start Vimo.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "FakePlatform.h"
#include "FtpTestServer.h"
#include "SyncTestFiles.h"
#include "TestServerSettings.h"
#include "UpdaterLogic.h"
#include "Windows1252.h"
#include "ftp/FtpLimits.h"

namespace fs = std::filesystem;

namespace {

const std::string kNewBuild = "#!/bin/sh\necho ran > new-build-ran.txt\n";
const std::string kOldBuild = "the old build, which must survive a failed download\n";
const std::string kErrorTitle = "Vimo uppdatering - Fel!";

// Bigger than one data chunk, so that a drop after a few kilobytes happens in the middle.
std::string LargeBuild() {
  std::string build = kNewBuild;
  for (int line = 0; build.size() < 200 * 1024; ++line)
    build += "# padding line " + std::to_string(line) + "\n";
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

  // Records each start together with what the started file held at that moment.
  class SnapshotDesktop final : public Desktop {
   public:
    bool StartProgram(const fs::path& program) override {
      startedPrograms.push_back(program);
      std::error_code ignored;
      bytesAtStart.push_back(fs::is_regular_file(program) ? ReadBytes(program) : "");
      permsAtStart.push_back(fs::status(program, ignored).permissions());
      return true;
    }
    void OpenUrl(const std::string&) override { ADD_FAILURE() << "the updater opens no address"; }

    std::vector<fs::path> startedPrograms;
    std::vector<std::string> bytesAtStart;
    std::vector<fs::perms> permsAtStart;
  };

  static void SetUpTestSuite() {
    // A dead server is given up quickly; nothing here waits on a healthy one for long.
    FtpLimits limits;
    limits.connectTimeout = std::chrono::seconds(5);
    limits.stallTimeout = std::chrono::seconds(5);
    FtpLimits::SetDefault(limits);
  }

  // Starts the server (with fault switches) and the logic in a fresh program folder holding the
  // old build.
  void Start(std::vector<std::string> switches = {}) {
    server_.emplace(std::move(switches));
    WriteBytes(folder_ / "Vimo", kOldBuild);
    fs::permissions(folder_ / "Vimo", fs::perms::owner_read | fs::perms::owner_write);
    logic_.emplace(view_, dialogs_, pump_, desktop_, SettingsFor(*server_), folder_.path());
  }

  // Every file of the program folder, to catch temporary files left behind.
  std::vector<std::string> FolderNames() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_.path())) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  void ExpectOldBuildUntouched() {
    EXPECT_EQ(ReadBytes(folder_ / "Vimo"), kOldBuild);
    EXPECT_EQ(FolderNames(), std::vector<std::string>{"Vimo"});
  }

  // Installed, and already whole and executable at the moment it was started.
  void ExpectNewBuildInstalled(const std::string& build) {
    EXPECT_EQ(ReadBytes(folder_ / "Vimo"), build);
    EXPECT_EQ(FolderNames(), std::vector<std::string>{"Vimo"});
    ASSERT_EQ(desktop_.startedPrograms, std::vector<fs::path>{folder_ / "Vimo"});
    EXPECT_EQ(desktop_.bytesAtStart[0], build);
    for (fs::perms bit : {fs::perms::owner_exec, fs::perms::group_exec, fs::perms::others_exec}) {
      EXPECT_NE(desktop_.permsAtStart[0] & bit, fs::perms::none) << "execute bit missing";
    }
    EXPECT_TRUE(logic_->finished());
    EXPECT_EQ(view_.closed, 1);
  }

  TempFolder folder_{"vimo-updater"};
  RecordingView view_;
  ScriptedDialogs dialogs_;
  RecordingPump pump_;
  SnapshotDesktop desktop_;
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
      {"nonsense,x", W("Version 0 av Vimo har släppts!"), "x"},
  };
  for (const Case& c : cases) {
    WriteBytes(folder_ / "version.txt", c.record);
    logic_->Form_Load();
    ASSERT_FALSE(view_.statuses.empty());
    EXPECT_EQ(view_.statuses.back(), c.status) << c.record;
    EXPECT_EQ(view_.news, c.news) << c.record;
  }
  EXPECT_TRUE(dialogs_.shown().empty());
  EXPECT_FALSE(logic_->finished());
  EXPECT_EQ(view_.closed, 0);
}

TEST_F(UpdaterLogicTest, WithoutVersionRecordOnlyOffersToStartVimo) {
  Start();
  dialogs_.AnswerNext(DialogAnswer::Yes);
  logic_->Form_Load();
  ASSERT_EQ(dialogs_.shown().size(), 1u);
  EXPECT_EQ(dialogs_.shown()[0].title, "Vimo-updater - Fel");
  EXPECT_EQ(dialogs_.shown()[0].text,
            W("Du behöver inte köra updatern manuellt, Vimo uppdateras varje gång det körs.\n\n"
              "Vill du starta Vimo nu?"));
  EXPECT_EQ(dialogs_.shown()[0].buttons, DialogButtons::YesNo);
  EXPECT_EQ(desktop_.startedPrograms, std::vector<fs::path>{folder_ / "Vimo"});
  EXPECT_TRUE(logic_->finished());
  EXPECT_EQ(view_.closed, 1);
  EXPECT_TRUE(view_.statuses.empty());
  ExpectOldBuildUntouched();
}

TEST_F(UpdaterLogicTest, WithoutVersionRecordNoEndsWithoutStarting) {
  Start();
  dialogs_.AnswerNext(DialogAnswer::No);
  logic_->Form_Load();
  EXPECT_EQ(dialogs_.shown().size(), 1u);
  EXPECT_TRUE(desktop_.startedPrograms.empty());
  EXPECT_TRUE(logic_->finished());
  EXPECT_EQ(view_.closed, 1);
}

TEST_F(UpdaterLogicTest, DownloadReplacesTheProgramMarksItExecutableAndStartsIt) {
  Start();
  const std::string build = LargeBuild();
  server_->WriteFile("Vimo", build);
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

TEST_F(UpdaterLogicTest, YesRetryThatSucceedsInstallsOnceWhileTheFailedAttemptUnwinds) {
  Start();
  // The build appears on the server while the user reads the error dialog.
  dialogs_.onShow = [&](const ScriptedDialogs::Shown&) { server_->WriteFile("Vimo", kNewBuild); };
  dialogs_.AnswerNext(DialogAnswer::Yes);
  logic_->Label3_Click();
  EXPECT_EQ(dialogs_.CountTitled(kErrorTitle), 1);
  ExpectNewBuildInstalled(kNewBuild);
}

TEST_F(UpdaterLogicTest, ProgramThatCannotBeReplacedIsReportedAndNothingStarts) {
  Start();
  server_->WriteFile("Vimo", kNewBuild);
  fs::remove(folder_ / "Vimo");
  WriteBytes(folder_ / "Vimo" / "in-the-way.txt", "a folder stands where the program belongs");
  dialogs_.AnswerNext(DialogAnswer::No);
  logic_->Label3_Click();
  ASSERT_EQ(dialogs_.shown().size(), 1u);
  EXPECT_NE(dialogs_.shown()[0].text.find("Orsak: !Could not replace Vimo: "), std::string::npos);
  EXPECT_TRUE(desktop_.startedPrograms.empty());
  EXPECT_EQ(FolderNames(), std::vector<std::string>{"Vimo"}) << "the download must be removed";
  EXPECT_TRUE(fs::is_directory(folder_ / "Vimo"));
}

}  // namespace
