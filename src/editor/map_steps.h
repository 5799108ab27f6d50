#pragma once
// The changes of the map that its history records: each made as a step that knows how to
// do and undo itself.

#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "map/clip_map.h"

namespace mw {

class HistoryStep;
class MapHistory;

// Where a mark sits and how far it reaches: what moving and resizing change.
struct MarkPlace {
  float x = 0;
  float y = 0;
  std::int32_t size = 0;
};

// The id of resize steps: notches of one turn of the wheel on one mark join one step.
inline constexpr int kResizeStepId = 1;

// One mark's clip and target texts, before ([0]) and after ([1]).
struct ClipTextChange {
  std::size_t index;
  MarkText clip[2];
  MarkText next[2];
};

// The mark added at `index` (adds) or removed from there.
std::unique_ptr<HistoryStep> MarkAtStep(MapHistory& history, ClipMap& map, const char* text,
                                        std::size_t index, ClickerMark mark, bool adds);
// The mark at `index` moved or resized to `after`; steps of the same `id` (not -1) on the
// same mark less than a second apart (`atMs`) join.
std::unique_ptr<HistoryStep> PlaceStep(MapHistory& history, ClipMap& map, const char* text,
                                       std::size_t index, MarkPlace after, int id,
                                       std::int64_t atMs);
// The whole map emptied.
std::unique_ptr<HistoryStep> ClearStep(MapHistory& history, ClipMap& map);
// The clip and target texts of several marks changed at once.
std::unique_ptr<HistoryStep> ClipTextsStep(MapHistory& history, ClipMap& map, const QString& text,
                                           std::vector<ClipTextChange> changes);

}  // namespace mw
