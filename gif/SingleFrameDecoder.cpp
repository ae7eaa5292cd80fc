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

std::optional<IndexedImage> DecodeFirstImage(std::span<const std::uint8_t> stream, int maxWidth,
                                             int maxHeight) {
  MemorySource source{stream};
  int error = 0;
  GifHandle gif(DGifOpen(&source, ReadFromMemory, &error));
  if (!gif || !SkipToFirstImage(gif.get()) || DGifGetImageDesc(gif.get()) == GIF_ERROR) return std::nullopt;

  const GifImageDesc& desc = gif->Image;
  if (desc.Width < 0 || desc.Height < 0 ||
      std::int64_t{desc.Width} * desc.Height > gif_limits::kMaxImagePixels)
    return std::nullopt;

  IndexedImage image;
  image.width = std::clamp(maxWidth, 0, desc.Width);
  image.height = std::clamp(maxHeight, 0, desc.Height);
  if (image.width == 0 || image.height == 0) return IndexedImage{};
  image.indices.resize(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height));

  // Interlaced images carry their rows in four passes.
  static constexpr int kPassStart[] = {0, 4, 2, 1};
  static constexpr int kPassStep[] = {8, 8, 4, 2};
  const int passes = desc.Interlace ? 4 : 1;
  // Rows and the parts of rows that fall off the screen are decoded into a scratch line.
  std::vector<GifPixelType> line(desc.Width > image.width ? static_cast<std::size_t>(desc.Width) : 0);
  for (int pass = 0; pass < passes; ++pass) {
    const int start = desc.Interlace ? kPassStart[pass] : 0;
    const int step = desc.Interlace ? kPassStep[pass] : 1;
    for (int y = start; y < desc.Height; y += step) {
      std::uint8_t* row =
          y < image.height ? image.indices.data() + static_cast<std::size_t>(y) * image.width : nullptr;
      if (row != nullptr && line.empty()) {
        if (DGifGetLine(gif.get(), row, desc.Width) == GIF_ERROR) return std::nullopt;
        continue;
      }
      if (line.empty()) line.resize(static_cast<std::size_t>(desc.Width));
      if (DGifGetLine(gif.get(), line.data(), desc.Width) == GIF_ERROR) return std::nullopt;
      if (row != nullptr) std::copy(line.begin(), line.begin() + image.width, row);
    }
  }
  return image;
}

}  // namespace vimo
