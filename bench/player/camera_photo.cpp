#include "camera_photo.h"

#include <random>

#include "jpeg_fixtures.h"

namespace mw::bench {

void WriteCameraLikePhoto(const std::string& path, int width, int height, unsigned seed,
                          unsigned grain) {
  std::minstd_rand noise(seed);
  test::WriteRgbJpeg(path, width, height, 90, [&](int y, std::uint8_t* row) {
    for (int x = 0; x < width; ++x) {
      const int fine = grain == 0 ? 0 : static_cast<int>(noise() % grain);
      row[x * 3] = static_cast<std::uint8_t>((x * 255 / width + fine) % 256);
      row[x * 3 + 1] = static_cast<std::uint8_t>((y * 255 / height + fine) % 256);
      row[x * 3 + 2] = static_cast<std::uint8_t>((seed * 40 + fine * 2) % 256);
    }
  });
}

}  // namespace mw::bench
