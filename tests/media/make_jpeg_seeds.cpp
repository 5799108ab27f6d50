// Writes the small photos that seed the JPEG decoder's fuzz target into the folder given
// as its first argument: baseline, progressive, CMYK, grayscale, arithmetic-coded, cut off
// and taken turned; and, into the folder given second, the EXIF blocks that seed the
// orientation reader's. Run by hand when the seeds in tests/data/jpeg-corpus and
// tests/data/exif-corpus are to be made again.
#include <fstream>
#include <iostream>
#include <string>

#include "exif_fixtures.h"
#include "jpeg_fixtures.h"

namespace {

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

void WriteExifSeeds(const std::string& folder) {
  for (int value = 1; value <= 8; ++value)
    WriteBytes(folder + "tag" + std::to_string(value) + ".bin", mw::test::ExifPayload(value));
  mw::test::ExifEntry entry;
  entry.value = 6;
  entry.big_endian = true;
  WriteBytes(folder + "big-endian.bin", mw::test::ExifPayload(entry));
  entry.type = 4;
  WriteBytes(folder + "long-value.bin", mw::test::ExifPayload(entry));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: make_jpeg_seeds JPEG-FOLDER EXIF-FOLDER\n";
    return 2;
  }
  const std::string folder = std::string(argv[1]) + "/";
  mw::test::WriteJpeg(folder + "baseline.jpg", 32, 24);
  mw::test::WriteJpeg(folder + "progressive.jpg", 32, 24, true);
  mw::test::WriteCmykJpeg(folder + "cmyk.jpg", 16, 16);
  mw::test::WriteGrayJpeg(folder + "gray.jpg", 16, 16);
  mw::test::WriteArithmeticJpeg(folder + "arithmetic.jpg", 16, 16);
  mw::test::WriteJpeg(folder + "truncated.jpg", 32, 24, true);
  mw::test::TruncateFile(folder + "truncated.jpg", 0.6);
  mw::test::WriteManyScanJpeg(folder + "many-scans.jpg", 8, 8);
  mw::test::WriteJpeg(folder + "turned.jpg", 32, 24);
  mw::test::InsertApp1(folder + "turned.jpg", mw::test::ExifPayload(6));
  mw::test::WriteJpeg(folder + "turned-progressive.jpg", 24, 16, true);
  mw::test::InsertApp1(folder + "turned-progressive.jpg", mw::test::ExifPayload(7));
  WriteExifSeeds(std::string(argv[2]) + "/");
  return 0;
}
