#pragma once
// Where the marks of a map lie on the clip area at its present size, and which
// mark is under a point. Shared by the editor and the player.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "map/clip_map.h"

namespace mw {

// Size of the clip area in pixels.
struct AreaSize {
  int width = 0;
  int height = 0;
};

// Present area width over the mark's reference width (its recorded area width,
// or the present width when none was recorded).
float MarkScaleX(const ClickerMark& mark, AreaSize area);
// The same for heights.
float MarkScaleY(const ClickerMark& mark, AreaSize area);

// True when (x, y) lies strictly inside the mark's scaled square.
bool MarkContains(const ClickerMark& mark, AreaSize area, int x, int y);

// Position in the map of the first mark of `clipOnScreen` (compared byte for byte)
// under (x, y), if any. An area of no width or height has no marks under any point.
std::optional<std::size_t> FindMarkAt(const ClipMap& map, std::string_view clipOnScreen,
                                      AreaSize area, int x, int y);
// The message of the mark under (x, y), or empty text.
std::string MarkHintAt(const ClipMap& map, std::string_view clipOnScreen, AreaSize area, int x,
                       int y);
// The target clip of the mark under (x, y), or empty text.
std::string MarkTargetAt(const ClipMap& map, std::string_view clipOnScreen, AreaSize area, int x,
                         int y);
// The target clips of the marks on `clip`, in map order, each once.
std::vector<std::string> MarkTargetsOn(const ClipMap& map, std::string_view clip);

// The rectangle of a mark's panel, in clip-area pixels, cut toward zero.
struct PanelRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const PanelRect&, const PanelRect&) = default;
};
PanelRect MarkPanelRect(const ClickerMark& mark, AreaSize area);

// A mark's centre as fractions of the clip area's width and height.
struct MarkCentre {
  float x = 0;
  float y = 0;
  friend bool operator==(const MarkCentre&, const MarkCentre&) = default;
};

// The centre nearest to the mark's own at which the whole mark lies inside an area of
// `area`: each fraction is pulled in so that the mark's reach stays within the edges.
// Along an axis where the mark is as wide as the area or wider, and where its fraction
// is not a number, the mark is centred.
MarkCentre NearestCentreInside(const ClickerMark& mark, AreaSize area);

// The caption of a mark's panel: the bare file name of its target (the text after its
// last "/"), to be elided in the middle where the panel shows it too narrow.
std::string MarkPanelCaption(std::string_view nextClip);

}  // namespace mw
