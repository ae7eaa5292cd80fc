// Feeds arbitrary bytes to the GIF decoder as the holiday image from the server would arrive,
// then draws every frame it kept, as playback would.
#include <cstddef>
#include <cstdint>

#include "gif/clsGIF.h"

namespace {

// Large screens only make every run slow; the caps on them are covered by the unit tests. Inputs
// over this many pixels are left out of the corpus so that the time goes to the parser.
constexpr long kLargestFuzzedScreen = 256 * 256;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size >= 10 && long{data[6] | (data[7] << 8)} * (data[8] | (data[9] << 8)) > kLargestFuzzedScreen)
    return -1;
  vimo::clsGIF gif;
  gif.LoadGIF(std::span<const std::uint8_t>(data, size));
  if (gif.Frames().Count() == 0) return 0;
  vimo::Raster box(gif.xWidth(), gif.yHeight(), 0x123456);
  for (std::int16_t n = 1; n <= gif.Frames().Count(); ++n) gif.CopyFrame(n, box, 0, 0);
  gif.Clear(box);
  return 0;
}
