#include "media/mark_geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace mw {
namespace {

bool HasArea(AreaSize area) { return area.width > 0 && area.height > 0; }

float Scale(int present, std::int32_t recorded) {
  if (present <= 0) return 1.0f;
  double reference = recorded > 0 ? recorded : present;
  return static_cast<float>(present / reference);
}

int TruncToInt(double value) {
  if (!(value > -2147483648.0 && value < 2147483648.0)) return value < 0 ? INT32_MIN : INT32_MAX;
  return static_cast<int>(value);
}

// The centre fraction nearest to `fraction` that keeps a reach of `reach` pixels, out of
// `reference` pixels, inside the edges.
float NearestInside(float fraction, std::int32_t reach, int reference) {
  const double half = reference > 0 ? std::max(0.0, static_cast<double>(reach) / reference) : 0.0;
  if (std::isnan(fraction) || half >= 0.5) return 0.5f;
  const auto low = static_cast<float>(half);
  const auto high = static_cast<float>(1.0 - half);
  return std::clamp(fraction, low, high);
}

}  // namespace

float MarkScaleX(const ClickerMark& mark, AreaSize area) {
  return Scale(area.width, mark.AreaWidth);
}

float MarkScaleY(const ClickerMark& mark, AreaSize area) {
  return Scale(area.height, mark.AreaHeight);
}

bool MarkContains(const ClickerMark& mark, AreaSize area, int x, int y) {
  if (!HasArea(area)) return false;
  double dx = std::fabs(x - static_cast<double>(area.width) * mark.X);
  if (!(static_cast<double>(MarkScaleX(mark, area)) * mark.Size > dx)) return false;
  double dy = std::fabs(y - static_cast<double>(area.height) * mark.Y);
  return static_cast<double>(MarkScaleY(mark, area)) * mark.Size > dy;
}

std::optional<std::size_t> FindMarkAt(const ClipMap& map, std::string_view clipOnScreen,
                                      AreaSize area, int x, int y) {
  if (!HasArea(area)) return std::nullopt;
  const auto& marks = map.Marks();
  for (std::size_t i = 0; i < marks.size(); ++i) {
    const ClickerMark& mark = marks[i];
    if (mark.Clip == clipOnScreen && MarkContains(mark, area, x, y)) return i;
  }
  return std::nullopt;
}

std::string MarkHintAt(const ClipMap& map, std::string_view clipOnScreen, AreaSize area, int x,
                       int y) {
  auto found = FindMarkAt(map, clipOnScreen, area, x, y);
  return found ? map.At(*found).Hint.str() : std::string();
}

std::string MarkTargetAt(const ClipMap& map, std::string_view clipOnScreen, AreaSize area, int x,
                         int y) {
  auto found = FindMarkAt(map, clipOnScreen, area, x, y);
  return found ? map.At(*found).NextClip.str() : std::string();
}

std::vector<std::string> MarkTargetsOn(const ClipMap& map, std::string_view clip) {
  std::vector<std::string> targets;
  for (const ClickerMark& mark : map) {
    if (mark.Clip != clip) continue;
    std::string target = mark.NextClip.str();
    if (std::find(targets.begin(), targets.end(), target) == targets.end())
      targets.push_back(std::move(target));
  }
  return targets;
}

PanelRect MarkPanelRect(const ClickerMark& mark, AreaSize area) {
  double scaleX = MarkScaleX(mark, area);
  double scaleY = MarkScaleY(mark, area);
  PanelRect rect;
  rect.width = TruncToInt(scaleX * (2.0 * mark.Size));
  rect.height = TruncToInt(scaleY * (2.0 * mark.Size));
  rect.left = TruncToInt(static_cast<double>(area.width) * mark.X - scaleX * mark.Size);
  rect.top = TruncToInt(static_cast<double>(area.height) * mark.Y - scaleY * mark.Size);
  return rect;
}

MarkCentre NearestCentreInside(const ClickerMark& mark, AreaSize area) {
  const int referenceWidth = mark.AreaWidth > 0 ? mark.AreaWidth : area.width;
  const int referenceHeight = mark.AreaHeight > 0 ? mark.AreaHeight : area.height;
  return {NearestInside(mark.X, mark.Size, referenceWidth),
          NearestInside(mark.Y, mark.Size, referenceHeight)};
}

std::string MarkPanelCaption(std::string_view nextClip) {
  const std::size_t slash = nextClip.rfind('/');
  return std::string(slash == std::string_view::npos ? nextClip : nextClip.substr(slash + 1));
}

}  // namespace mw
