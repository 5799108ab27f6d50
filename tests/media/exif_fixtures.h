#pragma once
// EXIF blocks as cameras write them, and the means to put one into a JPEG file, for tests
// and benchmarks of photos taken turned.

#include <cstdint>
#include <string>
#include <vector>

namespace mw::test {

// How the orientation entry of an EXIF block is written; the defaults are a camera's.
struct ExifEntry {
  int value = 1;            // the orientation, 1 to 8 in a sound block
  std::uint16_t type = 3;   // SHORT
  std::uint32_t count = 1;  // values in the entry
  bool big_endian = false;  // "MM" rather than "II"
};

// The payload of an APP1 segment ("Exif\0\0", then TIFF) whose first directory holds a
// maker entry pointing to its text, then the orientation entry.
std::vector<std::uint8_t> ExifPayload(const ExifEntry& entry);
std::vector<std::uint8_t> ExifPayload(int orientation);

// Puts an APP1 segment with `payload` right after the start of the JPEG file at `path`,
// as cameras place their EXIF block. Throws std::runtime_error on a file that is no JPEG.
void InsertApp1(const std::string& path, const std::vector<std::uint8_t>& payload);

}  // namespace mw::test
