// Switching to a 24-megapixel photo in a 1280 x 720 clip area, against Qt's own loader with
// a smooth scale and against a bare libjpeg decode at 1/4 scale, all on the same file.
#include <benchmark/benchmark.h>

#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QSlider>
#include <QTemporaryDir>
#include <vector>

#include "media/clip_display.h"
#include "jpeg_bench_support.h"

namespace {

const QSize kArea(1280, 720);

// Two copies of the photo, so that each ShowClip is a real switch to another clip.
struct Photos {
  explicit Photos(unsigned noise_mask) {
    a = dir.filePath("a.jpg").toStdString();
    b = dir.filePath("b.jpg").toStdString();
    mw::bench::WriteTexturedJpeg(a, noise_mask);
    mw::bench::WriteTexturedJpeg(b, noise_mask);
  }
  QTemporaryDir dir;
  std::string a, b;
};

// The photos for the grain in the benchmark's argument, made once.
const Photos& TestPhotos(const benchmark::State& state) {
  static Photos smooth(3), grainy(15);
  const Photos& photos = state.range(0) == 3 ? smooth : grainy;
  return photos;
}

struct ClipArea {
  ClipArea() : display(&panel1, &media_player1, &track_bar1) { panel1.resize(kArea); }
  mw::ClipPanel panel1;
  mw::MovieControlBar media_player1;
  QSlider track_bar1;
  mw::ClipDisplay display;
};

void BM_ShowClipPhoto(benchmark::State& state) {
  const Photos& photos = TestPhotos(state);
  ClipArea area;
  bool flip = false;
  state.counters["file_MB"] = QFileInfo(QString::fromStdString(photos.a)).size() / 1e6;
  for (auto _ : state) {
    flip = !flip;
    if (area.display.ShowClip(flip ? photos.a : photos.b) != mw::ClipKind::PhotoClip)
      state.SkipWithError("photo not shown");
    benchmark::DoNotOptimize(area.panel1.Image1()->Photo().constBits());
  }
}
BENCHMARK(BM_ShowClipPhoto)->Arg(3)->Arg(15)->Unit(benchmark::kMillisecond);

// The same, with the first paint of the clip area into an off-screen image.
void BM_ShowClipPhotoAndPaint(benchmark::State& state) {
  const Photos& photos = TestPhotos(state);
  ClipArea area;
  QImage screen(kArea, QImage::Format_RGB32);
  bool flip = false;
  for (auto _ : state) {
    flip = !flip;
    area.display.ShowClip(flip ? photos.a : photos.b);
    area.panel1.render(&screen);
    benchmark::DoNotOptimize(screen.constBits());
  }
}
BENCHMARK(BM_ShowClipPhotoAndPaint)->Arg(3)->Arg(15)->Unit(benchmark::kMillisecond);

// Baseline: Qt's image plug-in and a smooth scale to the clip area.
void BM_QtLoadAndSmoothScale(benchmark::State& state) {
  const Photos& photos = TestPhotos(state);
  const QString path = QString::fromStdString(photos.a);
  for (auto _ : state) {
    QImage image(path);
    QImage scaled = image.scaled(kArea, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    benchmark::DoNotOptimize(scaled.constBits());
  }
}
BENCHMARK(BM_QtLoadAndSmoothScale)->Arg(3)->Arg(15)->Unit(benchmark::kMillisecond);

// Baseline: libjpeg alone, 1/4 scale into a reused BGRX buffer, no checks and no widget.
void BM_BareLibjpegQuarterDecode(benchmark::State& state) {
  const Photos& photos = TestPhotos(state);
  std::vector<unsigned char> pixels;
  for (auto _ : state) {
    mw::bench::BareLibjpegDecode(photos.a, 4, pixels);
    benchmark::DoNotOptimize(pixels.data());
  }
}
BENCHMARK(BM_BareLibjpegQuarterDecode)->Arg(3)->Arg(15)->Unit(benchmark::kMillisecond);

}  // namespace
