// A 24-megapixel photo its camera tagged as turned a quarter (orientation 6) against the
// same photo tagged upright (orientation 1), switched to with ShowClip in the same run.
// The clip area is square, so that both decode at the same scale and the difference is the
// turn alone: 1000 x 1000 takes 1/4 (1000 x 1500 upright), 1600 x 1600 takes 1/2.
#include <benchmark/benchmark.h>
#include <time.h>

#include <QSlider>
#include <QTemporaryDir>
#include <algorithm>
#include <vector>

#include "exif_fixtures.h"
#include "jpeg_bench_support.h"
#include "media/clip_display.h"

namespace {

// Two copies of the photo for each tag, so that each ShowClip is a real switch.
struct Photos {
  Photos() {
    for (int tag : {1, 6})
      for (const char* copy : {"a", "b"}) {
        const std::string path =
            dir.filePath(QString("%1-%2.jpg").arg(tag).arg(copy)).toStdString();
        mw::bench::WriteTexturedJpeg(path, 15);
        mw::test::InsertApp1(path, mw::test::ExifPayload(tag));
      }
  }
  std::string Path(int tag, bool first) const {
    return dir.filePath(QString("%1-%2.jpg").arg(tag).arg(first ? "a" : "b")).toStdString();
  }
  QTemporaryDir dir;
};

const Photos& TestPhotos() {
  static Photos photos;
  return photos;
}

// The thread's processor time and the wall clock, in seconds.
struct Clock {
  Clock() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    cpu = t.tv_sec + t.tv_nsec * 1e-9;
    clock_gettime(CLOCK_MONOTONIC, &t);
    wall = t.tv_sec + t.tv_nsec * 1e-9;
  }
  double cpu, wall;
};

double Least(const std::vector<double>& times) {
  return *std::min_element(times.begin(), times.end());
}

double Median(std::vector<double> times) {
  std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
  return times[times.size() / 2];
}

struct ClipArea {
  explicit ClipArea(int side) : display(&panel1, &media_player1, &track_bar1) {
    panel1.resize(side, side);
  }
  mw::ClipPanel panel1;
  mw::MovieControlBar media_player1;
  QSlider track_bar1;
  mw::ClipDisplay display;
};

// Arguments: the orientation tag, the side of the square clip area.
void BM_ShowClipTagged(benchmark::State& state) {
  const Photos& photos = TestPhotos();
  const int tag = static_cast<int>(state.range(0));
  ClipArea area(static_cast<int>(state.range(1)));
  bool flip = false;
  for (auto _ : state) {
    flip = !flip;
    if (area.display.ShowClip(photos.Path(tag, flip)) != mw::ClipKind::PhotoClip)
      state.SkipWithError("photo not shown");
    benchmark::DoNotOptimize(area.panel1.Image1()->Photo().constBits());
  }
  const QSize shown = area.panel1.Image1()->Photo().size();
  state.counters["denominator"] = area.display.Photo().ScaleDenominator();
  state.counters["upright_tall"] = shown.height() > shown.width() ? 1 : 0;
}
BENCHMARK(BM_ShowClipTagged)
    ->ArgsProduct({{1, 6}, {1000, 1600}})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);

// Both tags in turn in one loop, each ShowClip timed alone (the thread's processor time and
// the wall clock), so that a busy machine weighs on both alike. Reports the ratio of the
// fastest turned switch to the fastest upright one, and of their medians.
void BM_TurnedAgainstUpright(benchmark::State& state) {
  const Photos& photos = TestPhotos();
  ClipArea area(static_cast<int>(state.range(0)));
  std::vector<double> cpu[2], wall[2];
  bool flip = false;
  for (auto _ : state) {
    flip = !flip;
    for (int i : {0, 1}) {
      const Clock start;
      area.display.ShowClip(photos.Path(i == 0 ? 1 : 6, flip));
      const Clock end;
      cpu[i].push_back(end.cpu - start.cpu);
      wall[i].push_back(end.wall - start.wall);
    }
  }
  state.counters["cpu_min_ratio"] = Least(cpu[1]) / Least(cpu[0]);
  state.counters["cpu_median_ratio"] = Median(cpu[1]) / Median(cpu[0]);
  state.counters["wall_min_ratio"] = Least(wall[1]) / Least(wall[0]);
  state.counters["upright_ms"] = Least(wall[0]) * 1e3;
  state.counters["turned_ms"] = Least(wall[1]) * 1e3;
}
BENCHMARK(BM_TurnedAgainstUpright)
    ->Arg(1000)
    ->Arg(1600)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(4.0);

}  // namespace
