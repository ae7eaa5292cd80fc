#include "gif/Composition.h"

#include <algorithm>
#include <stdexcept>

namespace vimo {

namespace {

bool RestoresToPrevious(int disposal) {
  return disposal == 3 || disposal == 4;
}

}  // namespace

void FrameComposer::Add(IndexedFrame frame) {
  frameBytes_ += frame.image.indices.size() + frame.image.decodedWidths.size() * sizeof(int);
  frames_.push_back(std::move(frame));
}

const Raster& FrameComposer::Composite(int n) {
  if (n < 1 || n > Count()) throw std::out_of_range("frame number outside the animation");
  if (n < drawn_ || drawn_ == 0) Restart();
  while (drawn_ < n) DrawNext();
  return canvas_;
}

void FrameComposer::Restart() {
  if (canvas_.Width() != width_ || canvas_.Height() != height_)
    canvas_ = Raster(width_, height_, kTransparentPixel);
  else
    canvas_.Fill(kTransparentPixel);
  drawn_ = 0;
}

void FrameComposer::DrawNext() {
  if (drawn_ > 0) {
    const IndexedFrame& last = frames_[static_cast<std::size_t>(drawn_ - 1)];
    const IndexedImage& image = last.image;
    if (last.disposal == 2)
      canvas_.FillRect(last.left, last.top, last.left + image.width, last.top + image.height,
                       kTransparentPixel);
    else if (RestoresToPrevious(last.disposal))
      canvas_.CopyFrom(underLast_, 0, 0, underLast_.Width(), underLast_.Height(), last.left, last.top);
  }
  const IndexedFrame& frame = frames_[static_cast<std::size_t>(drawn_)];
  ++drawn_;
  const IndexedImage& image = frame.image;
  if (RestoresToPrevious(frame.disposal))
    underLast_ = canvas_.Crop(frame.left, frame.top, image.width, image.height);

  // The image lies on the screen from its top-left corner; only its right and bottom may run off.
  const int width = std::min(image.width, width_ - frame.left);
  const int height = std::min(image.height, height_ - frame.top);
  if (width <= 0 || height <= 0 || frame.left < 0 || frame.top < 0) return;
  const Palette& palette = *frame.palette;
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* from = image.indices.data() + static_cast<std::size_t>(y) * image.width;
    std::uint32_t* to = canvas_.Row(frame.top + y) + frame.left;
    const int rowWidth = std::min(width, image.DecodedWidth(y));
    if (frame.transparentIndex < 0) {
      for (int x = 0; x < rowWidth; ++x) to[x] = palette[from[x]];
    } else {
      for (int x = 0; x < rowWidth; ++x)
        if (from[x] != frame.transparentIndex) to[x] = palette[from[x]];
    }
  }
}

Raster FrameComposer::Image(int n) const {
  const IndexedFrame& frame = frames_.at(static_cast<std::size_t>(n - 1));
  Raster image(frame.image.width, frame.image.height, kTransparentPixel);
  for (int y = 0; y < image.Height(); ++y) {
    const std::uint8_t* from = frame.image.indices.data() + static_cast<std::size_t>(y) * image.Width();
    std::uint32_t* to = image.Row(y);
    const int rowWidth = frame.image.DecodedWidth(y);
    for (int x = 0; x < rowWidth; ++x) to[x] = (*frame.palette)[from[x]];
  }
  return image;
}

std::size_t FrameComposer::KeptBytes() const {
  return frameBytes_ + frames_.capacity() * sizeof(IndexedFrame) + canvas_.ByteSize() + underLast_.ByteSize();
}

}  // namespace vimo
