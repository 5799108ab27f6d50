// The overview of a 500-clip map, laid out and drawn with thumbnails from warm files,
// against decoding the same 500 thumbnails alone at the 1/8 scale, in the same run.
#include <benchmark/benchmark.h>

#include <QImage>
#include <filesystem>
#include <string>
#include <vector>
// clang-format off
#include <jpeglib.h>
// clang-format on

#include "media/jpeg_decoder.h"
#include "overview/overview_picture.h"

namespace {

constexpr int kWidth = 1600, kHeight = 1200;  // 2 megapixels, a thumbnail of 200 x 150
constexpr int kClips = 500;

void WritePhoto(const std::string& path, int shade) {
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
  jpeg_set_quality(&cinfo, 85, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<JSAMPLE> row(kWidth * 3);
  while (cinfo.next_scanline < cinfo.image_height) {
    const unsigned y = cinfo.next_scanline;
    for (unsigned x = 0; x < kWidth; ++x) {
      row[x * 3] = static_cast<JSAMPLE>((x / 7 + shade) & 255);
      row[x * 3 + 1] = static_cast<JSAMPLE>((y / 5) & 255);
      row[x * 3 + 2] = static_cast<JSAMPLE>(((x ^ y) >> 3) & 255);
    }
    JSAMPROW rows[] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::fclose(file);
}

// 500 photos and a map that links them as a story does: each clip leads on to the next
// two, and every tenth back to an earlier one.
struct Fixture {
  std::filesystem::path folder;
  std::vector<std::string> photos;
  mw::ClipMap map;

  Fixture() {
    std::string pattern = (std::filesystem::temp_directory_path() / "mwoverview.XXXXXX").string();
    folder = mkdtemp(pattern.data());
    for (int k = 0; k < kClips; ++k) {
      photos.push_back((folder / ("clip" + std::to_string(k) + ".jpg")).string());
      if (k < 8) {
        WritePhoto(photos.back(), k * 32);
      } else {
        std::filesystem::copy_file(photos[static_cast<std::size_t>(k % 8)], photos.back());
      }
    }
    for (int k = 0; k < kClips; ++k) {
      Link(k, (k + 1) % kClips, 0.3f);
      if (k + 2 < kClips) Link(k, k + 2, 0.6f);
      if (k % 10 == 9) Link(k, k / 3, 0.9f);
    }
  }
  void Link(int from, int to, float x) {
    mw::ClickerMark mark;
    mark.Clip = photos[static_cast<std::size_t>(from)];
    mark.NextClip = photos[static_cast<std::size_t>(to)];
    mark.X = x;
    mark.Y = 0.5f;
    mark.Hint = "to clip " + std::to_string(to);
    map.Append(mark);
  }
  ~Fixture() {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
};

Fixture& Clips() {
  static Fixture fixture;
  return fixture;
}

void BM_ThumbnailDecodesAlone(benchmark::State& state) {
  const Fixture& fixture = Clips();
  mw::PixelBuffer buffer;
  for (auto _ : state) {
    for (const std::string& path : fixture.photos)
      benchmark::DoNotOptimize(mw::DecodeJpeg(path, 1, 1, {}, buffer).width);
  }
}
BENCHMARK(BM_ThumbnailDecodesAlone)->Unit(benchmark::kMillisecond);

void BM_OverviewLaidOutAndDrawn(benchmark::State& state) {
  const Fixture& fixture = Clips();
  for (auto _ : state) {
    mw::OverviewPicture picture;
    if (!picture.Build(fixture.map)) state.SkipWithError(picture.Error().c_str());
    const QImage image = picture.ToImage();
    benchmark::DoNotOptimize(image.constBits());
  }
  state.counters["marks"] = static_cast<double>(fixture.map.Count());
}
BENCHMARK(BM_OverviewLaidOutAndDrawn)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
