#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vimo {

// A pixel that holds no colour: whatever lies under the picture shows through it. Colours keep
// the top byte 0, so no colour ever equals it.
inline constexpr std::uint32_t kTransparentPixel = 0xFF000000u;

// A picture held in memory: width × height pixels, rows top to bottom.
//
// Every colour is packed as 0x00RRGGBB, the same packing as rbgColor::Color(). Only the
// composites of an animation hold kTransparentPixel; drawing them skips it, so a surface that
// a window shows never holds it, and the window sets alpha itself.
//
// Every drawing operation clips to both rasters, so callers may pass any rectangle. A raster is
// a plain value: copying copies the pixels.
class Raster {
 public:
  Raster() = default;
  // A width × height raster filled with `fill`. Negative sizes give an empty raster.
  Raster(int width, int height, std::uint32_t fill = 0);

  int Width() const { return width_; }
  int Height() const { return height_; }
  bool IsEmpty() const { return width_ == 0 || height_ == 0; }
  std::size_t ByteSize() const { return pixels_.size() * sizeof(std::uint32_t); }

  // Outside the raster: reads give 0 and writes are ignored.
  std::uint32_t Pixel(int x, int y) const;
  void SetPixel(int x, int y, std::uint32_t color);

  // Row y (0 ≤ y < Height()); Width() pixels.
  std::uint32_t* Row(int y) { return pixels_.data() + static_cast<std::size_t>(y) * width_; }
  const std::uint32_t* Row(int y) const { return pixels_.data() + static_cast<std::size_t>(y) * width_; }

  void Fill(std::uint32_t color);
  // Fills left ≤ x < right, top ≤ y < bottom.
  void FillRect(int left, int top, int right, int bottom, std::uint32_t color);

  // Copies the width × height area at (sourceX, sourceY) of `source` to (x, y) of this raster.
  void CopyFrom(const Raster& source, int sourceX, int sourceY, int width, int height, int x, int y);
  // As CopyFrom, but leaves out every source pixel equal to `key`.
  void CopyFromKeyed(const Raster& source, int sourceX, int sourceY, int width, int height, int x, int y,
                     std::uint32_t key);

  // A new raster holding a copy of the given area; parts outside this raster come out 0.
  Raster Crop(int left, int top, int width, int height) const;

  friend bool operator==(const Raster&, const Raster&) = default;

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<std::uint32_t> pixels_;
};

}  // namespace vimo
