#include "media/photo_turn.h"

#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// Rows that stay rows, perhaps mirrored: each stored row fills one upright row.
void PlaceRows(const std::uint8_t* rows, std::ptrdiff_t width, int count, std::uint8_t* first,
               std::ptrdiff_t step_x, std::ptrdiff_t step_y) {
  for (int r = 0; r < count; ++r) {
    const std::uint8_t* from = rows + r * width * 4;
    std::uint8_t* to = first + r * step_y * 4;
    if (step_x == 1) {
      std::memcpy(to, from, static_cast<std::size_t>(width) * 4);
      continue;
    }
    for (std::ptrdiff_t x = 0; x < width; ++x) CopyPixel(from + x * 4, to - x * 4);
  }
}

// Stored pixel (x, r) of a strip whose rows are `width` pixels long.
inline const std::uint8_t* StoredAt(const std::uint8_t* rows, std::ptrdiff_t width,
                                    std::ptrdiff_t x, int r) {
  return rows + (r * width + x) * 4;
}

// Where stored pixel (x, r) of the strip lands, for runs in direction kStep.
template <int kStep>
std::uint8_t* UprightAt(std::uint8_t* first, std::ptrdiff_t step_x, std::ptrdiff_t x, int r) {
  return first + (x * step_x + r * kStep) * 4;
}

// Turns the 4 x 4 pixels from stored (x, r): four stored rows of four become four upright
// runs of four, each written whole.
template <int kStep>
void PlaceBlock(const std::uint8_t* rows, std::ptrdiff_t width, std::ptrdiff_t x, int r,
                std::uint8_t* first, std::ptrdiff_t step_x) {
#if defined(__SSE2__)
  const auto load = [&](int i) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(StoredAt(rows, width, x, r + i)));
  };
  const __m128i a = load(0), b = load(1), c = load(2), d = load(3);
  const __m128i ab_low = _mm_unpacklo_epi32(a, b), ab_high = _mm_unpackhi_epi32(a, b);
  const __m128i cd_low = _mm_unpacklo_epi32(c, d), cd_high = _mm_unpackhi_epi32(c, d);
  const __m128i columns[4] = {
      _mm_unpacklo_epi64(ab_low, cd_low), _mm_unpackhi_epi64(ab_low, cd_low),
      _mm_unpacklo_epi64(ab_high, cd_high), _mm_unpackhi_epi64(ab_high, cd_high)};
  for (int k = 0; k < 4; ++k) {
    // A backward run starts at its last pixel, with the four in reverse order.
    const __m128i run = kStep == 1 ? columns[k] : _mm_shuffle_epi32(columns[k], 0x1b);
    std::uint8_t* to = UprightAt<kStep>(first, step_x, x + k, kStep == 1 ? r : r + 3);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to), run);
  }
#else
  for (int k = 0; k < 4; ++k)
    for (int i = 0; i < 4; ++i)
      CopyPixel(StoredAt(rows, width, x + k, r + i), UprightAt<kStep>(first, step_x, x + k, r + i));
#endif
}

// Rows that become columns: the pixels of stored column x land side by side in one upright
// row, running forwards (kStep 1) or backwards (kStep -1). Done in blocks of 4 x 4, so that
// each write is a run of four pixels; the edges of the strip pixel by pixel.
template <int kStep>
void PlaceColumns(const std::uint8_t* rows, std::ptrdiff_t width, int count, std::uint8_t* first,
                  std::ptrdiff_t step_x) {
  const std::ptrdiff_t whole_x = width & ~std::ptrdiff_t{3};
  const int whole_r = count & ~3;
  for (std::ptrdiff_t x = 0; x < whole_x; x += 4) {
    for (int r = 0; r < whole_r; r += 4) PlaceBlock<kStep>(rows, width, x, r, first, step_x);
    for (int r = whole_r; r < count; ++r)
      for (std::ptrdiff_t k = x; k < x + 4; ++k)
        CopyPixel(StoredAt(rows, width, k, r), UprightAt<kStep>(first, step_x, k, r));
  }
  for (std::ptrdiff_t x = whole_x; x < width; ++x)
    for (int r = 0; r < count; ++r)
      CopyPixel(StoredAt(rows, width, x, r), UprightAt<kStep>(first, step_x, x, r));
}

}  // namespace

void PixelTurn::Place(const std::uint8_t* rows, int first_row, int count,
                      std::uint8_t* upright) const {
  std::uint8_t* first = upright + (origin_ + first_row * step_y_) * 4;
  if (!SwapsSides(orientation_)) {
    PlaceRows(rows, stored_width_, count, first, step_x_, step_y_);
  } else if (step_y_ == 1) {
    PlaceColumns<1>(rows, stored_width_, count, first, step_x_);
  } else {
    PlaceColumns<-1>(rows, stored_width_, count, first, step_x_);
  }
}

}  // namespace mw
