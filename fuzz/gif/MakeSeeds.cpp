// Writes the seed corpus for the GIF fuzz target: small well-formed streams that between them
// reach every kind of block the parser knows.
#include <filesystem>
#include <fstream>
#include <iostream>

#include "GifStreams.h"

namespace {

using namespace vimo::test;

TestImage Image(int left, int top, int width, int height, int disposal, int transparent) {
  TestImage image;
  image.left = left;
  image.top = top;
  image.width = width;
  image.height = height;
  image.indices = Indices(width, height, [](int x, int y) { return (x * 3 + y) % 4; });
  image.disposal = disposal;
  image.transparentIndex = transparent;
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: " << argv[0] << " <corpus folder>\n";
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::filesystem::create_directories(folder);
  const std::vector<Rgb> palette = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {10, 20, 250}};

  std::vector<TestGif> seeds;
  TestGif gif;
  gif.width = 8;
  gif.height = 6;
  gif.globalTable = palette;
  gif.images = {Image(0, 0, 8, 6, 1, -1)};
  seeds.push_back(gif);

  gif.netscape = true;
  gif.images = {Image(0, 0, 8, 6, 2, 3), Image(2, 1, 4, 3, 3, 0), Image(1, 1, 3, 3, 1, 3)};
  gif.images[1].commentsAfter = {"comment"};
  gif.images[2].interlace = true;
  seeds.push_back(gif);

  gif.netscape = false;
  gif.otherApplication = "XMP DataXMP";
  gif.globalTable.clear();
  gif.images = {Image(0, 0, 5, 5, 0, 1), Image(3, 3, 5, 3, 2, 2)};
  for (TestImage& image : gif.images) image.localTable = palette;
  gif.images[1].commentsBefore = {"before the image"};
  seeds.push_back(gif);

  gif.gif89 = false;
  gif.otherApplication.clear();
  gif.globalTable = palette;
  gif.images = {Image(0, 0, 3, 3, 0, -1), Image(1, 1, 2, 2, 0, -1)};
  gif.images[1].graphicControl = false;
  seeds.push_back(gif);

  // Written by hand as encoders in the wild write them: a code table kept full without a clear
  // code (binary noise fills it), images of zero size, images whose data reaches part of their
  // pixels or none, and extensions of labels nobody defined.
  std::vector<TestGif> byHand;
  gif = TestGif{};
  gif.width = 200;
  gif.height = 240;
  gif.globalTable = {{0, 0, 0}, {255, 255, 255}};
  TestImage full = Image(0, 0, 200, 240, 1, -1);
  full.indices = Indices(200, 240, [](int x, int y) { return Noise(x, y, 0, 1); });
  full.clearWhenFull = false;
  full.blocksBefore = {{0x21, 0x77, 1, 'x', 0}};
  gif.images = {full};
  byHand.push_back(gif);
  gif.width = 8;
  gif.height = 6;
  gif.globalTable = palette;
  gif.images = {Image(0, 0, 8, 6, 1, -1), Image(2, 2, 0, 3, 0, -1), Image(2, 2, 3, 0, 2, -1),
                Image(1, 1, 0, 0, 3, -1), Image(0, 0, 8, 6, 2, 1),  Image(1, 1, 4, 4, 1, -1)};
  gif.images[4].dataPixels = 13;
  gif.images[5].dataPixels = 0;
  gif.images[5].blocksBefore = {{0x21, 0x00, 2, 0x3B, 0x2C, 0}};
  byHand.push_back(gif);

  for (std::size_t i = 0; i < seeds.size() + byHand.size(); ++i) {
    const Bytes bytes = i < seeds.size() ? Encode(seeds[i]) : EncodeByHand(byHand[i - seeds.size()]);
    std::ofstream file(folder / ("seed" + std::to_string(i + 1) + ".gif"), std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  return 0;
}
