#pragma once

#include <cstddef>
#include <cstdint>

namespace vimo::gif_limits {

// The holiday image comes from the server and is not trusted. These caps bound what one load may
// allocate and how long it may run; a stream that goes past one is refused where it goes past,
// keeping the frames read before.

// Largest stream loaded (a file, a resource or bytes); a file is read as the walk goes.
inline constexpr std::size_t kMaxStreamBytes = 64u << 20;
// Largest logical screen, in pixels: composing keeps a canvas of this size.
inline constexpr std::int64_t kMaxScreenPixels = 2048 * 2048;
// Largest single image, in pixels: giflib decodes every pixel of it even where the screen clips it.
inline constexpr std::int64_t kMaxImagePixels = 2048 * 2048;
// Largest total of what the frames of one load keep: one byte per pixel that can fall on the
// screen. A 100-frame 800 × 600 animation keeps 48 MB.
inline constexpr std::int64_t kMaxFrameBytes = std::int64_t{256} << 20;
// Frames are numbered by a 16-bit counter during playback.
inline constexpr std::int32_t kMaxFrames = 32767;

}  // namespace vimo::gif_limits
