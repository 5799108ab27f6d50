#pragma once
// The map in memory: the ordered list of clicker marks.

#include <cstddef>
#include <vector>

#include "map/clicker_mark.h"
#include "map/file_bytes.h"

namespace mw {

// Ordered list of marks. The first mark's clip is the map's start clip and list
// order decides hit tests, so every operation keeps the order of the others.
class ClipMap {
 public:
  using const_iterator = std::vector<ClickerMark>::const_iterator;

  ClipMap() = default;
  // Marks read from `text`, whose texts point into it.
  ClipMap(std::vector<ClickerMark> marks, FileBytes text)
      : marks_(std::move(marks)), mapText_(std::move(text)) {}
  // A copy holds its own texts and not the text the original was read from.
  ClipMap(const ClipMap& other) : marks_(other.marks_) {}
  ClipMap& operator=(const ClipMap& other);
  ClipMap(ClipMap&&) noexcept = default;
  ClipMap& operator=(ClipMap&&) noexcept = default;

  void Clear();
  void Append(const ClickerMark& mark) { marks_.push_back(mark); }
  void Append(ClickerMark&& mark) { marks_.push_back(std::move(mark)); }
  // Removes the mark at `index`; later marks move up one place. Out of range: no change.
  void RemoveAt(std::size_t index);
  // Puts a copy of `mark` at `index` (at most Count()); later marks move down one place.
  void InsertAt(std::size_t index, ClickerMark mark);
  // Removes the last mark, if any.
  void RemoveLast();
  std::size_t Count() const { return marks_.size(); }
  bool Empty() const { return marks_.empty(); }
  const ClickerMark& First() const { return marks_.front(); }
  const ClickerMark& At(std::size_t index) const { return marks_.at(index); }
  // The mark at `index`, to change its fields in place.
  ClickerMark& MutableAt(std::size_t index) { return marks_.at(index); }
  const_iterator begin() const { return marks_.begin(); }
  const_iterator end() const { return marks_.end(); }
  const std::vector<ClickerMark>& Marks() const { return marks_; }
  void Reserve(std::size_t count) { marks_.reserve(count); }

 private:
  std::vector<ClickerMark> marks_;
  FileBytes mapText_;
};

}  // namespace mw
