#include <gtest/gtest.h>

#include "GifStreams.h"
#include "gif/clsGIF.h"

namespace vimo {
namespace {

using test::Bytes;
using test::Rgb;
using test::Solid;
using test::TestGif;
using test::TestImage;

const std::vector<Rgb> kPalette = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};

Bytes ThreeFrames() {
  TestGif layout;
  layout.width = 6;
  layout.height = 5;
  layout.globalTable = kPalette;
  layout.netscape = true;
  layout.images = {Solid(0, 0, 6, 5, 1), Solid(1, 1, 2, 2, 2), Solid(3, 2, 3, 3, 3)};
  layout.images[1].commentsAfter = {"between"};
  layout.images[2].interlace = true;
  layout.images[2].transparentIndex = 0;
  return test::Encode(layout);
}

class RobustnessTest : public testing::Test {
 protected:
  bool Load(const Bytes& bytes) { return gif.LoadGIF(std::span<const std::uint8_t>(bytes)); }
  std::int32_t Count() const { return gif.Frames().Count(); }

  clsGIF gif;
};

TEST_F(RobustnessTest, EveryTruncationFailsAndKeepsOnlyWholeFrames) {
  const Bytes full = ThreeFrames();
  ASSERT_TRUE(Load(full));
  ASSERT_EQ(Count(), 3);
  std::int32_t previous = 0;
  for (std::size_t length = 0; length < full.size(); ++length) {
    const Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(length));
    EXPECT_FALSE(Load(cut)) << length;
    EXPECT_GE(Count(), previous) << length;
    EXPECT_LE(Count(), 3) << length;
    for (const auto& frame : gif.Frames()) ASSERT_TRUE(frame->IsComposed()) << length;
    previous = Count();
  }
  EXPECT_EQ(previous, 3);  // only the trailer is missing at the end
}

TEST_F(RobustnessTest, StreamsThatEndAroundTheColourTable) {
  const Bytes header = test::ScreenHeader(4, 4, 0x81);
  const Bytes table = test::ColorTable(kPalette);
  EXPECT_FALSE(Load(test::Concat({header, Bytes(table.begin(), table.begin() + 5)})));
  EXPECT_EQ(gif.GlobalColorMap().Count(), 0);  // a table cut short is not read in part
  EXPECT_FALSE(Load(test::Concat({header, table})));
  // A table followed directly by the trailer is an image with no frames.
  EXPECT_TRUE(Load(test::Concat({header, table, {0x3B}})));
  EXPECT_EQ(Count(), 0);
}

TEST_F(RobustnessTest, SubBlockSizesThatRunPastTheEnd) {
  const Bytes start = test::Concat({test::ScreenHeader(4, 4, 0x81), test::ColorTable(kPalette)});
  EXPECT_FALSE(Load(test::Concat({start, {0x21, 0xFE, 200, 'a', 'b', 'c'}})));
  EXPECT_FALSE(Load(test::Concat({start, {0x21, 0xFF, 11, 'N', 'E', 'T'}})));
  EXPECT_FALSE(Load(
      test::Concat({start, test::GraphicControl(0, 0, 0), {0x2C, 0, 0, 0, 0, 4, 0, 4, 0, 0, 2, 250, 1}})));
  EXPECT_EQ(Count(), 0);
  // A Graphic Control Extension whose block size points past the end.
  EXPECT_FALSE(Load(test::Concat({start, {0x21, 0xF9, 0xFF, 0, 0, 0, 0, 0}})));
  EXPECT_EQ(Count(), 0);
}

TEST_F(RobustnessTest, TransparentIndexOutsideItsTableStillMarksItsPixels) {
  const Bytes start = test::Concat({test::ScreenHeader(4, 4, 0x81), test::ColorTable(kPalette),
                                    test::GraphicControl(0, 0, 0), test::ImageBlock(Solid(0, 0, 4, 4, 1))});
  TestImage beyond = Solid(0, 0, 2, 1, 2);
  beyond.indices = {4, 2};
  ASSERT_TRUE(
      Load(test::Concat({start, test::GraphicControl(0x01, 0, 4), test::ImageBlock(beyond), {0x3B}})));
  ASSERT_EQ(Count(), 2);
  EXPECT_EQ(gif.Frames().Item(2).TransparentColor(), 0);
  EXPECT_EQ(gif.Frames().Item(2).hdc()->Pixel(0, 0), 0xFF0000u);
  EXPECT_EQ(gif.Frames().Item(2).hdc()->Pixel(1, 0), 0x00FF00u);
  // No table at all: pixels are black, the transparent index still transparent.
  TestImage untabled = Solid(0, 0, 2, 1, 0);
  untabled.indices = {0, 1};
  ASSERT_TRUE(Load(test::Concat({test::ScreenHeader(4, 4, 0x00),
                                 test::GraphicControl(0x01, 0, 0),
                                 test::ImageBlock(untabled),
                                 {0x3B}})));
  ASSERT_EQ(Count(), 1);
  EXPECT_EQ(gif.Frames().Item(1).hdc()->Pixel(0, 0), kTransparentPixel);
  EXPECT_EQ(gif.Frames().Item(1).hdc()->Pixel(1, 0), 0u);
}

TEST_F(RobustnessTest, ZeroSizedAndHugeScreensAreRefused) {
  for (auto [width, height] : {std::pair{0, 4}, {4, 0}, {65535, 65535}, {2049, 2048}}) {
    const Bytes stream = test::Concat({test::ScreenHeader(width, height, 0x81),
                                       test::ColorTable(kPalette),
                                       test::GraphicControl(0, 0, 0),
                                       test::ImageBlock(Solid(0, 0, 1, 1, 1)),
                                       {0x3B}});
    EXPECT_FALSE(Load(stream)) << width << "x" << height;
    EXPECT_EQ(Count(), 0);
  }
}

TEST_F(RobustnessTest, ImagesBeyondTheSizeCapAreRefused) {
  // A 4096 × 4096 image on a small screen: giflib would decode all of it.
  Bytes stream = test::Concat({test::ScreenHeader(8, 8, 0x81),
                               test::ColorTable(kPalette),
                               test::GraphicControl(0, 0, 0),
                               test::ImageBlock(Solid(0, 0, 8, 8, 1)),
                               test::GraphicControl(0, 0, 0),
                               test::ImageBlock(Solid(0, 0, 1, 1, 2)),
                               {0x3B}});
  const std::size_t second = stream.size() - 1 - test::ImageBlock(Solid(0, 0, 1, 1, 2)).size();
  ASSERT_EQ(stream[second], 0x2C);
  stream[second + 5] = 0x00;
  stream[second + 6] = 0x10;
  stream[second + 7] = 0x00;
  stream[second + 8] = 0x10;
  EXPECT_FALSE(Load(stream));
  EXPECT_EQ(Count(), 1);
}

TEST_F(RobustnessTest, ImagesWithoutTheirOwnGraphicControlExtensionAreFramesOfTheirOwn) {
  // At the left edge, as an 87a file has it, the image is a frame rather than a label.
  TestGif layout;
  layout.width = 4;
  layout.height = 4;
  layout.globalTable = kPalette;
  layout.images = {Solid(0, 0, 4, 4, 1, 2, 3), Solid(0, 0, 2, 2, 2)};
  layout.images[1].graphicControl = false;
  ASSERT_TRUE(Load(test::Encode(layout)));
  ASSERT_EQ(Count(), 2);
  EXPECT_EQ(gif.Frames().Item(2).DisposalMethod(), 0);
  EXPECT_FALSE(gif.Frames().Item(2).TCFlag());
  EXPECT_EQ(gif.Frames().Item(2).hdc()->Pixel(1, 1), 0x00FF00u);
  EXPECT_EQ(gif.Frames().Item(2).hdc()->Pixel(3, 3), kTransparentPixel);  // frame 1 was disposed
  layout.images[0].graphicControl = false;
  ASSERT_TRUE(Load(test::Encode(layout)));
  ASSERT_EQ(Count(), 2);
  EXPECT_EQ(gif.HeaderBytes().size(), 13u + 3 * 4);
  EXPECT_EQ(gif.Frames().Item(2).hdc()->Pixel(3, 3), 0xFF0000u);
}

TEST_F(RobustnessTest, OddBlockSequences) {
  const Bytes start = test::Concat({test::ScreenHeader(4, 4, 0x81), test::ColorTable(kPalette)});
  const Bytes red = test::ImageBlock(Solid(0, 0, 4, 4, 1));
  const Bytes green = test::ImageBlock(Solid(0, 0, 2, 2, 2));

  // Two Graphic Control Extensions in a row: the first frame has no image of its own.
  ASSERT_TRUE(
      Load(test::Concat({start, test::GraphicControl(0, 0, 0), test::GraphicControl(0, 0, 0), red, {0x3B}})));
  ASSERT_EQ(Count(), 2);
  EXPECT_EQ(gif.Frames().Item(1).hdc()->Pixel(0, 0), kTransparentPixel);
  EXPECT_EQ(gif.Frames().Item(2).hdc()->Pixel(0, 0), 0xFF0000u);

  // A second image under one Graphic Control Extension is a frame of its own, which the
  // extension does not govern.
  EXPECT_TRUE(Load(test::Concat({start, test::GraphicControl(0x09, 0, 1), red, green, {0x3B}})));
  ASSERT_EQ(Count(), 2);
  EXPECT_EQ(gif.Frames().Item(2).DisposalMethod(), 0);
  EXPECT_EQ(gif.Frames().Item(2).hdc()->Pixel(0, 0), 0x00FF00u);

  // Something that is no block at all inside a frame's run.
  EXPECT_FALSE(Load(test::Concat({start, test::GraphicControl(0, 0, 0), {0x00}, red, {0x3B}})));
  EXPECT_EQ(Count(), 0);

  // Extensions of labels nobody defined (0x3B and 0 among them) are passed over by their
  // sub-block lengths, inside a frame's run and between frames alike.
  EXPECT_TRUE(Load(test::Concat({start,
                                 {0x21, 0x77, 2, 'x', 'y', 1, 'z', 0},
                                 {0x21, 0x3B, 0, 0x21, 0x00, 0},
                                 test::GraphicControl(0, 0, 0),
                                 {0x21, 0x99, 1, 0x2C, 0},
                                 red,
                                 {0x21, 0x77, 1, 'x', 0},
                                 test::GraphicControl(0, 0, 0),
                                 green,
                                 {0x3B}})));
  ASSERT_EQ(Count(), 2);
  EXPECT_EQ(gif.Frames().Item(2).hdc()->Pixel(3, 3), 0xFF0000u);
  // Padding after the last frame ends the data as the trailer would.
  EXPECT_TRUE(Load(test::Concat({start, test::GraphicControl(0, 0, 0), red, {0x00, 0x00, 0x00}})));
  EXPECT_EQ(Count(), 1);

  // Plain Text and short application blocks are passed over.
  ASSERT_TRUE(Load(test::Concat({start,
                                 {0x21, 0x01, 12, 0, 0, 0, 0, 4, 0, 4, 0, 1, 1, 0, 1, 2, 'h', 'i', 0},
                                 {0x21, 0xFF, 3, 'a', 'b', 'c', 1, 9, 0},
                                 test::GraphicControl(0, 0, 0),
                                 red,
                                 {0x3B}})));
  EXPECT_EQ(Count(), 1);
}

TEST_F(RobustnessTest, ImagesWithoutDataToStartOnShowTheScreenAsItStands) {
  const Bytes start = test::Concat({test::ScreenHeader(4, 4, 0x81),
                                    test::ColorTable(kPalette),
                                    test::GraphicControl(0, 0, 0),
                                    test::ImageBlock(Solid(0, 0, 4, 4, 1)),
                                    test::GraphicControl(0, 0, 0),
                                    {0x2C, 0, 0, 0, 0, 4, 0, 4, 0, 0}});
  // The trailer right after the descriptor: not even a code size.
  ASSERT_TRUE(Load(test::Concat({start, {0x3B}})));
  ASSERT_EQ(Count(), 2);
  EXPECT_EQ(*gif.Frames().Item(2).hdc(), *gif.Frames().Item(1).hdc());

  // A code size of 12 leaves no room for a code.
  Bytes stream = test::Concat({start,
                               {12, 2, 0xFF, 0xFF, 0},
                               test::GraphicControl(0, 0, 0),
                               test::ImageBlock(Solid(1, 1, 1, 1, 2)),
                               {0x3B}});
  EXPECT_TRUE(Load(stream));
  ASSERT_EQ(Count(), 3);
  EXPECT_EQ(*gif.Frames().Item(2).hdc(), *gif.Frames().Item(1).hdc());
  EXPECT_EQ(gif.Frames().Item(2).Image()->Pixel(0, 0), kTransparentPixel);
  EXPECT_EQ(gif.Frames().Item(3).hdc()->Pixel(1, 1), 0x00FF00u);
}

}  // namespace
}  // namespace vimo
