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
// Returns the image's colour indices from its top-left pixel, cut to at most width × height
// (the part that can fall on the logical screen, as the caller read it from the image's
// descriptor), interlaced rows in their place. Image data that gives out early (it ends, holds no
// data at all, or holds a code giflib refuses) leaves the pixels it does not reach out of
// decodedWidths; data that giflib cannot start on reaches none. Nothing only when the image is
// larger than gif_limits::kMaxImagePixels.
std::optional<IndexedImage> DecodeFirstImage(std::span<const std::uint8_t> stream, int width, int height);

}  // namespace vimo
