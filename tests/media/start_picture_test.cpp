// The start picture with real JPEG files: made from a photo, tied to it, shown in its place
// and replaced by it.
#include "media/start_picture.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>

#include "clip_area_fixture.h"
#include "exif_fixtures.h"
#include "jpeg_fixtures.h"
#include "media/jpeg_decoder.h"
#include "media/photo_image.h"

namespace mw {
namespace {

namespace fs = std::filesystem;
using test::PatternColour;

// True when `got` is within a JPEG's error of `want`.
bool Near(QRgb got, QRgb want) {
  return std::abs(qRed(got) - qRed(want)) < 24 && std::abs(qGreen(got) - qGreen(want)) < 24 &&
         std::abs(qBlue(got) - qBlue(want)) < 24;
}

// The middle of each quadrant of `image` shows the quadrant pattern.
bool ShowsPattern(const QImage& image) {
  const int w = image.width(), h = image.height();
  for (const auto& [x, y] : {std::pair{w / 4, h / 4}, {3 * w / 4, h / 4}, {w / 4, 3 * h / 4},
                             {3 * w / 4, 3 * h / 4}}) {
    if (!Near(image.pixel(x, y), PatternColour(x, y, w, h))) return false;
  }
  return true;
}

// The picture at `path` decoded whole and upright.
QImage Decoded(const std::string& path) {
  PixelBuffer pixels;
  const JpegHeader header = ReadJpegHeader(path);
  const JpegResult result = DecodeJpeg(path, header.width, header.height, {}, pixels);
  if (!result.ok) return {};
  return QImage(pixels.Data(), result.width, result.height, result.width * 4,
                QImage::Format_RGB32)
      .copy();
}

class StartPictureTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const {
    return dir.filePath(QString::fromStdString(name)).toStdString();
  }
  QTemporaryDir dir;
};

TEST_F(StartPictureTest, IsThePhotoStretchedToTheWindowAndTiedToItsClip) {
  const std::string photo = Path("hall.jpg"), picture = Path("mwRun.start.jpg");
  test::WriteJpeg(photo, 800, 400);
  // Only a photo of more than twice the window's pixels is worth a copy.
  EXPECT_TRUE(WorthAStartPicture(photo, QSize(300, 300)));
  EXPECT_FALSE(WorthAStartPicture(photo, QSize(400, 400)));
  EXPECT_FALSE(WorthAStartPicture(Path("missing.jpg"), QSize(30, 30)));
  EXPECT_EQ(WriteStartPicture(photo, "hall.jpg", QSize(300, 300), picture), "");
  const JpegHeader header = ReadJpegHeader(picture);
  ASSERT_TRUE(header.ok) << header.error;
  EXPECT_EQ(QSize(header.width, header.height), QSize(300, 300));
  EXPECT_TRUE(ShowsPattern(Decoded(picture)));
  EXPECT_LT(fs::file_size(picture), 100'000u);

  EXPECT_TRUE(IsStartPictureOf(picture, photo, "hall.jpg"));
  EXPECT_FALSE(IsStartPictureOf(picture, photo, "kitchen.jpg"));
  // The photo replaced by another of another size: the picture no longer stands in for it.
  test::WriteJpeg(photo, 640, 480);
  EXPECT_FALSE(IsStartPictureOf(picture, photo, "hall.jpg"));
  EXPECT_FALSE(IsStartPictureOf(picture, Path("gone.jpg"), "gone.jpg"));
}

TEST_F(StartPictureTest, OrdinaryPhotosAndOtherFilesAreNoStartPictures) {
  const std::string photo = Path("hall.jpg");
  test::WriteJpeg(photo, 320, 240);
  const std::string plain = Path("plain.jpg");
  test::WriteJpeg(plain, 320, 240);
  EXPECT_FALSE(IsStartPictureOf(plain, photo, "hall.jpg"));
  std::ofstream(Path("text.jpg")) << "MarkWeaver start picture\nhall.jpg\n" << fs::file_size(photo);
  EXPECT_FALSE(IsStartPictureOf(Path("text.jpg"), photo, "hall.jpg"));
  fs::create_directory(Path("folder.jpg"));
  EXPECT_FALSE(IsStartPictureOf(Path("folder.jpg"), photo, "hall.jpg"));
  EXPECT_FALSE(IsStartPictureOf(Path("missing.jpg"), photo, "hall.jpg"));
  // A picture cut short inside its header.
  const std::string picture = Path("cut.jpg");
  ASSERT_EQ(WriteStartPicture(photo, "hall.jpg", QSize(64, 48), picture), "");
  fs::resize_file(picture, 30);
  EXPECT_FALSE(IsStartPictureOf(picture, photo, "hall.jpg"));
}

TEST_F(StartPictureTest, APhotoTakenTurnedGivesAnUprightPicture) {
  // Stored 400 x 800 and tagged to be turned a quarter clockwise: upright it is 800 x 400,
  // and the stored bottom-left (blue) comes to the top-left.
  const std::string photo = Path("turned.jpg"), picture = Path("mwRun.start.jpg");
  test::WriteJpeg(photo, 400, 800);
  test::InsertApp1(photo, test::ExifPayload(6));
  ASSERT_EQ(WriteStartPicture(photo, "turned.jpg", QSize(200, 100), picture), "");
  const QImage upright = Decoded(picture);
  ASSERT_EQ(upright.size(), QSize(200, 100));
  EXPECT_TRUE(Near(upright.pixel(40, 20), qRgb(0, 0, 255)));
  EXPECT_TRUE(Near(upright.pixel(160, 80), qRgb(0, 255, 0)));
}

TEST_F(StartPictureTest, APhotoThatCannotBeCopiedLeavesNoPicture) {
  const std::string photo = Path("hall.jpg"), picture = Path("mwRun.start.jpg");
  test::WriteJpeg(photo, 320, 240);
  EXPECT_NE(WriteStartPicture(photo, "hall.jpg", QSize(0, 480), picture), "");
  EXPECT_NE(WriteStartPicture(photo, "hall.jpg", QSize(640, 100'000), picture), "");
  test::DamageFrameHeader(photo);
  EXPECT_NE(WriteStartPicture(photo, "hall.jpg", QSize(640, 480), picture), "");
  EXPECT_NE(WriteStartPicture(Path("missing.jpg"), "missing.jpg", QSize(640, 480), picture), "");
  EXPECT_FALSE(fs::exists(picture));
  test::WriteJpeg(photo, 320, 240);
  EXPECT_NE(WriteStartPicture(photo, "hall.jpg", QSize(640, 480), Path("no/such/folder.jpg")),
            "");
}

// A stand-in of flat grey for the quadrant photo, so that each is told apart on screen.
class StandInTest : public test::ClipAreaTest {
 protected:
  StandInTest() {
    test::WriteJpeg(photo, 800, 600);
    test::WriteGrayJpeg(stand_in, 160, 120);
  }
  std::string photo = Path("hall.jpg");
  std::string stand_in = Path("mwRun.start.jpg");
};

TEST_F(StandInTest, ThePhotoObjectShowsTheStandInUntilCompleted) {
  PhotoImage image;
  EXPECT_FALSE(image.Complete(QSize(320, 240)));
  image.AdoptStandIn(DecodeStartPicture(stand_in), photo);
  EXPECT_TRUE(image.ShowsStandIn());
  EXPECT_EQ(image.Path(), photo);
  EXPECT_EQ(image.Image().size(), QSize(160, 120));
  // A larger area does not bring the photo early: the stand-in is stretched meanwhile.
  EXPECT_FALSE(image.Cover(QSize(640, 480)));
  EXPECT_TRUE(image.ShowsStandIn());
  ASSERT_TRUE(image.Complete(QSize(320, 240)));
  EXPECT_FALSE(image.ShowsStandIn());
  EXPECT_EQ(image.Image().size(), QSize(400, 300));
  EXPECT_TRUE(ShowsPattern(image.Image()));
  EXPECT_FALSE(image.Complete(QSize(320, 240)));
}

TEST_F(StandInTest, APhotoGoneBeforeItsTurnKeepsTheStandIn) {
  PhotoImage image;
  image.AdoptStandIn(DecodeStartPicture(stand_in), photo);
  fs::remove(photo);
  EXPECT_FALSE(image.Complete(QSize(320, 240)));
  EXPECT_EQ(image.Image().size(), QSize(160, 120));
  EXPECT_TRUE(image.ShowsStandIn());
}

TEST_F(StandInTest, TheClipAreaPaintsTheStandInThenThePhoto) {
  EXPECT_EQ(display->ShowPhotoWithStandIn(photo, DecodeStartPicture(stand_in)),
            ClipKind::PhotoClip);
  EXPECT_TRUE(display->ClipShown());
  EXPECT_TRUE(display->Photo().ShowsStandIn());
  const QImage first = panel1->grab().toImage();
  EXPECT_FALSE(ShowsPattern(first));
  display->CompletePhoto();
  EXPECT_FALSE(display->Photo().ShowsStandIn());
  EXPECT_TRUE(ShowsPattern(panel1->grab().toImage()));
}

TEST_F(StandInTest, AnotherClipShownFirstIsLeftAsItIs) {
  const std::string kitchen = Path("kitchen.jpg");
  test::WriteGrayJpeg(kitchen, 320, 240);
  ASSERT_EQ(display->ShowPhotoWithStandIn(photo, DecodeStartPicture(stand_in)),
            ClipKind::PhotoClip);
  ASSERT_EQ(display->ShowClip(kitchen), ClipKind::PhotoClip);
  display->CompletePhoto();
  EXPECT_EQ(display->Photo().Path(), kitchen);
  EXPECT_EQ(display->Photo().Image().size(), QSize(320, 240));
}

TEST_F(StandInTest, AStandInThatDoesNotDecodeGivesThePhotoAtOnce) {
  std::ofstream(stand_in, std::ios::trunc) << "not a picture";
  const CachedPhoto damaged = DecodeStartPicture(stand_in);
  EXPECT_FALSE(damaged.result.ok);
  EXPECT_EQ(display->ShowPhotoWithStandIn(photo, damaged), ClipKind::PhotoClip);
  EXPECT_FALSE(display->Photo().ShowsStandIn());
  EXPECT_TRUE(ShowsPattern(panel1->grab().toImage()));
  // A movie is never shown through a stand-in.
  test::WriteGrayJpeg(stand_in, 160, 120);
  EXPECT_EQ(display->ShowPhotoWithStandIn(Path("clip.mpg"), DecodeStartPicture(stand_in)),
            ClipKind::NoClip);
}

TEST_F(StandInTest, AStartPictureDecodedAheadIsTheWholePicture) {
  std::shared_future<CachedPhoto> ahead = DecodeStartPictureAhead(stand_in);
  ASSERT_TRUE(ahead.valid());
  EXPECT_TRUE(ahead.get().result.ok);
  EXPECT_EQ(ahead.get().decode_size, QSize(160, 120));
  EXPECT_EQ(ahead.get().path, stand_in);
  EXPECT_FALSE(DecodeStartPictureAhead(Path("missing.jpg")).valid());
  EXPECT_FALSE(DecodeStartPictureAhead(dir.path().toStdString()).valid());
}

}  // namespace
}  // namespace mw
