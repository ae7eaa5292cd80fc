#include "gif/clsColorMap.h"

#include <stdexcept>

namespace vimo {

rbgColor& clsColorMap::Add(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  return colors_.emplace_back(red, green, blue);
}

rbgColor& clsColorMap::Item(std::int32_t index) {
  if (index < 0 || index >= Count()) throw std::out_of_range("colour index outside the table");
  return colors_[static_cast<std::size_t>(index)];
}

const rbgColor& clsColorMap::Item(std::int32_t index) const {
  return const_cast<clsColorMap*>(this)->Item(index);
}

void clsColorMap::Remove(std::int32_t position) {
  if (position < 1 || position > Count()) throw std::out_of_range("colour position outside the table");
  colors_.erase(colors_.begin() + (position - 1));
}

}  // namespace vimo
