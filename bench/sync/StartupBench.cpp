// The time from program start to the main window shown, without the fixed waits: the start-up
// sequence runs in process against the real FTP server over loopback, with a waiter that records
// instead of sleeping. Every iteration also runs the curl command-line client making the same
// transfers (one process, one connection) against the same server, so each row carries its own
// baseline: curl_ms is curl's mean time and x_curl the start-up's time over curl's.
//
// Rows: the starter brain (data/brain.txt) and a generated 1 000 000-record brain, each on a first
// run (no "Data/system.vimo": the user list is fetched and sent back with this computer added) and
// on a later run (the marker is there: no user list).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "CurlClient.h"
#include "FakePlatform.h"
#include "FtpTestServer.h"
#include "ProgramValues.h"
#include "StartupSequence.h"
#include "SyncTestFiles.h"
#include "TestServerSettings.h"
#include "TextFile.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kMillionRecords = 1'000'000;
const std::string kComputer = "benchdator";
const std::string kUserList = "alfa\r\nbeta\r\n";

enum class BrainSize { Starter, Million };
enum class Run { First, Later };

// Only the moment of the hand-over matters here; the drawing calls cost nothing, as in a window
// that is not yet painted.
class HandOverClock final : public StartupView {
 public:
  void StopTimer() override {}
  void MoveCar(int) override {}
  void Check(StartupCheck) override {}
  void ShowNotice(StartupNotice, bool) override {}
  void SetUserCountText(const std::string& text) override { userCountText = text; }
  void PrintLine(const std::string&) override {}
  void HandOver() override { handedOverAt = Clock::now(); }
  void EndProgram() override { ended = true; }

  std::optional<Clock::time_point> handedOverAt;
  std::optional<std::string> userCountText;
  bool ended = false;
};

// One server per brain size, kept for every row of that size; the program folder is emptied
// before each run.
struct Setup {
  FtpTestServer server;
  TempFolder program{"vimo-startup-bench"};
  TempFolder curlFolder{"vimo-startup-curl"};
  std::size_t brainBytes = 0;

  explicit Setup(BrainSize size) {
    std::string brain;
    if (size == BrainSize::Starter) {
      brain = ReadBytes(fs::path(VIMO_SOURCE_DIR) / "data" / "brain.txt");
    } else {
      brain = BrainText(kMillionRecords);
    }
    brainBytes = brain.size();
    server.WriteText("index.html", "<html></html>\r\n");
    server.WriteText("brain.txt", brain);
    server.WriteText("brain2.txt", brain);
    server.WriteText("brain_manuellbackup.txt", brain);
    server.WriteText("version.txt", "9,Ingen nyhet,0,100\r\n");
    server.WriteText("medd.txt", "Hej alla\r\nAdmin talar\r\n");
    WriteBytes(curlFolder / "användare.txt", kUserList + kComputer + "\r\n");
  }

  std::string Url(const std::string& name) const {
    return "ftp://" + server.user() + ":" + server.password() +
           "@127.0.0.1:" + std::to_string(server.port()) + "/" + name;
  }
};

Setup& TheSetup(BrainSize size) {
  if (size == BrainSize::Starter) {
    static Setup starter(BrainSize::Starter);
    return starter;
  }
  static Setup million(BrainSize::Million);
  return million;
}

// A program folder as a previous session's shutdown leaves it: no local files, and on a later
// run the marker saying this computer was counted.
void PrepareProgramFolder(const Setup& setup, Run run) {
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(setup.program.path(), ignored))
    fs::remove_all(entry, ignored);
  if (run == Run::Later) WriteBytes(setup.program / "Data/system.vimo", "kollad\r\n");
}

// The start-up's transfers in its order: the brain down, up as the backup, the backups shifted
// on the server, the backup up again, the version record and the flag messages down, and on a
// first run the user list down and back up.
bool CurlTransfers(const Setup& setup, Run run) {
  const std::string folder = setup.curlFolder.path().string() + "/";
  // ASCII, as the start-up transfers its text files.
  std::vector<std::string> arguments = {"-B",
                                        "-o",
                                        folder + "brain.txt",
                                        setup.Url("brain.txt"),
                                        "--next",
                                        "-T",
                                        folder + "brain.txt",
                                        setup.Url("brain2.txt"),
                                        "-Q",
                                        "-DELE brain_manuellbackup.txt",
                                        "-Q",
                                        "-RNFR brain2.txt",
                                        "-Q",
                                        "-RNTO brain_manuellbackup.txt",
                                        "--next",
                                        "-T",
                                        folder + "brain.txt",
                                        setup.Url("brain2.txt"),
                                        "--next",
                                        "-o",
                                        folder + "version.txt",
                                        setup.Url("version.txt"),
                                        "--next",
                                        "-o",
                                        folder + "medd.txt",
                                        setup.Url("medd.txt")};
  if (run == Run::First) {
    const std::string userList = (setup.curlFolder / "användare.txt").string();
    arguments.insert(arguments.end(),
                     {"--next", "-o", folder + "fetched_users.txt", setup.Url("anv%E4ndare.txt"), "--next",
                      "-T", userList, setup.Url("anv%E4ndare.txt")});
  }
  return bench::RunCurl(std::move(arguments));
}

void BM_StartupToMainWindow(benchmark::State& state, BrainSize size, Run run) {
  Setup& setup = TheSetup(size);
  double curlSeconds = 0;
  double startupSeconds = 0;
  long long skippedWaitMs = 0;
  for (auto _ : state) {
    // Each run counts this computer again on a first run, so the list is put back first.
    setup.server.WriteText("användare.txt", kUserList);
    PrepareProgramFolder(setup, run);

    HandOverClock view;
    ProgramValues values;
    ScriptedDialogs dialogs;
    dialogs.AnswerAllWithDefault();
    RecordingWaiter waiter;
    RecordingPump pump;
    RecordingDesktop desktop;

    const auto start = Clock::now();
    {
      StartupSequence sequence(view, values, StartupServices{dialogs, waiter, pump, desktop},
                               SettingsFor(setup.server), setup.program.path(), kComputer);
      sequence.Timer_laddanerbrain_Timer();
      if (sequence.outcome() != StartupSequence::Outcome::HandedOver || !view.handedOverAt) {
        state.SkipWithError("the start-up did not hand over to the main window");
        break;
      }
    }
    if (!dialogs.shown().empty()) {
      state.SkipWithError("the start-up showed a dialog");
      break;
    }
    if ((run == Run::First) != view.userCountText.has_value()) {
      state.SkipWithError("the computer was not counted on the first run only");
      break;
    }
    const double seconds = std::chrono::duration<double>(*view.handedOverAt - start).count();
    state.SetIterationTime(seconds);
    startupSeconds += seconds;
    for (int wait : waiter.waits) skippedWaitMs += wait;

    const auto curlStart = Clock::now();
    if (!CurlTransfers(setup, run)) {
      state.SkipWithError("curl failed");
      break;
    }
    curlSeconds += std::chrono::duration<double>(Clock::now() - curlStart).count();
  }
  const auto iterations = static_cast<double>(state.iterations());
  if (iterations == 0 || curlSeconds == 0) return;
  state.counters["curl_ms"] = curlSeconds * 1000 / iterations;
  state.counters["x_curl"] = startupSeconds / curlSeconds;
  state.counters["waits_ms"] = static_cast<double>(skippedWaitMs) / iterations;
  state.counters["brain_MB"] = static_cast<double>(setup.brainBytes) / 1e6;
}

BENCHMARK_CAPTURE(BM_StartupToMainWindow, starter_first, BrainSize::Starter, Run::First)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->UseManualTime();
BENCHMARK_CAPTURE(BM_StartupToMainWindow, starter_later, BrainSize::Starter, Run::Later)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->UseManualTime();
BENCHMARK_CAPTURE(BM_StartupToMainWindow, million_first, BrainSize::Million, Run::First)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseManualTime();
BENCHMARK_CAPTURE(BM_StartupToMainWindow, million_later, BrainSize::Million, Run::Later)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
