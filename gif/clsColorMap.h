#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace vimo {

// One colour table entry.
class rbgColor {
 public:
  rbgColor() = default;
  rbgColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue) : red_(red), green_(green), blue_(blue) {}

  // Red in bits 16–23, blue in bits 0–7: the packing of every Raster pixel.
  std::int32_t Color() const { return (red_ << 16) | (green_ << 8) | blue_; }
  // Red in bits 0–7, blue in bits 16–23, as Windows colour values have it.
  std::int32_t VBColor() const { return red_ | (green_ << 8) | (blue_ << 16); }

  std::uint8_t Blue() const { return blue_; }
  void Blue(std::uint8_t value) { blue_ = value; }
  std::uint8_t Green() const { return green_; }
  void Green(std::uint8_t value) { green_ = value; }
  std::uint8_t Red() const { return red_; }
  void Red(std::uint8_t value) { red_ = value; }

 private:
  std::uint8_t red_ = 0;
  std::uint8_t green_ = 0;
  std::uint8_t blue_ = 0;
};

// A GIF colour table. Item() counts as GIF colour indices do (0 is the first colour), Remove()
// counts from 1; the two differ on purpose, as callers of the table have always used them.
// An index outside the table throws std::out_of_range: it is a programming error, and the
// decoder checks every index taken from a stream before it asks.
// References returned by Add() and Item() stay valid until the next Add() or Remove().
class clsColorMap {
 public:
  rbgColor& Add(std::uint8_t red, std::uint8_t green, std::uint8_t blue);
  rbgColor& Item(std::int32_t index);
  const rbgColor& Item(std::int32_t index) const;
  std::int32_t Count() const { return static_cast<std::int32_t>(colors_.size()); }
  void Remove(std::int32_t position);

  // Enumeration in table order (NewEnum).
  auto begin() const { return colors_.begin(); }
  auto end() const { return colors_.end(); }

 private:
  std::vector<rbgColor> colors_;
};

}  // namespace vimo
