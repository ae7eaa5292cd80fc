#pragma once

// Test streams: well-formed ones written by giflib's encoder, odd ones put together by hand.

#include <gif_lib.h>

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

namespace vimo::test {

using Bytes = std::vector<std::uint8_t>;

struct Rgb {
  std::uint8_t red, green, blue;
  std::uint32_t Packed() const { return (std::uint32_t{red} << 16) | (std::uint32_t{green} << 8) | blue; }
};

struct TestImage {
  int left = 0, top = 0, width = 1, height = 1;
  std::vector<std::uint8_t> indices;  // width × height, rows top to bottom; empty means all 0
  bool interlace = false;
  std::vector<Rgb> localTable;  // empty: no local table; otherwise a power of two entries
  bool graphicControl = true;
  int disposal = 0;
  int transparentIndex = -1;  // -1: no transparent colour
  int delay = 0;
  bool userInput = false;
  std::vector<std::string> commentsBefore;  // written between the Graphic Control Extension and the image
  std::vector<std::string> commentsAfter;   // written after the image data
  // EncodeByHand only: whole blocks written before the image's Graphic Control Extension; how
  // many pixels the data reaches in data order (-1 all of them; 0 none, with no data sub-block at
  // all); and whether a full code table is cleared, as giflib's encoder does, or kept without a
  // clear code, as other encoders do.
  std::vector<std::vector<std::uint8_t>> blocksBefore;
  int dataPixels = -1;
  bool clearWhenFull = true;
};

struct TestGif {
  int width = 1, height = 1;
  std::vector<Rgb> globalTable;  // empty: no global table
  int background = 0;
  bool gif89 = true;
  bool netscape = false;         // a NETSCAPE2.0 loop block before the first frame
  std::string otherApplication;  // if set: an application block with this 11-character identifier
  std::vector<TestImage> images;
};

Bytes Encode(const TestGif& gif);
// The same layout with every block written here rather than by giflib's encoder, for streams
// that giflib does not write. Comments and application blocks are left out.
Bytes EncodeByHand(const TestGif& gif);
// The rows of an image of `height` rows in the order its data codes them.
std::vector<int> RowsInDataOrder(int height, bool interlace);
// giflib's own decode of a whole stream (DGifSlurp); null when giflib refuses it. The caller
// closes it with DGifCloseFile.
GifFileType* Slurp(const Bytes& bytes);

// Three frames on a 6 x 4 screen with the palette black, red, green, blue: red with a transparent
// (blue) column at x = 0 and disposal 1, a green dot at (2, 1) with transparency, then an opaque
// black dot at (3, 2). The playback tests and the main window's animation tests share it.
Bytes ThreeFrameAnimation();
// `frames` frames that each cover the whole width × height screen, over a 256-colour table,
// with index 0 transparent and the disposal methods 0 to 3 in turn: the heaviest ordinary
// animation, for memory and speed checks.
Bytes FullScreenAnimation(int width, int height, int frames);
void WriteFile(const std::filesystem::path& path, const Bytes& bytes);

// A width × height image of one colour index at (left, top).
TestImage Solid(int left, int top, int width, int height, int index, int disposal = 0,
                int transparentIndex = -1);

// An image of `width` × `height` whose pixel (x, y) has index `pattern(x, y)`.
template <typename Pattern>
std::vector<std::uint8_t> Indices(int width, int height, Pattern pattern) {
  std::vector<std::uint8_t> indices;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) indices.push_back(static_cast<std::uint8_t>(pattern(x, y)));
  return indices;
}

// A colour index of `bits` bits that looks random for every pixel (x, y) of frame n: noise, which
// LZW barely compresses, so that it fills code tables and makes large files.
int Noise(int x, int y, int n, int bits);

// Hand-made pieces.
Bytes Concat(std::initializer_list<Bytes> parts);
// "GIF89a" (or the given six characters) and a logical screen descriptor.
Bytes ScreenHeader(int width, int height, std::uint8_t packed, std::uint8_t background = 0,
                   std::uint8_t aspect = 0, const std::string& signature = "GIF89a");
Bytes ColorTable(const std::vector<Rgb>& colors);
Bytes GraphicControl(std::uint8_t packed, int delay, std::uint8_t transparentIndex);
// An Image Descriptor, its local table and its data, from 0x2C to the zero terminator, as
// giflib's encoder writes it.
Bytes ImageBlock(const TestImage& image);

}  // namespace vimo::test
