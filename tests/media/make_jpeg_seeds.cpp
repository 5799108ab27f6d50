// Writes the small photos that seed the JPEG decoder's fuzz target into the folder given
// as its one argument: baseline, progressive, CMYK, grayscale, arithmetic-coded and cut
// off. Run by hand when the seeds in tests/data/jpeg-corpus are to be made again.
#include <iostream>
#include <string>

#include "jpeg_fixtures.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_jpeg_seeds FOLDER\n";
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
  return 0;
}
