// Brain lookups and counts on generated brains, each beside a baseline that only reads the same
// file into memory, and the time from Enter to the first character of a brain answer.
// Targets: FindAnswer at most twice the read on 1 000 000 records; Enter to first character
// under 50 ms.

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "BrainStore.h"
#include "ChatEngine.h"
#include "TextFile.h"
#include "Windows1252.h"

namespace fs = std::filesystem;

namespace {

constexpr int kSizes[] = {10000, 100000, 1000000};

std::string QuestionOf(int record) {
  return W("vad är ") + std::to_string(record) + " plus " + std::to_string(record % 97);
}

// Folders of generated brains ("brain.txt" inside), made once per size and removed at exit.
class GeneratedBrains {
 public:
  ~GeneratedBrains() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  const fs::path& FolderOf(int records) {
    auto [it, isNew] = folders_.try_emplace(records, root_ / std::to_string(records));
    if (isNew) {
      std::string brain;
      for (int record = 0; record < records; ++record) {
        brain += "\r\n*\r\n" + QuestionOf(record) + "\r\n" + W("det blir ") +
                 std::to_string(record + record % 97) + W(", tror jag åtminstone") + "\r\n";
      }
      fs::create_directories(it->second);
      WriteFileAtomically(it->second / "brain.txt", BrainStore::ToStored(brain));
    }
    return it->second;
  }

 private:
  fs::path root_ = fs::temp_directory_path() / "vimo_chat_bench";
  std::map<int, fs::path> folders_;
};

GeneratedBrains& Brains() {
  static GeneratedBrains brains;
  return brains;
}

void ReadBrainBaseline(benchmark::State& state) {
  const fs::path file = Brains().FolderOf(static_cast<int>(state.range(0))) / "brain.txt";
  for (auto _ : state) benchmark::DoNotOptimize(ReadFileBytes(file));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(fs::file_size(file)));
}

void FindAnswerMissing(benchmark::State& state) {
  const BrainStore store(Brains().FolderOf(static_cast<int>(state.range(0))) / "brain.txt");
  const std::string missing = W("vad är inte med i hjärnan");
  for (auto _ : state) benchmark::DoNotOptimize(store.FindAnswer(missing));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(fs::file_size(store.File())));
}

void CountBrainCells(benchmark::State& state) {
  const BrainStore store(Brains().FolderOf(static_cast<int>(state.range(0))) / "brain.txt");
  for (auto _ : state) benchmark::DoNotOptimize(store.CountBrainCells());
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(fs::file_size(store.File())));
}

// Only what the first character needs: the time of the first caption, and no real pauses.
struct FirstCaptionView : ChatView {
  std::chrono::steady_clock::time_point firstCaption;
  bool shown = false;
  std::string input;
  std::string InputText() const override { return input; }
  void SetInputText(const std::string& text) override { input = text; }
  void SetReplyCaption(const std::string&) override {
    if (shown) return;
    shown = true;
    firstCaption = std::chrono::steady_clock::now();
  }
  void SetCorrectButtonEnabled(bool) override {}
  int SpeechCheckValue() const override { return 1; }
  int SpeechRateValue() const override { return 2; }
  void SetSpeechRateEnabled(bool) override {}
  int RandomTalkCheckValue() const override { return 1; }
  int RandomTalkFrequencyValue() const override { return 2; }
  void SetRandomTalkFrequencyEnabled(bool) override {}
  void SetRandomTalkInterval(int) override {}
};
struct NoWait : Waiter {
  void Wait(int) override {}
};
struct NoEvents : EventPump {
  void ProcessEvents() override {}
};
struct HalfRandom : RandomSource {
  double NextUniform() override { return 0.5; }
};
struct FixedDay : Clock {
  std::chrono::year_month_day LocalToday() override { return std::chrono::year(2010) / 1 / 1; }
};

// The question of the last record, so that the lookup reads the whole brain.
void EnterToFirstCharacter(benchmark::State& state) {
  const int records = static_cast<int>(state.range(0));
  FirstCaptionView view;
  NoWait waiter;
  NoEvents pump;
  HalfRandom random;
  FixedDay clock;
  ChatEngine engine(view, waiter, pump, random, clock, Brains().FolderOf(records));
  const std::string question = QuestionOf(records - 1);
  for (auto _ : state) {
    view.input = question;
    view.shown = false;
    const auto enter = std::chrono::steady_clock::now();
    engine.meddelande_KeyPress(13);
    if (!view.shown) {
      state.SkipWithError("no answer was shown");
      break;
    }
    state.SetIterationTime(std::chrono::duration<double>(view.firstCaption - enter).count());
  }
}

// Each size's baseline runs right before the operations it is compared with.
const bool registered = [] {
  for (const int size : kSizes) {
    benchmark::RegisterBenchmark("ReadBrainBaseline", ReadBrainBaseline)
        ->Arg(size)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("FindAnswerMissing", FindAnswerMissing)
        ->Arg(size)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("CountBrainCells", CountBrainCells)
        ->Arg(size)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("EnterToFirstCharacter", EnterToFirstCharacter)
        ->Arg(size)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
  }
  return true;
}();

}  // namespace

BENCHMARK_MAIN();
