// An ordinary large animation loads whole, in memory of the order that giflib itself needs.

#include <gif_lib.h>
#include <gtest/gtest.h>
#include <malloc.h>

#include <optional>

#include "GifStreams.h"
#include "gif/clsGIF.h"

namespace vimo {
namespace {

#if defined(__SANITIZE_ADDRESS__)
#define VIMO_OWN_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VIMO_OWN_HEAP 1
#endif
#endif

// Heap bytes in use; sanitizers keep a heap of their own that malloc's figures do not see.
std::optional<std::size_t> HeapInUse() {
#if defined(VIMO_OWN_HEAP)
  return std::nullopt;
#else
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
#endif
}

TEST(MemoryTest, AHundredFramesOf800x600LoadWholeWithinTwiceGiflibsMemory) {
  const test::Bytes stream = test::FullScreenAnimation(800, 600, 100);

  const auto beforeSlurp = HeapInUse();
  GifFileType* slurped = test::Slurp(stream);
  ASSERT_NE(slurped, nullptr);
  EXPECT_EQ(slurped->ImageCount, 100);
  const auto slurpAfter = HeapInUse();
  int error = 0;
  DGifCloseFile(slurped, &error);

  const auto beforeLoad = HeapInUse();
  {
    clsGIF gif;
    ASSERT_TRUE(gif.LoadGIF(std::span<const std::uint8_t>(stream)));
    ASSERT_EQ(gif.Frames().Count(), 100);
    // Played through once, as the window does: the canvas is part of what the animation keeps.
    Raster box(800, 600, 0x123456);
    for (std::int16_t n = 1; n <= 100; ++n) ASSERT_TRUE(gif.CopyFrame(n, box, 0, 0));
    EXPECT_EQ(box.Pixel(16, 0), 100u << 16 | 155u << 8 | 40u);  // frame 100 has index 100 there

    if (!beforeLoad) GTEST_SKIP() << "the heap is the sanitizer's: sizes are not measured";
    const std::size_t loaded = *HeapInUse() - *beforeLoad;
    const std::size_t giflib = *slurpAfter - *beforeSlurp;
    EXPECT_GT(giflib, std::size_t{48'000'000});
    EXPECT_LE(loaded, 2 * giflib) << "LoadGIF keeps " << loaded << " bytes, giflib " << giflib;
  }
}

}  // namespace
}  // namespace vimo
