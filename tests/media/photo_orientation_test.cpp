// Photos taken turned: real JPEGs written with each of the eight orientation tags, and with
// damaged EXIF blocks, decoded by the clip area's photo decoder. A turned photo shows the
// same picture as the same photo stored upright.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTransform>
#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "clip_area_fixture.h"
#include "exif_fixtures.h"
#include "jpeg_fixtures.h"
#include "media/clip_display.h"
#include "media/jpeg_decoder.h"
#include "media/photo_image.h"
#include "media/photo_prefetcher.h"

namespace mw {
namespace {

using namespace std::chrono_literals;

// The upright picture: the four quadrants, none alike, so every turn and mirror shows.
QImage UprightPicture(int width, int height) {
  QImage picture(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      picture.setPixel(x, y, 0xff000000u | test::PatternColour(x, y, width, height));
  return picture;
}

// What a camera stores for `upright` when it records `orientation`: the picture turned back
// the other way, so that applying the tag gives `upright` again. Qt's own turns and mirrors,
// with y pointing down (a positive angle is clockwise).
QImage StoredPicture(const QImage& upright, int orientation) {
  const auto turned = [&](qreal degrees) {
    return upright.transformed(QTransform().rotate(degrees));
  };
  switch (orientation) {
    case 2:
      return upright.mirrored(true, false);
    case 3:
      return turned(180);
    case 4:
      return upright.mirrored(false, true);
    case 5:
      return turned(90).mirrored(true, false);  // the transpose
    case 6:
      return turned(-90);  // shown by a quarter clockwise
    case 7:
      return turned(90).mirrored(false, true);  // the transverse
    case 8:
      return turned(90);  // shown by a quarter anticlockwise
    default:
      return upright;
  }
}

void WritePicture(const std::string& path, const QImage& picture) {
  test::WriteRgbJpeg(path, picture.width(), picture.height(), 95, [&](int y, std::uint8_t* row) {
    for (int x = 0; x < picture.width(); ++x) {
      const QRgb pixel = picture.pixel(x, y);
      row[3 * x] = static_cast<std::uint8_t>(qRed(pixel));
      row[3 * x + 1] = static_cast<std::uint8_t>(qGreen(pixel));
      row[3 * x + 2] = static_cast<std::uint8_t>(qBlue(pixel));
    }
  });
}

// The largest difference of any colour channel of any pixel; 1000 when the sizes differ.
int LargestDifference(const QImage& a, const QImage& b) {
  if (a.size() != b.size()) return 1000;
  int largest = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      largest = std::max({largest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                          std::abs(qBlue(p) - qBlue(q))});
    }
  return largest;
}

QImage BlankPicture(int width, int height, QRgb colour) {
  QImage picture(width, height, QImage::Format_RGB32);
  picture.fill(0xff000000u | colour);
  return picture;
}

class PhotoOrientationTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const {
    return dir.filePath(QString::fromStdString(name)).toStdString();
  }
  // A photo `width` x `height` when shown upright, stored as a camera would store it for
  // `orientation`, with its EXIF block.
  std::string TurnedPhoto(const std::string& name, int width, int height, int orientation) {
    const std::string path = Path(name);
    WritePicture(path, StoredPicture(UprightPicture(width, height), orientation));
    test::InsertApp1(path, test::ExifPayload(orientation));
    return path;
  }
  static QImage Decoded(const std::string& path, QSize area, qreal ratio = 1.0) {
    PhotoImage photo;
    if (!photo.Load(path, area, ratio)) return {};
    return photo.Image().copy();
  }
  QTemporaryDir dir;
};

// Sides that are multiples of 16 keep every quadrant edge on a block edge, so that the
// stored and the upright photo encode the same picture.
constexpr int kWidth = 128, kHeight = 96;

TEST_F(PhotoOrientationTest, EachOfTheEightTagsShowsTheUprightPictureAtEveryScale) {
  const std::string upright = TurnedPhoto("upright.jpg", kWidth, kHeight, 1);
  for (QSize area : {QSize(kWidth, kHeight), QSize(kWidth / 4, kHeight / 4)}) {
    const QImage want = Decoded(upright, area);
    ASSERT_EQ(want.size(), area);
    for (int orientation = 1; orientation <= 8; ++orientation) {
      const std::string path =
          TurnedPhoto("tag" + std::to_string(orientation) + ".jpg", kWidth, kHeight, orientation);
      PhotoImage photo;
      ASSERT_TRUE(photo.Load(path, area)) << photo.LastError();
      EXPECT_EQ(photo.SourceSize(), QSize(kWidth, kHeight)) << "tag " << orientation;
      EXPECT_EQ(photo.Image().size(), area) << "tag " << orientation;
      EXPECT_LE(LargestDifference(photo.Image(), want), 4)
          << "tag " << orientation << " at " << area.width();
      const JpegHeader header = ReadJpegHeader(path);
      EXPECT_EQ(QSize(header.width, header.height), QSize(kWidth, kHeight)) << orientation;
      EXPECT_EQ(static_cast<int>(header.orientation), orientation);
    }
  }
}

TEST_F(PhotoOrientationTest, ATurnedPhotoIsDecodedAtTheScaleItsUprightSidesNeed) {
  // Stored 800 x 600, shown 600 x 800: at 1/8 it is 75 x 100 upright, which covers an area
  // of 75 x 100 although the stored 100 x 75 would not.
  const std::string path = TurnedPhoto("tall.jpg", 600, 800, 6);
  PhotoImage photo;
  ASSERT_TRUE(photo.Load(path, QSize(75, 100)));
  EXPECT_EQ(photo.ScaleDenominator(), 8);
  EXPECT_EQ(photo.Image().size(), QSize(75, 100));
  ASSERT_TRUE(photo.Load(path, QSize(100, 75)));
  EXPECT_EQ(photo.ScaleDenominator(), 4);
  EXPECT_EQ(photo.Image().size(), QSize(150, 200));
  // The high-density decode: a grown area decodes again, upright, for a screen of ratio 2.
  ASSERT_TRUE(photo.Cover(QSize(300, 400), 2.0));
  EXPECT_EQ(photo.ScaleDenominator(), 2);
  EXPECT_EQ(photo.Image().size(), QSize(300, 400));
  EXPECT_EQ(photo.Image().devicePixelRatio(), 2.0);
  EXPECT_LE(LargestDifference(photo.Image(),
                              Decoded(TurnedPhoto("t1.jpg", 600, 800, 1), QSize(300, 400))),
            4);
}

TEST_F(PhotoOrientationTest, DamagedOrStrangeExifBlocksShowThePhotoAsStored) {
  const QImage stored = StoredPicture(UprightPicture(kWidth, kHeight), 6);
  const std::string plain = Path("plain.jpg");
  WritePicture(plain, stored);
  const QImage want = Decoded(plain, stored.size());
  std::vector<std::uint8_t> cut = test::ExifPayload(6);
  cut.resize(30);
  std::vector<std::uint8_t> far = test::ExifPayload(6);
  far[6 + 4] = 0xf0, far[6 + 7] = 0x7f;  // the directory two gigabytes on
  std::vector<std::uint8_t> xmp = {'h', 't', 't', 'p', ':', '/', '/', 'n', 's'};
  test::ExifEntry as_long;
  as_long.value = 6, as_long.type = 4;
  const std::vector<std::vector<std::uint8_t>> blocks = {
      cut, far, xmp, test::ExifPayload(9), test::ExifPayload(0), test::ExifPayload(as_long), {}};
  int n = 0;
  for (const std::vector<std::uint8_t>& block : blocks) {
    const std::string path = Path("damaged" + std::to_string(++n) + ".jpg");
    WritePicture(path, stored);
    test::InsertApp1(path, block);
    PhotoImage photo;
    ASSERT_TRUE(photo.Load(path, stored.size())) << n << ": " << photo.LastError();
    EXPECT_EQ(LargestDifference(photo.Image(), want), 0) << "block " << n;
    EXPECT_EQ(ReadJpegHeader(path).width, kHeight) << "block " << n;
  }
}

TEST_F(PhotoOrientationTest, TheFirstExifBlockThatNamesAnOrientationCounts) {
  const std::string path = TurnedPhoto("two.jpg", kWidth, kHeight, 8);
  // Another APP1 block before it (as XMP often is) changes nothing.
  test::InsertApp1(path, {'h', 't', 't', 'p', ':', '/', '/', 'n', 's'});
  EXPECT_LE(LargestDifference(Decoded(path, {kWidth, kHeight}),
                              Decoded(TurnedPhoto("u.jpg", kWidth, kHeight, 1), {kWidth, kHeight})),
            4);
}

TEST_F(PhotoOrientationTest, CmykAndCutOffTurnedPhotosStillShow) {
  const std::string cmyk = Path("cmyk.jpg");
  test::WriteCmykJpeg(cmyk, 64, 48);  // red top-left as stored
  test::InsertApp1(cmyk, test::ExifPayload(6));
  const QImage shown = Decoded(cmyk, {48, 64});
  ASSERT_EQ(shown.size(), QSize(48, 64));
  // Turned a quarter clockwise, the stored top-left lands at the top right.
  EXPECT_GT(qRed(shown.pixel(40, 8)), 200);
  EXPECT_LT(qGreen(shown.pixel(40, 8)), 60);

  const std::string cut = TurnedPhoto("cut.jpg", 640, 480, 5);
  test::TruncateFile(cut, 0.5);
  PhotoImage photo;
  ASSERT_TRUE(photo.Load(cut, {480, 640}));
  EXPECT_TRUE(photo.Incomplete());
  EXPECT_EQ(photo.Image().size(), QSize(640, 480));
  // About the stored top half decoded: transposed, it is the upright left half.
  EXPECT_LE(LargestDifference(
                photo.Image().copy(0, 0, 200, 480),
                Decoded(TurnedPhoto("w.jpg", 640, 480, 1), {640, 480}).copy(0, 0, 200, 480)),
            4);
}

// The photo the web player's browser test shows turned: stored red above blue and tagged 6
// in a big-endian block, it shows blue on the left and red on the right, as in the browser.
TEST_F(PhotoOrientationTest, ShowsTheBrowsersTurnedPhotoAsTheBrowserDoes) {
  QImage stored = BlankPicture(640, 480, 0xff0000);
  QPainter(&stored).fillRect(0, 240, 640, 240, QColor(0, 0, 255));
  const std::string path = Path("attic.jpg");
  WritePicture(path, stored);
  test::ExifEntry entry;
  entry.value = 6;
  entry.big_endian = true;
  test::InsertApp1(path, test::ExifPayload(entry));
  const QImage shown = Decoded(path, {120, 160});
  ASSERT_EQ(shown.size(), QSize(120, 160));
  EXPECT_LE(LargestDifference(shown.copy(0, 0, 56, 160), BlankPicture(56, 160, 0x0000ff)), 2);
  EXPECT_LE(LargestDifference(shown.copy(64, 0, 56, 160), BlankPicture(56, 160, 0xff0000)), 2);
}

class TurnedClipAreaTest : public test::ClipAreaTest {};

TEST_F(TurnedClipAreaTest, TheClipAreaAndItsPrefetchShowATurnedPhotoUpright) {
  const std::string start = Path("start.jpg");
  test::WriteJpeg(start, 64, 48);
  const std::string target = Path("target.jpg");
  WritePicture(target, StoredPicture(UprightPicture(1280, 960), 6));
  test::InsertApp1(target, test::ExifPayload(6));
  const std::string upright = Path("upright.jpg");
  WritePicture(upright, UprightPicture(1280, 960));

  ASSERT_EQ(display->ShowClip(start), ClipKind::PhotoClip);
  display->PrefetchTargets({target});
  ASSERT_TRUE(display->Prefetcher().WaitUntilIdle(20s));
  const std::optional<CachedPhoto> cached =
      display->Prefetcher().Take(target, display->PhotoDecodeSize());
  ASSERT_TRUE(cached);
  EXPECT_EQ(QSize(cached->result.width, cached->result.height), QSize(320, 240));

  display->PrefetchTargets({target});
  ASSERT_TRUE(display->Prefetcher().WaitUntilIdle(20s));
  ASSERT_EQ(display->ShowClip(target), ClipKind::PhotoClip);
  EXPECT_EQ(display->Photo().SourceSize(), QSize(1280, 960));
  const QImage shown = panel1->Image1()->Photo().copy();
  PhotoImage fresh;
  ASSERT_TRUE(fresh.Load(upright, display->PhotoDecodeSize()));
  EXPECT_LE(LargestDifference(shown, fresh.Image()), 4);
}

}  // namespace
}  // namespace mw
