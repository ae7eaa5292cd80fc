#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>

#include "gif/Raster.h"
#include "gif/clsGIF.h"

namespace vimo {

// What the holiday animation needs of the main window: the picture box `Picture1`, the timer
// `AnimationTimer` and the check box `Chk_animation`. Colours are packed as Raster pixels.
class AnimationView {
 public:
  virtual ~AnimationView() = default;

  virtual int PictureWidth() const = 0;
  virtual int PictureHeight() const = 0;
  // The colour the box shows where it has no picture.
  virtual std::uint32_t PictureBackColor() const = 0;
  // Removes the box's picture, so that it shows only its background colour.
  virtual void SetPictureNone() = 0;
  // Makes `still` the box's picture (it stays until replaced or removed).
  virtual void SetPictureStill(const Raster& still) = 0;
  // Draws `surface` over the whole box; it shows until the next draw or picture change.
  virtual void DrawIntoPicture(const Raster& surface) = 0;

  virtual void SetAnimationTimerInterval(int milliseconds) = 0;
  virtual void SetAnimationTimerEnabled(bool enabled) = 0;

  // 0 unchecked, 1 checked, 2 grey.
  virtual int AnimationCheckValue() const = 0;
  virtual void SetAnimationCheckValue(int value) = 0;
  virtual void SetAnimationCheckEnabled(bool enabled) = 0;
};

// The holiday animation of the main window without the window: the window forwards its timer
// tick and check-box click here and implements AnimationView with its controls.
//
// The view must outlive this object. Handlers run on the window's thread and draw through the
// view before they return; they do not call back into the window otherwise. Not copyable.
class AnimationPlayback {
 public:
  static constexpr const char* kHolidayImagePath = "Data/vimo_special.gif";

  explicit AnimationPlayback(AnimationView& view) : view_(view) {}
  AnimationPlayback(const AnimationPlayback&) = delete;
  AnimationPlayback& operator=(const AnimationPlayback&) = delete;

  // The holiday steps of Form_Load: shows a still of the first frame, loads the image into a
  // new AnimatedGIF drawn at (0, 0), enables and checks Chk_animation, and starts
  // AnimationTimer at the interval given in milliseconds. A missing or unreadable image
  // leaves the picture as it was and gives an animation without frames.
  void SetUpHoliday(float holidayAnimationInterval, const std::filesystem::path& image = kHolidayImagePath);

  void AnimationTimer_Timer();
  void Chk_animation_Click();

  // Nothing until SetUpHoliday.
  clsGIF* AnimatedGIF() { return animatedGIF_.get(); }
  // The 1-based number of the frame drawn last; 0 before the first.
  std::int16_t FrameIndex() const { return frameIndex_; }

  // Whole milliseconds, halves to even; held to 1..65535 because a timer of 0 would spin
  // the window and the Windows build's timer took no more than 65535.
  static int TimerInterval(float milliseconds);

 private:
  // The box after SetPictureNone: its background colour everywhere.
  Raster BlankBox() const;

  AnimationView& view_;
  std::unique_ptr<clsGIF> animatedGIF_;
  std::int16_t frameIndex_ = 0;
  Raster box_;
};

}  // namespace vimo
