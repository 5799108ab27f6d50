// Feeds arbitrary bytes to the orientation reader as an APP1 payload, with and without the
// EXIF header in front: it reads only inside the bytes given, never loops and names one of
// the eight orientations. The turn that orientation asks for then places every pixel of a
// small picture exactly once inside the upright picture.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "media/exif_orientation.h"
#include "media/photo_turn.h"

namespace {

mw::Orientation ReadExact(const std::uint8_t* data, std::size_t size) {
  // A block of exactly the input's size, so that the sanitizer sees any read past its end.
  auto exact = std::make_unique<std::uint8_t[]>(size + 1);
  if (size) std::memcpy(exact.get(), data, size);
  const mw::Orientation orientation = mw::OrientationFromExif(exact.get(), size);
  const int value = static_cast<int>(orientation);
  if (value < 1 || value > 8) std::abort();
  return orientation;
}

// Places a picture of a size taken from the input, a strip of up to three rows at a time,
// and checks that every upright pixel is written once with the pixel meant for it.
void CheckTurn(mw::Orientation orientation, int width, int height) {
  const mw::PixelTurn turn(orientation, width, height);
  if (turn.UprightWidth() * turn.UprightHeight() != width * height) std::abort();
  std::vector<std::uint32_t> stored(static_cast<std::size_t>(width) * height);
  for (std::size_t i = 0; i < stored.size(); ++i) stored[i] = static_cast<std::uint32_t>(i + 1);
  std::vector<std::uint32_t> upright(stored.size(), 0);
  for (int y = 0; y < height; y += 3) {
    const int count = std::min(3, height - y);
    turn.Place(reinterpret_cast<const std::uint8_t*>(stored.data() + std::size_t(y) * width), y,
               count, reinterpret_cast<std::uint8_t*>(upright.data()));
  }
  std::vector<bool> seen(stored.size() + 1, false);
  for (std::uint32_t pixel : upright) {
    if (pixel == 0 || seen[pixel]) std::abort();
    seen[pixel] = true;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const mw::Orientation orientation = ReadExact(data, size);
  std::vector<std::uint8_t> with_header = {'E', 'x', 'i', 'f', 0, 0};
  with_header.insert(with_header.end(), data, data + size);
  const mw::Orientation behind_header = ReadExact(with_header.data(), with_header.size());
  if (size >= 2) {
    CheckTurn(orientation, 1 + data[0] % 17, 1 + data[1] % 13);
    CheckTurn(behind_header, 1 + data[1] % 17, 1 + data[0] % 13);
  }
  return 0;
}
