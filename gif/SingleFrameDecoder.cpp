#include "gif/SingleFrameDecoder.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "gif/Limits.h"

namespace vimo {

namespace {

struct MemorySource {
  std::span<const std::uint8_t> bytes;
  std::size_t position = 0;
};

// giflib's read callback: hands out what is left and reports a short read at the end, which
// giflib turns into an error rather than reading further.
int ReadFromMemory(GifFileType* gif, GifByteType* buffer, int length) {
  auto* source = static_cast<MemorySource*>(gif->UserData);
  if (length <= 0) return 0;
  const std::size_t count =
      std::min(static_cast<std::size_t>(length), source->bytes.size() - source->position);
  std::memcpy(buffer, source->bytes.data() + source->position, count);
  source->position += count;
  return static_cast<int>(count);
}

struct GifCloser {
  void operator()(GifFileType* gif) const {
    int error = 0;
    DGifCloseFile(gif, &error);
  }
};

using GifHandle = std::unique_ptr<GifFileType, GifCloser>;

bool SkipToFirstImage(GifFileType* gif) {
  for (;;) {
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif, &type) == GIF_ERROR) return false;
    if (type == IMAGE_DESC_RECORD_TYPE) return true;
    if (type != EXTENSION_RECORD_TYPE) return false;
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) return false;
    while (block != nullptr) {
      if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return false;
    }
  }
}

// Opens the stream and reads it up to the first image's pixels; null when giflib refuses it on
// the way.
GifHandle OpenAtFirstImage(MemorySource& source) {
  int error = 0;
  GifHandle gif(DGifOpen(&source, ReadFromMemory, &error));
  if (!gif || !SkipToFirstImage(gif.get()) || DGifGetImageDesc(gif.get()) == GIF_ERROR) return nullptr;
  return gif;
}

// Calls visit(y) for the rows of an image in the order its data codes them (interlaced images in
// four passes) until visit returns false.
template <typename Visit>
void ForEachRowInDataOrder(int height, bool interlaced, Visit visit) {
  static constexpr int kPassStart[] = {0, 4, 2, 1};
  static constexpr int kPassStep[] = {8, 8, 4, 2};
  const int passes = interlaced ? 4 : 1;
  for (int pass = 0; pass < passes; ++pass) {
    const int step = interlaced ? kPassStep[pass] : 1;
    for (int y = interlaced ? kPassStart[pass] : 0; y < height; y += step)
      if (!visit(y)) return;
  }
}

// How many pixels of the row that comes `rowsBefore` rows into the data the data reaches. giflib
// reports a row as whole or failed, so the data is decoded again and that row a pixel at a time.
int PixelsOfBrokenRow(std::span<const std::uint8_t> stream, int rowsBefore) {
  MemorySource source{stream};
  const GifHandle gif = OpenAtFirstImage(source);
  if (!gif) return 0;
  const int width = gif->Image.Width;
  std::vector<GifPixelType> line(static_cast<std::size_t>(width));
  for (int row = 0; row < rowsBefore; ++row)
    if (DGifGetLine(gif.get(), line.data(), width) == GIF_ERROR) return 0;
  int pixels = 0;
  while (pixels < width && DGifGetPixel(gif.get(), line[0]) != GIF_ERROR) ++pixels;
  return pixels;
}

}  // namespace

std::vector<std::uint8_t> SingleFrameStream(std::span<const std::uint8_t> headerBytes,
                                            std::span<const std::uint8_t> run) {
  std::vector<std::uint8_t> stream;
  stream.reserve(headerBytes.size() + run.size() + 1);
  stream.insert(stream.end(), headerBytes.begin(), headerBytes.end());
  stream.insert(stream.end(), run.begin(), run.end());
  stream.push_back(0x3B);
  return stream;
}

std::optional<IndexedImage> DecodeFirstImage(std::span<const std::uint8_t> stream, int width, int height) {
  MemorySource source{stream};
  const GifHandle gif = OpenAtFirstImage(source);
  IndexedImage image;
  image.width = std::max(width, 0);
  image.height = std::max(height, 0);
  if (gif) {
    const GifImageDesc& desc = gif->Image;
    if (desc.Width < 0 || desc.Height < 0 ||
        std::int64_t{desc.Width} * desc.Height > gif_limits::kMaxImagePixels)
      return std::nullopt;
    image.width = std::min(image.width, desc.Width);
    image.height = std::min(image.height, desc.Height);
  }
  if (image.width == 0 || image.height == 0) return IndexedImage{};
  image.indices.resize(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height));
  if (!gif) {
    image.decodedWidths.assign(static_cast<std::size_t>(image.height), 0);
    return image;
  }

  const GifImageDesc& desc = gif->Image;
  // Rows and the parts of rows that fall off the screen are decoded into a scratch line.
  std::vector<GifPixelType> line(desc.Width > image.width ? static_cast<std::size_t>(desc.Width) : 0);
  int wholeRows = 0;
  bool broken = false;
  ForEachRowInDataOrder(desc.Height, desc.Interlace, [&](int y) {
    std::uint8_t* row =
        y < image.height ? image.indices.data() + static_cast<std::size_t>(y) * image.width : nullptr;
    if (row == nullptr && line.empty()) line.resize(static_cast<std::size_t>(desc.Width));
    GifPixelType* into = line.empty() ? row : line.data();
    broken = DGifGetLine(gif.get(), into, desc.Width) == GIF_ERROR;
    // A broken row keeps the pixels decoded before the break.
    if (row != nullptr && into != row) std::copy(line.begin(), line.begin() + image.width, row);
    if (!broken) ++wholeRows;
    return !broken;
  });
  if (!broken) return image;

  // The data gives out before the last pixel, as viewers take it: what it reaches is drawn.
  image.decodedWidths.assign(static_cast<std::size_t>(image.height), 0);
  const int brokenRowPixels = PixelsOfBrokenRow(stream, wholeRows);
  int row = 0;
  ForEachRowInDataOrder(desc.Height, desc.Interlace, [&](int y) {
    const int reached = row < wholeRows ? desc.Width : brokenRowPixels;
    if (y < image.height) image.decodedWidths[static_cast<std::size_t>(y)] = std::min(reached, image.width);
    return row++ < wholeRows;
  });
  return image;
}

}  // namespace vimo
