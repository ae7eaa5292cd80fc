#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "gif/Raster.h"

namespace vimo {

// A complete GIF stream of one image: the source's bytes before its first Graphic Control
// Extension (header, screen descriptor, global table and any blocks between), one frame's run of
// bytes, and the trailer 0x3B.
std::vector<std::uint8_t> SingleFrameStream(std::span<const std::uint8_t> headerBytes,
                                            std::span<const std::uint8_t> run);

// Decodes the first image of a GIF stream held in memory, with giflib.
//
// Returns a width × height raster whose (0, 0) is the image's top-left pixel; every pixel is the
// rbgColor::Color() of its palette entry (the local table when the image has one, else the
// global one; an index beyond the table, or no table at all, gives 0), interlaced rows in their
// place, and pixels that the image does not reach hold `fill`. Nothing when giflib refuses the
// stream, the stream holds no image, or the image is larger than gif_limits::kMaxImagePixels.
std::optional<Raster> DecodeFirstImage(std::span<const std::uint8_t> stream, int width, int height,
                                       std::uint32_t fill);

}  // namespace vimo
