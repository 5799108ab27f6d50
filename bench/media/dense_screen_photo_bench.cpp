// A 24-megapixel photo into a 1280 x 720 clip area on a screen of ratio 2 (2560 x 1440
// device pixels): ShowClip against a bare libjpeg decode at the scale ShowClip chooses
// (1/2), on the same file in the same run.
#include <benchmark/benchmark.h>

#include <QImage>
#include <QSlider>
#include <QTemporaryDir>
#include <cstdlib>
#include <vector>

#include "jpeg_bench_support.h"
#include "media/clip_display.h"
#include "media/device_pixels.h"

namespace {

// The screen's ratio, set before the application starts in main.
const bool kDenseScreen = setenv("QT_SCALE_FACTOR", "2", 1) == 0;
const QSize kArea(1280, 720);
constexpr int kExpectedDenominator = 2;  // 3000 x 2000 is the smallest that covers 2560 x 1440

// Two copies of the photo, so that each ShowClip is a real switch to another clip.
struct Photos {
  Photos() {
    a = dir.filePath("a.jpg").toStdString();
    b = dir.filePath("b.jpg").toStdString();
    mw::bench::WriteTexturedJpeg(a, 15);
    mw::bench::WriteTexturedJpeg(b, 15);
  }
  QTemporaryDir dir;
  std::string a, b;
};

const Photos& TestPhotos() {
  static Photos photos;
  return photos;
}

struct ClipArea {
  ClipArea() : display(&panel1, &media_player1, &track_bar1) { panel1.resize(kArea); }
  mw::ClipPanel panel1;
  mw::MovieControlBar media_player1;
  QSlider track_bar1;
  mw::ClipDisplay display;
};

// Stops the benchmark when the area is not measured at 2560 x 1440 or the scale differs.
bool CheckSetting(benchmark::State& state, ClipArea& area) {
  if (!kDenseScreen || mw::PhotoTargetSize(area.panel1) != QSize(2560, 1440)) {
    state.SkipWithError("the clip area is not 2560 x 1440 device pixels");
    return false;
  }
  area.display.ShowClip(TestPhotos().b);
  if (area.display.Photo().ScaleDenominator() != kExpectedDenominator) {
    state.SkipWithError("ShowClip chose another scale");
    return false;
  }
  return true;
}

void BM_DenseShowClipPhoto(benchmark::State& state) {
  const Photos& photos = TestPhotos();
  ClipArea area;
  if (!CheckSetting(state, area)) return;
  bool flip = false;
  for (auto _ : state) {
    flip = !flip;
    if (area.display.ShowClip(flip ? photos.a : photos.b) != mw::ClipKind::PhotoClip)
      state.SkipWithError("photo not shown");
    benchmark::DoNotOptimize(area.panel1.Image1()->Photo().constBits());
  }
}
BENCHMARK(BM_DenseShowClipPhoto)->Unit(benchmark::kMillisecond);

// The same, with the first paint of the clip area at its device pixels.
void BM_DenseShowClipPhotoAndPaint(benchmark::State& state) {
  const Photos& photos = TestPhotos();
  ClipArea area;
  if (!CheckSetting(state, area)) return;
  QImage screen(mw::PhotoTargetSize(area.panel1), QImage::Format_RGB32);
  screen.setDevicePixelRatio(2.0);
  bool flip = false;
  for (auto _ : state) {
    flip = !flip;
    area.display.ShowClip(flip ? photos.a : photos.b);
    area.panel1.render(&screen);
    benchmark::DoNotOptimize(screen.constBits());
  }
}
BENCHMARK(BM_DenseShowClipPhotoAndPaint)->Unit(benchmark::kMillisecond);

// Baseline: libjpeg alone at the scale ShowClip uses.
void BM_BareLibjpegHalfDecode(benchmark::State& state) {
  const Photos& photos = TestPhotos();
  std::vector<unsigned char> pixels;
  for (auto _ : state) {
    mw::bench::BareLibjpegDecode(photos.a, kExpectedDenominator, pixels);
    benchmark::DoNotOptimize(pixels.data());
  }
}
BENCHMARK(BM_BareLibjpegHalfDecode)->Unit(benchmark::kMillisecond);

}  // namespace
