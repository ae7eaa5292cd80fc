// The brain store on generated brains of 10 000 to 5 000 000 records, each figure beside a baseline
// doing the same reading in the same iterations:
// - a lookup that reads the whole file (the index switched off) beside read() into a reused
//   buffer and memmem for the same question: at most 1.5x;
// - the index built at start (the count on a file it has not seen) beside read() into a reused
//   buffer and a count of "*": at most 4x; the near-match table, built after it in idle slices:
//   each slice at most 16 ms (a frame), and its total stated;
// - a lookup and a count from the index at 5 000 000 records: at most 0.1 ms each, and a lookup at
//   most 2x the same lookup at 10 000 records;
// - the index's memory (exact questions, signatures and the records in file order): at most 64
//   bytes per record at 1 000 000 records, the near-match table finished;
// - Enter to the first typed character of a brain answer, the espeak-ng voice started first as
//   Say does: under 5 ms at 5 000 000 records; the same for a near miss (other case, punctuation
//   and a filler, so that the exact lookup fails first) at 1 000 000 and 5 000 000 records, and
//   stated, the first one typed before the idle slices have finished the near-match table;
// - a random-talk tick at 5 000 000 records: under 5 ms.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "BenchReport.h"
#include "BrainStore.h"
#include "ChatDoubles.h"
#include "ChatEngine.h"
#include "EspeakVoice.h"
#include "FakePlatform.h"
#include "TextFile.h"
#include "Windows1252.h"

namespace fs = std::filesystem;
using SteadyClock = std::chrono::steady_clock;

namespace {

constexpr int kSmall = 10'000;
constexpr int kMillion = 1'000'000;
constexpr int kFiveMillion = 5'000'000;

std::string QuestionOf(int record) {
  return W("vad är ") + std::to_string(record) + " plus " + std::to_string(record % 97);
}

std::string Label(int records) {
  return records >= kMillion ? std::to_string(records / kMillion) + "M"
                             : std::to_string(records / 1000) + "k";
}

double MillisecondsSince(SteadyClock::time_point start) {
  return std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count();
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
  fs::path BrainOf(int records) { return FolderOf(records) / "brain.txt"; }

 private:
  fs::path root_ = fs::temp_directory_path() / ("vimo_chat_bench_" + std::to_string(::getpid()));
  std::map<int, fs::path> folders_;
};

GeneratedBrains& Brains() {
  static GeneratedBrains brains;
  return brains;
}

// The baselines' reading: the whole file with read() into a buffer that is allocated once, so that
// neither side pays for fresh memory.
class PlainReader {
 public:
  explicit PlainReader(const fs::path& file)
      : fd_(::open(file.c_str(), O_RDONLY)), buffer_(fs::file_size(file)) {}
  ~PlainReader() {
    if (fd_ >= 0) ::close(fd_);
  }
  PlainReader(const PlainReader&) = delete;
  PlainReader& operator=(const PlainReader&) = delete;

  std::string_view ReadAll() {
    std::size_t length = 0;
    if (::lseek(fd_, 0, SEEK_SET) != 0) return {};
    while (length < buffer_.size()) {
      const ssize_t got = ::read(fd_, buffer_.data() + length, buffer_.size() - length);
      if (got <= 0) break;
      length += static_cast<std::size_t>(got);
    }
    return {buffer_.data(), length};
  }

 private:
  int fd_;
  std::vector<char> buffer_;
};

constexpr int kScanIterations = 15;

void FullReadLookup(benchmark::State& state) {
  const int records = static_cast<int>(state.range(0));
  const std::string name = "FindAnswer reading the whole file, no index, " + Label(records) + " records";
  BrainStore store(Brains().BrainOf(records));
  store.SetIndexUsed(false);
  PlainReader reader(store.File());
  const std::string missing = W("vad är inte med i hjärnan");
  bench::Samples lookups;
  bench::Samples reads;
  int iteration = 0;
  for (auto _ : state) {
    // Alternating which side runs first, so that neither always finds the other's cache state.
    for (int side = 0; side < 2; ++side) {
      const auto start = SteadyClock::now();
      if ((side + iteration) % 2 == 0) {
        if (store.FindAnswer(missing)) state.SkipWithError("found a question that is not there");
        lookups.Add(MillisecondsSince(start));
      } else {
        const std::string_view text = reader.ReadAll();
        benchmark::DoNotOptimize(memmem(text.data(), text.size(), missing.data(), missing.size()));
        reads.Add(MillisecondsSince(start));
      }
    }
    ++iteration;
  }
  bench::RecordRatio(name, lookups, "ms", "read() + memmem", reads, 1.5);
}

// The count on a file the store has not indexed builds the index, as at start.
void IndexBuild(benchmark::State& state) {
  const int records = static_cast<int>(state.range(0));
  const fs::path file = Brains().BrainOf(records);
  const BrainStore store(file);
  PlainReader reader(file);
  bench::Samples builds;
  bench::Samples reads;
  bench::Samples slices;
  bench::Samples idleTotals;
  std::size_t cells = 0;
  int iteration = 0;
  for (auto _ : state) {
    for (int side = 0; side < 2; ++side) {
      if ((side + iteration) % 2 == 0) {
        // A new time stamp makes the held index stale, so the count reads the file again.
        std::error_code ignored;
        fs::last_write_time(file, fs::file_time_type::clock::now() + std::chrono::seconds(iteration + 1),
                            ignored);
        const auto start = SteadyClock::now();
        cells = store.CountBrainCells();
        builds.Add(MillisecondsSince(start));
        // What the window then does while idle.
        double idle = 0;
        bool more = true;
        while (more) {
          const auto slice = SteadyClock::now();
          more = store.IndexInIdleTime();
          slices.Add(MillisecondsSince(slice));
          idle += slices.Values().back();
        }
        idleTotals.Add(idle);
      } else {
        const auto start = SteadyClock::now();
        const std::string_view text = reader.ReadAll();
        benchmark::DoNotOptimize(std::count(text.begin(), text.end(), '*'));
        reads.Add(MillisecondsSince(start));
      }
    }
    ++iteration;
  }
  if (cells != static_cast<std::size_t>(records)) state.SkipWithError("wrong count");
  bench::RecordRatio("Index built at start (first count), " + Label(records) + " records", builds, "ms",
                     "read() + count of \"*\"", reads, 4.0);
  bench::RecordLimit("Near-match table, one idle slice, " + Label(records) + " records", slices, "ms", 16.0);
  bench::RecordRatio("Near-match table, all idle slices, " + Label(records) + " records", idleTotals, "ms",
                     "read() + count of \"*\"", reads, -1);
  bench::RecordLimit(
      "Index memory per record, " + Label(records) + " records",
      [&] {
        bench::Samples perRecord;
        perRecord.Add(static_cast<double>(store.IndexBytes()) / records);
        return perRecord;
      }(),
      "bytes", 64);
}

std::map<int, bench::Samples>& IndexedLookups() {
  static std::map<int, bench::Samples> lookups;
  return lookups;
}

void IndexedLookupAndCount(benchmark::State& state) {
  const int records = static_cast<int>(state.range(0));
  const BrainStore store(Brains().BrainOf(records));
  const std::string last = BrainStore::ToStored(QuestionOf(records - 1));
  store.CountBrainCells();  // builds the index, as the start does
  bench::Samples lookups;
  bench::Samples counts;
  for (auto _ : state) {
    auto start = SteadyClock::now();
    if (!store.FindAnswer(last)) state.SkipWithError("the last record was not found");
    lookups.Add(MillisecondsSince(start));
    start = SteadyClock::now();
    benchmark::DoNotOptimize(store.CountBrainCells());
    counts.Add(MillisecondsSince(start));
  }
  IndexedLookups()[records] = lookups;
  if (records == kFiveMillion) {
    bench::RecordLimit("FindAnswer with the index, 5M records", lookups, "ms", 0.1);
    bench::RecordLimit("CountBrainCells with the index, 5M records", counts, "ms", 0.1);
    if (IndexedLookups().count(kSmall) != 0) {
      bench::RecordRatio("FindAnswer with the index, 5M records against 10k", lookups, "ms",
                         "the same lookup at 10k records", IndexedLookups()[kSmall], 2.0,
                         bench::Pairing::SeparateRuns);
    }
  }
}

// Only what the first character needs: the time of the first caption, and no real pauses.
struct FirstCaptionView : ChatView {
  SteadyClock::time_point firstCaption;
  bool shown = false;
  std::string input;
  std::string InputText() const override { return input; }
  void SetInputText(const std::string& text) override { input = text; }
  std::string firstText;
  void SetReplyCaption(const std::string& text) override {
    if (shown) return;
    shown = true;
    firstCaption = SteadyClock::now();
    firstText = text;
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

// The question of the last record, as stored or (near) as a user might type it. The index is built
// before the loop, as the start builds it.
void EnterToFirstCharacter(benchmark::State& state, bool near) {
  const int records = static_cast<int>(state.range(0));
  const std::string name =
      std::string(near ? "Enter to first character, near miss" : "Enter to first character") +
      ", voice included, " + Label(records) + " records";
  auto voice = EspeakVoice::Start();
  if (!voice) {
    state.SkipWithError("espeak-ng is not installed");
    bench::RecordFailure(name, "espeak-ng is not installed");
    return;
  }
  FirstCaptionView view;
  RecordingWaiter waiter;
  RecordingPump pump;
  ScriptedRandom random;
  FixedClock clock;
  ChatEngine engine(view, waiter, pump, random, clock, Brains().FolderOf(records));
  engine.SetVoice(voice.get());
  if (near) {
    // An index left by an earlier benchmark would have its near-match table already.
    std::error_code ignored;
    fs::last_write_time(engine.Brain().File(), fs::file_time_type::clock::now() - std::chrono::hours(1),
                        ignored);
  }
  engine.Brain().CountBrainCells();
  const auto firstEnter = [&] {
    view.shown = false;
    const auto enter = SteadyClock::now();
    engine.meddelande_KeyPress(13);
    return std::chrono::duration<double, std::milli>(view.firstCaption - enter).count();
  };
  const std::string question = near ? W("Vad är ") + std::to_string(records - 1) + " plus " +
                                          std::to_string((records - 1) % 97) + W(", då?")
                                    : QuestionOf(records - 1);
  const std::string expected = W("det blir ") + std::to_string(records - 1 + (records - 1) % 97);
  if (near) {
    // Typed before the window's idle slices began: this Enter finishes the near-match table.
    view.input = question;
    bench::RecordValue(
        "Enter to first character, near miss before any idle slice, " + Label(records) + " records",
        firstEnter(), "ms");
    voice->Speak({}, SpeechVoice::kPurgeBeforeSpeak);
  }
  bench::Samples firstCharacter;
  for (auto _ : state) {
    view.input = question;
    const double ms = firstEnter();
    if (!view.shown || view.firstText != expected.substr(0, 1) || engine.TeachMode()) {
      state.SkipWithError("no answer was shown");
      bench::RecordFailure(name, "the brain's answer was not given");
      return;
    }
    state.SetIterationTime(ms / 1000);
    firstCharacter.Add(ms);
    // Each Enter starts the speaker anew, as after a pause in the conversation.
    voice->Speak({}, SpeechVoice::kPurgeBeforeSpeak);
    QCoreApplication::processEvents();
  }
  bench::RecordLimit(name, firstCharacter, "ms", 5.0);
}

// One tick of random talk, the index built first as at start: the line must come without reading
// the whole file.
void RandomTalkTick(benchmark::State& state) {
  const int records = static_cast<int>(state.range(0));
  FirstCaptionView view;
  RecordingWaiter waiter;
  RecordingPump pump;
  struct Uniform : RandomSource {
    std::uint64_t state = 88172645463325252ull;
    double NextUniform() override {
      state ^= state << 13;
      state ^= state >> 7;
      state ^= state << 17;
      return static_cast<double>(state >> 11) / 9007199254740992.0;
    }
  } random;
  FixedClock clock;
  ChatEngine engine(view, waiter, pump, random, clock, Brains().FolderOf(records));
  engine.Brain().CountBrainCells();
  bench::Samples ticks;
  for (auto _ : state) {
    view.shown = false;
    const auto start = SteadyClock::now();
    engine.Timer_Vimopratslump_Timer();
    if (!view.shown) {
      state.SkipWithError("nothing was said");
      bench::RecordFailure("Random-talk tick", "nothing was said");
      return;
    }
    const double ms = std::chrono::duration<double, std::milli>(view.firstCaption - start).count();
    state.SetIterationTime(ms / 1000);
    ticks.Add(ms);
  }
  bench::RecordLimit("Random-talk tick to its first character, " + Label(records) + " records", ticks, "ms",
                     5.0);
}

const bool registered = [] {
  benchmark::RegisterBenchmark("FullReadLookup", FullReadLookup)
      ->Arg(kMillion)
      ->Iterations(kScanIterations)
      ->Unit(benchmark::kMillisecond);
  for (const int size : {kMillion, kFiveMillion}) {
    benchmark::RegisterBenchmark("IndexBuild", IndexBuild)
        ->Arg(size)
        ->Iterations(7)
        ->Unit(benchmark::kMillisecond);
  }
  for (const int size : {kSmall, kFiveMillion}) {
    benchmark::RegisterBenchmark("IndexedLookupAndCount", IndexedLookupAndCount)
        ->Arg(size)
        ->Iterations(2000)
        ->Unit(benchmark::kMicrosecond);
  }
  for (const int size : {kMillion, kFiveMillion}) {
    benchmark::RegisterBenchmark("EnterToFirstCharacter", EnterToFirstCharacter, false)
        ->Arg(size)
        ->Iterations(30)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("EnterToFirstCharacterNearMiss", EnterToFirstCharacter, true)
        ->Arg(size)
        ->Iterations(30)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::RegisterBenchmark("RandomTalkTick", RandomTalkTick)
      ->Arg(kFiveMillion)
      ->Iterations(200)
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond);
  return true;
}();

}  // namespace

int main(int argc, char** argv) {
  // The voice's child processes are reaped through Qt's event machinery.
  QCoreApplication application(argc, argv);
  return bench::RunAndReport(argc, argv);
}
