#include "jpeg_bench_support.h"

#include <cstdio>
// clang-format off
#include <jpeglib.h>
// clang-format on

namespace mw::bench {

void WriteTexturedJpeg(const std::string& path, unsigned noise_mask) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  jpeg_compress_struct cinfo;
  jpeg_error_mgr errors;
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, file);
  cinfo.image_width = kPhotoWidth;
  cinfo.image_height = kPhotoHeight;
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 90, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<JSAMPLE> row(kPhotoWidth * 3);
  unsigned noise = 12345;
  while (cinfo.next_scanline < cinfo.image_height) {
    const unsigned y = cinfo.next_scanline;
    for (unsigned x = 0; x < kPhotoWidth; ++x) {
      noise = noise * 1103515245u + 12345u;
      const unsigned grain = (noise >> 24) & noise_mask;
      row[x * 3] = static_cast<JSAMPLE>(((x / 7 + y / 5) & 255) ^ grain);
      row[x * 3 + 1] = static_cast<JSAMPLE>((((x * y) >> 12) & 255) ^ grain);
      row[x * 3 + 2] = static_cast<JSAMPLE>(96 + ((x + 2 * y) >> 6 & 63) + grain);
    }
    JSAMPROW rows[] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::fclose(file);
}

void BareLibjpegDecode(const std::string& path, int denominator,
                       std::vector<unsigned char>& pixels, int* width, int* height) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr errors;
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&cinfo);
  jpeg_stdio_src(&cinfo, file);
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_EXT_BGRX;
  cinfo.scale_num = 1;
  cinfo.scale_denom = static_cast<unsigned>(denominator);
  jpeg_start_decompress(&cinfo);
  const std::size_t stride = cinfo.output_width * 4;
  pixels.resize(stride * cinfo.output_height);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = pixels.data() + cinfo.output_scanline * stride;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  if (width) *width = static_cast<int>(cinfo.output_width);
  if (height) *height = static_cast<int>(cinfo.output_height);
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  std::fclose(file);
}

}  // namespace mw::bench
