#include "gif/SingleFrameDecoder.h"

#include <gif_lib.h>

#include <algorithm>
#include <array>
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

std::optional<Raster> DecodeFirstImage(std::span<const std::uint8_t> stream, int maxWidth, int maxHeight) {
  MemorySource source{stream};
  int error = 0;
  GifHandle gif(DGifOpen(&source, ReadFromMemory, &error));
  if (!gif || !SkipToFirstImage(gif.get()) || DGifGetImageDesc(gif.get()) == GIF_ERROR) return std::nullopt;

  const GifImageDesc& desc = gif->Image;
  if (desc.Width < 0 || desc.Height < 0 ||
      std::int64_t{desc.Width} * desc.Height > gif_limits::kMaxImagePixels)
    return std::nullopt;

  std::array<std::uint32_t, 256> palette{};
  const ColorMapObject* map = desc.ColorMap != nullptr ? desc.ColorMap : gif->SColorMap;
  if (map != nullptr && map->Colors != nullptr) {
    const int count = std::clamp(map->ColorCount, 0, 256);
    for (int i = 0; i < count; ++i) {
      const GifColorType& c = map->Colors[i];
      palette[static_cast<std::size_t>(i)] =
          (std::uint32_t{c.Red} << 16) | (std::uint32_t{c.Green} << 8) | c.Blue;
    }
  }

  Raster image(std::min(desc.Width, maxWidth), std::min(desc.Height, maxHeight));
  if (image.IsEmpty()) return image;

  // Interlaced images carry their rows in four passes.
  static constexpr int kPassStart[] = {0, 4, 2, 1};
  static constexpr int kPassStep[] = {8, 8, 4, 2};
  const int passes = desc.Interlace ? 4 : 1;
  std::vector<GifPixelType> line(static_cast<std::size_t>(desc.Width));
  const int visibleWidth = std::min(desc.Width, image.Width());
  for (int pass = 0; pass < passes; ++pass) {
    const int start = desc.Interlace ? kPassStart[pass] : 0;
    const int step = desc.Interlace ? kPassStep[pass] : 1;
    for (int y = start; y < desc.Height; y += step) {
      if (DGifGetLine(gif.get(), line.data(), desc.Width) == GIF_ERROR) return std::nullopt;
      if (y >= image.Height()) continue;
      std::uint32_t* row = image.Row(y);
      for (int x = 0; x < visibleWidth; ++x) row[x] = palette[line[static_cast<std::size_t>(x)]];
    }
  }
  return image;
}

}  // namespace vimo
