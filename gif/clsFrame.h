#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "gif/Composition.h"
#include "gif/Raster.h"
#include "gif/clsColorMap.h"

namespace vimo {

// What the decoder learnt about one image of a GIF stream, and its rasters.
//
// A loaded frame keeps no rasters of its own: its colour indices live in the decoder's
// FrameComposer, and Image, Picture and hdc are drawn from them when asked, each call a new
// picture the caller may keep. A raster set through a setter is returned as set instead.
class clsFrame {
 public:
  using Picture_t = std::shared_ptr<const Raster>;

  // The image as decoded, its top-left pixel at (0, 0), cut to the part that can fall on the
  // screen; every pixel in its palette colour.
  Picture_t Image() const;
  void Image(Picture_t value) { image_ = std::move(value); }
  // The Local Color Table; empty when the image has none.
  clsColorMap& ColorMap() { return colorMap_; }
  const clsColorMap& ColorMap() const { return colorMap_; }
  void ColorMap(clsColorMap value) { colorMap_ = std::move(value); }
  bool TCFlag() const { return tcFlag_; }
  void TCFlag(bool value) { tcFlag_ = value; }
  bool UserInputFlag() const { return userInputFlag_; }
  void UserInputFlag(bool value) { userInputFlag_ = value; }
  std::int32_t DisposalMethod() const { return disposalMethod_; }
  void DisposalMethod(std::int32_t value) { disposalMethod_ = value; }
  std::int16_t DelayTime() const { return delayTime_; }
  void DelayTime(std::int16_t value) { delayTime_ = value; }
  std::uint8_t TCI() const { return tci_; }
  void TCI(std::uint8_t value) { tci_ = value; }
  std::uint8_t LCTSize() const { return lctSize_; }
  void LCTSize(std::uint8_t value) { lctSize_ = value; }
  bool SortFlag() const { return sortFlag_; }
  void SortFlag(bool value) { sortFlag_ = value; }
  bool InterlaceFlag() const { return interlaceFlag_; }
  void InterlaceFlag(bool value) { interlaceFlag_ = value; }
  bool LCTFlag() const { return lctFlag_; }
  void LCTFlag(bool value) { lctFlag_ = value; }
  std::int32_t yHeight() const { return yHeight_; }
  void yHeight(std::int32_t value) { yHeight_ = value; }
  std::int32_t xWidth() const { return xWidth_; }
  void xWidth(std::int32_t value) { xWidth_ = value; }
  std::int32_t yTop() const { return yTop_; }
  void yTop(std::int32_t value) { yTop_ = value; }
  std::int32_t xLeft() const { return xLeft_; }
  void xLeft(std::int32_t value) { xLeft_ = value; }
  // The composite's snapshot after a load: the same picture as hdc().
  Picture_t Picture() const { return picture_ ? picture_ : hdc(); }
  void Picture(Picture_t value) { picture_ = std::move(value); }
  // Color() of palette entry TCI when TCFlag is set, else 0.
  std::int32_t TransparentColor() const { return transparentColor_; }
  void TransparentColor(std::int32_t value) { transparentColor_ = value; }
  // The composite: the whole logical screen as it stands after this frame, kTransparentPixel
  // where nothing covers it. Null for a frame that no load has finished.
  Picture_t hdc() const;
  void hdc(Picture_t value) { composite_ = std::move(value); }

  // Makes this frame number `number` of `composer`, which draws its rasters from then on.
  void ComposedBy(std::shared_ptr<FrameComposer> composer, int number);
  bool IsComposed() const { return composer_ != nullptr || composite_ != nullptr; }
  // hdc() without the copy: valid until the next composite is asked of the same animation.
  // Null where hdc() is.
  const Raster* CompositeView() const;

 private:
  Picture_t image_;
  clsColorMap colorMap_;
  bool tcFlag_ = false;
  bool userInputFlag_ = false;
  std::int32_t disposalMethod_ = 0;
  std::int16_t delayTime_ = 0;
  std::uint8_t tci_ = 0;
  std::uint8_t lctSize_ = 0;
  bool sortFlag_ = false;
  bool interlaceFlag_ = false;
  bool lctFlag_ = false;
  std::int32_t yHeight_ = 0;
  std::int32_t xWidth_ = 0;
  std::int32_t yTop_ = 0;
  std::int32_t xLeft_ = 0;
  Picture_t picture_;
  std::int32_t transparentColor_ = 0;
  Picture_t composite_;
  std::shared_ptr<FrameComposer> composer_;
  int number_ = 0;
};

// The frames of one stream in stream order, numbered from 1. A position outside 1..Count()
// throws std::out_of_range. References returned by Add() and Item() stay valid until that frame
// is removed or the collection is destroyed. Not copyable: a decoder owns its frames.
class clsFrames {
 public:
  clsFrames() = default;
  clsFrames(const clsFrames&) = delete;
  clsFrames& operator=(const clsFrames&) = delete;
  clsFrames(clsFrames&&) = default;
  clsFrames& operator=(clsFrames&&) = default;

  clsFrame& Add();
  clsFrame& Item(std::int32_t position);
  const clsFrame& Item(std::int32_t position) const;
  std::int32_t Count() const { return static_cast<std::int32_t>(frames_.size()); }
  void Remove(std::int32_t position);

  // Enumeration in stream order (NewEnum); yields std::unique_ptr<clsFrame>.
  auto begin() const { return frames_.begin(); }
  auto end() const { return frames_.end(); }

 private:
  std::vector<std::unique_ptr<clsFrame>> frames_;
};

}  // namespace vimo
