#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "gif/Raster.h"
#include "gif/clsColorMap.h"

namespace vimo {

// What the decoder learnt about one image of a GIF stream, and its rasters.
//
// The rasters are shared and immutable once made: `Picture` and `hdc` are the same composite
// after a load (a snapshot of something that never changes is the thing itself), which halves
// the memory a frame keeps. Setting a raster property replaces the pointer only.
class clsFrame {
 public:
  using Picture_t = std::shared_ptr<const Raster>;

  // The image as decoded, logical-screen size, its top-left pixel at (0, 0).
  const Picture_t& Image() const { return image_; }
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
  // The composite's snapshot after a load.
  const Picture_t& Picture() const { return picture_; }
  void Picture(Picture_t value) { picture_ = std::move(value); }
  // Color() of palette entry TCI when TCFlag is set, else 0.
  std::int32_t TransparentColor() const { return transparentColor_; }
  void TransparentColor(std::int32_t value) { transparentColor_ = value; }
  // The composite: the whole logical screen as it stands after this frame. Null until composed.
  const Picture_t& hdc() const { return composite_; }
  void hdc(Picture_t value) { composite_ = std::move(value); }

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
