// The time from program start to the main window shown, without the fixed waits: the start-up
// sequence runs in process against a real FTP server over loopback (the project's server and
// pure-ftpd), with a waiter that records instead of sleeping. In every iteration the curl
// command-line client makes the same transfers against the same server: one process and one
// connection, active mode and ASCII type for every transfer (curl's --next resets both, so they are
// given again), the same listings and the same uploads under a temporary name renamed into place.
// Target: the start-up at most 1.5x curl's time, as the median of the per-iteration ratios.
//
// Rows: the starter brain (data/brain.txt) and generated brains of 1 000 000 and 5 000 000 records,
// each on a later run ("Data/system.vimo" is there, so the user list is left alone; a first run's
// exchange of the list under the server lock has no counterpart here). For the large brains the
// start-up's time is also broken down into its phases, from the moments the window is told of them.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "BenchReport.h"
#include "CurlClient.h"
#include "FakePlatform.h"
#include "FtpTestServer.h"
#include "ProgramValues.h"
#include "PureFtpTestServer.h"
#include "StartupSequence.h"
#include "SyncTestFiles.h"
#include "TestServerSettings.h"
#include "TextFile.h"

namespace {

namespace fs = std::filesystem;
using SteadyClock = std::chrono::steady_clock;

const std::string kComputer = "benchdator";
const std::string kUserList = "alfa\r\nbeta\r\n";

enum class Server { Project, PureFtpd };
enum class Run { First, Later };

double MillisecondsBetween(SteadyClock::time_point from, SteadyClock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

// Records when the window is told of each step; the drawing itself costs nothing, as in a window
// that is not yet painted.
class StepClock final : public StartupView {
 public:
  void StopTimer() override {}
  // Until the brain is counted, the car moves with the download's progress; the count ends with
  // the car put at its first mark and the first box checked.
  void MoveCar(int) override {
    if (checked_.count(StartupCheck::Steg1_chk)) return;
    const auto now = SteadyClock::now();
    if (!firstProgress) firstProgress = now;
    previousMove_ = lastMove_;
    lastMove_ = now;
  }
  void Check(StartupCheck check) override {
    checked_[check] = SteadyClock::now();
    if (check == StartupCheck::Steg1_chk) lastProgressBeforeCount = previousMove_;
  }
  void ShowNotice(StartupNotice, bool) override {}
  void SetUserCountText(const std::string& text) override { userCountText = text; }
  void PrintLine(const std::string&) override {}
  void HandOver() override { handedOverAt = SteadyClock::now(); }
  void EndProgram() override { ended = true; }

  std::optional<SteadyClock::time_point> At(StartupCheck check) const {
    const auto found = checked_.find(check);
    if (found == checked_.end()) return std::nullopt;
    return found->second;
  }

  std::optional<SteadyClock::time_point> firstProgress;
  std::optional<SteadyClock::time_point> lastProgressBeforeCount;
  std::optional<SteadyClock::time_point> handedOverAt;
  std::optional<std::string> userCountText;
  bool ended = false;

 private:
  std::map<StartupCheck, SteadyClock::time_point> checked_;
  std::optional<SteadyClock::time_point> previousMove_;
  std::optional<SteadyClock::time_point> lastMove_;
};

// One server per server kind and brain size, kept for every row of it; the program folder is
// emptied before each run.
struct Setup {
  std::unique_ptr<RealFtpServer> server;
  ServerSettings settings;
  TempFolder program{"vimo-startup-bench"};
  TempFolder curlFolder{"vimo-startup-curl"};

  Setup(Server kind, int records) {
    const std::string brain =
        records == 0 ? ReadBytes(fs::path(VIMO_SOURCE_DIR) / "data" / "brain.txt") : BrainText(records);
    if (kind == Server::Project) {
      server = std::make_unique<FtpTestServer>();
    } else {
      server = std::make_unique<PureFtpTestServer>();
    }
    settings = SettingsFor(*server);
    const auto write = [&](const std::string& name, const std::string& text) {
      server->WriteText(name, text);
    };
    write("index.html", "<html></html>\r\n");
    write("brain.txt", brain);
    write("brain2.txt", brain);
    write("brain_manuellbackup.txt", brain);
    write("version.txt", "9,Ingen nyhet,0,100\r\n");
    write("medd.txt", "Hej alla\r\nAdmin talar\r\n");
    WriteBytes(curlFolder / "användare.txt", kUserList + kComputer + "\r\n");
  }

  // The user list as it lies on the server before a first run counts this computer.
  void ResetUserList() const { server->WriteText("användare.txt", kUserList); }

  std::string Url(const std::string& name) const {
    return "ftp://" + settings.user + ":" + settings.password +
           "@127.0.0.1:" + std::to_string(static_cast<std::uint16_t>(settings.port)) + "/" + name;
  }
};

Setup& TheSetup(Server server, int records) {
  static std::map<std::pair<Server, int>, std::unique_ptr<Setup>> setups;
  auto& setup = setups[{server, records}];
  if (!setup) setup = std::make_unique<Setup>(server, records);
  return *setup;
}

// A program folder as a previous session's shutdown leaves it: no local files, and on a later
// run the marker saying this computer was counted.
void PrepareProgramFolder(const Setup& setup, Run run) {
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(setup.program.path(), ignored))
    fs::remove_all(entry, ignored);
  if (run == Run::Later) WriteBytes(setup.program / "Data/system.vimo", "kollad\r\n");
}

// The start-up's requests on a later run, in its order, each a transfer of its own after --next:
// the existence checks of the index page and the brain, the brain down, the listing that compares
// its size with the backup's, the brain up under a temporary name and renamed over each of the two
// backups, the version record and the flag messages down.
bool CurlTransfers(const Setup& setup) {
  const std::string folder = setup.curlFolder.path().string() + "/";
  std::vector<std::string> arguments;
  const auto transfer = [&](std::vector<std::string> options) {
    if (!arguments.empty()) arguments.push_back("--next");
    // Active mode is already the first transfer's (RunCurl); --next resets it for the others.
    if (!arguments.empty()) arguments.insert(arguments.end(), {"-P", "-"});
    arguments.push_back("-B");
    arguments.insert(arguments.end(), options.begin(), options.end());
  };
  const auto list = [&](const std::string& what) {
    transfer({"-X", "LIST " + what, "-o", "/dev/null", setup.Url("")});
  };
  const auto uploadInPlace = [&](const std::string& name) {
    const std::string temporary = name + ".upload-curl";
    transfer({"-T", folder + "brain.txt", setup.Url(temporary), "-Q", "-RNFR " + temporary, "-Q",
              "-RNTO " + name});
  };
  list("index.html");
  list("brain.txt");
  transfer({"-o", folder + "brain.txt", setup.Url("brain.txt")});
  list("/");
  uploadInPlace("brain2.txt");
  uploadInPlace("brain_manuellbackup.txt");
  transfer({"-o", folder + "version.txt", setup.Url("version.txt")});
  transfer({"-o", folder + "medd.txt", setup.Url("medd.txt")});
  return bench::RunCurl(std::move(arguments));
}

std::string RowName(Server server, int records, Run run) {
  const std::string brain =
      records == 0 ? "starter brain" : std::to_string(records / 1'000'000) + "M records";
  return "Start-up to main window, " + brain + (run == Run::First ? ", first run, " : ", later run, ") +
         (server == Server::Project ? "project's server" : "pure-ftpd");
}

void BM_StartupToMainWindow(benchmark::State& state, Server server, int records, Run run) {
  const std::string name = RowName(server, records, run);
  Setup& setup = TheSetup(server, records);
  bench::Samples startupMs;
  bench::Samples curlMs;
  std::map<std::string, bench::Samples> phases;
  std::string failure;
  for (auto _ : state) {
    // Each run counts this computer again on a first run, so the list is put back first.
    setup.ResetUserList();
    PrepareProgramFolder(setup, run);

    StepClock view;
    ProgramValues values;
    ScriptedDialogs dialogs;
    dialogs.AnswerAllWithDefault();
    RecordingWaiter waiter;
    RecordingPump pump;
    RecordingDesktop desktop;

    const auto start = SteadyClock::now();
    {
      StartupSequence sequence(view, values, StartupServices{dialogs, waiter, pump, desktop}, setup.settings,
                               setup.program.path(), kComputer);
      sequence.Timer_laddanerbrain_Timer();
      if (sequence.outcome() != StartupSequence::Outcome::HandedOver || !view.handedOverAt) {
        failure = "the start-up did not hand over to the main window";
      }
    }
    if (failure.empty() && !dialogs.shown().empty()) failure = "the start-up showed a dialog";
    if (failure.empty() && (run == Run::First) != view.userCountText.has_value()) {
      failure = "the computer was not counted on the first run only";
    }
    if (!failure.empty()) break;
    const double ms = MillisecondsBetween(start, *view.handedOverAt);
    state.SetIterationTime(ms / 1000);
    startupMs.Add(ms);

    const auto counted = view.At(StartupCheck::Steg1_chk);
    const auto backedUp = view.At(StartupCheck::Steg1_Del2_chk);
    const auto versionRead = view.At(StartupCheck::Steg2_chk);
    if (view.firstProgress && view.lastProgressBeforeCount && counted && backedUp && versionRead) {
      phases["a. log-in and two existence checks"].Add(MillisecondsBetween(start, *view.firstProgress));
      phases["b. brain download"].Add(
          MillisecondsBetween(*view.firstProgress, *view.lastProgressBeforeCount));
      phases["c. brain count (builds the index), size listing"].Add(
          MillisecondsBetween(*view.lastProgressBeforeCount, *counted));
      phases["d. the two backups uploaded in place"].Add(MillisecondsBetween(*counted, *backedUp));
      phases["e. version record"].Add(MillisecondsBetween(*backedUp, *versionRead));
      phases["f. flag messages, log-out"].Add(MillisecondsBetween(*versionRead, *view.handedOverAt));
    }

    const auto curlStart = SteadyClock::now();
    if (!CurlTransfers(setup)) {
      failure = "curl failed";
      break;
    }
    curlMs.Add(MillisecondsBetween(curlStart, SteadyClock::now()));
  }
  if (!failure.empty()) {
    state.SkipWithError(failure.c_str());
    bench::RecordFailure(name, failure);
    return;
  }
  bench::RecordRatio(name, startupMs, "ms", "curl, same requests", curlMs, 1.5);
  if (records >= 1'000'000) {
    for (const auto& [phase, samples] : phases) {
      bench::Record({name + ": " + phase, bench::Describe(samples, "ms")});
    }
  }
}

void Register(const char* name, Server server, int records, Run run, int iterations) {
  benchmark::RegisterBenchmark(name, BM_StartupToMainWindow, server, records, run)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(iterations)
      ->UseManualTime();
}

const bool registered = [] {
  for (const Server server : {Server::Project, Server::PureFtpd}) {
    const bool project = server == Server::Project;
    Register(project ? "starter_later/project" : "starter_later/pure-ftpd", server, 0, Run::Later, 10);
    Register(project ? "1M_later/project" : "1M_later/pure-ftpd", server, 1'000'000, Run::Later, 5);
    Register(project ? "5M_later/project" : "5M_later/pure-ftpd", server, 5'000'000, Run::Later, 3);
  }
  return true;
}();

}  // namespace

VIMO_BENCHMARK_MAIN()
