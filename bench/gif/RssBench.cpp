// Peak resident memory of whole processes: one loads a 100-frame 800 × 600 animation as the main
// window does and plays it through (gif_load_process), the other has giflib's DGifSlurp read the
// same file (gif_slurp_process). Every run is a process of its own, the two started in turn, each
// peak read from wait4()'s account of that child. The target: ours at most 1.5 × giflib's.
//
// Two files: frames of noise, which barely compress, so that the file is as large as the frames
// it holds (where holding the file would cost most), and smooth frames that compress well.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchReport.h"
#include "GifStreams.h"

extern char** environ;

namespace {

using namespace vimo;

constexpr int kWidth = 800;
constexpr int kHeight = 600;
constexpr int kFrames = 100;
constexpr double kMostRatio = 1.5;

test::Bytes NoisyAnimation() {
  test::TestGif layout;
  layout.width = kWidth;
  layout.height = kHeight;
  for (int i = 0; i < 256; ++i)
    layout.globalTable.push_back({static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i), 40});
  for (int n = 0; n < kFrames; ++n) {
    test::TestImage frame = test::Solid(0, 0, kWidth, kHeight, 0, n % 4, 0);
    frame.indices = test::Indices(kWidth, kHeight, [n](int x, int y) { return test::Noise(x, y, n, 8); });
    layout.images.push_back(std::move(frame));
  }
  return test::Encode(layout);
}

// The two files, written once by a child process: a process started from this one begins its
// peak at this one's, so this one must stay small.
class Files {
 public:
  Files() : folder_(std::filesystem::temp_directory_path() / ("vimo_gif_rss_" + std::to_string(::getpid()))) {
    std::filesystem::create_directories(folder_);
    const pid_t writer = ::fork();
    if (writer == 0) {
      test::WriteFile(Path(1), NoisyAnimation());
      test::WriteFile(Path(0), test::FullScreenAnimation(kWidth, kHeight, kFrames));
      ::_exit(0);
    }
    int status = 0;
    written_ = writer > 0 && ::waitpid(writer, &status, 0) == writer && WIFEXITED(status) &&
               WEXITSTATUS(status) == 0;
  }
  ~Files() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  bool Written() const { return written_; }
  // 0 smooth, 1 noise.
  std::string Path(std::int64_t which) const {
    return (folder_ / (which == 1 ? "noise.gif" : "smooth.gif")).string();
  }

 private:
  std::filesystem::path folder_;
  bool written_ = false;
};

// Peak resident memory of one run, in MiB; negative when the program could not run or failed.
double PeakOfRun(std::vector<std::string> arguments) {
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid_t child = 0;
  if (::posix_spawn(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  struct rusage usage {};
  if (::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return -1;
  return static_cast<double>(usage.ru_maxrss) / 1024;  // kilobytes on Linux
}

void BM_PeakResidentMemory(benchmark::State& state) {
  static const Files files;
  const std::string name = std::string("gif peak RSS, load 100 frames 800x600 of ") +
                           (state.range(0) == 1 ? "noise" : "smooth frames");
  if (!files.Written()) {
    state.SkipWithError("cannot write the animation");
    bench::RecordFailure(name, "cannot write the animation");
    return;
  }
  const std::string file = files.Path(state.range(0));
  const std::string frames = std::to_string(kFrames);
  bench::Samples ours, giflib;
  for (auto _ : state) {
    const double load =
        PeakOfRun({GIF_LOAD_PROCESS, file, frames, std::to_string(kWidth), std::to_string(kHeight)});
    const double slurp = PeakOfRun({GIF_SLURP_PROCESS, file, frames});
    if (load < 0 || slurp < 0) {
      state.SkipWithError("a process failed");
      bench::RecordFailure(name, load < 0 ? "gif_load_process failed" : "gif_slurp_process failed");
      return;
    }
    ours.Add(load);
    giflib.Add(slurp);
  }
  state.counters["ours_MiB"] = ours.Median();
  state.counters["giflib_MiB"] = giflib.Median();
  state.counters["file_MiB"] = static_cast<double>(std::filesystem::file_size(file)) / (1 << 20);
  bench::RecordRatio(name, ours, "MiB", "giflib DGifSlurp, own process", giflib, kMostRatio);
}
BENCHMARK(BM_PeakResidentMemory)->Arg(0)->Arg(1)->Iterations(7)->Unit(benchmark::kMillisecond);

}  // namespace

VIMO_BENCHMARK_MAIN()
