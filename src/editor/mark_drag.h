#pragma once
// Dragging a mark with the left button in edit mode: a press, a move beyond the drag
// distance, and the release that places it; a press and release alone is a click.

#include <QPoint>
#include <cstddef>
#include <optional>

namespace mw {

// The state of one left press over the clip area in edit mode. Points are clip-area
// pixels; marks are positions in the map.
class MarkDrag {
 public:
  // What a release means.
  enum class Outcome { None, Click, Place };
  struct Release {
    Outcome outcome = Outcome::None;
    QPoint at;             // Click: where the press was; Place: the new centre
    std::size_t mark = 0;  // Place: the mark dragged
  };

  // The left button went down at `at`; `mark` is the mark under it, if any.
  void Press(QPoint at, std::optional<std::size_t> mark);
  // The pointer moved to `at` with the left button held. True while a mark is dragged:
  // from the first move at least `dragDistance` (Manhattan length) from the press on.
  bool MoveTo(QPoint at, int dragDistance);
  // The left button went up at `at`; the press is over.
  Release ReleaseAt(QPoint at);
  // Forgets the press (Escape, or the map changed under it). True when a mark was
  // being dragged, which must then be shown where it was.
  bool Cancel();

  bool Dragging() const { return state_ == State::Dragging; }
  std::size_t Mark() const { return mark_; }

 private:
  enum class State { Idle, Pressed, Dragging };
  State state_ = State::Idle;
  QPoint pressedAt_;
  std::optional<std::size_t> pressedMark_;
  std::size_t mark_ = 0;
};

}  // namespace mw
