#include "jpeg_fixtures.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>
// clang-format off
#include <jpeglib.h>
// clang-format on

namespace mw::test {

std::uint32_t PatternColour(int x, int y, int width, int height) {
  const bool right = x >= width / 2;
  const bool bottom = y >= height / 2;
  if (!bottom) return right ? 0x00ff00 : 0xff0000;
  return right ? 0xffffff : 0x0000ff;
}

void WriteJpeg(const std::string& path, int width, int height, bool progressive) {
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
  if (progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<JSAMPLE> row(static_cast<std::size_t>(width) * 3);
  while (cinfo.next_scanline < cinfo.image_height) {
    const int y = static_cast<int>(cinfo.next_scanline);
    for (int x = 0; x < width; ++x) {
      const std::uint32_t rgb = PatternColour(x, y, width, height);
      row[x * 3] = static_cast<JSAMPLE>(rgb >> 16);
      row[x * 3 + 1] = static_cast<JSAMPLE>(rgb >> 8);
      row[x * 3 + 2] = static_cast<JSAMPLE>(rgb);
    }
    JSAMPROW rows[] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::fclose(file);
}

void WriteCmykJpeg(const std::string& path, int width, int height) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) throw std::runtime_error("cannot write " + path);
  jpeg_compress_struct cinfo;
  jpeg_error_mgr errors;
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, file);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = 4;
  cinfo.in_color_space = JCS_CMYK;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 95, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<JSAMPLE> row(static_cast<std::size_t>(width) * 4);
  while (cinfo.next_scanline < cinfo.image_height) {
    const int y = static_cast<int>(cinfo.next_scanline);
    for (int x = 0; x < width; ++x) {
      const std::uint32_t rgb = PatternColour(x, y, width, height);
      // Inverted inks with no black: the stored ink is the colour's own channel.
      row[x * 4] = static_cast<JSAMPLE>(rgb >> 16);
      row[x * 4 + 1] = static_cast<JSAMPLE>(rgb >> 8);
      row[x * 4 + 2] = static_cast<JSAMPLE>(rgb);
      row[x * 4 + 3] = 255;
    }
    JSAMPROW rows[] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::fclose(file);
}

void WriteManyScanJpeg(const std::string& path, int width, int height) {
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
  // Per component: its DC scan, then every AC coefficient alone in three passes of
  // successive approximation: 190 scans a component, 570 in all.
  std::vector<jpeg_scan_info> script;
  for (int c = 0; c < 3; ++c) {
    script.push_back({1, {c, 0, 0, 0}, 0, 0, 0, 0});
    for (int k = 1; k < 64; ++k) {
      script.push_back({1, {c, 0, 0, 0}, k, k, 0, 2});
      script.push_back({1, {c, 0, 0, 0}, k, k, 2, 1});
      script.push_back({1, {c, 0, 0, 0}, k, k, 1, 0});
    }
  }
  cinfo.scan_info = script.data();
  cinfo.num_scans = static_cast<int>(script.size());
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<JSAMPLE> row(static_cast<std::size_t>(width) * 3, 128);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW rows[] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::fclose(file);
}

namespace {

std::vector<char> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const std::string& path, const std::vector<char>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Offset of the first frame header (SOF0 or SOF2) marker in the file.
std::size_t FrameHeader(const std::vector<char>& bytes) {
  for (std::size_t i = 0; i + 9 < bytes.size(); ++i) {
    const auto marker = static_cast<unsigned char>(bytes[i + 1]);
    if (static_cast<unsigned char>(bytes[i]) == 0xff && (marker == 0xc0 || marker == 0xc2))
      return i;
  }
  throw std::runtime_error("no frame header");
}

}  // namespace

void TruncateFile(const std::string& path, double keep) {
  const auto size = std::filesystem::file_size(path);
  std::filesystem::resize_file(path, static_cast<std::uintmax_t>(size * keep));
}

void PatchFrameSize(const std::string& path, int width, int height) {
  std::vector<char> bytes = ReadAll(path);
  const std::size_t sof = FrameHeader(bytes);
  bytes[sof + 5] = static_cast<char>(height >> 8);
  bytes[sof + 6] = static_cast<char>(height & 0xff);
  bytes[sof + 7] = static_cast<char>(width >> 8);
  bytes[sof + 8] = static_cast<char>(width & 0xff);
  WriteAll(path, bytes);
}

void DamageFrameHeader(const std::string& path) {
  std::vector<char> bytes = ReadAll(path);
  bytes[FrameHeader(bytes) + 4] = 5;  // sample precision 5 bits
  WriteAll(path, bytes);
}

}  // namespace mw::test
