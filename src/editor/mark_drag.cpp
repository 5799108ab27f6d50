#include "editor/mark_drag.h"

namespace mw {

void MarkDrag::Press(QPoint at, std::optional<std::size_t> mark) {
  state_ = State::Pressed;
  pressedAt_ = at;
  pressedMark_ = mark;
}

bool MarkDrag::MoveTo(QPoint at, int dragDistance) {
  if (state_ == State::Pressed && pressedMark_ &&
      (at - pressedAt_).manhattanLength() >= dragDistance) {
    state_ = State::Dragging;
    mark_ = *pressedMark_;
  }
  return state_ == State::Dragging;
}

MarkDrag::Release MarkDrag::ReleaseAt(QPoint at) {
  const State was = state_;
  state_ = State::Idle;
  if (was == State::Pressed) return {Outcome::Click, pressedAt_, 0};
  if (was == State::Dragging) return {Outcome::Place, at, mark_};
  return {};
}

bool MarkDrag::Cancel() {
  const bool dragging = state_ == State::Dragging;
  state_ = State::Idle;
  return dragging;
}

}  // namespace mw
