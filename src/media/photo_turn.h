#pragma once
// Turning a photo's decoded rows into its upright picture as they come from the decoder,
// so that no second full-size copy of the picture is made. No Qt, no libjpeg.

#include <cstddef>
#include <cstdint>

#include "media/exif_orientation.h"

namespace mw {

// Where each pixel of a stored picture of a given size lands in the upright picture that
// its orientation asks for. Pixels are 4 bytes; rows have no padding.
class PixelTurn {
 public:
  PixelTurn(Orientation orientation, int stored_width, int stored_height);

  int UprightWidth() const { return upright_width_; }
  int UprightHeight() const { return upright_height_; }
  // Whether any pixel moves (every orientation but upright).
  bool Moves() const { return orientation_ != Orientation::Upright; }

  // How many stored rows to hand to Place at a time: each upright row then gets runs of
  // whole cache lines when the sides swap.
  static constexpr int kFullStrip = 64;

  // Places the stored rows `first_row` to `first_row + count - 1`, held one after the other
  // in `rows`, at their places in `upright`, which holds the whole upright picture.
  void Place(const std::uint8_t* rows, int first_row, int count, std::uint8_t* upright) const;

 private:
  Orientation orientation_;
  int stored_width_;
  int upright_width_, upright_height_;
  // The upright pixel index of stored pixel (x, y) is origin_ + x * step_x_ + y * step_y_.
  std::ptrdiff_t origin_ = 0, step_x_ = 1, step_y_ = 0;
};

}  // namespace mw
