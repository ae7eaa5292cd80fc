#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vimo {

// Allocates pixel memory. Large blocks come from a process-wide pool of huge-page-aligned chunks
// filled in at once (see Raster.cpp): a load keeps two screen-sized rasters per frame, and
// faulting their pages in one by one cost more than decoding the frames. Not thread-safe.
template <typename T>
struct PixelAllocator {
  using value_type = T;
  PixelAllocator() = default;
  template <typename U>
  PixelAllocator(const PixelAllocator<U>&) noexcept {}
  T* allocate(std::size_t count);
  void deallocate(T* pointer, std::size_t count) noexcept;
  template <typename U>
  bool operator==(const PixelAllocator<U>&) const noexcept {
    return true;
  }
};

// A picture held in memory: width × height pixels, rows top to bottom.
//
// Every pixel is packed as 0x00RRGGBB, the same packing as rbgColor::Color(). The decoder
// writes decoded palette entries in this packing and keys transparency on Color() values, so a
// key always matches the pixels of its palette entry whatever the entry's red and blue. The top
// byte is always 0; a window that shows a raster sets alpha itself.
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
  std::vector<std::uint32_t, PixelAllocator<std::uint32_t>> pixels_;
};

}  // namespace vimo
