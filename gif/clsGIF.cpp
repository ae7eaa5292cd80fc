#include "gif/clsGIF.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <limits>

#include "gif/Limits.h"
#include "gif/SingleFrameDecoder.h"

namespace vimo {

namespace {

constexpr std::uint8_t kExtensionIntroducer = 0x21;
constexpr std::uint8_t kImageSeparator = 0x2C;
constexpr std::uint8_t kTrailer = 0x3B;
constexpr std::uint8_t kGraphicControlLabel = 0xF9;

// A read past the last byte of the stream.
struct StreamEnded {};
// The walk cannot go on from here (see Limits.h and the choices in LoadGIF's comment).
struct StreamRefused {};

// The stream with every read bounds-checked, indexed by 64-bit positions so that the cursor
// arithmetic on sizes read from the stream cannot overflow.
//
// A stream in memory is read in place. A stream from a reader is read in pieces as the walk
// reaches them and forgets what the walk releases, so that a large animation is never held whole
// beside its frames: the window holds one frame's bytes and a piece more.
class StreamBytes {
 public:
  using Reader = std::function<std::size_t(std::uint8_t* into, std::size_t most)>;

  explicit StreamBytes(std::span<const std::uint8_t> bytes) : view_(bytes) {}
  explicit StreamBytes(Reader reader) : reader_(std::move(reader)) {}

  // Whether the stream goes on to `index`.
  bool Has(std::int64_t index) {
    // Released bytes are never asked for again: the walk only moves forward from a frame's start.
    if (index < base_) throw StreamRefused{};
    while (index - base_ >= static_cast<std::int64_t>(view_.size()))
      if (!ReadMore()) return false;
    return true;
  }

  std::uint8_t operator[](std::int64_t index) {
    if (!Has(index)) throw StreamEnded{};
    return view_[static_cast<std::size_t>(index - base_)];
  }

  std::uint16_t Word(std::int64_t index) {
    const std::uint8_t low = (*this)[index];
    return static_cast<std::uint16_t>(low | ((*this)[index + 1] << 8));
  }

  std::string Text(std::int64_t index, int length) {
    const auto text = Slice(index, index + length - 1);
    return std::string(text.begin(), text.end());
  }

  // first..last inclusive; valid until the next read.
  std::span<const std::uint8_t> Slice(std::int64_t first, std::int64_t last) {
    (*this)[first];
    (*this)[last];
    return view_.subspan(static_cast<std::size_t>(first - base_), static_cast<std::size_t>(last - first + 1));
  }

  // From a sub-block size byte to the zero terminator that ends the chain. Unless `keep`, the
  // sub-blocks are released as they are passed.
  std::int64_t SkipSubBlocks(std::int64_t position, bool keep = true) {
    while ((*this)[position] != 0) {
      position += (*this)[position] + 1;
      if (!keep) Release(position);
    }
    return position;
  }

  // The walk needs nothing before `index` any more. Forgotten a piece at a time, so that
  // releasing often costs little.
  void Release(std::int64_t index) {
    if (!reader_ || index - base_ < static_cast<std::int64_t>(kPieceBytes)) return;
    const auto count = static_cast<std::size_t>(std::min<std::int64_t>(index - base_, std::ssize(window_)));
    window_.erase(window_.begin(), window_.begin() + static_cast<std::ptrdiff_t>(count));
    base_ += static_cast<std::int64_t>(count);
    view_ = window_;
  }

 private:
  static constexpr std::size_t kPieceBytes = 64 << 10;

  bool ReadMore() {
    if (!reader_) return false;
    const std::size_t had = window_.size();
    window_.resize(had + kPieceBytes);
    const std::size_t got = reader_(window_.data() + had, kPieceBytes);
    window_.resize(had + got);
    view_ = window_;
    return got > 0;
  }

  Reader reader_;
  std::vector<std::uint8_t> window_;
  std::span<const std::uint8_t> view_;
  std::int64_t base_ = 0;  // stream index of view_[0]
};

std::uint8_t GetBits(std::uint8_t value, int shift, int count) {
  return static_cast<std::uint8_t>((value >> shift) & ((1 << count) - 1));
}

// Returns the index of the table's last byte.
std::int64_t ReadColorTable(StreamBytes& bytes, std::int64_t start, std::uint8_t size, clsColorMap& map) {
  const int entries = 1 << (size + 1);
  const std::int64_t last = start + 3 * entries - 1;
  bytes[last];  // the whole table, or none of it
  for (int i = 0; i < entries; ++i)
    map.Add(bytes[start + 3 * i], bytes[start + 3 * i + 1], bytes[start + 3 * i + 2]);
  return last;
}

std::shared_ptr<const Palette> MakePalette(const clsColorMap& map) {
  auto palette = std::make_shared<Palette>();
  palette->fill(0);
  const std::int32_t count = std::min<std::int32_t>(map.Count(), static_cast<std::int32_t>(palette->size()));
  for (std::int32_t i = 0; i < count; ++i)
    (*palette)[static_cast<std::size_t>(i)] = static_cast<std::uint32_t>(map.Item(i).Color());
  return palette;
}

std::int16_t SaturateToInt16(std::int32_t value) {
  return static_cast<std::int16_t>(std::clamp<std::int32_t>(value, std::numeric_limits<std::int16_t>::min(),
                                                            std::numeric_limits<std::int16_t>::max()));
}

}  // namespace

// One walk over one stream: the cursor and what it needs to build frames.
class clsGIF::Walk {
 public:
  Walk(clsGIF& gif, StreamBytes bytes) : gif_(gif), bytes_(std::move(bytes)) {}

  bool Run() {
    try {
      return RunBlocks();
    } catch (const StreamEnded&) {
    } catch (const StreamRefused&) {
    }
    // A frame is kept only once it can be drawn: drop the one that was being read.
    clsFrames& frames = gif_.frames_;
    if (frames.Count() > 0 && !frames.Item(frames.Count()).IsComposed()) frames.Remove(frames.Count());
    return false;
  }

 private:
  bool RunBlocks() {
    if (!bytes_.Has(2) || bytes_.Text(0, 3) != "GIF") return false;
    gif_.signature_ = "GIF";
    gif_.version_ = bytes_.Text(3, 3);

    gif_.xWidth_ = bytes_.Word(6);
    gif_.yHeight_ = bytes_.Word(8);
    const std::uint8_t packed = bytes_[10];
    gif_.pixel_ = GetBits(packed, 0, 3);
    gif_.sortFlag_ = (packed & 0x08) != 0;
    gif_.cr_ = GetBits(packed, 4, 3);
    gif_.m_ = (packed & 0x80) != 0 ? 255 : 0;
    const std::uint8_t backgroundIndex = bytes_[11];
    gif_.aspectRatio_ = bytes_[12];

    std::int64_t pos = 12;
    if (gif_.m_ == 255) {
      pos = ReadColorTable(bytes_, 13, gif_.pixel_, gif_.globalColorMap_);
      if (backgroundIndex < gif_.globalColorMap_.Count())
        gif_.backColor_ = gif_.globalColorMap_.Item(backgroundIndex).Color();
    }

    // Nothing can be drawn on an empty screen, and a huge one would be a huge canvas.
    const std::int64_t screenPixels = std::int64_t{gif_.xWidth_} * gif_.yHeight_;
    if (screenPixels == 0 || screenPixels > gif_limits::kMaxScreenPixels) return false;
    gif_.composer_ = std::make_shared<FrameComposer>(gif_.xWidth_, gif_.yHeight_);
    globalPalette_ = MakePalette(gif_.globalColorMap_);

    for (;;) {
      // What came before the next block is in the frames and the header now.
      if (headerCaptured_) bytes_.Release(pos + 1);
      const std::uint8_t introducer = bytes_[pos + 1];
      if (introducer == kTrailer) return true;
      if (introducer == kImageSeparator) {
        ReadImageWithoutGraphicControl(pos);
        continue;
      }
      // Anything but a block (the padding some encoders leave after the last frame) ends the
      // stream's data.
      if (introducer != kExtensionIntroducer) return true;
      if (bytes_[pos + 2] == kGraphicControlLabel)
        ReadGraphicControl(pos);
      else
        // Comments, application and plain text blocks, and every label the format may yet
        // define, are passed over by their sub-block lengths as viewers do.
        pos = bytes_.SkipSubBlocks(pos + 3, !headerCaptured_);
    }
  }

  // Everything before the first frame: the start of every frame's single-image stream.
  void CaptureHeader(std::int64_t pos) {
    if (headerCaptured_) return;
    const auto header = bytes_.Slice(0, pos);
    gif_.headerBytes_.assign(header.begin(), header.end());
    headerCaptured_ = true;
  }

  clsFrame& NewFrame() {
    if (gif_.frames_.Count() >= gif_limits::kMaxFrames) throw StreamRefused{};
    return gif_.frames_.Add();
  }

  // An image that no Graphic Control Extension of its own precedes (as in GIF87a files, or a
  // second image under one extension, which governs only the first): viewers draw it as a frame
  // without transparency or disposal.
  void ReadImageWithoutGraphicControl(std::int64_t& pos) {
    CaptureHeader(pos);
    const std::int64_t start = pos + 1;
    ReadImage(NewFrame(), pos, start);
  }

  void ReadGraphicControl(std::int64_t& pos) {
    CaptureHeader(pos);
    const std::int64_t start = pos + 1;

    const std::uint8_t blockSize = bytes_[pos + 3];
    const std::uint8_t packed = bytes_[pos + 4];
    const std::uint16_t delay = bytes_.Word(pos + 5);
    const std::uint8_t transparentIndex = bytes_[pos + 7];

    clsFrame& frame = NewFrame();
    frame.TCI(transparentIndex);
    frame.DelayTime(SaturateToInt16(std::int32_t{gif_.speed_} * delay));
    frame.DisposalMethod(GetBits(packed, 2, 3));
    frame.TCFlag((packed & 0x01) != 0);
    frame.UserInputFlag((packed & 0x02) != 0);
    pos += blockSize + 4;

    bool imageRead = false;
    for (;;) {
      const std::uint8_t next = bytes_[pos + 1];
      if (next == kTrailer) break;
      if (next == kExtensionIntroducer) {
        if (bytes_[pos + 2] == kGraphicControlLabel) break;
        // Comments, application blocks and any other extension are passed over alike; before the
        // image they are part of the frame's run.
        pos = bytes_.SkipSubBlocks(pos + 3, !imageRead);
        continue;
      }
      if (next == kImageSeparator) {
        // A second image is a frame of its own, read by the block loop.
        if (imageRead) break;
        ReadImage(frame, pos, start);
        imageRead = true;
        bytes_.Release(pos + 1);
        continue;
      }
      // No block at all: after the image the block loop decides what that means; before it, the
      // frame is lost.
      if (imageRead) break;
      throw StreamRefused{};
    }
    if (!imageRead) ComposeWithoutImage(frame);
  }

  void ReadImage(clsFrame& frame, std::int64_t& pos, std::int64_t start) {
    frame.xLeft(bytes_.Word(pos + 2));
    frame.yTop(bytes_.Word(pos + 4));
    frame.xWidth(bytes_.Word(pos + 6));
    frame.yHeight(bytes_.Word(pos + 8));
    const std::uint8_t packed = bytes_[pos + 10];
    frame.LCTSize(GetBits(packed, 0, 3));
    frame.SortFlag((packed & 0x20) != 0);
    frame.InterlaceFlag((packed & 0x40) != 0);
    frame.LCTFlag((packed & 0x80) != 0);

    if (frame.LCTFlag())
      pos = ReadColorTable(bytes_, pos + 11, frame.LCTSize(), frame.ColorMap());
    else
      pos += 10;

    // Transparency goes by index: an index beyond the table still marks the pixels that hold
    // it, it only has no colour to report.
    const clsColorMap& map = frame.LCTFlag() ? frame.ColorMap() : gif_.globalColorMap_;
    if (frame.TCFlag() && frame.TCI() < map.Count()) frame.TransparentColor(map.Item(frame.TCI()).Color());

    // An image that the trailer follows at once has no data at all, not even its code size.
    if (bytes_[pos + 1] == kTrailer && !bytes_.Has(pos + 2)) {
      DecodeFrame(frame, {});
      return;
    }
    pos = bytes_.SkipSubBlocks(pos + 2);  // past the LZW minimum code size

    if (std::int64_t{frame.xWidth()} * frame.yHeight() > gif_limits::kMaxImagePixels) throw StreamRefused{};
    DecodeFrame(frame, bytes_.Slice(start, pos));
  }

  void DecodeFrame(clsFrame& frame, std::span<const std::uint8_t> run) {
    // Only the part of the image that can fall on the screen is kept.
    const int visibleWidth = std::clamp(gif_.xWidth_ - frame.xLeft(), 0, frame.xWidth());
    const int visibleHeight = std::clamp(gif_.yHeight_ - frame.yTop(), 0, frame.yHeight());
    keptBytes_ += std::int64_t{visibleWidth} * visibleHeight;
    if (keptBytes_ > gif_limits::kMaxFrameBytes) throw StreamRefused{};

    std::optional<IndexedImage> decoded;
    if (run.empty()) {
      decoded.emplace();
      decoded->width = visibleWidth;
      decoded->height = visibleHeight;
      decoded->indices.resize(static_cast<std::size_t>(visibleWidth) *
                              static_cast<std::size_t>(visibleHeight));
      decoded->decodedWidths.assign(static_cast<std::size_t>(visibleHeight), 0);
    } else {
      decoded = DecodeFirstImage(SingleFrameStream(gif_.headerBytes_, run), visibleWidth, visibleHeight);
    }
    if (!decoded) throw StreamRefused{};
    IndexedFrame indexed;
    indexed.left = frame.xLeft();
    indexed.top = frame.yTop();
    indexed.image = std::move(*decoded);
    indexed.palette = frame.LCTFlag() ? MakePalette(frame.ColorMap()) : globalPalette_;
    indexed.transparentIndex = frame.TCFlag() ? frame.TCI() : -1;
    indexed.disposal = frame.DisposalMethod();
    gif_.SetDC(frame, std::move(indexed));
  }

  // A Graphic Control Extension followed by another one or by the trailer: the frame shows
  // what the previous one left after its disposal.
  void ComposeWithoutImage(clsFrame& frame) {
    IndexedFrame indexed;
    indexed.palette = globalPalette_;
    indexed.disposal = frame.DisposalMethod();
    gif_.SetDC(frame, std::move(indexed));
  }

  clsGIF& gif_;
  StreamBytes bytes_;
  bool headerCaptured_ = false;
  std::shared_ptr<const Palette> globalPalette_;
  std::int64_t keptBytes_ = 0;
};

void clsGIF::RaiseGIFError(const std::string& message) {
  if (errorHandler_) errorHandler_(message);
}

void clsGIF::ResetForLoad() {
  frames_ = clsFrames{};
  for (std::int32_t position = globalColorMap_.Count(); position >= 1; --position)
    globalColorMap_.Remove(position);
  headerBytes_.clear();
  composer_.reset();
}

bool clsGIF::LoadGIF(std::span<const std::uint8_t> bytes) {
  ResetForLoad();
  if (bytes.size() > gif_limits::kMaxStreamBytes) return false;
  return Walk(*this, StreamBytes(bytes)).Run();
}

bool clsGIF::LoadGIF(const std::filesystem::path& path) {
  ResetForLoad();
  std::error_code error;
  if (path.empty() || !std::filesystem::is_regular_file(path, error)) {
    RaiseGIFError(kFileDoesNotExist);
    return false;
  }
  const auto size = std::filesystem::file_size(path, error);
  if (error || size > gif_limits::kMaxStreamBytes) return false;
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  // Read as the walk goes, never more than the size checked above.
  std::size_t left = static_cast<std::size_t>(size);
  return Walk(*this, StreamBytes([&file, &left](std::uint8_t* into, std::size_t most) {
           file.read(reinterpret_cast<char*>(into), static_cast<std::streamsize>(std::min(most, left)));
           const auto got = static_cast<std::size_t>(file.gcount());
           left -= got;
           return got;
         }))
      .Run();
}

bool clsGIF::GetApplication(std::span<const std::uint8_t> bytes, std::int32_t& pos) const {
  try {
    pos = static_cast<std::int32_t>(StreamBytes(bytes).SkipSubBlocks(std::int64_t{pos} + 3));
    return true;
  } catch (const StreamEnded&) {
    return false;
  }
}

bool clsGIF::GetPlainText(std::span<const std::uint8_t> bytes, std::int32_t& pos) const {
  return GetApplication(bytes, pos);
}

std::shared_ptr<const Raster> clsGIF::CreateBitmapPicture(Raster bitmap) {
  return std::make_shared<const Raster>(std::move(bitmap));
}

std::shared_ptr<const Raster> clsGIF::hDCToPicture(const Raster& source, std::int32_t left, std::int32_t top,
                                                   std::int32_t width, std::int32_t height) {
  return CreateBitmapPicture(source.Crop(left, top, width, height));
}

void clsGIF::SetDC(clsFrame& myframe, IndexedFrame decoded) {
  if (!composer_) composer_ = std::make_shared<FrameComposer>(xWidth_, yHeight_);
  composer_->Add(std::move(decoded));
  myframe.ComposedBy(composer_, composer_->Count());
}

bool clsGIF::DrawFrame(std::int16_t index, Raster& target, std::int32_t xLeft, std::int32_t yTop) const {
  if (index < 1 || index > frames_.Count()) return false;
  const Raster* composite = frames_.Item(index).CompositeView();
  if (composite == nullptr) return false;
  target.CopyFromKeyed(*composite, 0, 0, xWidth_, yHeight_, xLeft, yTop, kTransparentPixel);
  return true;
}

bool clsGIF::CopyFrame(std::int16_t index, Raster& target, std::int32_t xLeft, std::int32_t yTop) {
  if (index < 1 || index > frames_.Count() || !frames_.Item(index).IsComposed()) return false;
  if (!backgroundSaved_) {
    xLeft_ = xLeft;
    yTop_ = yTop;
    savedBackground_ = target.Crop(xLeft, yTop, xWidth_, yHeight_);
    backgroundSaved_ = true;
  }
  return DrawFrame(index, target, xLeft, yTop);
}

void clsGIF::Clear(Raster& target) const {
  if (backgroundSaved_)
    target.CopyFrom(savedBackground_, 0, 0, savedBackground_.Width(), savedBackground_.Height(), xLeft_,
                    yTop_);
}

std::shared_ptr<const Raster> clsGIF::Image(std::int16_t index) const {
  if (index < 1 || index > frames_.Count()) return nullptr;
  return frames_.Item(index).Image();
}

}  // namespace vimo
