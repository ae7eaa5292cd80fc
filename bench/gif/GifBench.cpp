// LoadGIF of two 100-frame animations (603 × 202 patches; 800 × 600 full frames) beside giflib
// alone decoding the same bytes (DGifSlurp), time and peak heap both, and one tick of the
// holiday animation. After the run it
// checks the targets (LoadGIF at most 1.5 × giflib's time and 2 × its peak heap) and exits
// non-zero when one fails.
#include <benchmark/benchmark.h>
#include <gif_lib.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

// Every heap allocation of the process, giflib's included, goes through these, so that the peak
// of heap bytes in use can be read around one load. Single-threaded use only.
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* pointer, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void __libc_free(void* pointer);
}

namespace heap {
std::size_t live = 0;
std::size_t peak = 0;

void* Taken(void* pointer) {
  if (pointer != nullptr) {
    live += malloc_usable_size(pointer);
    peak = std::max(peak, live);
  }
  return pointer;
}

void Given(void* pointer) {
  if (pointer != nullptr) live -= malloc_usable_size(pointer);
}

// Peak bytes in use above what was in use when `work` started.
template <typename Work>
std::size_t PeakOf(Work&& work) {
  const std::size_t start = live;
  peak = live;
  work();
  return peak - start;
}
}  // namespace heap

extern "C" {
void* malloc(std::size_t size) {
  return heap::Taken(__libc_malloc(size));
}
void* calloc(std::size_t count, std::size_t size) {
  return heap::Taken(__libc_calloc(count, size));
}
void* realloc(void* pointer, std::size_t size) {
  heap::Given(pointer);
  void* moved = __libc_realloc(pointer, size);
  // A failed realloc leaves the old block in place.
  if (moved == nullptr && size != 0) return heap::Taken(pointer);
  return heap::Taken(moved);
}
void free(void* pointer) {
  heap::Given(pointer);
  __libc_free(pointer);
}
void* memalign(std::size_t alignment, std::size_t size) {
  return heap::Taken(__libc_memalign(alignment, size));
}
void* aligned_alloc(std::size_t alignment, std::size_t size) {
  return heap::Taken(__libc_memalign(alignment, size));
}
int posix_memalign(void** result, std::size_t alignment, std::size_t size) {
  void* pointer = heap::Taken(__libc_memalign(alignment, size));
  if (pointer == nullptr) return ENOMEM;
  *result = pointer;
  return 0;
}
}

#include "GifStreams.h"
#include "gif/AnimationPlayback.h"
#include "gif/clsGIF.h"

namespace {

using namespace vimo;
using test::Bytes;

constexpr int kWidth = 603;
constexpr int kHeight = 202;
constexpr int kFrames = 100;

// A full first frame, then patches of a moving 160 × 100 area with transparent holes, using
// every disposal method, as holiday animations are drawn.
const Bytes& Animation() {
  static const Bytes bytes = [] {
    test::TestGif gif;
    gif.width = kWidth;
    gif.height = kHeight;
    gif.netscape = true;
    for (int i = 0; i < 256; ++i)
      gif.globalTable.push_back({static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i * 7),
                                 static_cast<std::uint8_t>(255 - i)});
    test::TestImage first;
    first.width = kWidth;
    first.height = kHeight;
    first.indices = test::Indices(kWidth, kHeight, [](int x, int y) { return 1 + (x / 8 + y / 8) % 200; });
    first.disposal = 1;
    gif.images.push_back(first);
    for (int n = 1; n < kFrames; ++n) {
      test::TestImage patch;
      patch.left = (n * 37) % (kWidth - 160);
      patch.top = (n * 23) % (kHeight - 100);
      patch.width = 160;
      patch.height = 100;
      patch.indices = test::Indices(160, 100, [n](int x, int y) {
        return ((x + y + n) % 11 == 0) ? 0 : 1 + (x / 4 + y / 4 + n) % 250;
      });
      patch.transparentIndex = 0;
      patch.disposal = 1 + n % 3;
      patch.delay = 10;
      gif.images.push_back(patch);
    }
    return test::Encode(gif);
  }();
  return bytes;
}

// The files both decoders read, by the benchmark's argument: 0 the holiday-sized animation of
// patches above, 1 an 800 × 600 animation of 100 full-screen frames.
const Bytes& File(std::int64_t which) {
  static const Bytes fullScreen = test::FullScreenAnimation(800, 600, kFrames);
  return which == 0 ? Animation() : fullScreen;
}

constexpr int kRepetitions = 9;

void BM_LoadGIF(benchmark::State& state) {
  const Bytes& bytes = File(state.range(0));
  std::int32_t frames = 0;
  std::size_t kept = 0;
  const std::size_t peak = heap::PeakOf([&] {
    clsGIF gif;
    gif.LoadGIF(std::span<const std::uint8_t>(bytes));
    kept = gif.KeptBytes();
  });
  for (auto _ : state) {
    clsGIF gif;
    if (!gif.LoadGIF(std::span<const std::uint8_t>(bytes))) state.SkipWithError("LoadGIF failed");
    frames = gif.Frames().Count();
  }
  state.counters["frames"] = frames;
  state.counters["kept_MiB"] = static_cast<double>(kept) / (1 << 20);
  state.counters["peak_MiB"] = static_cast<double>(peak) / (1 << 20);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_LoadGIF)->Unit(benchmark::kMillisecond)->Repetitions(kRepetitions)->Arg(0)->Arg(1);

// The baseline: giflib alone decoding the same bytes into its own frame list.
void BM_GiflibSlurp(benchmark::State& state) {
  const Bytes& bytes = File(state.range(0));
  int frames = 0;
  const auto slurp = [&] {
    GifFileType* gif = test::Slurp(bytes);
    if (gif == nullptr) state.SkipWithError("DGifSlurp failed");
    frames = gif != nullptr ? gif->ImageCount : 0;
    int error = 0;
    DGifCloseFile(gif, &error);
  };
  const std::size_t peak = heap::PeakOf(slurp);
  for (auto _ : state) slurp();
  state.counters["frames"] = frames;
  state.counters["peak_MiB"] = static_cast<double>(peak) / (1 << 20);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_GiflibSlurp)->Unit(benchmark::kMillisecond)->Repetitions(kRepetitions)->Arg(0)->Arg(1);

class NullView : public AnimationView {
 public:
  int PictureWidth() const override { return kWidth; }
  int PictureHeight() const override { return kHeight; }
  std::uint32_t PictureBackColor() const override { return 0xF0F0F0; }
  void SetPictureNone() override {}
  void SetPictureStill(const Raster&) override {}
  void DrawIntoPicture(const Raster& surface) override { benchmark::DoNotOptimize(surface.Pixel(300, 100)); }
  void SetAnimationTimerInterval(int) override {}
  void SetAnimationTimerEnabled(bool) override {}
  int AnimationCheckValue() const override { return 1; }
  void SetAnimationCheckValue(int) override {}
  void SetAnimationCheckEnabled(bool) override {}
};

void BM_AnimationTick(benchmark::State& state) {
  const auto path =
      std::filesystem::temp_directory_path() / ("vimo_gif_bench_" + std::to_string(::getpid()) + ".gif");
  {
    const Bytes& bytes = Animation();
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  NullView view;
  AnimationPlayback playback(view);
  playback.SetUpHoliday(100, path);
  std::filesystem::remove(path);
  for (auto _ : state) playback.AnimationTimer_Timer();
  state.counters["frames"] = playback.AnimatedGIF()->Frames().Count();
}
BENCHMARK(BM_AnimationTick)->Unit(benchmark::kMicrosecond);

// Keeps every repetition's time and counters while the console shows them as usual.
class Collector : public benchmark::ConsoleReporter {
 public:
  explicit Collector(OutputOptions options) : ConsoleReporter(options) {}

  struct Runs {
    // CPU time per iteration, in the benchmark's unit: the machines that run this are shared,
    // and wall time there measures the neighbours as much as the code.
    std::vector<double> times;
    double peakMiB = 0;
  };

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      Runs& kept = byName[{run.run_name.function_name, run.run_name.args}];
      kept.times.push_back(run.GetAdjustedCPUTime());
      const auto peak = run.counters.find("peak_MiB");
      if (peak != run.counters.end()) kept.peakMiB = peak->second.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }

  std::map<std::pair<std::string, std::string>, Runs> byName;  // by function and argument
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// One line per target; false when the figure misses it.
bool CheckTarget(const std::string& what, double figure, double baseline, double limit,
                 const std::string& detail) {
  const double ratio = figure / baseline;
  const bool met = ratio <= limit;
  std::printf("target gif %-16s LoadGIF/DGifSlurp %.2f (limit %.1f) %s  [%s]\n", what.c_str(), ratio, limit,
              met ? "PASS" : "FAIL", detail.c_str());
  // The same figure in the line format that scripts/bench gathers into its table.
  std::printf("FIGURE\tLoadGIF, %s\t%.4g\tgiflib DGifSlurp\t%.4g\t%.3gx\t<= %.3gx\t%s\n", what.c_str(), figure,
              baseline, ratio, limit, met ? "PASS" : "FAIL");
  return met;
}

std::string Spread(const std::vector<double>& times) {
  const auto [low, high] = std::minmax_element(times.begin(), times.end());
  char text[96];
  std::snprintf(text, sizeof text, "CPU median %.3f ms, min %.3f, max %.3f, n %zu", Median(times), *low,
                *high, times.size());
  return text;
}

}  // namespace

// A reporter of our own does not see the console flags that the library parses, so they are
// read here: tabular counters when asked for, colour only on a terminal unless switched off.
benchmark::ConsoleReporter::OutputOptions ConsoleOptions(int argc, char** argv) {
  int options = isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_Color : 0;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--benchmark_counters_tabular=true" || argument == "--benchmark_counters_tabular")
      options |= benchmark::ConsoleReporter::OO_Tabular;
    if (argument == "--benchmark_color=false") options &= ~benchmark::ConsoleReporter::OO_Color;
  }
  return static_cast<benchmark::ConsoleReporter::OutputOptions>(options);
}

int main(int argc, char** argv) {
  const auto options = ConsoleOptions(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  Collector collector(options);
  benchmark::RunSpecifiedBenchmarks(&collector);
  benchmark::Shutdown();

  bool met = true;
  for (const auto& [file, name] : {std::pair{"0", "patches"}, std::pair{"1", "full"}}) {
    const auto load = collector.byName.find({"BM_LoadGIF", file});
    const auto slurp = collector.byName.find({"BM_GiflibSlurp", file});
    if (load == collector.byName.end() || slurp == collector.byName.end() || load->second.times.empty() ||
        slurp->second.times.empty())
      continue;  // filtered out: nothing to compare
    met =
        CheckTarget(std::string("time ") + name, Median(load->second.times), Median(slurp->second.times), 1.5,
                    "LoadGIF " + Spread(load->second.times) + "; DGifSlurp " + Spread(slurp->second.times)) &&
        met;
    char peaks[96];
    std::snprintf(peaks, sizeof peaks, "peak heap LoadGIF %.2f MiB; DGifSlurp %.2f MiB", load->second.peakMiB,
                  slurp->second.peakMiB);
    met =
        CheckTarget(std::string("memory ") + name, load->second.peakMiB, slurp->second.peakMiB, 2.0, peaks) &&
        met;
  }
  return met ? 0 : 1;
}
