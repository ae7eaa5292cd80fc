#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "gif/Raster.h"

namespace vimo {

// The colours of one colour table by pixel index, packed as Raster colours. Entries beyond the
// table are black, as viewers show such pixels.
using Palette = std::array<std::uint32_t, 256>;

// An image as the stream codes it: one colour index per pixel, rows top to bottom.
struct IndexedImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> indices;  // width × height
  // Where the image data gives out before the last pixel: how many pixels of each row it reaches,
  // from the left. Empty when it reaches them all. Pixels it does not reach are not drawn.
  std::vector<int> decodedWidths;

  int DecodedWidth(int y) const {
    return decodedWidths.empty() ? width : decodedWidths[static_cast<std::size_t>(y)];
  }
};

// One frame as an animation keeps it after the load: its indices and how to draw them.
struct IndexedFrame {
  int left = 0;  // where the image's top-left pixel falls on the screen
  int top = 0;
  IndexedImage image;  // only the part that can fall on the screen
  std::shared_ptr<const Palette> palette;
  int transparentIndex = -1;  // -1: every pixel is drawn
  int disposal = 0;
};

// Composes the frames of one animation onto its logical screen as GIF89a viewers do: the screen
// starts transparent; pixels of a frame's transparent index leave what lies under them; after a
// frame, disposal 2 clears its area to transparent, disposal 3 (and 4, which encoders write for
// it) puts its area back as it was before the frame was drawn, and every other value leaves the
// frame in place.
//
// Frames are kept as indices (one byte per visible pixel) and composed on demand onto one
// canvas, so asking for the frames in order costs one frame's area each. Not thread-safe;
// single owner of its canvas.
class FrameComposer {
 public:
  FrameComposer(int width, int height) : width_(width), height_(height) {}
  FrameComposer(const FrameComposer&) = delete;
  FrameComposer& operator=(const FrameComposer&) = delete;

  int Width() const { return width_; }
  int Height() const { return height_; }

  void Add(IndexedFrame frame);
  int Count() const { return static_cast<int>(frames_.size()); }

  // The screen as it stands once frame n (1 ≤ n ≤ Count()) is drawn, transparent pixels as
  // kTransparentPixel. Valid until the next call of Composite or Add.
  const Raster& Composite(int n);
  // Frame n's image with every pixel in its palette colour, its transparent index too; pixels
  // that its data does not reach are kTransparentPixel.
  Raster Image(int n) const;

  // Memory that the frames keep (their indices) and that composing keeps (the canvases).
  std::size_t KeptBytes() const;

 private:
  void Restart();
  void DrawNext();

  int width_;
  int height_;
  std::vector<IndexedFrame> frames_;
  std::size_t frameBytes_ = 0;
  Raster canvas_;
  int drawn_ = 0;  // the canvas shows frames 1..drawn_, the last one not yet disposed
  // Under a frame that is restored to previous: its area as it was before it was drawn.
  Raster underLast_;
};

}  // namespace vimo
