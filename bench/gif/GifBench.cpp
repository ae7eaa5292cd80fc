// LoadGIF of a 100-frame 603 × 202 animation beside giflib alone decoding the same bytes
// (DGifSlurp), and one tick of the holiday animation. Target: LoadGIF at most 1.5x DGifSlurp's time
// (medians of the two runs).
#include <benchmark/benchmark.h>
#include <gif_lib.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>

#include "BenchReport.h"
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

struct MemorySource {
  const Bytes* bytes;
  std::size_t position;
};

int ReadFromMemory(GifFileType* gif, GifByteType* buffer, int length) {
  auto* source = static_cast<MemorySource*>(gif->UserData);
  const std::size_t count =
      std::min(static_cast<std::size_t>(length), source->bytes->size() - source->position);
  std::memcpy(buffer, source->bytes->data() + source->position, count);
  source->position += count;
  return static_cast<int>(count);
}

double MillisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// Each benchmark's last run; the baseline runs after LoadGIF and states the ratio.
bench::Samples& LoadGifMs() {
  static bench::Samples samples;
  return samples;
}

void BM_LoadGIF(benchmark::State& state) {
  const Bytes& bytes = Animation();
  LoadGifMs() = {};
  std::int32_t frames = 0;
  std::size_t keptBytes = 0;
  std::size_t rasters = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    clsGIF gif;
    if (!gif.LoadGIF(std::span<const std::uint8_t>(bytes))) state.SkipWithError("LoadGIF failed");
    LoadGifMs().Add(MillisecondsSince(start));
    frames = gif.Frames().Count();
    state.PauseTiming();
    // Image, Picture and the composite; Picture shares the composite's raster.
    std::set<const Raster*> distinct;
    for (const auto& frame : gif.Frames())
      for (const auto* raster : {frame->Image().get(), frame->Picture().get(), frame->hdc().get()})
        if (raster != nullptr) distinct.insert(raster);
    rasters = distinct.size();
    keptBytes = 0;
    for (const Raster* raster : distinct) keptBytes += raster->ByteSize();
    state.ResumeTiming();
  }
  state.counters["frames"] = frames;
  state.counters["rasters"] = static_cast<double>(rasters);
  state.counters["raster_bytes"] = static_cast<double>(kWidth) * kHeight * 4;
  state.counters["kept_MiB"] = static_cast<double>(keptBytes) / (1 << 20);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_LoadGIF)->Unit(benchmark::kMillisecond);

// The baseline: giflib alone decoding the same bytes into its own frame list.
void BM_GiflibSlurp(benchmark::State& state) {
  const Bytes& bytes = Animation();
  int frames = 0;
  bench::Samples slurpMs;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    MemorySource source{&bytes, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&source, ReadFromMemory, &error);
    if (gif == nullptr || DGifSlurp(gif) == GIF_ERROR) state.SkipWithError("DGifSlurp failed");
    frames = gif != nullptr ? gif->ImageCount : 0;
    DGifCloseFile(gif, &error);
    slurpMs.Add(MillisecondsSince(start));
  }
  bench::RecordRatio("LoadGIF, 100 frames 603x202", LoadGifMs(), "ms", "giflib DGifSlurp", slurpMs, 1.5);
  state.counters["frames"] = frames;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_GiflibSlurp)->Unit(benchmark::kMillisecond);

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

}  // namespace

VIMO_BENCHMARK_MAIN()
