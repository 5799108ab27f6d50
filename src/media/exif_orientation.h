#pragma once
// How a camera recorded the turn of a photo's stored pixels: the orientation tag of the EXIF
// block in the photo's APP1 segment. No Qt, no libjpeg.

#include <cstddef>
#include <cstdint>

namespace mw {

// The eight values of the orientation tag: how the stored pixels are laid out relative to
// the upright picture. 1 is upright; 2 to 4 mirror or turn by half; 5 to 8 swap the sides.
enum class Orientation : std::uint8_t {
  Upright = 1,
  MirroredAcross = 2,        // left and right swapped
  HalfTurn = 3,              // shown upright by turning it half a circle
  MirroredDown = 4,          // top and bottom swapped
  Transposed = 5,            // mirrored along the top-left to bottom-right diagonal
  QuarterClockwise = 6,      // shown upright by turning it a quarter clockwise
  Transverse = 7,            // mirrored along the other diagonal
  QuarterAnticlockwise = 8,  // shown upright by turning it a quarter anticlockwise
};

// Whether the upright picture is as wide as the stored one is high.
bool SwapsSides(Orientation orientation);

// The orientation named by one APP1 segment's payload (the bytes after the marker's length,
// starting with "Exif\0\0"). Looks only inside the `size` bytes given, follows no offset out
// of them and walks one directory of bounded length: a payload that is no EXIF block, or a
// damaged, truncated or absurd one, or one naming a value outside 1 to 8, gives Upright.
Orientation OrientationFromExif(const std::uint8_t* payload, std::size_t size);

}  // namespace mw
