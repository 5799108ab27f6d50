#include "camera_photo.h"

#include <jpeglib.h>

#include <cstdio>
#include <random>
#include <stdexcept>
#include <vector>

namespace mw::bench {

void WriteCameraLikePhoto(const std::string& path, int width, int height, unsigned seed,
                          unsigned grain) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) throw std::runtime_error("cannot write " + path);
  jpeg_compress_struct cinfo;
  jpeg_error_mgr errors;
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, file);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 90, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  std::minstd_rand noise(seed);
  std::vector<JSAMPLE> row(static_cast<std::size_t>(width) * 3);
  while (cinfo.next_scanline < cinfo.image_height) {
    const int y = static_cast<int>(cinfo.next_scanline);
    for (int x = 0; x < width; ++x) {
      const int fine = grain == 0 ? 0 : static_cast<int>(noise() % grain);
      row[x * 3] = static_cast<JSAMPLE>((x * 255 / width + fine) % 256);
      row[x * 3 + 1] = static_cast<JSAMPLE>((y * 255 / height + fine) % 256);
      row[x * 3 + 2] = static_cast<JSAMPLE>((seed * 40 + fine * 2) % 256);
    }
    JSAMPROW rows[] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::fclose(file);
}

}  // namespace mw::bench
