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
// Returns the image as a raster whose (0, 0) is its top-left pixel, cut to at most
// maxWidth × maxHeight (the part that can fall on the logical screen). Every pixel is the
// rbgColor::Color() of its palette entry (the local table when the image has one, else the
// global one; an index beyond the table, or no table at all, gives 0), interlaced rows in their
// place. Nothing when giflib refuses the stream, the stream holds no image, or the image is
// larger than gif_limits::kMaxImagePixels.
std::optional<Raster> DecodeFirstImage(std::span<const std::uint8_t> stream, int maxWidth, int maxHeight);

}  // namespace vimo
