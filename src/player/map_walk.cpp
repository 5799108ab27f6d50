#include "player/map_walk.h"

#include <algorithm>

namespace mw {

std::string MapWalk::StartClip() const {
  return map_.Empty() ? std::string() : map_.First().Clip.str();
}

void MapWalk::Enter(const std::string& clip) {
  history_.Record(clip);
  chosen_.reset();
}

bool MapWalk::Back() {
  chosen_.reset();
  return history_.Previous();
}

void MapWalk::UndoBack() {
  history_.Next();
}

std::optional<std::size_t> MapWalk::MarkAt(AreaSize area, int x, int y) const {
  if (history_.Empty()) return std::nullopt;
  return FindMarkAt(map_, history_.Current(), area, x, y);
}

std::vector<std::size_t> MapWalk::MarksOnScreen() const {
  std::vector<std::size_t> marks;
  if (history_.Empty()) return marks;
  const std::string clip = history_.Current();
  for (std::size_t i = 0; i < map_.Count(); ++i)
    if (map_.At(i).Clip == clip) marks.push_back(i);
  return marks;
}

std::optional<std::size_t> MapWalk::MoveChoice(bool forward) {
  const std::vector<std::size_t> marks = MarksOnScreen();
  if (marks.empty()) {
    chosen_.reset();
    return chosen_;
  }
  auto place = chosen_ ? std::find(marks.begin(), marks.end(), *chosen_) : marks.end();
  if (place == marks.end()) {
    chosen_ = forward ? marks.front() : marks.back();
  } else if (forward) {
    chosen_ = std::next(place) == marks.end() ? marks.front() : *std::next(place);
  } else {
    chosen_ = place == marks.begin() ? marks.back() : *std::prev(place);
  }
  return chosen_;
}

}  // namespace mw
