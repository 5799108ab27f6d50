#include "media/photo_turn.h"

#include <cstring>

namespace mw {

PixelTurn::PixelTurn(Orientation orientation, int stored_width, int stored_height)
    : orientation_(orientation), stored_width_(stored_width) {
  const std::ptrdiff_t w = stored_width, h = stored_height;
  const bool swap = SwapsSides(orientation);
  upright_width_ = swap ? stored_height : stored_width;
  upright_height_ = swap ? stored_width : stored_height;
  switch (orientation) {
    case Orientation::Upright:
      origin_ = 0, step_x_ = 1, step_y_ = w;
      break;
    case Orientation::MirroredAcross:
      origin_ = w - 1, step_x_ = -1, step_y_ = w;
      break;
    case Orientation::HalfTurn:
      origin_ = (h - 1) * w + w - 1, step_x_ = -1, step_y_ = -w;
      break;
    case Orientation::MirroredDown:
      origin_ = (h - 1) * w, step_x_ = 1, step_y_ = -w;
      break;
    case Orientation::Transposed:
      origin_ = 0, step_x_ = h, step_y_ = 1;
      break;
    case Orientation::QuarterClockwise:
      origin_ = h - 1, step_x_ = h, step_y_ = -1;
      break;
    case Orientation::Transverse:
      origin_ = (w - 1) * h + h - 1, step_x_ = -h, step_y_ = -1;
      break;
    case Orientation::QuarterAnticlockwise:
      origin_ = (w - 1) * h, step_x_ = -h, step_y_ = 1;
      break;
  }
}

namespace {

void CopyPixel(const std::uint8_t* from, std::uint8_t* to) {
  std::memcpy(to, from, 4);
}

}  // namespace

void PixelTurn::Place(const std::uint8_t* rows, int first_row, int count,
                      std::uint8_t* upright) const {
  const std::ptrdiff_t width = stored_width_;
  const std::ptrdiff_t row_start = origin_ + first_row * step_y_;
  if (!SwapsSides(orientation_)) {
    // Rows stay rows: each stored row fills one upright row, perhaps mirrored.
    for (int r = 0; r < count; ++r) {
      const std::uint8_t* from = rows + r * width * 4;
      std::uint8_t* to = upright + (row_start + r * step_y_) * 4;
      if (step_x_ == 1) {
        std::memcpy(to, from, static_cast<std::size_t>(width) * 4);
        continue;
      }
      for (std::ptrdiff_t x = 0; x < width; ++x) CopyPixel(from + x * 4, to - x * 4);
    }
    return;
  }
  // Rows become columns: each stored column of the strip lands as a short run of one
  // upright row, so the writes stay together however wide the photo is.
  for (std::ptrdiff_t x = 0; x < width; ++x) {
    std::uint8_t* to = upright + (row_start + x * step_x_) * 4;
    const std::uint8_t* from = rows + x * 4;
    for (int r = 0; r < count; ++r) CopyPixel(from + r * width * 4, to + r * step_y_ * 4);
  }
}

}  // namespace mw
