// Every composed frame against a second decode that shares nothing with the decoder under test:
// giflib's DGifSlurp reads the whole file, and a composer written straight from the GIF89a
// rules, as browsers apply them, lays the frames on a full-screen canvas.

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "GifStreams.h"
#include "gif/clsGIF.h"

namespace vimo {
namespace {

using test::Bytes;
using test::TestImage;

// One screen of the reference: a colour per pixel, or nothing where the screen is transparent.
using Screen = std::vector<std::optional<std::uint32_t>>;

// The screens after each frame, as a viewer shows them.
std::vector<Screen> ReferenceScreens(const Bytes& stream) {
  GifFileType* gif = test::Slurp(stream);
  if (gif == nullptr) {
    ADD_FAILURE() << "giflib cannot read the stream";
    return {};
  }
  const int width = gif->SWidth, height = gif->SHeight;
  // The canvas starts with nothing on it.
  Screen canvas(static_cast<std::size_t>(width) * height);
  std::vector<Screen> screens;
  int lastDisposal = DISPOSAL_UNSPECIFIED;
  GifImageDesc lastPlace{};
  Screen beforeLast;
  for (int i = 0; i < gif->ImageCount; ++i) {
    const SavedImage& image = gif->SavedImages[i];
    GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
    DGifSavedExtensionToGCB(gif, i, &control);
    // The previous frame leaves: its area cleared, or the whole canvas as it was before it.
    if (lastDisposal == DISPOSE_BACKGROUND) {
      for (int y = lastPlace.Top; y < lastPlace.Top + lastPlace.Height && y < height; ++y)
        for (int x = lastPlace.Left; x < lastPlace.Left + lastPlace.Width && x < width; ++x)
          canvas[static_cast<std::size_t>(y) * width + x].reset();
    } else if (lastDisposal == DISPOSE_PREVIOUS || lastDisposal == 4) {
      canvas = beforeLast;
    }
    if (control.DisposalMode == DISPOSE_PREVIOUS || control.DisposalMode == 4) beforeLast = canvas;

    const ColorMapObject* map =
        image.ImageDesc.ColorMap != nullptr ? image.ImageDesc.ColorMap : gif->SColorMap;
    const GifImageDesc& place = image.ImageDesc;
    for (int y = 0; y < place.Height; ++y) {
      for (int x = 0; x < place.Width; ++x) {
        const int index = image.RasterBits[static_cast<std::size_t>(y) * place.Width + x];
        if (index == control.TransparentColor) continue;
        const int screenX = place.Left + x, screenY = place.Top + y;
        if (screenX >= width || screenY >= height) continue;
        std::uint32_t color = 0;  // black where the table has no such entry
        if (map != nullptr && index < map->ColorCount) {
          const GifColorType& c = map->Colors[index];
          color = (std::uint32_t{c.Red} << 16) | (std::uint32_t{c.Green} << 8) | c.Blue;
        }
        canvas[static_cast<std::size_t>(screenY) * width + screenX] = color;
      }
    }
    screens.push_back(canvas);
    lastDisposal = control.DisposalMode;
    lastPlace = place;
  }
  int error = 0;
  DGifCloseFile(gif, &error);
  return screens;
}

// Loads the stream and counts the pixels of each composite that differ from the reference, read
// from `reference` (the same frames as another encoder writes them) or from the stream itself.
void ExpectSameAsReference(const Bytes& stream, const std::string& name, const Bytes* reference = nullptr) {
  SCOPED_TRACE(name);
  const std::vector<Screen> expected = ReferenceScreens(reference != nullptr ? *reference : stream);
  clsGIF gif;
  ASSERT_TRUE(gif.LoadGIF(std::span<const std::uint8_t>(stream)));
  ASSERT_EQ(gif.Frames().Count(), static_cast<std::int32_t>(expected.size()));
  const int width = gif.xWidth();
  for (std::int16_t n = 1; n <= gif.Frames().Count(); ++n) {
    const auto composite = gif.Frames().Item(n).hdc();
    ASSERT_NE(composite, nullptr);
    const Screen& screen = expected[static_cast<std::size_t>(n - 1)];
    ASSERT_EQ(static_cast<std::size_t>(composite->Width()) * composite->Height(), screen.size());
    int differing = 0;
    std::string first;
    for (int y = 0; y < composite->Height(); ++y) {
      for (int x = 0; x < width; ++x) {
        const std::optional<std::uint32_t>& want = screen[static_cast<std::size_t>(y) * width + x];
        const std::uint32_t got = composite->Pixel(x, y);
        if (want ? got == *want : got == kTransparentPixel) continue;
        if (differing++ == 0) first = std::to_string(x) + "," + std::to_string(y);
      }
    }
    EXPECT_EQ(differing, 0) << "frame " << n << ", first at " << first;
  }
}

const std::vector<test::Rgb> kPalette = {{0, 0, 0},   {255, 0, 0},  {0, 255, 0},    {0, 0, 255},
                                         {0, 0, 255}, {9, 99, 199}, {250, 240, 30}, {128, 128, 128}};

test::TestGif Screen40x30() {
  test::TestGif layout;
  layout.width = 40;
  layout.height = 30;
  layout.globalTable = kPalette;
  return layout;
}

TestImage Pattern(int left, int top, int width, int height, int disposal, int transparentIndex, int seed) {
  TestImage image = test::Solid(left, top, width, height, 0, disposal, transparentIndex);
  image.indices = test::Indices(width, height, [seed](int x, int y) { return (x * 3 + y * 5 + seed) % 8; });
  return image;
}

TEST(IndependentDecodeTest, ChainedDisposalsMatchPixelForPixel) {
  test::TestGif layout = Screen40x30();
  // A scene kept, a sprite cleared to transparent, then sprites restored to what lay before them
  // (twice in a row, and over the cleared area), with transparent holes throughout.
  layout.images = {
      Pattern(0, 0, 40, 30, 1, 3, 0), Pattern(5, 5, 20, 10, 2, 3, 1),    Pattern(10, 8, 12, 12, 3, 0, 2),
      Pattern(0, 0, 8, 8, 3, 3, 3),   Pattern(30, 20, 10, 10, 2, -1, 4), Pattern(28, 18, 6, 6, 3, 3, 5),
      Pattern(2, 2, 36, 26, 0, 7, 6), Pattern(1, 1, 3, 3, 4, -1, 7),     Pattern(20, 0, 20, 30, 1, 3, 0)};
  ExpectSameAsReference(test::Encode(layout), "disposals");

  // Restore-to-previous on the first frame goes back to the empty screen.
  layout.images = {Pattern(0, 0, 40, 30, 3, -1, 0), Pattern(3, 3, 4, 4, 1, -1, 1)};
  ExpectSameAsReference(test::Encode(layout), "disposal 3 first");
}

TEST(IndependentDecodeTest, TransparencyLocalTablesInterlaceAndOddStreamsMatchPixelForPixel) {
  test::TestGif layout = Screen40x30();
  // Entries 3 and 4 share one colour; only index 3 is transparent.
  TestImage shared = Pattern(0, 0, 40, 30, 1, 3, 0);
  TestImage local = Pattern(4, 4, 16, 16, 2, 1, 2);
  local.localTable = {{1, 2, 3}, {0, 0, 255}, {200, 10, 10}, {0, 0, 255}};
  local.indices = test::Indices(16, 16, [](int x, int y) { return (x + y) % 4; });
  TestImage interlaced = Pattern(10, 3, 13, 21, 3, 5, 3);
  interlaced.interlace = true;
  TestImage pastTheEdge = Pattern(30, 25, 20, 20, 1, 3, 4);
  for (TestImage* image : {&shared, &local, &interlaced, &pastTheEdge}) image->delay = 0;
  layout.images = {shared, local, interlaced, pastTheEdge};
  ExpectSameAsReference(test::Encode(layout), "transparency and tables");

  // Images that no Graphic Control Extension of their own precedes, and one whose transparent
  // index lies beyond its table.
  TestImage bare = Pattern(2, 2, 9, 9, 0, -1, 5);
  bare.graphicControl = false;
  TestImage beyond = Pattern(0, 0, 5, 5, 1, 6, 6);
  beyond.localTable = {{10, 10, 10}, {20, 20, 20}};
  beyond.indices = test::Indices(5, 5, [](int x, int y) { return (x + y) % 2 == 0 ? 6 : 1; });
  layout.images = {bare, Pattern(0, 0, 40, 30, 2, 3, 1), bare, beyond};
  ExpectSameAsReference(test::Encode(layout), "odd streams");
}

// The same frames as giflib's encoder writes them: what a frame's data does not reach, and a frame
// of zero size, become pixels of an index that is transparent in the frame.
test::TestGif AsGiflibWrites(test::TestGif layout, std::uint8_t unused) {
  for (TestImage& image : layout.images) {
    if (image.width == 0 || image.height == 0) image = test::Solid(0, 0, 1, 1, unused, 0, unused);
    if (image.transparentIndex < 0) image.transparentIndex = unused;
    image.indices.resize(static_cast<std::size_t>(image.width) * image.height);
    int reached = image.dataPixels < 0 ? image.width * image.height : image.dataPixels;
    for (int y : test::RowsInDataOrder(image.height, image.interlace))
      for (int x = 0; x < image.width; ++x)
        if (reached-- <= 0)
          image.indices[static_cast<std::size_t>(y) * image.width + x] = image.transparentIndex;
  }
  return layout;
}

TEST(IndependentDecodeTest, StreamsFromTheWildShowAsTheirFramesDo) {
  test::TestGif layout = Screen40x30();
  layout.width = 200;
  layout.height = 100;
  layout.globalTable.resize(16, {7, 7, 7});
  // Noise fills the code table to 4096 entries long before the end; the encoder keeps it
  // without a clear code from there on.
  TestImage full = test::Solid(0, 0, 200, 100, 0, 1);
  full.indices = test::Indices(200, 100, [](int x, int y) { return test::Noise(x, y, 0, 3); });
  full.clearWhenFull = false;
  TestImage interlaced = full;
  interlaced.interlace = true;
  interlaced.disposal = 3;
  interlaced.transparentIndex = 2;
  // Images of zero width, zero height or both, and images whose data reaches none or part of
  // their pixels, leave the screen as the frame before left it under what they do reach.
  TestImage partial = Pattern(20, 10, 50, 40, 2, -1, 3);
  partial.dataPixels = 50 * 17 + 23;
  TestImage partialInterlaced = Pattern(100, 50, 30, 30, 1, 3, 4);
  partialInterlaced.interlace = true;
  partialInterlaced.dataPixels = 30 * 5 + 7;
  TestImage noData = Pattern(10, 10, 60, 60, 2, -1, 5);
  noData.dataPixels = 0;
  // Extensions of labels nobody defined, before the first frame and between frames.
  full.blocksBefore = {{0x21, 0x77, 3, 'a', 'b', 'c', 0}, {0x21, 0x00, 1, 0x2C, 0}};
  noData.blocksBefore = {{0x21, 0xE0, 2, 0x3B, 0x21, 0}};
  layout.images = {full,
                   interlaced,
                   Pattern(5, 5, 0, 10, 0, -1, 6),
                   Pattern(5, 5, 10, 0, 2, -1, 7),
                   Pattern(5, 5, 0, 0, 3, -1, 8),
                   partial,
                   partialInterlaced,
                   noData,
                   Pattern(0, 0, 10, 10, 0, -1, 9)};
  const Bytes stream = test::EncodeByHand(layout);
  const Bytes reference = test::Encode(AsGiflibWrites(layout, 15));
  ExpectSameAsReference(stream, "by hand", &reference);

  // With clear codes the data differs: the table did fill up.
  test::TestGif cleared = layout;
  cleared.images[0].clearWhenFull = cleared.images[1].clearWhenFull = true;
  EXPECT_TRUE(test::EncodeByHand(cleared) != stream);
}

TEST(IndependentDecodeTest, TheDemoAnimationMatchesPixelForPixel) {
  std::ifstream file(std::filesystem::path(VIMO_SOURCE_DIR) / "data/server/vimo_special.gif",
                     std::ios::binary);
  const Bytes demo{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  ASSERT_FALSE(demo.empty());
  ExpectSameAsReference(demo, "vimo_special.gif");
}

}  // namespace
}  // namespace vimo
