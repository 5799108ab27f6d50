#pragma once
// One clicker mark of a map: a square hot spot on one clip that opens another clip.

#include <cstdint>

#include "map/mark_text.h"

namespace mw {

// A clicker mark. A new record holds the defaults below; every place that makes a
// record (map reader, mark creation, package builder) starts from them.
struct ClickerMark {
  MarkText Clip = MarkText::Lasting("<input>");  // clip the mark sits on, compared byte for byte
  float X = 0;                      // centre as a fraction of the clip area's width
  float Y = 0;                      // centre as a fraction of the clip area's height
  std::int32_t Size = 10;           // reach in pixels to each side, at the placement scale
  MarkText NextClip = MarkText::Lasting("<output>");  // clip opened by a click on the mark
  MarkText Reserved = MarkText::Lasting("<info>");   // carried through unchanged
  MarkText Hint;  // message shown while the pointer rests on the mark
  std::int32_t AreaWidth = 0;       // clip area width at placement; <= 0: not recorded
  std::int32_t AreaHeight = 0;      // clip area height at placement; <= 0: not recorded

  friend bool operator==(const ClickerMark&, const ClickerMark&) = default;
};

}  // namespace mw
