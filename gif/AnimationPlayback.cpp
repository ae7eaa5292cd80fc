#include "gif/AnimationPlayback.h"

#include <cmath>
#include <limits>

namespace vimo {

int AnimationPlayback::TimerInterval(float milliseconds) {
  constexpr double kLongest = 65535;
  const double value = milliseconds;
  if (!(value >= 1)) return 1;
  if (value >= kLongest) return static_cast<int>(kLongest);
  const double whole = std::floor(value);
  const double fraction = value - whole;
  auto result = static_cast<int>(whole);
  if (fraction > 0.5 || (fraction == 0.5 && result % 2 != 0)) ++result;
  return result;
}

Raster AnimationPlayback::BlankBox() const {
  return Raster(view_.PictureWidth(), view_.PictureHeight(), view_.PictureBackColor());
}

void AnimationPlayback::SetUpHoliday(float holidayAnimationInterval, const std::filesystem::path& image) {
  animatedGIF_ = std::make_unique<clsGIF>();
  animatedGIF_->LoadGIF(image);
  // The still is the first frame as a picture loader shows it: keyed pixels let the box's
  // background through.
  if (animatedGIF_->Frames().Count() > 0) {
    Raster still = BlankBox();
    animatedGIF_->DrawFrame(1, still, 0, 0);
    view_.SetPictureStill(still);
  }
  animatedGIF_->xLeft(0);
  animatedGIF_->yTop(0);
  view_.SetAnimationCheckEnabled(true);
  view_.SetAnimationCheckValue(1);
  view_.SetAnimationTimerInterval(TimerInterval(holidayAnimationInterval));
  view_.SetAnimationTimerEnabled(true);
}

void AnimationPlayback::AnimationTimer_Timer() {
  view_.SetPictureNone();
  const std::int32_t count = animatedGIF_ ? animatedGIF_->Frames().Count() : 0;
  if (count == 0) return;
  if (frameIndex_ >= count || frameIndex_ >= std::numeric_limits<std::int16_t>::max())
    frameIndex_ = 1;
  else
    ++frameIndex_;
  // The box is redrawn from its background on every tick, as the emptied picture box is.
  if (box_.Width() != view_.PictureWidth() || box_.Height() != view_.PictureHeight())
    box_ = BlankBox();
  else
    box_.Fill(view_.PictureBackColor());
  animatedGIF_->CopyFrame(frameIndex_, box_, 0, 0);
  view_.DrawIntoPicture(box_);
}

void AnimationPlayback::Chk_animation_Click() {
  view_.SetAnimationTimerEnabled(view_.AnimationCheckValue() != 0);
}

}  // namespace vimo
