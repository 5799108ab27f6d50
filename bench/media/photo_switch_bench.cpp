// Switching to a 24-megapixel photo in a 1280 x 720 clip area, against Qt's own loader with
// a smooth scale and against a bare libjpeg decode at 1/4 scale, all on the same file.
#include <benchmark/benchmark.h>

#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QSlider>
#include <QTemporaryDir>
#include <cstdio>
#include <vector>
// clang-format off
#include <jpeglib.h>
// clang-format on

#include "media/clip_display.h"

namespace {

constexpr int kWidth = 6000, kHeight = 4000;  // 24 megapixels
const QSize kArea(1280, 720);

// Writes a baseline JPEG of gradients and fine detail with sensor-like grain of `noise`
// (a bit mask): 3 gives a smooth photo of about 3 MB, 15 a grainy one of about 5.4 MB.
// Entropy decoding, which every decoder must do in full, grows with the grain.
void WriteTexturedJpeg(const std::string& path, unsigned noise_mask) {
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
  jpeg_set_quality(&cinfo, 90, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<JSAMPLE> row(kWidth * 3);
  unsigned noise = 12345;
  while (cinfo.next_scanline < cinfo.image_height) {
    const unsigned y = cinfo.next_scanline;
    for (unsigned x = 0; x < kWidth; ++x) {
      noise = noise * 1103515245u + 12345u;
      const unsigned grain = (noise >> 24) & noise_mask;
      row[x * 3] = static_cast<JSAMPLE>(((x / 7 + y / 5) & 255) ^ grain);
      row[x * 3 + 1] = static_cast<JSAMPLE>((((x * y) >> 12) & 255) ^ grain);
      row[x * 3 + 2] = static_cast<JSAMPLE>(96 + ((x + 2 * y) >> 6 & 63) + grain);
    }
    JSAMPROW rows[] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::fclose(file);
}

// Two copies of the photo, so that each ShowClip is a real switch to another clip.
struct Photos {
  explicit Photos(unsigned noise_mask) {
    a = dir.filePath("a.jpg").toStdString();
    b = dir.filePath("b.jpg").toStdString();
    WriteTexturedJpeg(a, noise_mask);
    WriteTexturedJpeg(b, noise_mask);
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
  std::vector<JSAMPLE> pixels;
  for (auto _ : state) {
    std::FILE* file = std::fopen(photos.a.c_str(), "rb");
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, file);
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_EXT_BGRX;
    cinfo.scale_num = 1;
    cinfo.scale_denom = 4;
    jpeg_start_decompress(&cinfo);
    const std::size_t stride = cinfo.output_width * 4;
    pixels.resize(stride * cinfo.output_height);
    while (cinfo.output_scanline < cinfo.output_height) {
      JSAMPROW row = pixels.data() + cinfo.output_scanline * stride;
      jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    std::fclose(file);
    benchmark::DoNotOptimize(pixels.data());
  }
}
BENCHMARK(BM_BareLibjpegQuarterDecode)->Arg(3)->Arg(15)->Unit(benchmark::kMillisecond);

}  // namespace
