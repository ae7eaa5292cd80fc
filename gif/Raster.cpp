#include "gif/Raster.h"

#include <algorithm>
#include <cstdint>

namespace vimo {

namespace {

// The part of a copy that lies inside both rasters, after moving the source and destination
// origins by the same amount.
struct ClippedCopy {
  int sourceX, sourceY, x, y, width, height;
  bool IsEmpty() const { return width <= 0 || height <= 0; }
};

ClippedCopy Clip(const Raster& source, int sourceX, int sourceY, int width, int height, const Raster& target,
                 int x, int y) {
  // 64-bit arithmetic: positions and sizes come from untrusted files and may sum past int.
  auto clipAxis = [](std::int64_t& from, std::int64_t& to, std::int64_t& length, std::int64_t fromLimit,
                     std::int64_t toLimit) {
    if (from < 0) {
      length += from;
      to -= from;
      from = 0;
    }
    if (to < 0) {
      length += to;
      from -= to;
      to = 0;
    }
    length = std::min({length, fromLimit - from, toLimit - to});
  };
  std::int64_t sx = sourceX, sy = sourceY, tx = x, ty = y, w = width, h = height;
  clipAxis(sx, tx, w, source.Width(), target.Width());
  clipAxis(sy, ty, h, source.Height(), target.Height());
  if (w <= 0 || h <= 0) return {0, 0, 0, 0, 0, 0};
  return {static_cast<int>(sx), static_cast<int>(sy), static_cast<int>(tx),
          static_cast<int>(ty), static_cast<int>(w),  static_cast<int>(h)};
}

}  // namespace

Raster::Raster(int width, int height, std::uint32_t fill) {
  if (width <= 0 || height <= 0) return;
  width_ = width;
  height_ = height;
  pixels_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), fill);
}

std::uint32_t Raster::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  return pixels_[static_cast<std::size_t>(y) * width_ + x];
}

void Raster::SetPixel(int x, int y, std::uint32_t color) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  pixels_[static_cast<std::size_t>(y) * width_ + x] = color;
}

void Raster::Fill(std::uint32_t color) {
  std::fill(pixels_.begin(), pixels_.end(), color);
}

void Raster::FillRect(int left, int top, int right, int bottom, std::uint32_t color) {
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, width_);
  bottom = std::min(bottom, height_);
  for (int y = top; y < bottom; ++y) std::fill(Row(y) + left, Row(y) + std::max(left, right), color);
}

void Raster::CopyFrom(const Raster& source, int sourceX, int sourceY, int width, int height, int x, int y) {
  const ClippedCopy c = Clip(source, sourceX, sourceY, width, height, *this, x, y);
  if (c.IsEmpty()) return;
  if (&source == this) {
    // Overlapping copy within one raster: go through a copy of the area.
    const Raster area = Crop(c.sourceX, c.sourceY, c.width, c.height);
    CopyFrom(area, 0, 0, c.width, c.height, c.x, c.y);
    return;
  }
  for (int row = 0; row < c.height; ++row) {
    const std::uint32_t* from = source.Row(c.sourceY + row) + c.sourceX;
    std::copy(from, from + c.width, Row(c.y + row) + c.x);
  }
}

void Raster::CopyFromKeyed(const Raster& source, int sourceX, int sourceY, int width, int height, int x,
                           int y, std::uint32_t key) {
  const ClippedCopy c = Clip(source, sourceX, sourceY, width, height, *this, x, y);
  if (c.IsEmpty()) return;
  if (&source == this) {
    const Raster area = Crop(c.sourceX, c.sourceY, c.width, c.height);
    CopyFromKeyed(area, 0, 0, c.width, c.height, c.x, c.y, key);
    return;
  }
  for (int row = 0; row < c.height; ++row) {
    const std::uint32_t* from = source.Row(c.sourceY + row) + c.sourceX;
    std::uint32_t* to = Row(c.y + row) + c.x;
    for (int i = 0; i < c.width; ++i) {
      if (from[i] != key) to[i] = from[i];
    }
  }
}

Raster Raster::Crop(int left, int top, int width, int height) const {
  Raster area(width, height);
  area.CopyFrom(*this, left, top, width, height, 0, 0);
  return area;
}

}  // namespace vimo
