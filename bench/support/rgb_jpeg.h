#pragma once
// Writing RGB JPEG photos row by row for the benchmarks, with libjpeg.

#include <cstdint>
#include <functional>
#include <string>

namespace mw::bench {

// Encodes a width x height RGB photo at quality 90; `fill_row(y, row)` writes the
// width * 3 bytes of row y. Throws std::runtime_error when the file cannot be written.
void WriteRgbJpeg(const std::string& path, int width, int height,
                  const std::function<void(int y, std::uint8_t* row)>& fill_row);

}  // namespace mw::bench
