#pragma once
// The small test movies in tests/data/media: 3 s, one second each of red, green and blue.

#include <QImage>
#include <QRgb>
#include <string>

#include "qt_wait.h"

namespace mw::test {

inline std::string MoviePath(const std::string& name) {
  return std::string(MW_TEST_DATA_DIR) + "/media/" + name;
}

enum class Hue { Red, Green, Blue, Other };

// The dominant colour of a pixel of a frame, allowing for the codec's colour error.
inline Hue HueOf(QRgb pixel) {
  const int r = qRed(pixel), g = qGreen(pixel), b = qBlue(pixel);
  if (r > 180 && g < 80 && b < 80) return Hue::Red;
  if (g > 180 && r < 80 && b < 80) return Hue::Green;
  if (b > 180 && r < 80 && g < 80) return Hue::Blue;
  return Hue::Other;
}

inline Hue CentreHue(const QImage& frame) {
  if (frame.isNull()) return Hue::Other;
  return HueOf(frame.pixel(frame.width() / 2, frame.height() / 2));
}

}  // namespace mw::test
