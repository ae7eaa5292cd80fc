#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "GifStreams.h"
#include "gif/clsGIF.h"

namespace vimo {
namespace {

using test::Bytes;
using test::Rgb;
using test::Solid;
using test::TestGif;
using test::TestImage;

const std::vector<Rgb> kPalette = {{0, 0, 0},     {255, 0, 0},     {0, 255, 0},   {0, 0, 255},
                                   {10, 20, 250}, {255, 255, 255}, {255, 255, 0}, {128, 128, 128}};

class ParserTest : public testing::Test {
 protected:
  bool Load(const Bytes& bytes) { return gif.LoadGIF(std::span<const std::uint8_t>(bytes)); }

  clsGIF gif;
};

TEST_F(ParserTest, ReadsTheScreenDescriptorAndGlobalTable) {
  // Packed 0xBA: global table of 8 entries, colour resolution 3, sorted.
  const Bytes stream = test::Concat({test::ScreenHeader(300, 200, 0xBA, 5, 49),
                                     test::ColorTable(kPalette),
                                     test::GraphicControl(0, 0, 0),
                                     test::ImageBlock(Solid(0, 0, 2, 2, 1)),
                                     {0x3B}});
  ASSERT_TRUE(Load(stream));
  EXPECT_EQ(gif.xWidth(), 300);
  EXPECT_EQ(gif.yHeight(), 200);
  EXPECT_EQ(gif.pixel(), 2);
  EXPECT_TRUE(gif.SortFlag());
  EXPECT_EQ(gif.CR(), 3);
  EXPECT_EQ(gif.M(), 255);
  EXPECT_EQ(gif.AspectRatio(), 49);
  EXPECT_EQ(gif.BackColor(), 0xFFFFFF);
  ASSERT_EQ(gif.GlobalColorMap().Count(), 8);
  EXPECT_EQ(gif.GlobalColorMap().Item(4).Color(), 0x0A14FA);
  EXPECT_EQ(gif.Frames().Count(), 1);
}

TEST_F(ParserTest, BackgroundIndexOutsideTheTableKeepsTheEarlierBackColor) {
  const Bytes first = test::Concat({test::ScreenHeader(4, 4, 0x82, 2), test::ColorTable(kPalette), {0x3B}});
  ASSERT_TRUE(Load(first));
  EXPECT_EQ(gif.BackColor(), 0x00FF00);
  // A two-entry table with background index 9.
  const Bytes second =
      test::Concat({test::ScreenHeader(4, 4, 0x80, 9), test::ColorTable({{1, 2, 3}, {4, 5, 6}}), {0x3B}});
  ASSERT_TRUE(Load(second));
  EXPECT_EQ(gif.BackColor(), 0x00FF00);
  EXPECT_EQ(gif.GlobalColorMap().Count(), 2);
}

TEST_F(ParserTest, Version87aIsParsedLike89aAndLowerCaseSignatureIsRefused) {
  TestGif layout;
  layout.width = 4;
  layout.height = 4;
  layout.globalTable = kPalette;
  layout.images = {Solid(0, 0, 4, 4, 1), Solid(1, 1, 2, 2, 2)};
  layout.gif89 = false;
  Bytes stream = test::Encode(layout);
  ASSERT_EQ(std::string(stream.begin(), stream.begin() + 6), "GIF87a");
  EXPECT_TRUE(Load(stream));
  EXPECT_EQ(gif.Frames().Count(), 2);

  int events = 0;
  gif.SetGIFErrorHandler([&](const std::string&) { ++events; });
  stream[0] = 'g';
  stream[1] = 'i';
  stream[2] = 'f';
  EXPECT_FALSE(Load(stream));
  EXPECT_EQ(gif.Frames().Count(), 0);
  EXPECT_EQ(events, 0);
}

TEST_F(ParserTest, MissingFileRaisesGIFErrorAndEmptiesTheDecoder) {
  TestGif layout;
  layout.width = 2;
  layout.height = 2;
  layout.globalTable = kPalette;
  layout.images = {Solid(0, 0, 2, 2, 1)};
  ASSERT_TRUE(Load(test::Encode(layout)));
  ASSERT_EQ(gif.Frames().Count(), 1);

  std::vector<std::string> events;
  gif.SetGIFErrorHandler([&](const std::string& message) { events.push_back(message); });
  EXPECT_FALSE(gif.LoadGIF(std::filesystem::path("no/such/file.gif")));
  EXPECT_FALSE(gif.LoadGIF(std::filesystem::path()));
  EXPECT_FALSE(gif.LoadGIF(std::filesystem::temp_directory_path()));  // a folder is not a file
  EXPECT_EQ(events, (std::vector<std::string>(3, "File Does Not Exist.")));
  EXPECT_EQ(gif.Frames().Count(), 0);
  EXPECT_EQ(gif.GlobalColorMap().Count(), 0);
}

TEST_F(ParserTest, LoadsFromAFileAndFromTheProgramsResources) {
  TestGif layout;
  layout.width = 3;
  layout.height = 2;
  layout.globalTable = kPalette;
  layout.images = {Solid(0, 0, 3, 2, 3), Solid(0, 0, 1, 1, 1)};
  const Bytes stream = test::Encode(layout);
  const auto path =
      std::filesystem::temp_directory_path() / ("vimo_gif_parser_" + std::to_string(::getpid()) + ".gif");
  test::WriteFile(path, stream);
  EXPECT_TRUE(gif.LoadGIF(path));
  EXPECT_EQ(gif.Frames().Count(), 2);
  EXPECT_EQ(gif.xWidth(), 3);

  // A file is read in pieces as the walk goes: frames larger than a piece, and a comment of many
  // pieces between them, load from the file as from the bytes, whole or cut short.
  layout.width = 500;
  layout.height = 400;
  layout.images.clear();
  for (int n = 0; n < 4; ++n) {
    TestImage frame = Solid(0, 0, 500, 400, 0, n % 4, 3);
    frame.indices = test::Indices(500, 400, [n](int x, int y) { return test::Noise(x, y, n, 3); });
    frame.commentsAfter = {std::string(n == 1 ? 200000 : 10, 'c')};
    layout.images.push_back(frame);
  }
  const Bytes large = test::Encode(layout);
  ASSERT_GT(large.size(), std::size_t{4 * 70000 + 200000});
  for (const std::size_t length : {large.size(), large.size() / 2}) {
    const Bytes bytes(large.begin(), large.begin() + static_cast<std::ptrdiff_t>(length));
    test::WriteFile(path, bytes);
    clsGIF fromBytes;
    EXPECT_EQ(gif.LoadGIF(path), fromBytes.LoadGIF(std::span<const std::uint8_t>(bytes))) << length;
    ASSERT_EQ(gif.Frames().Count(), length == large.size() ? 4 : fromBytes.Frames().Count()) << length;
    for (std::int32_t n = 1; n <= gif.Frames().Count(); ++n)
      EXPECT_EQ(*gif.Frames().Item(n).hdc(), *fromBytes.Frames().Item(n).hdc()) << length << " frame " << n;
  }
  std::filesystem::remove(path);

  // The demo holiday image is compiled into this test as resource "holiday".
  EXPECT_TRUE(gif.LoadGIF(ResourceName{"holiday"}));
  EXPECT_EQ(gif.xWidth(), 603);
  EXPECT_GE(gif.Frames().Count(), 8);

  int events = 0;
  gif.SetGIFErrorHandler([&](const std::string&) { ++events; });
  EXPECT_FALSE(gif.LoadGIF(ResourceName{"missing"}));
  EXPECT_EQ(events, 1);
}

TEST_F(ParserTest, WithoutGlobalTableTheFirstLabelIsAtFourteen) {
  const Bytes stream = test::Concat({test::ScreenHeader(2, 2, 0x00),
                                     test::GraphicControl(0x00, 3, 0),
                                     test::ImageBlock([] {
                                       TestImage image = Solid(0, 0, 2, 2, 1);
                                       image.localTable = {{9, 9, 9}, {200, 100, 50}};
                                       return image;
                                     }()),
                                     {0x3B}});
  ASSERT_EQ(stream[14], 0xF9);
  ASSERT_TRUE(Load(stream));
  EXPECT_EQ(gif.M(), 0);
  EXPECT_EQ(gif.GlobalColorMap().Count(), 0);
  EXPECT_EQ(gif.HeaderBytes(), Bytes(stream.begin(), stream.begin() + 13));
  ASSERT_EQ(gif.Frames().Count(), 1);
  EXPECT_EQ(gif.Frames().Item(1).hdc()->Pixel(1, 1), 0xC86432u);
}

TEST_F(ParserTest, AFullGlobalTablePutsTheFirstLabelAt782) {
  std::vector<Rgb> table;
  for (int i = 0; i < 256; ++i)
    table.push_back({static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i), 7});
  TestGif layout;
  layout.width = 3;
  layout.height = 1;
  layout.globalTable = table;
  TestImage image = Solid(0, 0, 3, 1, 0);
  image.indices = {0, 128, 255};
  layout.images = {image};
  const Bytes stream = test::Encode(layout);
  ASSERT_EQ(stream[782], 0xF9);
  ASSERT_TRUE(Load(stream));
  EXPECT_EQ(gif.pixel(), 7);
  EXPECT_EQ(gif.GlobalColorMap().Count(), 256);
  EXPECT_EQ(gif.HeaderBytes().size(), 781u);
  const auto picture = gif.Frames().Item(1).hdc();
  const Raster& composite = *picture;
  EXPECT_EQ(composite.Pixel(0, 0), 0x00FF07u);
  EXPECT_EQ(composite.Pixel(1, 0), 0x807F07u);
  EXPECT_EQ(composite.Pixel(2, 0), 0xFF0007u);
}

TEST_F(ParserTest, ApplicationBlocksAreSkippedAndTheHeaderKeepsThem) {
  TestGif layout;
  layout.width = 2;
  layout.height = 2;
  layout.globalTable = kPalette;
  layout.netscape = true;
  layout.otherApplication = "XMP DataXMP";
  layout.images = {Solid(0, 0, 2, 2, 1), Solid(0, 0, 2, 2, 2)};
  const Bytes stream = test::Encode(layout);
  ASSERT_TRUE(Load(stream));
  EXPECT_EQ(gif.Frames().Count(), 2);
  // Header, table, the 19-byte NETSCAPE2.0 block and the 24-byte other block.
  const std::size_t headerSize = 13 + 24 + 19 + 24;
  ASSERT_EQ(gif.HeaderBytes().size(), headerSize);
  EXPECT_EQ(gif.HeaderBytes(), Bytes(stream.begin(), stream.begin() + headerSize));

  // NETSCAPE2.0 moves the cursor 19 bytes from the byte before its introducer; another
  // identifier walks its sub-blocks onto the terminator.
  std::int32_t pos = 13 + 24 - 1;
  ASSERT_TRUE(gif.GetApplication(stream, pos));
  EXPECT_EQ(pos, 13 + 24 - 1 + 19);
  ASSERT_TRUE(gif.GetApplication(stream, pos));
  EXPECT_EQ(pos, static_cast<std::int32_t>(headerSize - 1));
  EXPECT_EQ(stream[static_cast<std::size_t>(pos)], 0);

  // A block cut short leaves the cursor where it was.
  const Bytes cut(stream.begin(), stream.begin() + 13 + 24 + 10);
  pos = 13 + 24 - 1;
  EXPECT_FALSE(gif.GetApplication(cut, pos));
  EXPECT_EQ(pos, 13 + 24 - 1);
}

TEST_F(ParserTest, CommentsBetweenFramesDoNotEndTheWalk) {
  TestGif layout;
  layout.width = 4;
  layout.height = 4;
  layout.globalTable = kPalette;
  layout.images = {Solid(0, 0, 4, 4, 1), Solid(0, 0, 2, 2, 2), Solid(2, 2, 2, 2, 3)};
  layout.images[0].commentsAfter = {"first comment", "second"};
  layout.images[1].commentsBefore = {"inside the run"};
  layout.images[1].commentsAfter = {"x"};
  ASSERT_TRUE(Load(test::Encode(layout)));
  ASSERT_EQ(gif.Frames().Count(), 3);
  EXPECT_EQ(gif.Frames().Item(3).hdc()->Pixel(3, 3), 0x0000FFu);
}

TEST_F(ParserTest, GraphicControlFieldsAndDelayTimesSpeed) {
  TestGif layout;
  layout.width = 4;
  layout.height = 4;
  layout.globalTable = kPalette;
  layout.images = {Solid(0, 0, 4, 4, 1), Solid(1, 2, 3, 2, 2)};
  layout.images[0].delay = 8;
  layout.images[1].delay = 65535;
  layout.images[1].userInput = true;
  layout.images[1].disposal = 3;
  const Bytes stream = test::Encode(layout);
  ASSERT_TRUE(Load(stream));
  const clsFrame& first = gif.Frames().Item(1);
  EXPECT_EQ(first.DelayTime(), 80);
  EXPECT_FALSE(first.UserInputFlag());
  const clsFrame& second = gif.Frames().Item(2);
  // 10 × 65535 does not fit 16 bits: held at the largest value.
  EXPECT_EQ(second.DelayTime(), 32767);
  EXPECT_TRUE(second.UserInputFlag());
  EXPECT_EQ(second.DisposalMethod(), 3);
  EXPECT_EQ(second.xLeft(), 1);
  EXPECT_EQ(second.yTop(), 2);
  EXPECT_EQ(second.xWidth(), 3);
  EXPECT_EQ(second.yHeight(), 2);
  EXPECT_FALSE(second.LCTFlag());

  // Speed applies at load time and survives a new load, as do xLeft and yTop.
  gif.Speed(-3);
  gif.xLeft(11);
  gif.yTop(12);
  ASSERT_TRUE(Load(stream));
  EXPECT_EQ(gif.Frames().Item(1).DelayTime(), -24);
  EXPECT_EQ(gif.Frames().Item(2).DelayTime(), -32768);
  EXPECT_EQ(gif.xLeft(), 11);
  EXPECT_EQ(gif.yTop(), 12);
}

TEST_F(ParserTest, PackedByte09IsDisposalTwoWithTransparency) {
  const Bytes stream = test::Concat({test::ScreenHeader(2, 2, 0x82),
                                     test::ColorTable(kPalette),
                                     test::GraphicControl(0x09, 0, 4),
                                     test::ImageBlock(Solid(0, 0, 2, 2, 1)),
                                     {0x3B}});
  ASSERT_TRUE(Load(stream));
  ASSERT_EQ(gif.Frames().Count(), 1);
  const clsFrame& frame = gif.Frames().Item(1);
  EXPECT_EQ(frame.DisposalMethod(), 2);
  EXPECT_TRUE(frame.TCFlag());
  EXPECT_FALSE(frame.UserInputFlag());
  EXPECT_EQ(frame.TCI(), 4);
}

TEST_F(ParserTest, TransparentColorComesFromTheLocalTableWhenThereIsOne) {
  TestGif layout;
  layout.width = 2;
  layout.height = 2;
  layout.globalTable = kPalette;
  TestImage global = Solid(0, 0, 2, 2, 1);
  global.transparentIndex = 3;
  TestImage local = Solid(0, 0, 2, 2, 0);
  local.transparentIndex = 1;
  local.localTable = {{1, 1, 1}, {40, 50, 60}, {7, 7, 7}, {8, 8, 8}};
  layout.images = {global, local};
  ASSERT_TRUE(Load(test::Encode(layout)));
  ASSERT_EQ(gif.Frames().Count(), 2);
  EXPECT_EQ(gif.Frames().Item(1).TransparentColor(), 0x0000FF);
  const clsFrame& second = gif.Frames().Item(2);
  EXPECT_TRUE(second.LCTFlag());
  EXPECT_EQ(second.LCTSize(), 1);
  EXPECT_EQ(second.ColorMap().Count(), 4);
  EXPECT_EQ(second.TransparentColor(), 0x28323C);
  EXPECT_EQ(second.hdc()->Pixel(0, 0), 0x010101u);
}

TEST_F(ParserTest, InterlacedImagesDecodeInTheirRowOrder) {
  TestGif layout;
  layout.width = 5;
  layout.height = 11;
  layout.globalTable = kPalette;
  TestImage image;
  image.width = 5;
  image.height = 11;
  image.interlace = true;
  image.indices = test::Indices(5, 11, [](int x, int y) { return (x + y) % 8; });
  layout.images = {image};
  ASSERT_TRUE(Load(test::Encode(layout)));
  const clsFrame& frame = gif.Frames().Item(1);
  EXPECT_TRUE(frame.InterlaceFlag());
  const auto picture = frame.Image();
  const Raster& decoded = *picture;
  for (int y = 0; y < 11; ++y)
    for (int x = 0; x < 5; ++x)
      ASSERT_EQ(decoded.Pixel(x, y), kPalette[static_cast<std::size_t>((x + y) % 8)].Packed())
          << x << "," << y;
}

TEST_F(ParserTest, OneFrameFollowedByTheTrailer) {
  TestGif layout;
  layout.width = 2;
  layout.height = 2;
  layout.globalTable = kPalette;
  layout.images = {Solid(0, 0, 2, 2, 5)};
  const Bytes stream = test::Encode(layout);
  ASSERT_EQ(stream.back(), 0x3B);
  EXPECT_TRUE(Load(stream));
  EXPECT_EQ(gif.Frames().Count(), 1);
  // Loading again starts from nothing.
  EXPECT_TRUE(Load(stream));
  EXPECT_EQ(gif.Frames().Count(), 1);
  EXPECT_EQ(gif.GlobalColorMap().Count(), 8);
}

}  // namespace
}  // namespace vimo
