#include "gif/Raster.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <new>

// AddressSanitizer does not watch mapped memory: sanitized builds keep the ordinary heap so
// that every raster access stays checked.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VIMO_ADDRESS_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define VIMO_ADDRESS_SANITIZER 1
#endif
#if defined(__linux__) && !defined(VIMO_ADDRESS_SANITIZER)
#define VIMO_MAP_PIXELS 1
#include <sys/mman.h>
#endif

namespace vimo {

namespace {

#if defined(VIMO_MAP_PIXELS)
constexpr std::size_t kPooledBytes = 16 * 1024;
constexpr std::size_t kHugePage = 2 << 20;
constexpr std::size_t kChunkBytes = 4 * kHugePage;
constexpr std::size_t kBlockAlignment = 64;

constexpr std::size_t RoundUp(std::size_t value, std::size_t step) {
  return (value + step - 1) / step * step;
}

// Large pixel blocks are carved out of 2 MiB-aligned chunks that the kernel may back with huge
// pages. A load keeps two screen-sized rasters per frame; mapped 4 KiB page by page, faulting
// those pages in cost several times the decoding itself, and on virtual machines with shadow page
// tables far more. Blocks are handed out in order; the block freed last in a chunk gives its room
// back at once, the rest when the whole chunk is free, which suits rasters that live and die with
// their load. The chunk in use is kept when it empties so that the next load starts in it.
// Not thread-safe: the program has no threads.
class ChunkPool {
 public:
  void* Allocate(std::size_t bytes) {
    bytes = RoundUp(bytes, kBlockAlignment);
    if (bytes > kChunkBytes / 2) {
      // Too large to share a chunk: a chunk of its own, never made the current one.
      Chunk& own = NewChunk(RoundUp(bytes, kHugePage));
      own.used = bytes;
      own.live = 1;
      return own.base;
    }
    if (current_ == nullptr || current_->size - current_->used < bytes) {
      Chunk* previous = current_;
      current_ = &NewChunk(kChunkBytes);
      if (previous != nullptr && previous->live == 0) Release(*previous);
    }
    char* block = current_->base + current_->used;
    current_->used += bytes;
    ++current_->live;
    return block;
  }

  void Free(void* pointer, std::size_t bytes) {
    bytes = RoundUp(bytes, kBlockAlignment);
    auto found = chunks_.upper_bound(static_cast<char*>(pointer));
    --found;  // every block lies in a chunk that starts at or before it
    Chunk& chunk = found->second;
    if (static_cast<char*>(pointer) + bytes == chunk.base + chunk.used) chunk.used -= bytes;
    if (--chunk.live > 0) return;
    if (&chunk == current_)
      chunk.used = 0;
    else
      Release(chunk);
  }

 private:
  struct Chunk {
    char* base = nullptr;
    std::size_t size = 0;
    std::size_t used = 0;
    std::size_t live = 0;
  };

  Chunk& NewChunk(std::size_t size) {
    // Over-map by one huge page and cut the ends off to get an aligned chunk.
    void* mapped =
        mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) throw std::bad_alloc();
    char* start = static_cast<char*>(mapped);
    char* base = reinterpret_cast<char*>(RoundUp(reinterpret_cast<std::uintptr_t>(start), kHugePage));
    if (base > start) munmap(start, static_cast<std::size_t>(base - start));
    const std::size_t tail = static_cast<std::size_t>(start + size + kHugePage - (base + size));
    if (tail > 0) munmap(base + size, tail);
    // Both are hints: without huge pages the chunk is still filled in at once.
    madvise(base, size, MADV_HUGEPAGE);
#if defined(MADV_POPULATE_WRITE)
    madvise(base, size, MADV_POPULATE_WRITE);
#endif
    Chunk& chunk = chunks_[base];
    chunk.base = base;
    chunk.size = size;
    return chunk;
  }

  void Release(Chunk& chunk) {
    munmap(chunk.base, chunk.size);
    chunks_.erase(chunk.base);
  }

  std::map<char*, Chunk> chunks_;  // by base address; map nodes keep their place
  Chunk* current_ = nullptr;
};

// Never destroyed: rasters held by static objects may be freed after every static destructor ran.
ChunkPool& Pool() {
  static ChunkPool* const pool = new ChunkPool;
  return *pool;
}
#endif

}  // namespace

template <typename T>
T* PixelAllocator<T>::allocate(std::size_t count) {
  if (count > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
  const std::size_t bytes = count * sizeof(T);
#if defined(VIMO_MAP_PIXELS)
  if (bytes >= kPooledBytes) return static_cast<T*>(Pool().Allocate(bytes));
#endif
  return static_cast<T*>(::operator new(bytes));
}

template <typename T>
void PixelAllocator<T>::deallocate(T* pointer, std::size_t count) noexcept {
#if defined(VIMO_MAP_PIXELS)
  const std::size_t bytes = count * sizeof(T);
  if (bytes >= kPooledBytes) {
    Pool().Free(pointer, bytes);
    return;
  }
#else
  (void)count;
#endif
  ::operator delete(pointer);
}

template struct PixelAllocator<std::uint32_t>;

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
