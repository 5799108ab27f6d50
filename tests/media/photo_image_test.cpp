// Photo decoding with real JPEG files: scales, damaged and hostile files, buffer reuse.
#include "media/photo_image.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QTemporaryDir>
#include <chrono>
#include <filesystem>
#include <fstream>

#include "jpeg_fixtures.h"
#include "media/jpeg_decoder.h"

namespace mw {
namespace {

using test::PatternColour;

class PhotoTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const {
    return dir.filePath(QString::fromStdString(name)).toStdString();
  }
  std::string MakeJpeg(const std::string& name, int width, int height, bool progressive = false) {
    const std::string path = Path(name);
    test::WriteJpeg(path, width, height, progressive);
    return path;
  }
  // The photo shows the quadrant pattern: checks the middle of each quadrant.
  static void ExpectPattern(const QImage& image) {
    const int w = image.width(), h = image.height();
    for (const auto& [x, y] : {std::pair{w / 4, h / 4},
                               {3 * w / 4, h / 4},
                               {w / 4, 3 * h / 4},
                               {3 * w / 4, 3 * h / 4}}) {
      const QRgb want = PatternColour(x, y, w, h);
      const QRgb got = image.pixel(x, y);
      EXPECT_NEAR(qRed(got), qRed(want), 12) << x << "," << y;
      EXPECT_NEAR(qGreen(got), qGreen(want), 12) << x << "," << y;
      EXPECT_NEAR(qBlue(got), qBlue(want), 12) << x << "," << y;
    }
  }
  QTemporaryDir dir;
};

struct ScaleCase {
  int width, height;
  bool progressive;
  int area_width, area_height;
  int denominator;
};

class PhotoScaleTest : public PhotoTest, public ::testing::WithParamInterface<ScaleCase> {};

TEST_P(PhotoScaleTest, DecodesAtTheSmallestScaleThatCoversTheArea) {
  const ScaleCase c = GetParam();
  PhotoImage photo;
  ASSERT_TRUE(photo.Load(MakeJpeg("p.jpg", c.width, c.height, c.progressive),
                         QSize(c.area_width, c.area_height)))
      << photo.LastError();
  EXPECT_EQ(photo.ScaleDenominator(), c.denominator);
  EXPECT_EQ(photo.SourceSize(), QSize(c.width, c.height));
  EXPECT_GE(photo.Image().width(), std::min(c.area_width, c.width));
  EXPECT_GE(photo.Image().height(), std::min(c.area_height, c.height));
  EXPECT_EQ(photo.Image().format(), QImage::Format_RGB32);
  EXPECT_FALSE(photo.Incomplete());
  ExpectPattern(photo.Image());
}

INSTANTIATE_TEST_SUITE_P(
    SizesAndKinds, PhotoScaleTest,
    ::testing::Values(ScaleCase{800, 600, false, 100, 70, 8},   // 100 x 75 covers
                      ScaleCase{800, 600, false, 100, 100, 4},  // 100 x 75 is too low
                      ScaleCase{4000, 3000, false, 1280, 720, 2},
                      ScaleCase{4000, 3000, true, 900, 700, 4},
                      ScaleCase{640, 480, true, 640, 480, 1},
                      ScaleCase{640, 480, false, 1920, 1080, 1},  // smaller than the area
                      ScaleCase{333, 77, false, 0, 0, 8}),
    [](const ::testing::TestParamInfo<ScaleCase>& info) {
      const ScaleCase& c = info.param;
      return std::to_string(c.width) + "x" + std::to_string(c.height) +
             (c.progressive ? "Progressive" : "Baseline") + "Into" + std::to_string(c.area_width) +
             "x" + std::to_string(c.area_height);
    });

TEST_F(PhotoTest, CoverDecodesAgainOnlyWhenTheAreaOutgrowsThePicture) {
  PhotoImage photo;
  ASSERT_TRUE(photo.Load(MakeJpeg("p.jpg", 1600, 1200), QSize(190, 140)));
  EXPECT_EQ(photo.ScaleDenominator(), 8);
  EXPECT_FALSE(photo.Cover(QSize(200, 150)));  // 200 x 150 still covers
  EXPECT_FALSE(photo.Cover(QSize(100, 100)));
  EXPECT_TRUE(photo.Cover(QSize(1000, 500)));
  EXPECT_EQ(photo.ScaleDenominator(), 1);
  EXPECT_EQ(photo.Image().size(), QSize(1600, 1200));
  EXPECT_FALSE(photo.Cover(QSize(3000, 3000)));  // already full size
  ExpectPattern(photo.Image());
}

TEST_F(PhotoTest, BuffersAreReusedFromOnePhotoToTheNext) {
  PhotoImage photo;
  ASSERT_TRUE(photo.Load(MakeJpeg("a.jpg", 800, 600), QSize(800, 600)));
  const uchar* first = photo.Image().constBits();
  ASSERT_TRUE(photo.Load(MakeJpeg("b.jpg", 640, 480), QSize(640, 480)));
  const uchar* second = photo.Image().constBits();
  EXPECT_NE(first, second);  // the photo on show is never overwritten by the next decode
  ASSERT_TRUE(photo.Load(MakeJpeg("c.jpg", 400, 300), QSize(400, 300)));
  EXPECT_EQ(photo.Image().constBits(), first);
  ASSERT_TRUE(photo.Load(Path("b.jpg"), QSize(640, 480)));
  EXPECT_EQ(photo.Image().constBits(), second);
}

TEST_F(PhotoTest, TruncatedPhotoShowsWhatDecoded) {
  const std::string path = MakeJpeg("cut.jpg", 640, 480);
  test::TruncateFile(path, 0.6);
  PhotoImage photo;
  ASSERT_TRUE(photo.Load(path, QSize(640, 480))) << photo.LastError();
  EXPECT_TRUE(photo.Incomplete());
  EXPECT_EQ(photo.Image().size(), QSize(640, 480));
  const QRgb top_left = photo.Image().pixel(160, 120);
  EXPECT_GT(qRed(top_left), 230);
  EXPECT_LT(qGreen(top_left), 30);
}

TEST_F(PhotoTest, CmykPhotoShowsItsColours) {
  const std::string path = Path("cmyk.jpg");
  test::WriteCmykJpeg(path, 160, 120);
  PhotoImage photo;
  ASSERT_TRUE(photo.Load(path, QSize(160, 120))) << photo.LastError();
  const QImage& image = photo.Image();
  for (auto [x, y] : {std::pair{40, 30}, {120, 30}, {40, 90}, {120, 90}}) {
    const QRgb want = test::PatternColour(x, y, 160, 120);
    const QRgb got = image.pixel(x, y);
    EXPECT_NEAR(qRed(got), qRed(want), 12) << x << "," << y;
    EXPECT_NEAR(qGreen(got), qGreen(want), 12) << x << "," << y;
    EXPECT_NEAR(qBlue(got), qBlue(want), 12) << x << "," << y;
  }
}

TEST_F(PhotoTest, GrayscaleAndArithmeticCodedPhotosShow) {
  PhotoImage photo;
  const std::string gray = Path("gray.jpg");
  test::WriteGrayJpeg(gray, 160, 120);
  ASSERT_TRUE(photo.Load(gray, QSize(160, 120))) << photo.LastError();
  EXPECT_LT(qGray(photo.Image().pixel(40, 60)), 60);
  EXPECT_GT(qGray(photo.Image().pixel(120, 60)), 200);
  const std::string arithmetic = Path("arith.jpg");
  test::WriteArithmeticJpeg(arithmetic, 160, 120);
  ASSERT_TRUE(photo.Load(arithmetic, QSize(160, 120))) << photo.LastError();
  ExpectPattern(photo.Image());
}

class RefusedPhotoTest : public PhotoTest {
 protected:
  // A refused photo gives false and leaves the photo shown before.
  void ExpectRefused(const std::string& path, const JpegLimits& limits = {}) {
    PhotoImage photo(limits);
    ASSERT_TRUE(photo.Load(MakeJpeg("good.jpg", 320, 240), QSize(320, 240)));
    const QImage before = photo.Image().copy();
    EXPECT_FALSE(photo.Load(path, QSize(320, 240)));
    EXPECT_FALSE(photo.LastError().empty());
    EXPECT_EQ(photo.Image(), before);
    EXPECT_EQ(photo.Path(), Path("good.jpg"));
  }
};

TEST_F(RefusedPhotoTest, DamagedHeader) {
  const std::string path = MakeJpeg("bad.jpg", 320, 240);
  test::DamageFrameHeader(path);
  ExpectRefused(path);
}

TEST_F(RefusedPhotoTest, CutInsideTheHeader) {
  const std::string path = MakeJpeg("head.jpg", 320, 240);
  std::filesystem::resize_file(path, 100);
  ExpectRefused(path);
}

TEST_F(RefusedPhotoTest, NotAJpegAtAllOrMissing) {
  std::ofstream(Path("text.jpg")) << "hello, not a photo\n";
  ExpectRefused(Path("text.jpg"));
  std::ofstream(Path("empty.jpg"));
  ExpectRefused(Path("empty.jpg"));
  ExpectRefused(Path("missing.jpg"));
}

TEST_F(RefusedPhotoTest, PipesAndDevicesNamedAsPhotosAreRefusedWithoutWaiting) {
  // A pipe without a writer would block the open; a device would be read for ever.
  ASSERT_EQ(mkfifo(Path("pipe.jpg").c_str(), 0600), 0);
  ExpectRefused(Path("pipe.jpg"));
  std::filesystem::create_symlink("/dev/zero", Path("zero.jpg"));
  ExpectRefused(Path("zero.jpg"));
}

TEST_F(RefusedPhotoTest, TinyProgressivePhotoClaimingAHugeSizeIsRefused) {
  // About a kilobyte that claims 10000 x 10000: its coefficients alone would take 300 MB.
  const std::string path = MakeJpeg("claim.jpg", 64, 64, true);
  test::PatchFrameSize(path, 10000, 10000);
  ExpectRefused(path);
  // The same claim in a baseline photo costs no coefficient memory: it shows as incomplete.
  PhotoImage photo;
  const std::string baseline = MakeJpeg("baseline.jpg", 64, 64);
  test::PatchFrameSize(baseline, 10000, 10000);
  ASSERT_TRUE(photo.Load(baseline, QSize(100, 100))) << photo.LastError();
  EXPECT_TRUE(photo.Incomplete());
}

TEST_F(PhotoTest, LargeFlatProgressivePhotoStillDecodes) {
  // Four flat quadrants compress to almost nothing, far below a thousandth of its
  // coefficients: the floor keeps such a photo decodable.
  PhotoImage photo;
  const std::string path = MakeJpeg("flat.jpg", 4000, 3000, true);
  ASSERT_LT(std::filesystem::file_size(path), 100'000u);
  ASSERT_TRUE(photo.Load(path, QSize(500, 375))) << photo.LastError();
  EXPECT_FALSE(photo.Incomplete());
  ExpectPattern(photo.Image());
}

TEST_F(RefusedPhotoTest, HugeDimensionsAreRefusedBeforeDecoding) {
  const std::string path = MakeJpeg("huge.jpg", 64, 64);
  test::PatchFrameSize(path, 65000, 65000);
  const auto start = std::chrono::steady_clock::now();
  ExpectRefused(path);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST_F(RefusedPhotoTest, PixelLimitIsInclusive) {
  JpegLimits limits;
  limits.max_pixels = 320 * 240;
  PhotoImage photo(limits);
  EXPECT_TRUE(photo.Load(MakeJpeg("edge.jpg", 320, 240), QSize(10, 10)));
  ExpectRefused(MakeJpeg("over.jpg", 321, 240), limits);
}

TEST_F(RefusedPhotoTest, PhotoOfHundredsOfScansIsRefused) {
  const std::string path = Path("scans.jpg");
  test::WriteManyScanJpeg(path, 64, 64);
  ExpectRefused(path);
}

TEST_F(RefusedPhotoTest, ProgressivePhotoOverTheDecoderMemoryCap) {
  JpegLimits limits;
  limits.max_decoder_memory = 1024 * 1024;
  // A progressive photo keeps all coefficients: about 3 bytes a pixel, here 6 MB.
  ExpectRefused(MakeJpeg("big.jpg", 2000, 1000, true), limits);
}

}  // namespace
}  // namespace mw
