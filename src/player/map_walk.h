#pragma once
// Where the person is in the map: the clip on screen, the way back, and the mark chosen
// with the keyboard. No Qt.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "map/clip_map.h"
#include "media/clip_history.h"
#include "media/mark_geometry.h"

namespace mw {

// The walk through a map. The clip on screen is a clip name as the map writes it; marks
// belong to it when their clip equals it byte for byte.
class MapWalk {
 public:
  explicit MapWalk(ClipMap map) : map_(std::move(map)) {}

  const ClipMap& Map() const { return map_; }
  // The clip of the first mark; empty for a map without marks.
  std::string StartClip() const;
  // The clip on screen; empty before the first Enter.
  std::string ClipOnScreen() const { return history_.Current(); }

  // The person has arrived at `clip`: it becomes the clip on screen, later history is
  // dropped and the keyboard choice is cleared.
  void Enter(const std::string& clip);
  // Steps back to the clip before; false when there is none. The keyboard choice is cleared.
  bool Back();
  // Undoes the last Back (when the clip it led to could not be shown).
  void UndoBack();

  // The mark under (x, y) of an area of `area`, as the hit test finds it.
  std::optional<std::size_t> MarkAt(AreaSize area, int x, int y) const;
  // The marks of the clip on screen, in map order.
  std::vector<std::size_t> MarksOnScreen() const;

  // Moves the keyboard choice to the next (or previous) mark of the clip on screen, going
  // round at the ends; the first step forward chooses the first mark, the first step back
  // the last. None when the clip on screen has no marks.
  std::optional<std::size_t> MoveChoice(bool forward);
  std::optional<std::size_t> ChosenMark() const { return chosen_; }
  void ClearChoice() { chosen_.reset(); }

 private:
  ClipMap map_;
  ClipHistory history_;
  std::optional<std::size_t> chosen_;
};

}  // namespace mw
