#include "map/clip_map.h"

#include <algorithm>

namespace mw {

ClipMap& ClipMap::operator=(const ClipMap& other) {
  if (this != &other) {
    marks_ = other.marks_;
    mapText_ = FileBytes();
  }
  return *this;
}

void ClipMap::Clear() {
  marks_.clear();
  mapText_ = FileBytes();
}

void ClipMap::RemoveAt(std::size_t index) {
  if (index < marks_.size()) marks_.erase(marks_.begin() + static_cast<std::ptrdiff_t>(index));
}

void ClipMap::InsertAt(std::size_t index, ClickerMark mark) {
  index = std::min(index, marks_.size());
  marks_.insert(marks_.begin() + static_cast<std::ptrdiff_t>(index), std::move(mark));
}

void ClipMap::RemoveLast() {
  if (!marks_.empty()) marks_.pop_back();
}

}  // namespace mw
