// The start-up sequence end to end against the real FTP server script: a program folder of its own,
// scripted dialog answers, and waits that are recorded instead of slept.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>

#include "FakePlatform.h"
#include "FtpTestServer.h"
#include "ServerLayout.h"
#include "StartupSequence.h"
#include "SyncTestFiles.h"
#include "TestServerSettings.h"
#include "TextFile.h"
#include "Windows1252.h"

namespace {

const std::string kComputer = "testdator";

std::string NoInternetText() {
  return W(
      "Vimo kan inte nå internet. Detta är ett måste då Vimo måste ladda ner sin hjärna m.m.\n\n"
      "Se till att du är uppkopplad, och att Vimo inte är blockerat av brandväggen. Starta sedan om "
      "Vimo.");
}

class StartupTest : public ::testing::Test {
 protected:
  // Keeps what the window would show, and the order of the calls that matter.
  struct View final : StartupView {
    void StopTimer() override { timerStopped = true; }
    void MoveCar(int leftTwips) override { carPositions.push_back(leftTwips); }
    void Check(StartupCheck box) override { checked.push_back(box); }
    void ShowNotice(StartupNotice notice, bool visible) override {
      visibleNotices[static_cast<int>(notice)] = visible;
      if (visible) everShown[static_cast<int>(notice)] = true;
    }
    void SetUserCountText(const std::string& text) override { userCountText = text; }
    void PrintLine(const std::string& text) override { lines.push_back(text); }
    void HandOver() override { ++handOvers; }
    void EndProgram() override { ++ends; }

    bool Visible(StartupNotice notice) const { return visibleNotices[static_cast<int>(notice)]; }
    bool EverShown(StartupNotice notice) const { return everShown[static_cast<int>(notice)]; }
    int ErrorLines() const {
      return static_cast<int>(std::count_if(
          lines.begin(), lines.end(), [](const std::string& line) { return line.rfind("Error: ", 0) == 0; }));
    }

    bool timerStopped = false;
    std::vector<int> carPositions;
    std::vector<StartupCheck> checked;
    bool visibleNotices[5] = {};
    bool everShown[5] = {};
    std::optional<std::string> userCountText;
    std::vector<std::string> lines;
    int handOvers = 0;
    int ends = 0;
  };

  void StartServer(std::vector<std::string> switches = {}) {
    server_ = std::make_unique<FtpTestServer>(std::move(switches));
  }

  // A healthy server: the probe page, a whole brain, an older backup, version 9 without a holiday,
  // both flag messages and two registered computers.
  void SeedServer(int brainRecords = 1500) {
    SeedAccount(*server_, {.brain = BrainText(brainRecords),
                           .backup = BrainText(1600),
                           .manualBackup = BrainText(1800),
                           .flagMessages = "Hej| alla\r\nAdmin talar\r\n",
                           .users = "alfa\r\nbeta\r\n"});
  }

  // A new window's sequence on the program folder, not started yet.
  StartupSequence& Create(const std::string& computer = kComputer) {
    view_ = View{};
    dialogsBefore_ = dialogs_.shown().size();
    waiter_.waits.clear();
    sequence_ =
        std::make_unique<StartupSequence>(view_, values_, StartupServices{dialogs_, waiter_, pump_, desktop_},
                                          SettingsFor(*server_), program_.path(), computer);
    return *sequence_;
  }

  // The same, started by the timer's first tick.
  StartupSequence& Run(const std::string& computer = kComputer) {
    Create(computer).Timer_laddanerbrain_Timer();
    return *sequence_;
  }

  bool LocalExists(std::string_view name) const { return FileExists(program_ / name); }
  std::string Local(std::string_view name) const { return ReadBytes(program_ / name); }

  TempFolder program_{"vimo-startup"};
  std::unique_ptr<FtpTestServer> server_;
  View view_;
  ProgramValues values_;
  ScriptedDialogs dialogs_;
  RecordingWaiter waiter_;
  RecordingPump pump_;
  RecordingDesktop desktop_;
  std::unique_ptr<StartupSequence> sequence_;
  std::size_t dialogsBefore_ = 0;
};

TEST_F(StartupTest, FirstStartRefreshesBackupsCountsTheComputerAndHandsOver) {
  StartServer();
  SeedServer();
  auto& sequence = Run();

  EXPECT_EQ(sequence.outcome(), StartupSequence::Outcome::HandedOver);
  EXPECT_EQ(view_.handOvers, 1);
  EXPECT_TRUE(view_.timerStopped);
  EXPECT_TRUE(dialogs_.shown().empty());

  // Both backups equal the brain as downloaded at this start; the shared brain is untouched.
  EXPECT_EQ(server_->ReadText("brain2.txt"), BrainText(1500));
  EXPECT_EQ(server_->ReadText("brain_manuellbackup.txt"), BrainText(1500));
  EXPECT_EQ(server_->ReadText("brain.txt"), BrainText(1500));
  EXPECT_EQ(Local("brain.txt"), BrainText(1500));

  // Counted before its own name is added, then registered.
  EXPECT_EQ(view_.userCountText, W("Vimo har nu 2 användare!"));
  EXPECT_EQ(server_->ReadText("användare.txt"), "alfa\r\nbeta\r\ntestdator\r\n");
  EXPECT_EQ(Local("Data/system.vimo"), "kollad\r\n");
  EXPECT_FALSE(LocalExists("användare.txt"));
  EXPECT_FALSE(LocalExists("temp_användare.txt"));

  // The flag messages and the version record stay for the main window and the shutdown.
  EXPECT_EQ(Local("medd.txt"), "Hej| alla\r\nAdmin talar\r\n");
  EXPECT_EQ(Local("version.txt"), "9,Inget nytt,0,0\r\n");
  EXPECT_FALSE(values_.HolidayToday);
  EXPECT_FLOAT_EQ(values_.HolidayAnimationInterval, 0.0f);

  EXPECT_EQ(waiter_.waits, (std::vector<int>{1000, 4000}));
  EXPECT_EQ(view_.checked, (std::vector<StartupCheck>{StartupCheck::Steg1_chk, StartupCheck::Steg1_Del2_chk,
                                                      StartupCheck::Steg2_chk, StartupCheck::Steg3_chk}));
  // The steps' stations in order; progress notifications move the car 50 twips in between.
  const std::vector<int> stations{1000, 2000, 3000, 3400, 3800};
  auto next = view_.carPositions.begin();
  for (int station : stations) {
    next = std::find(next, view_.carPositions.end(), station);
    ASSERT_NE(next, view_.carPositions.end()) << "the car never stopped at " << station;
  }
  EXPECT_EQ(sequence.CarLeft(), 3800);

  // The list went up before the hand-over, which hides the notice of it.
  EXPECT_FALSE(view_.Visible(StartupNotice::Inet_information));
  EXPECT_TRUE(view_.Visible(StartupNotice::Användarnummer_info));
  EXPECT_FALSE(view_.EverShown(StartupNotice::Hjärnaförstörd_lbl1));
  EXPECT_FALSE(view_.EverShown(StartupNotice::Speciellbild_info));
  EXPECT_GT(pump_.calls, 0);
}

TEST_F(StartupTest, AFreshServerWithoutAManualBackupStartsWithoutAnError) {
  StartServer();
  SeedServer();
  std::filesystem::remove(server_->PathOf("brain_manuellbackup.txt"));
  auto& sequence = Run();
  EXPECT_EQ(sequence.outcome(), StartupSequence::Outcome::HandedOver);
  EXPECT_TRUE(dialogs_.shown().empty());
  EXPECT_EQ(view_.ErrorLines(), 0);
  EXPECT_EQ(server_->ReadText("brain_manuellbackup.txt"), BrainText(1500));
}

TEST_F(StartupTest, TransferProgressDrivesTheCarOnFromItsStart) {
  StartServer();
  SeedServer(20000);
  Run();
  ASSERT_FALSE(view_.carPositions.empty());
  // The big brain's download reports progress before the check moves the car to 1000.
  EXPECT_EQ(view_.carPositions.front(), 170);
  for (std::size_t i = 1; i < view_.carPositions.size() && view_.carPositions[i] != 1000; ++i) {
    EXPECT_EQ(view_.carPositions[i], view_.carPositions[i - 1] + 50);
  }
}

TEST_F(StartupTest, LaterStartsRegisterNothing) {
  StartServer();
  SeedServer();
  Run();
  ASSERT_EQ(server_->ReadText("användare.txt"), "alfa\r\nbeta\r\ntestdator\r\n");

  auto& second = Run();
  EXPECT_EQ(second.outcome(), StartupSequence::Outcome::HandedOver);
  EXPECT_EQ(server_->ReadText("användare.txt"), "alfa\r\nbeta\r\ntestdator\r\n");
  EXPECT_EQ(waiter_.waits, (std::vector<int>{1000}));
  EXPECT_FALSE(view_.userCountText.has_value());
  EXPECT_FALSE(view_.EverShown(StartupNotice::Inet_information));
  EXPECT_FALSE(LocalExists("användare.txt"));
}

TEST_F(StartupTest, FirstRunOfAComputerAlreadyListedUploadsNothing) {
  StartServer();
  SeedServer();
  server_->WriteText("användare.txt", "alfa\r\ntestdator\r\nbeta\r\n");
  auto& sequence = Run();

  EXPECT_EQ(sequence.outcome(), StartupSequence::Outcome::HandedOver);
  EXPECT_FALSE(view_.userCountText.has_value());
  EXPECT_EQ(waiter_.waits, (std::vector<int>{1000}));
  EXPECT_EQ(server_->ReadText("användare.txt"), "alfa\r\ntestdator\r\nbeta\r\n");
  EXPECT_EQ(Local("Data/system.vimo"), "kollad\r\n");
  EXPECT_FALSE(LocalExists("användare.txt"));
  EXPECT_FALSE(view_.Visible(StartupNotice::Inet_information));
}

TEST_F(StartupTest, UserListEdgeCases) {
  StartServer();
  SeedServer();
  {
    SCOPED_TRACE("a name that differs only in letter case is a new computer");
    server_->WriteText("användare.txt", "Testdator\r\n");
    Run();
    EXPECT_EQ(view_.userCountText, W("Vimo har nu 1 användare!"));
    EXPECT_EQ(server_->ReadText("användare.txt"), "Testdator\r\ntestdator\r\n");
  }
  {
    SCOPED_TRACE("a list without its final line break counts one fewer and keeps its names apart");
    RemoveFile(program_ / "Data/system.vimo");
    server_->WriteFile("användare.txt", "alfa\nbeta");
    Run("gamma");
    EXPECT_EQ(view_.userCountText, W("Vimo har nu 1 användare!"));
    EXPECT_EQ(server_->ReadText("användare.txt"), "alfa\r\nbeta\r\ngamma\r\n");
  }
  {
    SCOPED_TRACE("an empty list: the first user");
    RemoveFile(program_ / "Data/system.vimo");
    server_->WriteFile("användare.txt", "");
    Run("delta");
    EXPECT_EQ(view_.userCountText, W("Vimo har nu 0 användare!"));
    EXPECT_EQ(server_->ReadText("användare.txt"), "delta\r\n");
  }
}

TEST_F(StartupTest, AUserListThatDoesNotArriveWholeIsNeverSentBack) {
  std::string names;
  for (int i = 0; i < 400; ++i) names += "dator" + std::to_string(i) + "\r\n";
  StartServer({"--drop-after-bytes", "700", "--drop-name", "användare.txt"});
  SeedServer();
  server_->WriteText("användare.txt", names);
  // A list left over from an interrupted run must not stand in for the download either.
  WriteBytes(program_ / "användare.txt", "gammal\r\n");
  Run();

  EXPECT_EQ(server_->ReadText("användare.txt"), names);
  EXPECT_FALSE(view_.userCountText.has_value());
  EXPECT_FALSE(LocalExists("användare.txt"));
  EXPECT_FALSE(LocalExists("temp_användare.txt"));
  EXPECT_EQ(waiter_.CountOf(4000), 0);
  // The dropped download still completed, so the main window opens; its error came after that.
  EXPECT_EQ(sequence_->outcome(), StartupSequence::Outcome::HandedOver);
}

TEST_F(StartupTest, MissingSharedBrainIsRestoredOnTheServerWithoutTouchingTheBackups) {
  StartServer();
  SeedServer();
  std::filesystem::remove(server_->PathOf("brain.txt"));
  auto& sequence = Run();

  EXPECT_EQ(sequence.outcome(), StartupSequence::Outcome::HandedOver);
  EXPECT_EQ(Local("brain.txt"), BrainText(1600));
  EXPECT_EQ(server_->ReadText("brain2.txt"), BrainText(1600));
  EXPECT_EQ(server_->ReadText("brain_manuellbackup.txt"), BrainText(1800));
  EXPECT_EQ(server_->ReadText("brain.txt"), BrainText(1600));
  EXPECT_EQ(waiter_.waits, (std::vector<int>{1600, 1000, 4000}));
  EXPECT_TRUE(view_.EverShown(StartupNotice::Hjärnaförstörd_lbl1));
  EXPECT_TRUE(view_.EverShown(StartupNotice::Hjärnaförstörd_lbl2));
  EXPECT_FALSE(view_.Visible(StartupNotice::Hjärnaförstörd_lbl1));
  EXPECT_FALSE(view_.Visible(StartupNotice::Hjärnaförstörd_lbl2));
  EXPECT_TRUE(dialogs_.shown().empty());
}

TEST_F(StartupTest, TheSizeCheckDrawsTheLineAt1500Records) {
  StartServer();
  SeedServer(1499);
  Run();
  EXPECT_EQ(view_.handOvers, 1);
  EXPECT_EQ(waiter_.CountOf(1600), 1);
  EXPECT_EQ(Local("brain.txt"), BrainText(1600));
  // The small brain never reaches the backups.
  EXPECT_EQ(server_->ReadText("brain2.txt"), BrainText(1600));
  EXPECT_EQ(server_->ReadText("brain_manuellbackup.txt"), BrainText(1800));
  // The restored brain replaces the damaged one on the server too.
  EXPECT_EQ(server_->ReadText("brain.txt"), BrainText(1600));

  server_->WriteText("brain.txt", BrainText(1500));
  Run();
  EXPECT_EQ(view_.handOvers, 1);
  EXPECT_EQ(waiter_.CountOf(1600), 0);
  EXPECT_EQ(server_->ReadText("brain2.txt"), BrainText(1500));
}

TEST_F(StartupTest, ARestoredCopyThatIsTooSmallEndsTheProgram) {
  StartServer();
  SeedServer(10);
  server_->WriteText("brain2.txt", BrainText(1499));
  server_->WriteText("brain_manuellbackup.txt", BrainText(1499));
  dialogs_.AnswerNext(DialogAnswer::Yes);
  auto& sequence = Run();

  ASSERT_EQ(dialogs_.shown().size(), 1u);
  const auto& dialog = dialogs_.shown()[0];
  EXPECT_EQ(dialog.title, W("Återställningen misslyckades!"));
  EXPECT_EQ(dialog.buttons, DialogButtons::YesNo);
  EXPECT_EQ(dialog.text,
            W("OMFG! Återställningen av hjärnan misslyckades. Men bara lugn, som tur är görs det regelbundna "
              "backuper av Vimos hjärna.\n\nVar vänlig och gå in på '") +
                ErrorReportAddress() +
                W("' så får vi en felrapport.\nVill du göra detta nu? (Din webbläsare öppnas automatiskt. "
                  "*snälla*)"));
  EXPECT_EQ(desktop_.openedUrls, (std::vector<std::string>{ErrorReportAddress()}));
  EXPECT_EQ(sequence.outcome(), StartupSequence::Outcome::Ended);
  EXPECT_EQ(view_.ends, 1);
  EXPECT_EQ(view_.handOvers, 0);
  // Nothing after the end: no version record, no flag messages, the backups as they were.
  EXPECT_FALSE(LocalExists("version.txt"));
  EXPECT_FALSE(LocalExists("medd.txt"));
  EXPECT_EQ(server_->ReadText("brain2.txt"), BrainText(1499));
  EXPECT_EQ(server_->ReadText("brain_manuellbackup.txt"), BrainText(1499));
  EXPECT_EQ(waiter_.waits, (std::vector<int>{1600}));

  // The handlers stay silent once the program has ended.
  sequence.oFTP_ErrorMsg("!Late error");
  sequence.oFTP_TransferCompleted();
  EXPECT_EQ(dialogs_.shown().size(), 1u);
  EXPECT_TRUE(view_.lines.empty() || view_.lines.back() != "Error: !Late error");
}

TEST_F(StartupTest, NoBackupToRestoreFromEndsTheProgramEvenOnNo) {
  StartServer();
  SeedServer();
  std::filesystem::remove(server_->PathOf("brain.txt"));
  std::filesystem::remove(server_->PathOf("brain2.txt"));
  std::filesystem::remove(server_->PathOf("brain_manuellbackup.txt"));
  dialogs_.AnswerNext(DialogAnswer::No);
  auto& sequence = Run();

  EXPECT_EQ(dialogs_.CountTitled(W("Återställningen misslyckades!")), 1);
  EXPECT_TRUE(desktop_.openedUrls.empty());
  EXPECT_EQ(sequence.outcome(), StartupSequence::Outcome::Ended);
  EXPECT_EQ(view_.ends, 1);
  EXPECT_FALSE(LocalExists("version.txt"));
}

TEST_F(StartupTest, WithoutTheProbePageNothingIsDownloadedAndTheStartEndsInTheError) {
  StartServer();
  SeedServer();
  std::filesystem::remove(server_->PathOf("index.html"));
  dialogs_.AnswerAllWithDefault();
  auto& sequence = Run();

  // Waiting would not bring the page; the user is told and the window does not stay forever.
  EXPECT_EQ(sequence.outcome(), StartupSequence::Outcome::Ended);
  EXPECT_EQ(view_.ends, 1);
  EXPECT_TRUE(view_.timerStopped);
  EXPECT_FALSE(LocalExists("brain.txt"));
  ASSERT_EQ(dialogs_.shown().size(), 1u);
  EXPECT_EQ(dialogs_.shown()[0].text, NoInternetText());
  EXPECT_EQ(view_.handOvers, 0);
  EXPECT_TRUE(view_.checked.empty());
  EXPECT_EQ(server_->ReadText("brain2.txt"), BrainText(1600));
  // Later ticks of the timer do not start it again.
  sequence.Timer_laddanerbrain_Timer();
  EXPECT_FALSE(LocalExists("brain.txt"));
}

TEST_F(StartupTest, ServerDownShowsTheNoInternetDialogOnEveryOtherError) {
  StartServer();
  server_->Stop();
  dialogs_.AnswerAllWithDefault();
  auto& sequence = Run();

  EXPECT_EQ(sequence.outcome(), StartupSequence::Outcome::Ended);
  EXPECT_EQ(view_.handOvers, 0);
  const int errors = view_.ErrorLines();
  ASSERT_GE(errors, 1);
  ASSERT_EQ(dialogs_.shown().size(), static_cast<std::size_t>((errors + 1) / 2));
  EXPECT_EQ(dialogs_.shown()[0].title, "Vimo - Fel!");
  EXPECT_EQ(dialogs_.shown()[0].text, NoInternetText());
  EXPECT_EQ(dialogs_.shown()[0].buttons, DialogButtons::Ok);
  EXPECT_FALSE(LocalExists("brain.txt"));
}

TEST_F(StartupTest, ErrorReportsAlternateAndTwoUnknownErrorsAreIgnored) {
  StartServer();
  Create();  // not started: the reports below come straight to the handler
  ASSERT_TRUE(dialogs_.shown().empty());
  view_.lines.clear();
  dialogs_.AnswerAllWithDefault();

  const std::string unknown = "!Unknown error: Error details not available";
  sequence_->oFTP_ErrorMsg(unknown);
  sequence_->oFTP_ErrorMsg(unknown);
  EXPECT_TRUE(view_.lines.empty());
  EXPECT_TRUE(dialogs_.shown().empty());

  std::vector<std::size_t> dialogsAfter;
  for (int i = 0; i < 5; ++i) {
    sequence_->oFTP_ErrorMsg(i == 0 ? unknown : "!Request timed out");
    dialogsAfter.push_back(dialogs_.shown().size());
  }
  EXPECT_EQ(dialogsAfter, (std::vector<std::size_t>{1, 1, 2, 2, 3}));
  ASSERT_EQ(view_.lines.size(), 5u);
  EXPECT_EQ(view_.lines[0], "Error: " + unknown);
  EXPECT_EQ(view_.lines[1], "Error: !Request timed out");
  EXPECT_TRUE(values_.StartErrorShown);
}

TEST_F(StartupTest, ANewerVersionStartsTheUpdaterAndEnds) {
  StartServer();
  SeedServer();
  for (const std::string record : {"10,Nytt|bättre,0,0\r\n", "9.5,Lite nytt,1,100\r\n"}) {
    SCOPED_TRACE(record);
    server_->WriteText("version.txt", W(record));
    desktop_.startedPrograms.clear();
    auto& sequence = Run();

    EXPECT_EQ(desktop_.startedPrograms,
              (std::vector<std::filesystem::path>{program_.path() / kUpdaterProgramFile}));
    EXPECT_EQ(sequence.outcome(), StartupSequence::Outcome::Ended);
    EXPECT_EQ(view_.ends, 1);
    EXPECT_EQ(view_.handOvers, 0);
    EXPECT_FALSE(LocalExists("brain.txt"));
    EXPECT_EQ(Local("version.txt"), W(record));
    EXPECT_FALSE(LocalExists("medd.txt"));
    EXPECT_FALSE(LocalExists("Data/vimo_special.gif"));
    EXPECT_FALSE(values_.HolidayToday);
    EXPECT_TRUE(waiter_.waits.empty());
  }
}

TEST_F(StartupTest, AnUpdaterThatCannotStartLeavesTheInstalledVersionRunning) {
  StartServer();
  SeedServer();
  server_->WriteText("version.txt", "10,Nytt,0,0\r\n");
  desktop_.startSucceeds = false;
  auto& sequence = Run();

  EXPECT_EQ(desktop_.startedPrograms.size(), 1u);
  EXPECT_EQ(sequence.outcome(), StartupSequence::Outcome::HandedOver);
  EXPECT_EQ(Local("brain.txt"), BrainText(1500));
  EXPECT_EQ(view_.ErrorLines(), 1);
}

TEST_F(StartupTest, AVersionRecordThatDoesNotArriveAnnouncesNothing) {
  StartServer({"--fail-name", "version.txt"});
  SeedServer();
  // A record from an earlier run announcing an update and a holiday must not count.
  WriteBytes(program_ / "version.txt", "99,Gammalt,1,50\r\n");
  dialogs_.AnswerAllWithDefault();
  Run();

  EXPECT_TRUE(desktop_.startedPrograms.empty());
  EXPECT_FALSE(values_.HolidayToday);
  EXPECT_FALSE(LocalExists("Data/vimo_special.gif"));
  EXPECT_GE(view_.ErrorLines(), 1);
  EXPECT_EQ(sequence_->outcome(), StartupSequence::Outcome::HandedOver);
  EXPECT_TRUE(dialogs_.shown().empty()) << "the chat works without the record";

  // A record far larger than a record can be is refused whole, whatever its first line says.
  StartServer();
  SeedServer();
  server_->WriteText("version.txt", "99,Stor,1,50\r\n" + std::string(100 << 10, 'x'));
  Run();
  EXPECT_TRUE(desktop_.startedPrograms.empty());
  EXPECT_FALSE(LocalExists("version.txt"));
  EXPECT_EQ(sequence_->outcome(), StartupSequence::Outcome::HandedOver);
}

TEST_F(StartupTest, AHolidayFetchesTheImageInBinaryAndTheFlagMessagesInAscii) {
  StartServer();
  SeedServer();
  server_->WriteText("version.txt", "9,Inget nytt,1.0,120\r\n");
  std::string image = "GIF89a";
  for (int i = 0; i < 600; ++i) image += static_cast<char>(i % 256);
  image += "\n\r\n\n\r";
  server_->WriteFile("vimo_special.gif", image);
  auto& sequence = Run();

  EXPECT_EQ(sequence.outcome(), StartupSequence::Outcome::HandedOver);
  EXPECT_EQ(Local("Data/vimo_special.gif"), image);
  EXPECT_EQ(Local("medd.txt"), "Hej| alla\r\nAdmin talar\r\n");
  EXPECT_TRUE(values_.HolidayToday);
  EXPECT_FLOAT_EQ(values_.HolidayAnimationInterval, 120.0f);
  EXPECT_TRUE(view_.EverShown(StartupNotice::Speciellbild_info));
  EXPECT_FALSE(view_.Visible(StartupNotice::Speciellbild_info));
  EXPECT_EQ(waiter_.waits, (std::vector<int>{1000, 4000}));
}

TEST_F(StartupTest, HolidayFlagsOtherThanExactlyOneFetchNoImage) {
  StartServer();
  SeedServer();
  server_->WriteText("version.txt", "9,x,1.5,120\r\n");
  server_->WriteFile("vimo_special.gif", "GIF89a");
  Run();
  EXPECT_FALSE(values_.HolidayToday);
  EXPECT_FLOAT_EQ(values_.HolidayAnimationInterval, 120.0f);
  EXPECT_FALSE(LocalExists("Data/vimo_special.gif"));
  EXPECT_EQ(view_.handOvers, 1);
}

}  // namespace
