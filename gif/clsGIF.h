#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "gif/Composition.h"
#include "gif/Raster.h"
#include "gif/clsColorMap.h"
#include "gif/clsFrame.h"

namespace vimo {

// Names a stream among the program's own resources (Qt's resource system). A bare identifier is
// looked up as ":/CUSTOM/<id>"; a name that starts with ":/" is taken as it stands.
struct ResourceName {
  std::string id;
};

// The GIF decoder behind the holiday animation: splits a GIF stream into frames, has giflib
// decode each frame as a GIF of one image, keeps every frame as colour indices, and composes
// them onto the logical screen as GIF89a viewers do when a frame is drawn (see FrameComposer).
//
// Ownership: the object owns its frames and colour tables; the rasters that a frame hands out
// are new pictures the caller owns. Single-threaded; not re-entrant from the GIFError handler
// (the handler must not destroy or reload the object). Not copyable.
//
// Loading never throws and never reads outside the stream: a stream that ends early, or that
// goes past one of the caps in gif/Limits.h, or that the parser cannot follow, makes LoadGIF
// return false with the frames completed before that point kept. A file is read as the walk
// goes, so that only the frames and one frame's bytes are held, never the whole file.
class clsGIF {
 public:
  using ErrorHandler = std::function<void(const std::string& message)>;
  static constexpr const char* kFileDoesNotExist = "File Does Not Exist.";

  clsGIF() = default;
  clsGIF(const clsGIF&) = delete;
  clsGIF& operator=(const clsGIF&) = delete;

  // The GIFError event: raised with "File Does Not Exist." for a missing file or resource.
  void SetGIFErrorHandler(ErrorHandler handler) { errorHandler_ = std::move(handler); }

  // Copies the background saved by the first CopyFrame back to where it was taken from.
  // Nothing before the first CopyFrame.
  void Clear(Raster& target) const;
  // Wraps a raster as a shared, immutable picture.
  static std::shared_ptr<const Raster> CreateBitmapPicture(Raster bitmap);
  // Skips one Application Extension whose introducer is at pos + 1, leaving pos on its
  // terminator. The identifier is not needed: playback repeats whatever loop count a
  // NETSCAPE2.0 block carries. False (pos unchanged) when the block runs past the end.
  bool GetApplication(std::span<const std::uint8_t> bytes, std::int32_t& pos) const;
  // Skips one Plain Text Extension the same way; its text is never drawn.
  bool GetPlainText(std::span<const std::uint8_t> bytes, std::int32_t& pos) const;
  // A new picture holding a copy of an area of `source` (0 outside it).
  static std::shared_ptr<const Raster> hDCToPicture(const Raster& source, std::int32_t left, std::int32_t top,
                                                    std::int32_t width, std::int32_t height);
  std::uint8_t AspectRatio() const { return aspectRatio_; }
  void AspectRatio(std::uint8_t value) { aspectRatio_ = value; }
  // Draws the composite of frame `index` (1-based) at (xLeft, yTop) of `target`: every pixel
  // of the screen area that the animation covers by then, so that `target` shows through where
  // it is transparent, whether or not the frame has a transparent index. The first call in the object's life
  // saves the screen-sized area of `target` at that position (see Clear) and stores the position in
  // xLeft()/yTop(). False, drawing and saving nothing, when there is no such frame or it has no composite.
  bool CopyFrame(std::int16_t index, Raster& target, std::int32_t xLeft, std::int32_t yTop);
  // The decoded image of frame `index`; null when there is no such frame.
  std::shared_ptr<const Raster> Image(std::int16_t index) const;
  std::uint8_t M() const { return m_; }
  void M(std::uint8_t value) { m_ = value; }
  std::uint8_t CR() const { return cr_; }
  void CR(std::uint8_t value) { cr_ = value; }
  // Makes `myframe` the next frame of the animation, drawn from `decoded` (its image, palette,
  // transparent index and disposal); it is composed when it is first drawn.
  void SetDC(clsFrame& myframe, IndexedFrame decoded);
  bool SortFlag() const { return sortFlag_; }
  void SortFlag(bool value) { sortFlag_ = value; }
  std::uint8_t pixel() const { return pixel_; }
  void pixel(std::uint8_t value) { pixel_ = value; }
  clsColorMap& GlobalColorMap() { return globalColorMap_; }
  const clsColorMap& GlobalColorMap() const { return globalColorMap_; }
  void GlobalColorMap(clsColorMap value) { globalColorMap_ = std::move(value); }
  clsFrames& Frames() { return frames_; }
  const clsFrames& Frames() const { return frames_; }
  void Frames(clsFrames value) { frames_ = std::move(value); }
  // Multiplier from a frame's delay in hundredths of a second to its DelayTime; takes effect
  // at load time. A product outside 16 bits is held at the nearest 16-bit value.
  std::int16_t Speed() const { return speed_; }
  void Speed(std::int16_t value) { speed_ = value; }
  std::int32_t yTop() const { return yTop_; }
  void yTop(std::int32_t value) { yTop_ = value; }
  std::int32_t xLeft() const { return xLeft_; }
  void xLeft(std::int32_t value) { xLeft_ = value; }
  // Color() of the global table's background entry; kept from before when there is none.
  std::int32_t BackColor() const { return backColor_; }
  std::int32_t yHeight() const { return yHeight_; }
  std::int32_t xWidth() const { return xWidth_; }

  // Reads a GIF stream into frames. Every image is a frame: one that no Graphic Control
  // Extension of its own precedes is drawn opaque with no disposal. An image of zero width or
  // height, or whose data reaches only some of its pixels or none, is a frame too: it shows the
  // screen as the previous frame left it, with the pixels its data reaches drawn over it.
  // Extensions of any label are passed over by their sub-block lengths. True when the walk
  // reached the trailer or a byte that begins no block (padding after the last frame). False for
  // a missing file (after raising GIFError), a signature other than "GIF", a zero-sized or
  // oversized screen, and every stream that ends early or is refused part way (frames completed
  // before are kept).
  bool LoadGIF(const std::filesystem::path& path);
  bool LoadGIF(std::span<const std::uint8_t> bytes);
  bool LoadGIF(const ResourceName& resource);

  // The bytes before the first Graphic Control Extension of the last load; every frame's
  // single-image stream starts with them.
  const std::vector<std::uint8_t>& HeaderBytes() const { return headerBytes_; }

  // Draws frame `index` as CopyFrame does, without saving the background.
  bool DrawFrame(std::int16_t index, Raster& target, std::int32_t xLeft, std::int32_t yTop) const;

  // What the frames of the last load keep, and what composing them keeps, in bytes.
  std::size_t KeptBytes() const { return composer_ ? composer_->KeptBytes() : 0; }

 private:
  class Walk;

  void RaiseGIFError(const std::string& message);
  void ResetForLoad();

  ErrorHandler errorHandler_;
  std::uint8_t aspectRatio_ = 0;
  std::uint8_t m_ = 0;
  std::uint8_t cr_ = 0;
  bool sortFlag_ = false;
  std::uint8_t pixel_ = 0;
  clsColorMap globalColorMap_;
  clsFrames frames_;
  std::int16_t speed_ = 10;
  std::int32_t yTop_ = 0;
  std::int32_t xLeft_ = 0;
  std::int32_t backColor_ = 0;
  std::int32_t yHeight_ = 0;
  std::int32_t xWidth_ = 0;
  std::string signature_;
  std::string version_;
  std::vector<std::uint8_t> headerBytes_;
  std::shared_ptr<FrameComposer> composer_;
  // Set by the first CopyFrame and never cleared, not even by a new load.
  bool backgroundSaved_ = false;
  Raster savedBackground_;
};

}  // namespace vimo
