// The overview of a 500-clip map, laid out and drawn with thumbnails from warm files,
// against decoding the same 500 thumbnails alone at the 1/8 scale, in the same run. Also
// the overview of 100 clips with 1,000 marks between random clips and of a 30-clip tour,
// each against decoding its thumbnails alone.
#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench_folder.h"
#include "camera_photo.h"
#include "media/jpeg_decoder.h"
#include "overview/overview_picture.h"

namespace {

constexpr int kWidth = 1024, kHeight = 768;  // a thumbnail of 128 x 96 at the 1/8 scale
constexpr int kClips = 500;

// Photos of their own and a map linking them: `links` gives each mark's clip and target.
struct LinkedClips {
  mw::bench::BenchFolder folder;
  std::vector<std::string> photos;
  mw::ClipMap map;

  LinkedClips(int clips, const std::vector<std::pair<int, int>>& links) {
    for (int k = 0; k < clips; ++k) {
      photos.push_back(folder.File("clip" + std::to_string(k) + ".jpg"));
      if (k < 8) {
        mw::bench::WriteCameraLikePhoto(photos.back(), kWidth, kHeight, static_cast<unsigned>(k),
                                        0);
      } else {
        std::filesystem::copy_file(photos[static_cast<std::size_t>(k % 8)], photos.back());
      }
    }
    for (const auto& [from, to] : links) {
      mw::ClickerMark mark;
      mark.Clip = photos[static_cast<std::size_t>(from)];
      mark.NextClip = photos[static_cast<std::size_t>(to)];
      mark.X = static_cast<float>(map.Count() % 7) / 7.0f;
      mark.Y = 0.5f;
      mark.Hint = "to clip " + std::to_string(to);
      map.Append(mark);
    }
  }
};

// 500 photos linked as a tour does: each clip leads on to two others, back to the one it
// came from, and every seventh back to the start.
LinkedClips& Clips() {
  static LinkedClips fixture(kClips, [] {
    std::vector<std::pair<int, int>> links;
    for (int k = 0; k < kClips; ++k) {
      if (2 * k + 1 < kClips) links.emplace_back(k, 2 * k + 1);
      if (2 * k + 2 < kClips) links.emplace_back(k, 2 * k + 2);
      if (k > 0) links.emplace_back(k, (k - 1) / 2);
      if (k % 7 == 3) links.emplace_back(k, 0);
    }
    return links;
  }());
  return fixture;
}

void DecodeAlone(benchmark::State& state, const LinkedClips& fixture) {
  mw::PixelBuffer buffer;
  for (auto _ : state) {
    for (const std::string& path : fixture.photos)
      benchmark::DoNotOptimize(mw::DecodeJpeg(path, 1, 1, {}, buffer).width);
  }
}

void BM_ThumbnailDecodesAlone(benchmark::State& state) { DecodeAlone(state, Clips()); }
BENCHMARK(BM_ThumbnailDecodesAlone)->Unit(benchmark::kMillisecond);

void BM_OverviewLaidOutAndDrawn(benchmark::State& state) {
  const LinkedClips& fixture = Clips();
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

// 1,000 marks, each between two clips drawn at random.
LinkedClips& RandomLinks() {
  static LinkedClips fixture(100, [] {
    std::mt19937 random(11);
    std::vector<std::pair<int, int>> links;
    while (links.size() < 1000) {
      const int from = int(random() % 100), to = int(random() % 100);
      if (from != to) links.emplace_back(from, to);
    }
    return links;
  }());
  return fixture;
}

// A tour of 30 clips as people make them: each leads on and back, every fifth back to the
// start, and a few side trips.
LinkedClips& Tour() {
  static LinkedClips fixture(30, [] {
    std::vector<std::pair<int, int>> links;
    for (int k = 0; k + 1 < 30; ++k) links.insert(links.end(), {{k, k + 1}, {k + 1, k}});
    for (int k = 5; k < 30; k += 5) links.emplace_back(k, 0);
    for (int k = 3; k < 30; k += 7) links.emplace_back(k, (k + 10) % 30);
    return links;
  }());
  return fixture;
}

void LaidOutAndDrawn(benchmark::State& state, const LinkedClips& fixture) {
  for (auto _ : state) {
    mw::OverviewPicture picture;
    if (!picture.Build(fixture.map)) state.SkipWithError(picture.Error().c_str());
    benchmark::DoNotOptimize(picture.ToImage().constBits());
  }
  state.counters["marks"] = static_cast<double>(fixture.map.Count());
}

void BM_RandomLinksThumbnailsAlone(benchmark::State& state) { DecodeAlone(state, RandomLinks()); }
void BM_RandomLinksOverview(benchmark::State& state) { LaidOutAndDrawn(state, RandomLinks()); }
void BM_TourThumbnailsAlone(benchmark::State& state) { DecodeAlone(state, Tour()); }
void BM_TourOverview(benchmark::State& state) { LaidOutAndDrawn(state, Tour()); }
BENCHMARK(BM_RandomLinksThumbnailsAlone)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RandomLinksOverview)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_TourThumbnailsAlone)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TourOverview)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
