#include "GifStreams.h"

#include <gif_lib.h>

#include <algorithm>
#include <bit>
#include <fstream>
#include <map>
#include <stdexcept>
#include <utility>

namespace vimo::test {

namespace {

int WriteToVector(GifFileType* gif, const GifByteType* data, int length) {
  auto* out = static_cast<Bytes*>(gif->UserData);
  out->insert(out->end(), data, data + length);
  return length;
}

void Check(int result, const char* what) {
  if (result == GIF_ERROR) throw std::runtime_error(std::string("giflib encoder failed: ") + what);
}

ColorMapObject* MakeMap(const std::vector<Rgb>& colors) {
  std::vector<GifColorType> entries;
  for (const Rgb& c : colors) entries.push_back({c.red, c.green, c.blue});
  ColorMapObject* map = GifMakeMapObject(static_cast<int>(entries.size()), entries.data());
  if (map == nullptr) throw std::runtime_error("colour table size must be a power of two");
  return map;
}

void PutImage(GifFileType* gif, const TestImage& image) {
  ColorMapObject* local = image.localTable.empty() ? nullptr : MakeMap(image.localTable);
  // giflib's encoder drops the previous image's local table without freeing it when the next
  // image has none.
  if (local == nullptr && gif->Image.ColorMap != nullptr) {
    GifFreeMapObject(gif->Image.ColorMap);
    gif->Image.ColorMap = nullptr;
  }
  const int result =
      EGifPutImageDesc(gif, image.left, image.top, image.width, image.height, image.interlace, local);
  GifFreeMapObject(local);
  Check(result, "image descriptor");
  std::vector<GifPixelType> pixels = image.indices;
  pixels.resize(static_cast<std::size_t>(image.width) * image.height, 0);
  for (int y : RowsInDataOrder(image.height, image.interlace))
    Check(EGifPutLine(gif, pixels.data() + static_cast<std::size_t>(y) * image.width, image.width), "line");
}

// The LZW code of `pixels` with the code size byte and in sub-blocks, as a decoder reads it: the
// table gains an entry with every code but the first after a clear, and codes widen once the
// next entry no longer fits.
Bytes LzwData(const std::vector<std::uint8_t>& pixels, int minCodeSize, bool clearWhenFull, bool noData) {
  Bytes data = {static_cast<std::uint8_t>(minCodeSize)};
  if (noData) {
    data.push_back(0);
    return data;
  }
  const int clear = 1 << minCodeSize, end = clear + 1;
  Bytes codes;
  std::uint32_t bits = 0;
  int bitCount = 0, codeSize = minCodeSize + 1, decoderNext = end + 1, encoderNext = end + 1;
  bool afterClear = true;
  std::map<std::pair<int, int>, int> table;
  const auto write = [&](int code) {
    bits |= static_cast<std::uint32_t>(code) << bitCount;
    for (bitCount += codeSize; bitCount >= 8; bitCount -= 8, bits >>= 8) codes.push_back(bits & 0xFF);
  };
  const auto put = [&](int code) {
    write(code);
    if (std::exchange(afterClear, false) || decoderNext == 4096) return;
    if (++decoderNext == (1 << codeSize) && codeSize < 12) ++codeSize;
  };
  write(clear);
  int prefix = pixels.empty() ? -1 : pixels[0];
  for (std::size_t i = 1; i < pixels.size(); ++i) {
    const auto found = table.find({prefix, pixels[i]});
    if (found != table.end()) {
      prefix = found->second;
      continue;
    }
    put(prefix);
    if (encoderNext < 4096) {
      table[{prefix, pixels[i]}] = encoderNext++;
    } else if (clearWhenFull) {
      write(clear);
      table.clear();
      codeSize = minCodeSize + 1;
      decoderNext = encoderNext = end + 1;
      afterClear = true;
    }
    prefix = pixels[i];
  }
  if (prefix >= 0) put(prefix);
  write(end);
  if (bitCount > 0) codes.push_back(bits & 0xFF);
  for (std::size_t at = 0; at < codes.size(); at += 255) {
    const std::size_t size = std::min<std::size_t>(255, codes.size() - at);
    data.push_back(static_cast<std::uint8_t>(size));
    data.insert(data.end(), codes.begin() + static_cast<std::ptrdiff_t>(at),
                codes.begin() + static_cast<std::ptrdiff_t>(at + size));
  }
  data.push_back(0);
  return data;
}

// The size field of a colour table of `entries` entries (a power of two, 2 to 256).
std::uint8_t TableSizeField(std::size_t entries) {
  return static_cast<std::uint8_t>(std::bit_width(entries) - 2);
}

struct Reader {
  const Bytes* bytes;
  std::size_t at;
};

int ReadFromVector(GifFileType* gif, GifByteType* out, int length) {
  auto* reader = static_cast<Reader*>(gif->UserData);
  const std::size_t count =
      std::min<std::size_t>(static_cast<std::size_t>(length), reader->bytes->size() - reader->at);
  std::copy_n(reader->bytes->begin() + static_cast<std::ptrdiff_t>(reader->at), count, out);
  reader->at += count;
  return static_cast<int>(count);
}

}  // namespace

GifFileType* Slurp(const Bytes& bytes) {
  Reader reader{&bytes, 0};
  int error = 0;
  GifFileType* gif = DGifOpen(&reader, ReadFromVector, &error);
  if (gif != nullptr && DGifSlurp(gif) == GIF_ERROR) {
    DGifCloseFile(gif, &error);
    return nullptr;
  }
  // Everything is read: the reader is not needed past this point.
  if (gif != nullptr) gif->UserData = nullptr;
  return gif;
}

Bytes Encode(const TestGif& layout) {
  Bytes out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, WriteToVector, &error);
  if (gif == nullptr) throw std::runtime_error("EGifOpen failed");
  EGifSetGifVersion(gif, layout.gif89);
  ColorMapObject* global = layout.globalTable.empty() ? nullptr : MakeMap(layout.globalTable);
  const int screen = EGifPutScreenDesc(gif, layout.width, layout.height, 8, layout.background, global);
  GifFreeMapObject(global);
  Check(screen, "screen");
  if (layout.netscape) {
    const GifByteType loop[] = {1, 0, 0};
    Check(EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE), "leader");
    Check(EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0"), "netscape");
    Check(EGifPutExtensionBlock(gif, 3, loop), "loop");
    Check(EGifPutExtensionTrailer(gif), "trailer");
  }
  if (!layout.otherApplication.empty()) {
    const GifByteType data[] = {'d', 'a', 't', 'a', '!'};
    Check(EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE), "leader");
    Check(EGifPutExtensionBlock(gif, 11, layout.otherApplication.data()), "identifier");
    Check(EGifPutExtensionBlock(gif, 5, data), "data");
    Check(EGifPutExtensionBlock(gif, 2, data), "more data");
    Check(EGifPutExtensionTrailer(gif), "trailer");
  }
  for (const TestImage& image : layout.images) {
    if (image.graphicControl) {
      GraphicsControlBlock block{image.disposal, image.userInput, image.delay, image.transparentIndex};
      GifByteType bytes[4];
      EGifGCBToExtension(&block, bytes);
      Check(EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, bytes), "graphic control");
    }
    for (const std::string& comment : image.commentsBefore)
      Check(EGifPutComment(gif, comment.c_str()), "comment");
    PutImage(gif, image);
    for (const std::string& comment : image.commentsAfter)
      Check(EGifPutComment(gif, comment.c_str()), "comment");
  }
  Check(EGifCloseFile(gif, &error), "close");
  // The encoder only writes 89a when it has seen an extension; tests ask for a version.
  out[3] = '8';
  out[4] = layout.gif89 ? '9' : '7';
  return out;
}

std::vector<int> RowsInDataOrder(int height, bool interlace) {
  std::vector<int> rows;
  if (interlace) {
    for (auto [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
      for (int y = start; y < height; y += step) rows.push_back(y);
  } else {
    for (int y = 0; y < height; ++y) rows.push_back(y);
  }
  return rows;
}

Bytes EncodeByHand(const TestGif& layout) {
  const auto& global = layout.globalTable;
  const std::uint8_t screenPacked = global.empty() ? 0x70 : 0xF0 | TableSizeField(global.size());
  Bytes out = Concat(
      {ScreenHeader(layout.width, layout.height, screenPacked, static_cast<std::uint8_t>(layout.background),
                    0, layout.gif89 ? "GIF89a" : "GIF87a"),
       ColorTable(global)});
  for (const TestImage& image : layout.images) {
    for (const Bytes& block : image.blocksBefore) out.insert(out.end(), block.begin(), block.end());
    if (image.graphicControl) {
      const int packed =
          image.disposal << 2 | (image.userInput ? 2 : 0) | (image.transparentIndex >= 0 ? 1 : 0);
      const Bytes control = GraphicControl(static_cast<std::uint8_t>(packed), image.delay,
                                           static_cast<std::uint8_t>(std::max(image.transparentIndex, 0)));
      out.insert(out.end(), control.begin(), control.end());
    }
    const auto& table = image.localTable.empty() ? global : image.localTable;
    const std::uint8_t imagePacked =
        (image.localTable.empty() ? 0 : 0x80 | TableSizeField(table.size())) | (image.interlace ? 0x40 : 0);
    out.push_back(0x2C);
    for (int value : {image.left, image.top, image.width, image.height}) {
      out.push_back(static_cast<std::uint8_t>(value & 0xFF));
      out.push_back(static_cast<std::uint8_t>(value >> 8));
    }
    out.push_back(imagePacked);
    if (!image.localTable.empty()) {
      const Bytes local = ColorTable(image.localTable);
      out.insert(out.end(), local.begin(), local.end());
    }
    std::vector<std::uint8_t> pixels = image.indices;
    pixels.resize(static_cast<std::size_t>(image.width) * image.height, 0);
    std::vector<std::uint8_t> inDataOrder;
    for (int y : RowsInDataOrder(image.height, image.interlace))
      inDataOrder.insert(inDataOrder.end(), pixels.begin() + static_cast<std::ptrdiff_t>(y) * image.width,
                         pixels.begin() + static_cast<std::ptrdiff_t>(y + 1) * image.width);
    if (image.dataPixels >= 0)
      inDataOrder.resize(std::min<std::size_t>(inDataOrder.size(), image.dataPixels));
    const int minCodeSize =
        table.empty() ? 8 : std::max(2, static_cast<int>(std::bit_width(table.size())) - 1);
    const Bytes data = LzwData(inDataOrder, minCodeSize, image.clearWhenFull, image.dataPixels == 0);
    out.insert(out.end(), data.begin(), data.end());
  }
  out.push_back(0x3B);
  return out;
}

Bytes ThreeFrameAnimation() {
  TestGif layout;
  layout.width = 6;
  layout.height = 4;
  layout.globalTable = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
  TestImage first;
  first.width = 6;
  first.height = 4;
  first.indices = Indices(6, 4, [](int x, int) { return x == 0 ? 3 : 1; });
  first.transparentIndex = 3;
  first.disposal = 1;
  TestImage second;
  second.left = 2;
  second.top = 1;
  second.indices = {2};
  second.transparentIndex = 3;
  TestImage third;
  third.left = 3;
  third.top = 2;
  third.indices = {0};
  layout.images = {first, second, third};
  return Encode(layout);
}

Bytes FullScreenAnimation(int width, int height, int frames) {
  TestGif layout;
  layout.width = width;
  layout.height = height;
  for (int i = 0; i < 256; ++i)
    layout.globalTable.push_back({static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i), 40});
  for (int n = 0; n < frames; ++n) {
    TestImage frame = Solid(0, 0, width, height, 0, n % 4, 0);
    frame.indices = Indices(width, height, [n](int x, int y) { return (x / 16 + y / 16 + n) % 256; });
    layout.images.push_back(std::move(frame));
  }
  return Encode(layout);
}

void WriteFile(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!file) throw std::runtime_error("cannot write " + path.string());
}

TestImage Solid(int left, int top, int width, int height, int index, int disposal, int transparentIndex) {
  TestImage image;
  image.left = left;
  image.top = top;
  image.width = width;
  image.height = height;
  image.indices.assign(static_cast<std::size_t>(width) * height, static_cast<std::uint8_t>(index));
  image.disposal = disposal;
  image.transparentIndex = transparentIndex;
  return image;
}

int Noise(int x, int y, int n, int bits) {
  std::uint32_t h = static_cast<std::uint32_t>(x) * 374761393u + static_cast<std::uint32_t>(y) * 668265263u +
                    static_cast<std::uint32_t>(n) * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return static_cast<int>((h ^ (h >> 16)) & ((1u << bits) - 1));
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

Bytes ScreenHeader(int width, int height, std::uint8_t packed, std::uint8_t background, std::uint8_t aspect,
                   const std::string& signature) {
  Bytes out(signature.begin(), signature.end());
  for (int value : {width, height}) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
  }
  out.insert(out.end(), {packed, background, aspect});
  return out;
}

Bytes ColorTable(const std::vector<Rgb>& colors) {
  Bytes out;
  for (const Rgb& c : colors) out.insert(out.end(), {c.red, c.green, c.blue});
  return out;
}

Bytes GraphicControl(std::uint8_t packed, int delay, std::uint8_t transparentIndex) {
  return {0x21,
          0xF9,
          0x04,
          packed,
          static_cast<std::uint8_t>(delay & 0xFF),
          static_cast<std::uint8_t>(delay >> 8),
          transparentIndex,
          0x00};
}

Bytes ImageBlock(const TestImage& image) {
  TestGif gif;
  gif.width = image.left + image.width;
  gif.height = image.top + image.height;
  TestImage plain = image;
  plain.graphicControl = false;
  plain.commentsBefore.clear();
  plain.commentsAfter.clear();
  std::size_t placeholderSize = 2;
  for (std::uint8_t index : image.indices)
    while (index >= placeholderSize) placeholderSize *= 2;
  if (plain.localTable.empty()) plain.localTable.assign(placeholderSize, Rgb{0, 0, 0});
  gif.images = {plain};
  const Bytes file = Encode(gif);
  // No global table and no extensions: the image starts right after the screen descriptor
  // and ends before the trailer.
  Bytes block(file.begin() + 13, file.end() - 1);
  if (image.localTable.empty()) {
    // Take the placeholder table out again.
    block[9] &= 0x78;
    block.erase(block.begin() + 10, block.begin() + 10 + 3 * static_cast<std::ptrdiff_t>(placeholderSize));
  }
  return block;
}

}  // namespace vimo::test
