#include "jpeg_fixtures.h"

#include <algorithm>
#include <cstdio>
#include <functional>
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

namespace {

// Encodes a photo of `components` samples a pixel: `configure` sets what the defaults do
// not, `fill` gives the samples of row y.
void Encode(const std::string& path, int width, int height, int components, J_COLOR_SPACE space,
            const std::function<void(jpeg_compress_struct&)>& configure,
            const std::function<void(int y, JSAMPLE* row)>& fill) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) throw std::runtime_error("cannot write " + path);
  jpeg_compress_struct cinfo;
  jpeg_error_mgr errors;
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, file);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = components;
  cinfo.in_color_space = space;
  jpeg_set_defaults(&cinfo);
  configure(cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<JSAMPLE> row(static_cast<std::size_t>(width) * components);
  while (cinfo.next_scanline < cinfo.image_height) {
    fill(static_cast<int>(cinfo.next_scanline), row.data());
    JSAMPROW rows[] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::fclose(file);
}

// One pattern row, `stride` samples a pixel starting with red, green, blue.
void FillPattern(int y, int width, int height, int stride, JSAMPLE* row) {
  for (int x = 0; x < width; ++x) {
    const std::uint32_t rgb = PatternColour(x, y, width, height);
    row[x * stride] = static_cast<JSAMPLE>(rgb >> 16);
    row[x * stride + 1] = static_cast<JSAMPLE>(rgb >> 8);
    row[x * stride + 2] = static_cast<JSAMPLE>(rgb);
  }
}

}  // namespace

void WriteRgbJpeg(const std::string& path, int width, int height, int quality,
                  const std::function<void(int y, std::uint8_t* row)>& fill_row) {
  Encode(
      path, width, height, 3, JCS_RGB,
      [quality](jpeg_compress_struct& cinfo) { jpeg_set_quality(&cinfo, quality, TRUE); },
      fill_row);
}

void WriteJpeg(const std::string& path, int width, int height, bool progressive) {
  Encode(
      path, width, height, 3, JCS_RGB,
      [progressive](jpeg_compress_struct& cinfo) {
        jpeg_set_quality(&cinfo, 90, TRUE);
        if (progressive) jpeg_simple_progression(&cinfo);
      },
      [=](int y, JSAMPLE* row) { FillPattern(y, width, height, 3, row); });
}

bool LinePatternWhite(int x, int y, int height) {
  return ((y < height / 2 ? x : y) % 2) == 0;
}

void WriteLineJpeg(const std::string& path, int width, int height) {
  Encode(
      path, width, height, 1, JCS_GRAYSCALE,
      [](jpeg_compress_struct& cinfo) { jpeg_set_quality(&cinfo, 100, TRUE); },
      [=](int y, JSAMPLE* row) {
        for (int x = 0; x < width; ++x)
          row[x] = LinePatternWhite(x, y, height) ? JSAMPLE{255} : JSAMPLE{0};
      });
}

void WriteGrayJpeg(const std::string& path, int width, int height) {
  // The pattern's brightness: left half dark, right half light.
  Encode(
      path, width, height, 1, JCS_GRAYSCALE, [](jpeg_compress_struct&) {},
      [=](int, JSAMPLE* row) {
        for (int x = 0; x < width; ++x) row[x] = x < width / 2 ? 40 : 220;
      });
}

void WriteArithmeticJpeg(const std::string& path, int width, int height) {
  Encode(
      path, width, height, 3, JCS_RGB, [](jpeg_compress_struct& cinfo) { cinfo.arith_code = TRUE; },
      [=](int y, JSAMPLE* row) { FillPattern(y, width, height, 3, row); });
}

void WriteCmykJpeg(const std::string& path, int width, int height) {
  // Inverted inks with no black: the stored ink is the colour's own channel.
  Encode(
      path, width, height, 4, JCS_CMYK,
      [](jpeg_compress_struct& cinfo) { jpeg_set_quality(&cinfo, 95, TRUE); },
      [=](int y, JSAMPLE* row) {
        FillPattern(y, width, height, 4, row);
        for (int x = 0; x < width; ++x) row[x * 4 + 3] = 255;
      });
}

void WriteManyScanJpeg(const std::string& path, int width, int height) {
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
  Encode(
      path, width, height, 3, JCS_RGB,
      [&script](jpeg_compress_struct& cinfo) {
        cinfo.scan_info = script.data();
        cinfo.num_scans = static_cast<int>(script.size());
      },
      [=](int, JSAMPLE* row) { std::fill(row, row + width * 3, JSAMPLE{128}); });
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
