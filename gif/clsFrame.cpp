#include "gif/clsFrame.h"

#include <stdexcept>

namespace vimo {

clsFrame::Picture_t clsFrame::Image() const {
  if (image_ || !composer_) return image_;
  return std::make_shared<const Raster>(composer_->Image(number_));
}

clsFrame::Picture_t clsFrame::hdc() const {
  if (composite_ || !composer_) return composite_;
  return std::make_shared<const Raster>(composer_->Composite(number_));
}

const Raster* clsFrame::CompositeView() const {
  if (composite_ || !composer_) return composite_.get();
  return &composer_->Composite(number_);
}

void clsFrame::ComposedBy(std::shared_ptr<FrameComposer> composer, int number) {
  composer_ = std::move(composer);
  number_ = number;
}

clsFrame& clsFrames::Add() {
  return *frames_.emplace_back(std::make_unique<clsFrame>());
}

clsFrame& clsFrames::Item(std::int32_t position) {
  if (position < 1 || position > Count()) throw std::out_of_range("frame position outside the collection");
  return *frames_[static_cast<std::size_t>(position - 1)];
}

const clsFrame& clsFrames::Item(std::int32_t position) const {
  return const_cast<clsFrames*>(this)->Item(position);
}

void clsFrames::Remove(std::int32_t position) {
  if (position < 1 || position > Count()) throw std::out_of_range("frame position outside the collection");
  frames_.erase(frames_.begin() + (position - 1));
}

}  // namespace vimo
