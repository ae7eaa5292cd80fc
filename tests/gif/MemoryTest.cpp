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

// 100 full frames of 800 × 600 over a 256-colour table, each with transparent holes.
test::Bytes LargeAnimation() {
  test::TestGif layout;
  layout.width = 800;
  layout.height = 600;
  for (int i = 0; i < 256; ++i)
    layout.globalTable.push_back({static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i), 40});
  for (int n = 0; n < 100; ++n) {
    test::TestImage frame = test::Solid(0, 0, 800, 600, 0, n % 4, 0);
    frame.indices = test::Indices(800, 600, [n](int x, int y) { return (x / 16 + y / 16 + n) % 256; });
    layout.images.push_back(std::move(frame));
  }
  return test::Encode(layout);
}

TEST(MemoryTest, AHundredFramesOf800x600LoadWholeWithinTwiceGiflibsMemory) {
  const test::Bytes stream = LargeAnimation();

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
