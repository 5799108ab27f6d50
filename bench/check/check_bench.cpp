// The map check of 1,000 marks over 300 photos of 12 megapixels, against a bare loop that
// reads every photo's header with libjpeg, on the same files in the same run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>
// clang-format off
#include <jpeglib.h>
// clang-format on

#include "check/map_check.h"

namespace {

constexpr int kWidth = 4000, kHeight = 3000;  // 12 megapixels
constexpr int kPhotos = 300;
constexpr int kMarks = 1000;

// A smooth 12-megapixel photo; its size matters little, as only its header is read.
void WritePhoto(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  jpeg_compress_struct cinfo;
  jpeg_error_mgr errors;
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, file);
  cinfo.image_width = kWidth;
  cinfo.image_height = kHeight;
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 80, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<JSAMPLE> row(kWidth * 3);
  while (cinfo.next_scanline < cinfo.image_height) {
    const unsigned y = cinfo.next_scanline;
    for (unsigned x = 0; x < kWidth; ++x) {
      row[x * 3] = static_cast<JSAMPLE>(x / 16);
      row[x * 3 + 1] = static_cast<JSAMPLE>(y / 12);
      row[x * 3 + 2] = static_cast<JSAMPLE>((x + y) / 28);
    }
    JSAMPROW rows[] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::fclose(file);
}

// 300 copies of the photo in a temporary folder, and a map of 1,000 marks over them.
struct Fixture {
  std::filesystem::path folder;
  std::vector<std::string> photos;
  mw::ClipMap map;

  Fixture() {
    std::string pattern = (std::filesystem::temp_directory_path() / "mwcheck.XXXXXX").string();
    folder = mkdtemp(pattern.data());
    const std::string first = (folder / "photo0.jpg").string();
    WritePhoto(first);
    for (int k = 0; k < kPhotos; ++k) {
      photos.push_back((folder / ("photo" + std::to_string(k) + ".jpg")).string());
      if (k > 0) std::filesystem::copy_file(first, photos.back());
    }
    for (int k = 0; k < kMarks; ++k) {
      mw::ClickerMark mark;
      mark.Clip = photos[static_cast<std::size_t>(k % kPhotos)];
      mark.NextClip = photos[static_cast<std::size_t>((k + 1) % kPhotos)];
      mark.X = 0.1f + 0.2f * static_cast<float>(k / kPhotos);
      mark.Y = 0.5f;
      mark.Hint = "mark " + std::to_string(k);
      map.Append(mark);
    }
  }
  ~Fixture() {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
};

Fixture& Photos() {
  static Fixture fixture;
  return fixture;
}

void BM_BareHeaderLoop(benchmark::State& state) {
  const Fixture& fixture = Photos();
  for (auto _ : state) {
    for (const std::string& path : fixture.photos) {
      std::FILE* file = std::fopen(path.c_str(), "rb");
      jpeg_decompress_struct cinfo;
      jpeg_error_mgr errors;
      cinfo.err = jpeg_std_error(&errors);
      jpeg_create_decompress(&cinfo);
      jpeg_stdio_src(&cinfo, file);
      jpeg_read_header(&cinfo, TRUE);
      benchmark::DoNotOptimize(cinfo.image_width);
      jpeg_destroy_decompress(&cinfo);
      std::fclose(file);
    }
  }
}
BENCHMARK(BM_BareHeaderLoop)->Unit(benchmark::kMillisecond);

void BM_CheckMap(benchmark::State& state) {
  const Fixture& fixture = Photos();
  std::size_t problems = 0;
  for (auto _ : state) problems = mw::CheckMap(fixture.map).size();
  if (problems != 0) state.SkipWithError("the map should have no problem");
}
BENCHMARK(BM_CheckMap)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
