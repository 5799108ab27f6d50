// The overview of a 500-clip map, laid out and drawn with thumbnails from warm files,
// against decoding the same 500 thumbnails alone at the 1/8 scale, in the same run.
#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_folder.h"
#include "camera_photo.h"
#include "media/jpeg_decoder.h"
#include "overview/overview_picture.h"

namespace {

constexpr int kWidth = 1024, kHeight = 768;  // a thumbnail of 128 x 96 at the 1/8 scale
constexpr int kClips = 500;

// 500 photos and a map that links them as a tour does: each clip leads on to two
// others, back to the one it came from, and every seventh back to the start.
struct Fixture {
  mw::bench::BenchFolder folder;
  std::vector<std::string> photos;
  mw::ClipMap map;

  Fixture() {
    for (int k = 0; k < kClips; ++k) {
      photos.push_back(folder.File("clip" + std::to_string(k) + ".jpg"));
      if (k < 8) {
        mw::bench::WriteCameraLikePhoto(photos.back(), kWidth, kHeight, static_cast<unsigned>(k),
                                        0);
      } else {
        std::filesystem::copy_file(photos[static_cast<std::size_t>(k % 8)], photos.back());
      }
    }
    for (int k = 0; k < kClips; ++k) {
      if (2 * k + 1 < kClips) Link(k, 2 * k + 1, 0.2f);
      if (2 * k + 2 < kClips) Link(k, 2 * k + 2, 0.4f);
      if (k > 0) Link(k, (k - 1) / 2, 0.6f);
      if (k % 7 == 3) Link(k, 0, 0.8f);
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
    // Drawn as the window first shows it: the whole map fitted into a full-HD view.
    QImage view(1920, 1080, QImage::Format_RGB32);
    QPainter painter(&view);
    const double scale =
        std::min(view.width() / picture.Size().width(), view.height() / picture.Size().height());
    painter.scale(scale, scale);
    picture.Paint(painter);
    painter.end();
    benchmark::DoNotOptimize(view.constBits());
  }
  state.counters["marks"] = static_cast<double>(fixture.map.Count());
}
BENCHMARK(BM_OverviewLaidOutAndDrawn)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
