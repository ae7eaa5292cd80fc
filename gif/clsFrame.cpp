#include "gif/clsFrame.h"

#include <stdexcept>

namespace vimo {

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
