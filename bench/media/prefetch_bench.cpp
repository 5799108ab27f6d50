// Photos decoded ahead of the click, in a 1280 x 720 clip area with 24-megapixel targets:
// click to painted from the cache against the uncached decode, the cache's memory with 30
// marks on one clip, and the clip on screen's own time while the prefetch works.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QImage>
#include <QSlider>
#include <QTemporaryDir>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "media/clip_display.h"
#include "jpeg_bench_support.h"

namespace {

using namespace std::chrono_literals;
const QSize kArea(1280, 720);

// One 24-megapixel photo written once, and as many copies under other names as asked.
class PhotoFolder {
 public:
  PhotoFolder() {
    original_ = Path("photo0.jpg");
    mw::bench::WriteTexturedJpeg(original_, 3);
  }
  std::vector<std::string> Photos(int count) {
    std::vector<std::string> paths{original_};
    for (int i = 1; i < count; ++i) {
      paths.push_back(Path("photo" + std::to_string(i) + ".jpg"));
      if (!std::filesystem::exists(paths.back()))
        std::filesystem::copy_file(original_, paths.back());
    }
    return paths;
  }

 private:
  std::string Path(const std::string& name) { return dir_.filePath(name.c_str()).toStdString(); }
  QTemporaryDir dir_;
  std::string original_;
};

PhotoFolder& Folder() {
  static PhotoFolder folder;
  return folder;
}

struct ClipArea {
  explicit ClipArea(QSize size = kArea) : display(&panel1, &media_player1, &track_bar1) {
    panel1.resize(size);
  }
  // A click on a mark: the target is shown, its own targets named, the area painted.
  void Click(const std::string& target, const std::vector<std::string>& next_targets) {
    display.ShowClip(target);
    display.PrefetchTargets(next_targets);
    panel1.render(&screen);
    benchmark::DoNotOptimize(screen.constBits());
  }
  mw::ClipPanel panel1;
  mw::MovieControlBar media_player1;
  QSlider track_bar1;
  mw::ClipDisplay display;
  QImage screen{kArea, QImage::Format_RGB32};
};

// Baseline: the two photos lead to each other, and nothing is decoded ahead.
void BM_ClickToPaintedUncached(benchmark::State& state) {
  const std::vector<std::string> photos = Folder().Photos(2);
  ClipArea area;
  bool flip = false;
  for (auto _ : state) {
    flip = !flip;
    area.Click(photos[flip], {});
  }
}
BENCHMARK(BM_ClickToPaintedUncached)->Unit(benchmark::kMillisecond);

// The same clicks, each target decoded ahead while the person looked at the other.
void BM_ClickToPaintedPrefetched(benchmark::State& state) {
  const std::vector<std::string> photos = Folder().Photos(2);
  ClipArea area;
  area.Click(photos[0], photos);
  bool flip = false;
  for (auto _ : state) {
    state.PauseTiming();
    if (!area.display.Prefetcher().WaitUntilIdle(60s)) state.SkipWithError("prefetch stuck");
    state.ResumeTiming();
    flip = !flip;
    area.Click(photos[flip], photos);
  }
}
BENCHMARK(BM_ClickToPaintedPrefetched)->Unit(benchmark::kMillisecond);

long ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * sysconf(_SC_PAGESIZE);
}

// 30 marks on one clip, each to its own 24-megapixel photo, in an area of the argument's
// height (720: 6 MB a photo, all fit; 1080: 24 MB a photo, the bound holds them back).
void BM_CacheMemoryThirtyMarks(benchmark::State& state) {
  const std::vector<std::string> photos = Folder().Photos(31);
  const std::vector<std::string> targets(photos.begin() + 1, photos.end());
  const int height = static_cast<int>(state.range(0));
  for (auto _ : state) {
    const long before = ResidentBytes();
    ClipArea area(QSize(height * 16 / 9, height));
    area.Click(photos[0], targets);
    if (!area.display.Prefetcher().WaitUntilIdle(120s)) state.SkipWithError("prefetch stuck");
    const double bound = static_cast<double>(mw::PhotoPrefetcher::Options{}.byte_bound);
    state.counters["cached_MB"] = area.display.Prefetcher().CachedBytes() / 1e6;
    state.counters["cached_photos"] = static_cast<double>(area.display.Prefetcher().CachedCount());
    state.counters["bound_MB"] = bound / 1e6;
    state.counters["cached_of_bound"] = area.display.Prefetcher().CachedBytes() / bound;
    state.counters["rss_growth_MB"] = static_cast<double>(ResidentBytes() - before) / 1e6;
  }
}
BENCHMARK(BM_CacheMemoryThirtyMarks)
    ->Arg(720)
    ->Arg(1080)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// The clip on screen's own switch to painted, with (argument 1) and without (0) a prefetch
// of ten 24-megapixel targets running beside it the whole time.
void BM_ClipOnScreenWhilePrefetching(benchmark::State& state) {
  const std::vector<std::string> photos = Folder().Photos(12);
  const std::vector<std::string> targets(photos.begin() + 2, photos.end());
  ClipArea area;
  mw::PhotoPrefetcher other;
  const bool busy = state.range(0) == 1;
  bool flip = false;
  for (auto _ : state) {
    flip = !flip;
    // Another decode size each time: everything cached is dropped and decoded again. The
    // drop itself is no part of the clip on screen's time.
    if (busy) {
      state.PauseTiming();
      other.Prefetch(targets, kArea + QSize(flip, 0), "");
      state.ResumeTiming();
    }
    area.Click(photos[flip], {});
  }
}
BENCHMARK(BM_ClipOnScreenWhilePrefetching)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
