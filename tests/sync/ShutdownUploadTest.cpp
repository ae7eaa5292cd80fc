// Closing the main window: the size check, the local backup, the upload of the brain to a real FTP
// server, the clean-up, and the road back to the chat after a failed upload.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "FakePlatform.h"
#include "FlagAndShutdownFakes.h"
#include "LessonJournal.h"
#include "MainWindowServer.h"
#include "SyncTestFiles.h"
#include "TestServerSettings.h"
#include "Windows1252.h"

namespace {

const std::string kFlagFile = "Hej| alla\r\nAdmin s\xE4ger hej| v\xE4nner\r\n";
const std::string kVersionFile = "9,Inget nytt,0,100\r\n";
const std::string kLesson = W("\r\n*\r\nvem är bäst?\r\njag| såklart\r\n");
const Lesson kJournalled{Lesson::Kind::Taught, W("vem är bäst?"), W("jag| såklart")};

std::string CriticalErrorText() {
  return W(
      "Du var just precis nära att förstöra hela Vimos hjärna! På något sätt har du nollställt hjärnan, "
      "och nu höll du på att ladda upp den!\n\nNollställningen kan bero på någon av dessa orsaker:\n\n"
      "1: Du körde Vimo direkt, utan att zippa upp först. Du måste zippa upp Vimo innan du kan köra "
      "det.\n2: Du är släkt med Fenrok, och raderade hela hjärnan med flit. GÖR INTE DET! VIMO SER "
      "ALLT!\n\nFörsäkra dig om att du inte gjort något av ovanstående, och kör sedan Vimo igen. Vimo "
      "stängs nu av.");
}

std::string UploadErrorText() {
  return W(
      "Ett fel uppstod. Är du ansluten till internet?\n\nGå tillbaks till Vimo och försöka igen? "
      "(Trycker du nej sparas inte det nya du lärt honom.)");
}

class ShutdownTest : public MainWindowServerTest {
 protected:
  void SetUp() override { values.Voice = &voice; }

  // A server whose shared brain is older than the local one.
  void StartServer(std::vector<std::string> switches = {}) {
    ftp = std::make_unique<FtpTestServer>(std::move(switches));
    ftp->WriteText("brain.txt", serverBrain);
    settings = SettingsFor(*ftp);
  }
  // A server that went away: its port is closed.
  void StartServerThatIsDown() {
    StartServer();
    ftp->Stop();
  }

  // The local brain; a brain that ends in kLesson learnt it in this session, so the journal has it.
  void PrepareProgramFolder(const std::string& brainText) {
    brain = brainText;
    if (brain.ends_with(kLesson)) {
      ASSERT_TRUE(Journal().Record(kJournalled));
    }
    WriteBytes(folder / "brain.txt", brain);
    WriteBytes(folder / "medd.txt", kFlagFile);
    WriteBytes(folder / "version.txt", kVersionFile);
    WriteBytes(folder / "user.vimo", "Anna\r\n");
    WriteBytes(folder / "Data/system.vimo", "kollad\r\n");
  }

  // The main window's close; true when it stays open.
  bool CloseMainWindow() {
    bool cancel = false;
    Handlers().Form_Unload(cancel);
    return cancel;
  }

  bool Exists(const char* name) const { return std::filesystem::exists(folder / name); }
  LessonJournal Journal() const { return LessonJournal(folder / "Data/lessons.vimo"); }

  void ExpectChatKeptWithBrainIntact() {
    EXPECT_TRUE(ReadBytes(folder / "brain.txt") == brain);
    EXPECT_FALSE(Exists("brain_backup.txt"));
    EXPECT_TRUE(Exists("medd.txt"));
    EXPECT_TRUE(Exists("version.txt"));
    EXPECT_FALSE(uploadWindow.visible);
    EXPECT_FALSE(values.CloseWindowMayClose);
    EXPECT_FALSE(values.UploadRetry);
    EXPECT_FALSE(Handlers().ProgramEnding());
  }

  void ExpectWorkingFilesGoneAndStateKept() {
    EXPECT_FALSE(Exists("brain.txt"));
    EXPECT_FALSE(Exists("brain_backup.txt"));
    EXPECT_FALSE(Exists("medd.txt"));
    EXPECT_FALSE(Exists("version.txt"));
    EXPECT_TRUE(Exists("user.vimo"));
    EXPECT_TRUE(Exists("Data/system.vimo"));
  }

  std::string serverBrain = BrainText(1600);
  std::string brain;
};

TEST_F(ShutdownTest, SuccessfulUploadMergesTheLessonIntoTheSharedBrainAndCleansUp) {
  StartServer();
  // An earlier failed attempt left a cut upload behind.
  ftp->WriteText("brain.txt.upload-0123456789abcdef", "\r\n*\r\nhalv");
  PrepareProgramFolder(BrainText(1500) + kLesson);

  EXPECT_FALSE(CloseMainWindow());

  // The server's brain, which others taught more than this copy ever saw, keeps all of it.
  EXPECT_TRUE(ftp->ReadText("brain.txt") == serverBrain + kLesson);
  EXPECT_TRUE(Journal().Read().empty());
  // The brain went up under a name of its own and was renamed; the lock is gone, and so is the
  // leftover of the earlier attempt.
  for (const auto& entry : std::filesystem::directory_iterator(ftp->root())) {
    EXPECT_EQ(entry.path().filename().string().find(".upload-"), std::string::npos) << entry.path();
    EXPECT_NE(entry.path().filename(), "vimo.lock");
  }
  ExpectWorkingFilesGoneAndStateKept();
  EXPECT_TRUE(dialogs.shown().empty());
  EXPECT_TRUE(Handlers().ProgramEnding());

  // The upload window came and went; the flag went to the administrator's message first.
  EXPECT_EQ(uploadWindow.timesShown, 1);
  EXPECT_FALSE(uploadWindow.visible);
  EXPECT_EQ(uploadWindow.ErrorLines(), 0);
  EXPECT_EQ(window.selectedTab, FlagTab::Admin);
  EXPECT_FALSE(window.buttonsEnabled);
  EXPECT_EQ(window.flagText(), "Admin s\xE4ger hej, v\xE4nner");

  // Speech stops at once.
  ASSERT_EQ(voice.spoken.size(), 1u);
  EXPECT_EQ(voice.spoken[0].first, "");
  EXPECT_EQ(voice.spoken[0].second, SpeechVoice::kPurgeBeforeSpeak);

  // Once ending, a further close request changes nothing.
  ftp->WriteText("brain.txt", serverBrain);
  EXPECT_FALSE(CloseMainWindow());
  EXPECT_TRUE(ftp->ReadText("brain.txt") == serverBrain);
  EXPECT_EQ(uploadWindow.timesShown, 1);
}

TEST_F(ShutdownTest, ACopyThatLearntNothingChangesNothingOnTheServer) {
  StartServer();
  // 1500 records pass the check; the server's brain has moved on since this copy started.
  PrepareProgramFolder(BrainText(1500));
  EXPECT_FALSE(CloseMainWindow());
  EXPECT_TRUE(ftp->ReadText("brain.txt") == serverBrain);
  EXPECT_TRUE(dialogs.shown().empty());
  ExpectWorkingFilesGoneAndStateKept();
}

TEST_F(ShutdownTest, DamagedOrMissingBrainIsNeverUploaded) {
  // No server at all: any connection attempt would print an error line on the upload window.
  StartServerThatIsDown();
  for (const bool missing : {false, true}) {
    SCOPED_TRACE(missing ? "brain.txt missing" : "1499 records");
    ScriptedDialogs freshDialogs;
    RecordingUploadWindow freshUploadWindow{values};
    MainWindowServer freshHandlers{window, freshUploadWindow, values,       freshDialogs,
                                   pump,   settings,          folder.path()};
    PrepareProgramFolder(BrainText(1499));
    if (missing) std::filesystem::remove(folder / "brain.txt");
    freshDialogs.AnswerNext(DialogAnswer::Ok);

    bool cancel = false;
    freshHandlers.Form_Unload(cancel);

    EXPECT_FALSE(cancel);
    ASSERT_EQ(freshDialogs.shown().size(), 1u);
    EXPECT_EQ(freshDialogs.shown()[0].title, W("Vimo - Kritiskt fel!"));
    EXPECT_EQ(freshDialogs.shown()[0].text, CriticalErrorText());
    EXPECT_EQ(freshDialogs.shown()[0].buttons, DialogButtons::Ok);
    EXPECT_EQ(freshUploadWindow.timesShown, 0);
    EXPECT_TRUE(freshUploadWindow.allLines.empty());
    EXPECT_FALSE(Exists("brain.txt"));
    EXPECT_FALSE(Exists("brain_backup.txt"));
    EXPECT_TRUE(Exists("medd.txt"));
    EXPECT_TRUE(Exists("version.txt"));
    EXPECT_TRUE(freshHandlers.ProgramEnding());
  }
}

TEST_F(ShutdownTest, BrainThatCannotBeBackedUpStaysLocalAndIsNotUploaded) {
  StartServer();
  PrepareProgramFolder(BrainText(1500) + kLesson);
  // A folder with content stands where the backup would go, so the copy cannot be made.
  WriteBytes(folder / "brain_backup.txt/blocker", "x");
  dialogs.AnswerNext(DialogAnswer::Ok);

  EXPECT_TRUE(CloseMainWindow());

  EXPECT_TRUE(ReadBytes(folder / "brain.txt") == brain);
  EXPECT_TRUE(ftp->ReadText("brain.txt") == serverBrain);
  EXPECT_EQ(uploadWindow.ErrorLines(), 0);
  EXPECT_FALSE(uploadWindow.visible);
  EXPECT_FALSE(values.CloseWindowMayClose);
  ASSERT_EQ(dialogs.shown().size(), 1u);
  EXPECT_EQ(dialogs.shown()[0].title, W("Vimo - Fel!"));
  EXPECT_EQ(dialogs.shown()[0].buttons, DialogButtons::Ok);
  EXPECT_FALSE(Handlers().ProgramEnding());
}

enum class Fault { ServerDown, LoginRefused, ConnectionDroppedMidUpload };

class FailedUploadTest : public ShutdownTest, public ::testing::WithParamInterface<Fault> {
 protected:
  void StartFaultyServer() {
    switch (GetParam()) {
      case Fault::ServerDown:
        StartServerThatIsDown();
        break;
      case Fault::LoginRefused:
        StartServer({"--refuse-login"});
        break;
      case Fault::ConnectionDroppedMidUpload:
        StartServer({"--drop-after-bytes", "2000", "--drop-name", "brain.txt.upload-*"});
        break;
    }
    PrepareProgramFolder(BrainText(1500) + kLesson);
  }

  void ExpectUploadErrorDialog() {
    ASSERT_GE(dialogs.shown().size(), 1u);
    EXPECT_EQ(dialogs.shown()[0].title, W("Vimo - Fel!"));
    EXPECT_EQ(dialogs.shown()[0].text, UploadErrorText());
    EXPECT_EQ(dialogs.shown()[0].buttons, DialogButtons::YesNo);
    EXPECT_GE(uploadWindow.ErrorLines(), 1);
    // The error lines are printed on the window among the status lines, as the server reported them.
    EXPECT_NE(std::find_if(uploadWindow.surface.begin(), uploadWindow.surface.end(),
                           [](const std::string& line) { return line.rfind("Error: !", 0) == 0; }),
              uploadWindow.surface.end());
  }
};

TEST_P(FailedUploadTest, YesGoesBackToTheChatWithTheBrainIntact) {
  StartFaultyServer();
  dialogs.AnswerNext(DialogAnswer::Yes);

  EXPECT_TRUE(CloseMainWindow());

  ExpectUploadErrorDialog();
  ExpectChatKeptWithBrainIntact();
  EXPECT_EQ(window.shownAgain, 1);
  EXPECT_TRUE(voice.spoken.empty());
  if (GetParam() != Fault::ServerDown) {
    // Whatever arrived of the upload never took the shared name.
    EXPECT_TRUE(ftp->ReadText("brain.txt") == serverBrain);
  }
  EXPECT_EQ(Journal().Read(), std::vector<Lesson>{kJournalled});
}

TEST_P(FailedUploadTest, NoEndsTheProgramAndTheJournalKeepsTheLessonForTheNextClose) {
  StartFaultyServer();
  dialogs.AnswerNext(DialogAnswer::No);

  EXPECT_FALSE(CloseMainWindow());

  ExpectUploadErrorDialog();
  ExpectWorkingFilesGoneAndStateKept();
  EXPECT_TRUE(Handlers().ProgramEnding());
  EXPECT_EQ(window.shownAgain, 0);
  EXPECT_EQ(Journal().Read(), std::vector<Lesson>{kJournalled});
}

INSTANTIATE_TEST_SUITE_P(Faults, FailedUploadTest,
                         ::testing::Values(Fault::ServerDown, Fault::LoginRefused,
                                           Fault::ConnectionDroppedMidUpload),
                         [](const auto& info) {
                           switch (info.param) {
                             case Fault::ServerDown:
                               return "ServerDown";
                             case Fault::LoginRefused:
                               return "LoginRefused";
                             case Fault::ConnectionDroppedMidUpload:
                               return "ConnectionDroppedMidUpload";
                           }
                           return "Unknown";
                         });

TEST_F(ShutdownTest, ErrorDialogAlternatesAcrossErrorsAndAttempts) {
  // With the server down every attempt reports one error, the refused connection; nothing more is
  // tried without a session.
  StartServerThatIsDown();
  PrepareProgramFolder(BrainText(1500) + kLesson);
  std::vector<int> errorsWhenAsked;
  std::vector<bool> shownFlagAfter;
  dialogs.onShow = [&](const ScriptedDialogs::Shown&) {
    errorsWhenAsked.push_back(uploadWindow.ErrorLines());
  };
  for (int attempt = 1; attempt <= 3; ++attempt) {
    SCOPED_TRACE("attempt " + std::to_string(attempt));
    dialogs.AnswerNext(DialogAnswer::Yes);
    EXPECT_TRUE(CloseMainWindow());
    ASSERT_EQ(uploadWindow.ErrorLines(), attempt);
    shownFlagAfter.push_back(values.UploadErrorShown);
    ExpectChatKeptWithBrainIntact();
  }
  // The 1st and 3rd error asked in their turn; the 2nd fell on the silent turn, and its attempt
  // asked at its end, since no error of its own had.
  EXPECT_EQ(errorsWhenAsked, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(shownFlagAfter, (std::vector<bool>{true, false, true}));
  EXPECT_EQ(Journal().Read(), std::vector<Lesson>{kJournalled});
}

TEST_F(ShutdownTest, AttemptWhoseOnlyErrorFallsOnTheSilentTurnStillAsks) {
  // A connection dropped in mid-upload reports one error per attempt.
  StartServer({"--drop-after-bytes", "2000", "--drop-name", "brain.txt.upload-*"});
  PrepareProgramFolder(BrainText(1500) + kLesson);
  std::vector<int> errorsWhenAsked;
  dialogs.onShow = [&](const ScriptedDialogs::Shown&) {
    errorsWhenAsked.push_back(uploadWindow.ErrorLines());
  };

  dialogs.AnswerNext(DialogAnswer::Yes);
  EXPECT_TRUE(CloseMainWindow());
  ExpectChatKeptWithBrainIntact();

  // The second error falls on the silent turn; the attempt still asks before anything is deleted.
  dialogs.AnswerNext(DialogAnswer::Yes);
  EXPECT_TRUE(CloseMainWindow());
  ExpectChatKeptWithBrainIntact();
  ASSERT_EQ(dialogs.shown().size(), 2u);
  EXPECT_EQ(dialogs.shown()[1].text, UploadErrorText());

  // The alternation itself runs on: the third error asks in its turn, and No ends the program.
  dialogs.AnswerNext(DialogAnswer::No);
  EXPECT_FALSE(CloseMainWindow());
  ExpectWorkingFilesGoneAndStateKept();
  EXPECT_EQ(errorsWhenAsked, (std::vector<int>{1, 2, 3}));
}

}  // namespace
