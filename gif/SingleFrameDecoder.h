#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "gif/Composition.h"

namespace vimo {

// A complete GIF stream of one image: the source's bytes before its first Graphic Control
// Extension (header, screen descriptor, global table and any blocks between), one frame's run of
// bytes, and the trailer 0x3B.
std::vector<std::uint8_t> SingleFrameStream(std::span<const std::uint8_t> headerBytes,
                                            std::span<const std::uint8_t> run);

// Decodes the first image of a GIF stream held in memory, with giflib.
//
// Returns the image's colour indices from its top-left pixel, cut to at most maxWidth ×
// maxHeight (the part that can fall on the logical screen), interlaced rows in their place.
// Nothing when giflib refuses the stream, the stream holds no image, or the image is larger
// than gif_limits::kMaxImagePixels.
std::optional<IndexedImage> DecodeFirstImage(std::span<const std::uint8_t> stream, int maxWidth,
                                             int maxHeight);

}  // namespace vimo
