#include "map/clip_map.h"

namespace mw {

void ClipMap::RemoveAt(std::size_t index) {
  if (index < marks_.size()) marks_.erase(marks_.begin() + static_cast<std::ptrdiff_t>(index));
}

void ClipMap::RemoveLast() {
  if (!marks_.empty()) marks_.pop_back();
}

}  // namespace mw
