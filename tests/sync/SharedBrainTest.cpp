// The shared brain as many users meet it: copies closing at the same moment, a copy killed after a
// lesson, locks left behind or held, transfers that break at start, servers that will not rename
// onto a name. Against the project's server and pure-ftpd; fault switches only exist on ours.

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <thread>

#include "BrainStore.h"
#include "FakePlatform.h"
#include "FlagAndShutdownFakes.h"
#include "LessonJournal.h"
#include "MainWindowServer.h"
#include "PureFtpTestServer.h"
#include "QuietViews.h"
#include "SharedBrain.h"
#include "StartupSequence.h"
#include "SyncTestFiles.h"
#include "TestServerSettings.h"
#include "TextFile.h"
#include "Windows1252.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;

const std::string kBrain = BrainText(1500);

void SeedServer(const RealFtpServer& server) {
  SeedAccount(server, {.brain = kBrain, .backup = kBrain, .manualBackup = kBrain});
}

// Waits until the condition holds or the bound has passed; true when it holds.
bool WaitFor(const std::function<bool()>& condition, std::chrono::seconds bound) {
  const auto until = std::chrono::steady_clock::now() + bound;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

// One copy of the program in a process of its own (tests/sync/VimoCopy.cpp).
class Copy {
 public:
  Copy(const RealFtpServer& server, const std::filesystem::path& folder, const std::string& question,
       const std::string& answer, const std::filesystem::path& goFile)
      : folder_(folder) {
    std::filesystem::create_directories(folder);
    const ServerSettings settings = SettingsFor(server);
    std::vector<std::string> arguments{
        VIMO_COPY_PROGRAM, folder.string(),   settings.host, std::to_string(server.port()),
        settings.user,     settings.password, question,      answer,
        goFile.string()};
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, VIMO_COPY_PROGRAM, nullptr, nullptr, argv.data(), environ) != 0) pid_ = -1;
  }
  ~Copy() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  Copy(const Copy&) = delete;
  Copy& operator=(const Copy&) = delete;

  bool Taught() const { return std::filesystem::exists(folder_ / "taught"); }
  // The exit status once the copy has ended within the bound; -1 if it did not.
  int Finish(std::chrono::seconds bound) {
    int status = 0;
    const bool ended = WaitFor([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, bound);
    if (!ended) return -1;
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  void Kill() {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  std::filesystem::path folder_;
  pid_t pid_ = -1;
};

// A start-up of its own in a program folder; the outcome is what the window would see.
struct Start {
  Start(const RealFtpServer& server, const std::filesystem::path& folder, std::string computer = "testdator")
      : sequence(view, values, {dialogs, waiter, pump, desktop}, SettingsFor(server), folder,
                 std::move(computer)) {
    std::filesystem::create_directories(folder);
    dialogs.AnswerAllWithDefault();
    sequence.Timer_laddanerbrain_Timer();
  }

  struct View final : QuietStartupView {
    void ShowNotice(StartupNotice notice, bool visible) override {
      if (visible && notice == StartupNotice::Hjärnaförstörd_lbl1) restoreShown = true;
    }
    bool restoreShown = false;
  } view;
  ProgramValues values;
  ScriptedDialogs dialogs;
  RecordingWaiter waiter;
  RecordingPump pump;
  RecordingDesktop desktop;
  StartupSequence sequence;
};

// A close of its own in a program folder: what the windows would have shown, and whether the main
// window stayed open. Dialogs not scripted beforehand (`script`) fail the test.
struct Close {
  Close(const RealFtpServer& server, const std::filesystem::path& folder, Waiter& waiter,
        const std::function<void(ScriptedDialogs&)>& script = {}, UtcClock clock = SystemUtcSeconds) {
    if (script) script(dialogs);
    MainWindowServer handlers(window, uploadWindow, values, dialogs, pump, SettingsFor(server), folder);
    handlers.SetWaiter(waiter);
    handlers.SetClock(std::move(clock));
    handlers.Form_Unload(stayedOpen);
  }
  bool Printed(const std::string& line) const {
    return std::find(uploadWindow.allLines.begin(), uploadWindow.allLines.end(), line) !=
           uploadWindow.allLines.end();
  }

  ProgramValues values;
  ScriptedDialogs dialogs;
  RecordingPump pump;
  RecordingMainWindow window;
  RecordingUploadWindow uploadWindow{values};
  bool stayedOpen = false;
};

// A copy's pending lesson "q" → "a": in its journal and its brain, and not yet on the server.
void TeachPending(const RealFtpServer& server, const std::filesystem::path& folder) {
  server.WriteText("brain.txt", kBrain);
  WriteBytes(folder / "brain.txt", kBrain);
  ASSERT_TRUE(LessonJournal(folder / "Data/lessons.vimo").Record({Lesson::Kind::Taught, "q", "a"}));
}

bool LessonOnServer(const RealFtpServer& server) {
  return server.ReadText("brain.txt") == kBrain + "\r\n*\r\nq\r\na\r\n";
}

// This computer's clock, off by the given minutes.
UtcClock SkewedClock(int minutes) {
  return [minutes] { return SystemUtcSeconds() + minutes * 60; };
}

// The name of the generation `daysAgo` days before today (on a server listing UTC).
std::string GenerationDaysAgo(int daysAgo, std::uint64_t records) {
  return GenerationName(DayOf(SystemUtcSeconds() - daysAgo * 86400), records);
}

// Another copy's lock with its mark, `age` old; as a file named like the lock when asked (the
// helpers hand files and folders to the server's account, which must be able to remove them).
void PlaceLock(const RealFtpServer& server, std::chrono::minutes age, bool asFile = false) {
  server.WriteFile(asFile ? "vimo.lock" : "vimo.lock/0123456789abcdef", "");
  std::filesystem::last_write_time(server.PathOf("vimo.lock"),
                                   std::filesystem::file_time_type::clock::now() - age);
}

class SharedBrainTest : public ::testing::TestWithParam<std::string> {
 protected:
  // Without a limit per address: the copies all come from 127.0.0.1.
  void StartServer() {
    if (GetParam() == "pure-ftpd") {
      server = std::make_unique<PureFtpTestServer>();
    } else {
      server = std::make_unique<FtpTestServer>();
    }
    SeedServer(*server);
  }

  std::unique_ptr<RealFtpServer> server;
  TempFolder folders{"vimo-copies"};
};

TEST_P(SharedBrainTest, CopiesClosingAtTheSameMomentKeepEveryLessonAndEveryComputer) {
  StartServer();
  for (const int copies : {2, 5, 10}) {
    SCOPED_TRACE(std::to_string(copies) + " copies");
    server->WriteText("brain.txt", kBrain);
    server->WriteText("användare.txt", "alfa\r\n");
    const auto round = folders / ("round" + std::to_string(copies));
    const auto go = round / "go";
    std::vector<std::unique_ptr<Copy>> running;
    for (int i = 0; i < copies; ++i) {
      running.push_back(std::make_unique<Copy>(*server, round / ("copy" + std::to_string(i)),
                                               "lektion " + std::to_string(i), "svar " + std::to_string(i),
                                               go));
    }
    for (auto& copy : running) ASSERT_TRUE(WaitFor([&] { return copy->Taught(); }, 120s)) << server->log();
    WriteBytes(go, "go");
    for (auto& copy : running) EXPECT_EQ(copy->Finish(120s), 0) << server->log();

    // A fresh start knows every lesson, and the list holds every computer once.
    Start fresh(*server, round / "fresh");
    ASSERT_EQ(fresh.sequence.outcome(), StartupSequence::Outcome::HandedOver);
    const BrainStore brain(round / "fresh" / "brain.txt");
    EXPECT_EQ(brain.CountBrainCells(), 1500u + copies);
    for (int i = 0; i < copies; ++i) {
      EXPECT_EQ(brain.FindAnswer("lektion " + std::to_string(i)), "svar " + std::to_string(i));
      EXPECT_NE(server->ReadText("användare.txt").find("dator-copy" + std::to_string(i) + "\r\n"),
                std::string::npos);
    }
    EXPECT_FALSE(server->Exists("vimo.lock"));
  }
}

TEST_P(SharedBrainTest, ALessonOfACopyKilledBeforeItClosedGoesUpWithTheNextClose) {
  StartServer();
  const auto program = folders / "program";
  {
    Copy copy(*server, program, "vem lever", "jag", folders / "never");
    ASSERT_TRUE(WaitFor([&] { return copy.Taught(); }, 60s)) << server->log();
    copy.Kill();
  }
  ASSERT_EQ(BrainStore(program / "brain.txt").FindAnswer("vem lever"), "jag");
  EXPECT_EQ(BrainStore::ToShown(server->ReadText("brain.txt")), BrainStore::ToShown(kBrain));

  // The next session: the start brings the pending lesson back into the chat, the close sends it.
  Start next(*server, program);
  ASSERT_EQ(next.sequence.outcome(), StartupSequence::Outcome::HandedOver);
  EXPECT_EQ(BrainStore(program / "brain.txt").FindAnswer("vem lever"), "jag");
  RecordingWaiter waiter;
  const Close close(*server, program, waiter);
  EXPECT_TRUE(close.dialogs.shown().empty());
  EXPECT_EQ(server->ReadText("brain.txt"), kBrain + "\r\n*\r\nvem lever\r\njag\r\n");
  EXPECT_TRUE(LessonJournal(program / "Data/lessons.vimo").Read().empty());
}

TEST_P(SharedBrainTest, GenerationsAreKeptADayAtATimeAndOneCanBePutBack) {
  StartServer();
  for (int day = 20; day >= 6; --day)
    server->WriteText(GenerationDaysAgo(day, 1500 + day), BrainText(1500 + day));
  for (int start = 0; start < 2; ++start) {
    Start again(*server, folders / "program");
    ASSERT_EQ(again.sequence.outcome(), StartupSequence::Outcome::HandedOver);
  }
  // Today's from the first start, the thirteen newest of the others; the second start wrote none.
  EXPECT_EQ(server->ReadText(GenerationDaysAgo(0, 1500)), kBrain);
  for (int day = 20; day >= 6; --day)
    EXPECT_EQ(server->Exists(GenerationDaysAgo(day, 1500 + day)), day <= 18) << day;

  CFtp ftp;
  ftp.SetTls(FtpTls::Optional);  // the test server speaks plain FTP
  ftp.Port(static_cast<std::int16_t>(server->port()));
  ASSERT_TRUE(ftp.Connect("127.0.0.1", server->user(), server->password(), ""));
  ftp.TransferType(1);
  RecordingWaiter waiter;
  std::string failure;
  EXPECT_TRUE(RestoreGeneration(ftp, waiter, GenerationDaysAgo(7, 1507), folders / "scratch.txt", failure))
      << failure;
  EXPECT_EQ(server->ReadText("brain.txt"), BrainText(1507));
  EXPECT_FALSE(RestoreGeneration(ftp, waiter, "brain2.txt", folders / "scratch.txt", failure));
  EXPECT_EQ(server->ReadText("brain2.txt"), kBrain);
  EXPECT_FALSE(server->Exists("vimo.lock"));
}

TEST_P(SharedBrainTest, ACloseThatFindsNoBrainMergesOntoTheNewestWholeCopyAndPutsItBack) {
  StartServer();
  const auto program = folders / "program";
  TeachPending(*server, program);
  std::filesystem::remove(server->PathOf("brain.txt"));
  server->WriteText("brain2.txt", BrainText(1600));
  RecordingWaiter waiter;
  const Close close(*server, program, waiter);
  EXPECT_TRUE(close.dialogs.shown().empty());
  EXPECT_EQ(server->ReadText("brain.txt"), BrainText(1600) + "\r\n*\r\nq\r\na\r\n");
  EXPECT_EQ(server->ReadText("brain2.txt"), BrainText(1600));
  EXPECT_TRUE(LessonJournal(program / "Data/lessons.vimo").Read().empty());
}

// The close against a lock another copy left or holds.
class LockTest : public SharedBrainTest {
 protected:
  void PlaceLock(std::chrono::minutes age, bool asFile = false) { ::PlaceLock(*server, age, asFile); }

  TempFolder folder{"vimo-lock"};
  RecordingWaiter waiter;
};

TEST_P(LockTest, AStaleLockIsBrokenAndALiveOneIsWaitedForWithinTheBound) {
  StartServer();
  {
    SCOPED_TRACE("a lock left ten minutes ago by a copy that died");
    TeachPending(*server, folder.path());
    PlaceLock(10min);
    const Close close(*server, folder.path(), waiter);
    EXPECT_FALSE(close.stayedOpen);
    EXPECT_TRUE(LessonOnServer(*server));
    EXPECT_TRUE(waiter.waits.empty());
    EXPECT_FALSE(server->Exists("vimo.lock"));
  }
  {
    SCOPED_TRACE("a live lock, released by its holder after three pauses");
    TeachPending(*server, folder.path());
    PlaceLock(0min);
    waiter.hook = [&](int) {
      if (waiter.waits.size() == 3) std::filesystem::remove_all(server->PathOf("vimo.lock"));
    };
    const Close close(*server, folder.path(), waiter);
    EXPECT_FALSE(close.stayedOpen);
    EXPECT_TRUE(LessonOnServer(*server));
    EXPECT_EQ(waiter.waits, (std::vector<int>{500, 500, 500}));
    EXPECT_TRUE(close.Printed(W("Väntar på att en annan Vimo ska bli klar...")));
    EXPECT_TRUE(close.dialogs.shown().empty());
  }
  {
    SCOPED_TRACE("a live lock that outlasts the bound: the lesson waits in the journal");
    TeachPending(*server, folder.path());
    PlaceLock(0min);
    waiter.waits.clear();
    waiter.hook = nullptr;
    const Close close(*server, folder.path(), waiter,
                      [](ScriptedDialogs& dialogs) { dialogs.AnswerNext(DialogAnswer::Yes); });
    EXPECT_TRUE(close.stayedOpen);
    EXPECT_EQ(static_cast<int>(waiter.waits.size()), LockTiming{}.waitLimitMs / LockTiming{}.retryMs);
    EXPECT_EQ(server->ReadText("brain.txt"), kBrain);
    EXPECT_EQ(LessonJournal(folder.path() / "Data/lessons.vimo").Read().size(), 1u);
    EXPECT_EQ(close.dialogs.CountTitled(W("Vimo - Fel!")), 1);
    // The other copy's lock is still its own.
    EXPECT_TRUE(server->Exists("vimo.lock/0123456789abcdef"));
  }
  {
    SCOPED_TRACE("a file named like the lock, left ten minutes ago");
    std::filesystem::remove_all(server->PathOf("vimo.lock"));
    TeachPending(*server, folder.path());
    PlaceLock(10min, true);
    const Close close(*server, folder.path(), waiter);
    EXPECT_TRUE(LessonOnServer(*server));
    EXPECT_FALSE(server->Exists("vimo.lock"));
  }
  for (const int skew : {-10, 10}) {
    SCOPED_TRACE("this computer's clock " + std::to_string(skew) + " minutes off: a live lock is waited for");
    TeachPending(*server, folder.path());
    PlaceLock(0min);
    waiter.waits.clear();
    waiter.hook = [&](int) {
      if (waiter.waits.size() == 3) std::filesystem::remove_all(server->PathOf("vimo.lock"));
    };
    const Close close(*server, folder.path(), waiter, {}, SkewedClock(skew));
    EXPECT_TRUE(LessonOnServer(*server));
    EXPECT_EQ(waiter.waits.size(), 3u);
  }
}

TEST_P(LockTest, AHolderTouchesItsLockSoASlowMergeIsNotBrokenUnderIt) {
  StartServer();
  server->WriteText("stor.txt", BrainText(20000));
  const ServerSettings settings = SettingsFor(*server);
  CFtp holderFtp, otherFtp;
  for (CFtp* ftp : {&holderFtp, &otherFtp}) {
    ftp->Port(settings.port);
    ftp->SetTls(settings.tls);
    ASSERT_TRUE(ftp->Connect(settings.host, settings.user, settings.password, ""));
  }
  std::int64_t now = 1'000'000;
  ServerLock holder(holderFtp, waiter, LockTiming{}, [&] { return now; });
  ASSERT_TRUE(holder.Acquire());
  // While its session is busy with a transfer, the holder touches the lock through a second one.
  struct TouchingListener final : CFtpListener {
    void ErrorMsg(const std::string&) override {}
    void StatusMsg(const std::string&) override {}
    void TransferProgress(int32_t, double, double) override { lock->RefreshIfDue(true); }
    void TransferCompleted() override {}
    ServerLock* lock = nullptr;
  } listener;
  listener.lock = &holder;
  holderFtp.SetListener(&listener);
  for (const bool duringTransfer : {false, true}) {
    SCOPED_TRACE(duringTransfer ? "during a transfer" : "between transfers");
    // The merge has run for ten minutes; its last touch is due.
    std::filesystem::last_write_time(server->PathOf("vimo.lock"),
                                     std::filesystem::file_time_type::clock::now() - 10min);
    now += LockTiming{}.refreshSeconds;
    if (duringTransfer) {
      ASSERT_TRUE(holderFtp.GetFile("/stor.txt", folder / "stor.txt", false));
    } else {
      holder.RefreshIfDue();
    }
    LockTiming once;
    once.waitLimitMs = 0;
    ServerLock other(otherFtp, waiter, once);
    EXPECT_FALSE(other.Acquire());
    EXPECT_TRUE(holder.StillHeld());
  }
  holderFtp.SetListener(nullptr);
}

INSTANTIATE_TEST_SUITE_P(Servers, SharedBrainTest, ::testing::ValuesIn(kTestServerKinds), TestServerKindName);
INSTANTIATE_TEST_SUITE_P(Servers, LockTest, ::testing::ValuesIn(kTestServerKinds), TestServerKindName);

// Faults only our own server can stage.
class FaultTest : public ::testing::Test {
 protected:
  void StartServer(std::vector<std::string> switches) {
    server = std::make_unique<FtpTestServer>(std::move(switches));
    SeedServer(*server);
  }
  std::unique_ptr<FtpTestServer> server;
  TempFolder folder{"vimo-fault"};
};

TEST_F(FaultTest, ADownloadOfTheBrainThatBreaksOffEndsTheStartAndChangesNothing) {
  StartServer({"--drop-after-bytes", "5000", "--drop-name", "brain.txt"});
  server->WriteText("brain.txt", kBrain + "\r\n*\r\nnyast\r\nlektion\r\n");
  Start start(*server, folder.path());

  EXPECT_EQ(start.sequence.outcome(), StartupSequence::Outcome::Ended);
  EXPECT_EQ(start.dialogs.CountTitled(W("Vimo - Fel!")), 1);
  EXPECT_FALSE(start.view.restoreShown);
  EXPECT_FALSE(FileExists(folder / "brain.txt"));
  EXPECT_EQ(server->ReadText("brain.txt"), kBrain + "\r\n*\r\nnyast\r\nlektion\r\n");
  EXPECT_EQ(server->ReadText("brain2.txt"), kBrain);
  EXPECT_EQ(server->ReadText("brain_manuellbackup.txt"), kBrain);
}

TEST_F(FaultTest, ServersThatRefuseToRenameOntoANameStillGetTheLessonAndTheBackups) {
  StartServer({"--no-rename-over"});
  server->WriteText("brain2.txt", BrainText(1450));
  Start start(*server, folder.path());
  ASSERT_EQ(start.sequence.outcome(), StartupSequence::Outcome::HandedOver);
  EXPECT_EQ(server->ReadText("brain2.txt"), kBrain);
  EXPECT_EQ(server->ReadText("brain_manuellbackup.txt"), kBrain);

  TeachPending(*server, folder.path());
  RecordingWaiter waiter;
  const Close close(*server, folder.path(), waiter);
  EXPECT_TRUE(close.dialogs.shown().empty());
  EXPECT_TRUE(LessonOnServer(*server));
}

TEST_F(FaultTest, StartUpFaultsEndInTheChatOrInTheErrorNeverInAWindowThatWaits) {
  struct Case {
    const char* what;
    std::vector<std::string> switches;
    StartupSequence::Outcome outcome;
  };
  const Case cases[] = {
      {"a full disk", {"--disk-full-after-bytes", "1000"}, StartupSequence::Outcome::HandedOver},
      {"the backup's upload refused",
       {"--fail-name", "brain2.txt.upload-*"},
       StartupSequence::Outcome::HandedOver},
      {"the version record refused", {"--fail-name", "version.txt"}, StartupSequence::Outcome::HandedOver},
      {"the flag messages refused", {"--fail-name", "medd.txt"}, StartupSequence::Outcome::HandedOver},
      {"the restore breaking off",
       {"--drop-after-bytes", "3000", "--drop-name", "brain2.txt"},
       StartupSequence::Outcome::Ended},
  };
  for (const Case& fault : cases) {
    SCOPED_TRACE(fault.what);
    StartServer(fault.switches);
    if (fault.outcome == StartupSequence::Outcome::Ended)
      std::filesystem::remove(server->PathOf("brain.txt"));
    server->WriteText("brain2.txt", BrainText(1450));
    server->WriteText("brain_manuellbackup.txt", BrainText(1400));
    TempFolder program{"vimo-fault-start"};
    Start start(*server, program.path());

    EXPECT_EQ(start.sequence.outcome(), fault.outcome);
    if (fault.outcome == StartupSequence::Outcome::Ended) {
      EXPECT_EQ(start.dialogs.CountTitled(W("Vimo - Fel!")), 1);
    } else {
      // What the start could do without is printed, not asked about.
      EXPECT_TRUE(start.dialogs.shown().empty());
    }
    // Each backup is whole: the old one or the new one.
    for (const char* backup : {"brain2.txt", "brain_manuellbackup.txt"}) {
      const std::string text = server->ReadText(backup);
      EXPECT_TRUE(text == kBrain || text == BrainText(1450) || text == BrainText(1400)) << backup;
    }
  }
}

TEST_F(FaultTest, ADamagedOrMissingBrainIsRepairedOnTheServerFromTheNewestWholeCopy) {
  std::string padded;
  for (int star = 0; star < 1500; ++star) padded += "*\r\n";
  while (padded.size() < BrainText(1700).size()) padded += "skräp skräp skräp skräp\r\n";
  struct Case {
    const char* what;
    std::string brain;  // empty: none on the server
    std::map<std::string, std::string> others;
    std::string restored;
  };
  const std::string newestMerge = BrainText(1750) + "\r\n*\r\nny\r\nlektion\r\n";
  const Case cases[] = {
      {"far smaller than its backup", kBrain, {{"brain2.txt", BrainText(1700)}}, BrainText(1700)},
      {"stars padded with junk to the backup's size",
       padded,
       {{"brain2.txt", BrainText(1700)}},
       BrainText(1700)},
      {"shrunk a little at every start",
       BrainText(1750),
       {{"brain2.txt", BrainText(1850)}, {GenerationDaysAgo(2, 2000), BrainText(2000)}},
       BrainText(1850)},
      {"missing, with a failed close's newest merge beside it",
       "",
       {{"brain.txt.upload-0123456789abcdef", newestMerge}},
       newestMerge},
  };
  for (const Case& damage : cases) {
    SCOPED_TRACE(damage.what);
    StartServer({});
    if (damage.brain.empty()) {
      std::filesystem::remove(server->PathOf("brain.txt"));
    } else {
      server->WriteText("brain.txt", damage.brain);
    }
    for (const auto& [name, text] : damage.others) server->WriteText(name, text);
    TempFolder program{"vimo-repair"};
    Start start(*server, program.path());

    ASSERT_EQ(start.sequence.outcome(), StartupSequence::Outcome::HandedOver);
    EXPECT_TRUE(start.view.restoreShown);
    EXPECT_EQ(ReadBytes(program / "brain.txt"), damage.restored);
    EXPECT_EQ(server->ReadText("brain.txt"), damage.restored);
    // The backups and the history are as they were.
    EXPECT_EQ(server->ReadText("brain_manuellbackup.txt"), kBrain);
    for (const auto& [name, text] : damage.others) {
      if (name.find(".upload-") == std::string::npos) {
        EXPECT_EQ(server->ReadText(name), text) << name;
      }
    }
  }
}

TEST_F(FaultTest, AnUploadRemovedBeforeItsRenameLeavesTheOldBrainInPlace) {
  // Another copy's clean-up took the temporary; this server will not rename onto a name either.
  StartServer({"--remove-after-stor", "brain.txt.upload-*", "--no-rename-over"});
  TeachPending(*server, folder.path());
  RecordingWaiter waiter;
  const Close close(*server, folder.path(), waiter,
                    [](ScriptedDialogs& dialogs) { dialogs.AnswerNext(DialogAnswer::Yes); });
  EXPECT_TRUE(close.stayedOpen);
  EXPECT_EQ(server->ReadText("brain.txt"), kBrain);
  EXPECT_EQ(LessonJournal(folder.path() / "Data/lessons.vimo").Read().size(), 1u);
}

TEST_F(FaultTest, LockAgesHoldWhateverZoneTheServerListsIn) {
  // East of UTC, as a Swedish host: a dead lock must not look hours young. West: a live one must
  // not look stale.
  for (const char* zone : {"XXX-3", "XXX+5"}) {
    SCOPED_TRACE(zone);
    StartServer({"--list-zone", zone});
    {
      TeachPending(*server, folder.path());
      PlaceLock(*server, 10min);
      RecordingWaiter waiter;
      const Close close(*server, folder.path(), waiter);
      EXPECT_TRUE(LessonOnServer(*server));
      EXPECT_TRUE(waiter.waits.empty());
    }
    {
      TeachPending(*server, folder.path());
      PlaceLock(*server, 0min);
      RecordingWaiter waiter;
      waiter.hook = [&](int) {
        if (waiter.waits.size() == 3) std::filesystem::remove_all(server->PathOf("vimo.lock"));
      };
      const Close close(*server, folder.path(), waiter);
      EXPECT_TRUE(LessonOnServer(*server));
      EXPECT_EQ(waiter.waits.size(), 3u);
    }
  }
}

}  // namespace
