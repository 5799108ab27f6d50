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

#include "bench_folder.h"
#include "camera_photo.h"
#include "check/map_check.h"

namespace {

constexpr int kWidth = 4000, kHeight = 3000;  // 12 megapixels
constexpr int kPhotos = 300;
constexpr int kMarks = 1000;

// 300 copies of one smooth photo (only its header is read) in a temporary folder, and a map of
// 1,000 marks over them.
struct Fixture {
  mw::bench::BenchFolder folder;
  std::vector<std::string> photos;
  mw::ClipMap map;

  Fixture() {
    const std::string first = folder.File("photo0.jpg");
    mw::bench::WriteCameraLikePhoto(first, kWidth, kHeight, 1, 0);
    for (int k = 0; k < kPhotos; ++k) {
      photos.push_back(folder.File("photo" + std::to_string(k) + ".jpg"));
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
