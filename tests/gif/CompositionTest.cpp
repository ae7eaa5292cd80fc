#include <gtest/gtest.h>

#include <cstddef>
#include <utility>
#include <vector>

#include "GifStreams.h"
#include "gif/SingleFrameDecoder.h"
#include "gif/clsGIF.h"

namespace vimo {
namespace {

using test::Bytes;
using test::Rgb;
using test::Solid;
using test::TestGif;
using test::TestImage;

// Red and blue of the key entries differ on purpose: the key must still match their pixels.
const std::vector<Rgb> kPalette = {{0, 0, 0},     {255, 0, 0},     {0, 255, 0},    {0, 0, 255},
                                   {10, 20, 250}, {255, 255, 255}, {250, 240, 30}, {128, 128, 128}};
constexpr std::uint32_t kBlack = 0x000000, kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF,
                        kKey = 0x0A14FA, kWhite = 0xFFFFFF;

// A raster filled with `fill`, with rectangles painted over it in order.
struct Paint {
  int left, top, right, bottom;
  std::uint32_t color;
};
Raster Expected(int width, int height, std::uint32_t fill, std::initializer_list<Paint> paints) {
  Raster raster(width, height, fill);
  for (const Paint& p : paints) raster.FillRect(p.left, p.top, p.right, p.bottom, p.color);
  return raster;
}

// First differing pixel, for readable failures.
testing::AssertionResult SameRaster(const Raster& actual, const Raster& expected) {
  if (actual.Width() != expected.Width() || actual.Height() != expected.Height())
    return testing::AssertionFailure() << "size " << actual.Width() << "x" << actual.Height()
                                       << " instead of " << expected.Width() << "x" << expected.Height();
  for (int y = 0; y < actual.Height(); ++y)
    for (int x = 0; x < actual.Width(); ++x)
      if (actual.Pixel(x, y) != expected.Pixel(x, y))
        return testing::AssertionFailure() << "pixel " << x << "," << y << " is " << std::hex
                                           << actual.Pixel(x, y) << " instead of " << expected.Pixel(x, y);
  return testing::AssertionSuccess();
}

class CompositionTest : public testing::Test {
 protected:
  void Load(std::vector<TestImage> images, int width = 40, int height = 30) {
    TestGif layout;
    layout.width = width;
    layout.height = height;
    layout.globalTable = kPalette;
    layout.images = std::move(images);
    const Bytes stream = test::Encode(layout);
    ASSERT_TRUE(gif.LoadGIF(std::span<const std::uint8_t>(stream)));
    ASSERT_EQ(gif.Frames().Count(), static_cast<std::int32_t>(layout.images.size()));
  }
  Raster Composite(int n) { return *gif.Frames().Item(n).hdc(); }

  clsGIF gif;
};

TEST(SingleFrameStreamTest, IsHeaderRunAndOneTrailer) {
  const Bytes header = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0};
  const Bytes run = {0x21, 0xF9, 4, 0, 0, 0, 0, 0, 0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 0x01, 0};
  const Bytes stream = SingleFrameStream(header, run);
  EXPECT_EQ(stream, test::Concat({header, run, {0x3B}}));

  // giflib decodes it: one pixel of index 0.
  const auto decoded = DecodeFirstImage(stream, 3, 2);
  ASSERT_TRUE(decoded.has_value());
  EXPECT_EQ(decoded->width, 1);
  EXPECT_EQ(decoded->height, 1);
  EXPECT_EQ(decoded->indices, std::vector<std::uint8_t>{0});
  // Cut inside the image data, it reaches no pixel.
  const auto cut = DecodeFirstImage(Bytes(stream.begin(), stream.end() - 4), 3, 2);
  ASSERT_TRUE(cut.has_value());
  EXPECT_EQ(cut->decodedWidths, std::vector<int>{0});
}

TEST_F(CompositionTest, FirstFrameIsDrawnOnATransparentScreenLeavingOutItsTransparentIndex) {
  TestImage first = Solid(5, 5, 4, 2, 1, 1, 4);
  first.indices = {1, 4, 4, 1, 0, 0, 4, 4};  // index 4, (10, 20, 250), is transparent
  Load({first}, 10, 8);
  const clsFrame& frame = gif.Frames().Item(1);
  EXPECT_EQ(frame.TransparentColor(), static_cast<std::int32_t>(kKey));
  EXPECT_TRUE(SameRaster(
      Composite(1),
      Expected(10, 8, kTransparentPixel, {{5, 5, 6, 6, kRed}, {8, 5, 9, 6, kRed}, {5, 6, 7, 7, kBlack}})));
  // Image is the decoded image from (0, 0), its transparent index in its colour; Picture is the
  // composite.
  EXPECT_TRUE(SameRaster(
      *frame.Image(), Expected(4, 2, kKey, {{0, 0, 1, 1, kRed}, {3, 0, 4, 1, kRed}, {0, 1, 2, 2, kBlack}})));
  EXPECT_EQ(*frame.Picture(), *frame.hdc());
  EXPECT_EQ(*gif.Image(1), *frame.Image());
  EXPECT_EQ(gif.Image(2), nullptr);
}

TEST_F(CompositionTest, FirstFrameWithoutTransparentIndexCoversOnlyItsArea) {
  TestImage first = Solid(2, 1, 3, 2, 1);
  first.indices = {0, 1, 0, 5, 0, 2};
  Load({first}, 6, 4);
  EXPECT_EQ(gif.Frames().Item(1).TransparentColor(), 0);
  EXPECT_TRUE(SameRaster(
      Composite(1),
      Expected(6, 4, kTransparentPixel,
               {{2, 1, 5, 3, kBlack}, {3, 1, 4, 2, kRed}, {2, 2, 3, 3, kWhite}, {4, 2, 5, 3, kGreen}})));
}

TEST_F(CompositionTest, DisposalToBackgroundClearsTheAreaToTransparent) {
  // Frame 1 is 20 × 10 at (5, 5), disposed to background; frame 2 lies elsewhere.
  Load({Solid(5, 5, 20, 10, 1, 2, 4), Solid(30, 20, 4, 4, 2, 1, 6), Solid(0, 0, 2, 2, 3, 1, 6)});
  EXPECT_TRUE(SameRaster(Composite(1), Expected(40, 30, kTransparentPixel, {{5, 5, 25, 15, kRed}})));
  EXPECT_TRUE(SameRaster(Composite(2), Expected(40, 30, kTransparentPixel, {{30, 20, 34, 24, kGreen}})));
  // Disposal 1 of frame 2: frame 3 is drawn over frame 2's composite.
  EXPECT_TRUE(SameRaster(
      Composite(3), Expected(40, 30, kTransparentPixel, {{30, 20, 34, 24, kGreen}, {0, 0, 2, 2, kBlue}})));
}

TEST_F(CompositionTest, DisposalToPreviousOnFrameOneGoesBackToTheEmptyScreen) {
  Load({Solid(0, 0, 40, 30, 1, 3), Solid(0, 0, 5, 5, 2)});
  EXPECT_TRUE(SameRaster(Composite(2), Expected(40, 30, kTransparentPixel, {{0, 0, 5, 5, kGreen}})));
}

TEST_F(CompositionTest, DisposalToPreviousRestoresTheScreenAsTheEarlierDisposalLeftIt) {
  // Frame 2's sprite is cleared before frame 3 is drawn, so it must not come back after frame 3.
  Load({Solid(0, 0, 40, 30, 1, 1), Solid(0, 0, 5, 5, 2, 2), Solid(2, 2, 6, 6, 3, 3),
        Solid(20, 20, 2, 2, 5, 1)});
  EXPECT_TRUE(SameRaster(Composite(3),
                         Expected(40, 30, kRed, {{0, 0, 5, 5, kTransparentPixel}, {2, 2, 8, 8, kBlue}})));
  EXPECT_TRUE(SameRaster(
      Composite(4), Expected(40, 30, kRed, {{0, 0, 5, 5, kTransparentPixel}, {20, 20, 22, 22, kWhite}})));
  // Asked out of order, the composites come out the same.
  EXPECT_TRUE(SameRaster(Composite(2), Expected(40, 30, kRed, {{0, 0, 5, 5, kGreen}})));
  EXPECT_TRUE(SameRaster(
      Composite(4), Expected(40, 30, kRed, {{0, 0, 5, 5, kTransparentPixel}, {20, 20, 22, 22, kWhite}})));
}

TEST_F(CompositionTest, DisposalToPreviousOnFrameTwoStartsFrameThreeFromFrameOne) {
  Load({Solid(0, 0, 40, 30, 1, 0), Solid(0, 0, 5, 5, 2, 3), Solid(5, 5, 5, 5, 3, 0),
        Solid(10, 10, 2, 2, 5, 1)});
  EXPECT_TRUE(SameRaster(Composite(2), Expected(40, 30, kRed, {{0, 0, 5, 5, kGreen}})));
  EXPECT_TRUE(SameRaster(Composite(3), Expected(40, 30, kRed, {{5, 5, 10, 10, kBlue}})));
  // Disposal 0 on frame 3 leaves it under frame 4.
  EXPECT_TRUE(
      SameRaster(Composite(4), Expected(40, 30, kRed, {{5, 5, 10, 10, kBlue}, {10, 10, 12, 12, kWhite}})));
}

TEST_F(CompositionTest, TransparentPixelsOfLaterFramesKeepWhatLayUnder) {
  TestImage patch = Solid(1, 1, 3, 1, 2, 1, 4);
  patch.indices = {2, 4, 2};
  Load({Solid(0, 0, 6, 3, 1), patch}, 6, 3);
  EXPECT_TRUE(SameRaster(Composite(2), Expected(6, 3, kRed, {{1, 1, 2, 2, kGreen}, {3, 1, 4, 2, kGreen}})));
}

TEST_F(CompositionTest, FrameWithoutTransparencyFlagIsCopiedOpaqueIncludingItsTransparentIndex) {
  // Frame 2 names index 4 as transparent but leaves the flag clear.
  TestImage second = Solid(1, 0, 2, 1, 4);
  second.indices = {4, 2};
  const Bytes stream = test::Concat({test::ScreenHeader(4, 2, 0x82),
                                     test::ColorTable(kPalette),
                                     test::GraphicControl(0x00, 0, 0),
                                     test::ImageBlock(Solid(0, 0, 4, 2, 1)),
                                     test::GraphicControl(0x00, 0, 4),
                                     test::ImageBlock(second),
                                     {0x3B}});
  ASSERT_TRUE(gif.LoadGIF(std::span<const std::uint8_t>(stream)));
  ASSERT_EQ(gif.Frames().Count(), 2);
  EXPECT_FALSE(gif.Frames().Item(2).TCFlag());
  EXPECT_TRUE(SameRaster(Composite(2), Expected(4, 2, kRed, {{1, 0, 2, 1, kKey}, {2, 0, 3, 1, kGreen}})));
}

TEST_F(CompositionTest, ImagesReachingPastTheScreenAreClipped) {
  Load({Solid(0, 0, 4, 4, 1), Solid(2, 3, 10, 10, 3)}, 4, 4);
  EXPECT_TRUE(SameRaster(Composite(2), Expected(4, 4, kRed, {{2, 3, 4, 4, kBlue}})));
  // The decoded image keeps only the part that can fall on the screen.
  EXPECT_EQ(gif.Frames().Item(2).Image()->Width(), 2);
  EXPECT_EQ(gif.Frames().Item(2).Image()->Height(), 1);
}

TEST(RasterTest, CopiesClipAtEveryEdge) {
  Raster source(3, 3, 0);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) source.SetPixel(x, y, static_cast<std::uint32_t>(10 * y + x + 1));
  Raster target(4, 4, 99);
  target.CopyFrom(source, 0, 0, 3, 3, -1, 2);  // left and bottom cut off
  EXPECT_EQ(target.Pixel(0, 2), 2u);
  EXPECT_EQ(target.Pixel(1, 3), 13u);
  EXPECT_EQ(target.Pixel(2, 2), 99u);
  target.CopyFromKeyed(source, 1, 1, 5, 5, 2, 0, 12);  // the source runs out first; 12 is left out
  EXPECT_EQ(target.Pixel(2, 0), 99u);
  EXPECT_EQ(target.Pixel(3, 0), 13u);
  EXPECT_EQ(target.Pixel(2, 1), 22u);
  // Far outside both: nothing, and no arithmetic overflow.
  const Raster before = target;
  target.CopyFrom(source, 0, 0, 2147483647, 2147483647, 2147483600, -2147483600);
  target.FillRect(-2147483647, 5, 2147483647, 2, 1);
  EXPECT_EQ(target, before);
  // A copy within one raster that overlaps itself.
  Raster row(4, 1, 0);
  for (int x = 0; x < 4; ++x) row.SetPixel(x, 0, static_cast<std::uint32_t>(x));
  row.CopyFrom(row, 0, 0, 3, 1, 1, 0);
  EXPECT_EQ(row.Crop(0, 0, 4, 1), [] {
    Raster r(4, 1, 0);
    r.SetPixel(2, 0, 1);
    r.SetPixel(3, 0, 2);
    return r;
  }());
}

}  // namespace
}  // namespace vimo
