// The overview's graph built from a map, its Graphviz layout, one rendering and the view.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <random>
#include <set>

#include "../map/temp_folder.h"
#include "../media/exif_fixtures.h"
#include "../media/jpeg_fixtures.h"
#include "overview/overview_picture.h"
#include "overview/overview_view.h"

namespace mw {
namespace {

ClickerMark Mark(const std::string& clip, const std::string& target, const std::string& hint) {
  ClickerMark mark;
  mark.Clip = clip;
  mark.X = 0.5f;
  mark.Y = 0.5f;
  mark.NextClip = target;
  mark.Hint = hint;
  return mark;
}

class OverviewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(folder_.Path());
    std::filesystem::create_directory("rooms");
    test::WriteJpeg("rooms/hall.jpg", 320, 240);
    test::WriteJpeg("kitchen.jpg", 240, 320);
    test::WriteJpeg("attic.jpg", 64, 64);
    std::filesystem::copy_file(std::string(MW_TEST_DATA_DIR) + "/media/rgb.mpg", "garden.mpg");
    // hall -> kitchen -> garden -> hall, hall -> cellar (missing), attic -> hall.
    for (const ClickerMark& m :
         {Mark("rooms/hall.jpg", "kitchen.jpg", "to the kitchen"),
          Mark("kitchen.jpg", "garden.mpg", "out"), Mark("garden.mpg", "rooms/hall.jpg", "in"),
          Mark("rooms/hall.jpg", "cellar.jpg", "down"), Mark("attic.jpg", "rooms/hall.jpg", "")})
      map_.Append(m);
  }
  void TearDown() override { std::filesystem::current_path(previous_); }

  test::TempFolder folder_;
  std::filesystem::path previous_;
  ClipMap map_;
};

TEST_F(OverviewTest, GraphHasANodePerClipAnArrowPerMarkAndTheirStates) {
  ClipProber prober;
  const OverviewGraph graph = BuildOverviewGraph(map_, prober);
  ASSERT_EQ(graph.nodes.size(), 5u);
  EXPECT_EQ(graph.nodes[0].clip, "rooms/hall.jpg");
  EXPECT_EQ(graph.nodes[0].name, "hall.jpg");
  EXPECT_TRUE(graph.nodes[0].start);
  EXPECT_FALSE(graph.nodes[1].start);
  EXPECT_EQ(graph.nodes[3].clip, "cellar.jpg");
  EXPECT_TRUE(graph.nodes[3].Broken());
  EXPECT_EQ(graph.nodes[3].state, FileState::Missing);
  EXPECT_EQ(graph.nodes[4].clip, "attic.jpg");
  EXPECT_FALSE(graph.nodes[4].reachable);
  EXPECT_TRUE(graph.nodes[2].reachable);
  EXPECT_FALSE(graph.nodes[2].Broken());
  ASSERT_EQ(graph.edges.size(), 5u);
  EXPECT_EQ(graph.edges[0].hint, "to the kitchen");
  EXPECT_EQ(graph.edges[3].to, 3u);
  EXPECT_TRUE(graph.edges[3].broken);
  EXPECT_FALSE(graph.edges[0].broken);
}

TEST_F(OverviewTest, LayoutPlacesEveryNodeApartAndRoutesEveryArrow) {
  OverviewPicture picture;
  ASSERT_TRUE(picture.Build(map_)) << picture.Error();
  const GraphLayout& layout = picture.Layout();
  ASSERT_EQ(layout.nodes.size(), 5u);
  ASSERT_EQ(layout.edges.size(), 5u);
  for (std::size_t a = 0; a < 5; ++a) {
    const QRectF box = picture.NodeBox(a);
    EXPECT_TRUE(QRectF(QPointF(0, 0), picture.Size()).contains(box));
    for (std::size_t b = a + 1; b < 5; ++b) EXPECT_FALSE(box.intersects(picture.NodeBox(b)));
    EXPECT_EQ(picture.NodeAt(box.center()), a);
  }
  for (const EdgePath& edge : layout.edges) {
    EXPECT_GE(edge.points.size(), 4u);
    EXPECT_EQ((edge.points.size() - 1) % 3, 0u);
  }
  // dot puts the start clip above the clips it leads to.
  EXPECT_LT(layout.nodes[0].centre.y, layout.nodes[1].centre.y);
  // The pointer on an arrow finds its mark, whose message is the arrow's hint.
  const QPointF shift =
      picture.NodeBox(0).center() - QPointF(layout.nodes[0].centre.x, layout.nodes[0].centre.y);
  const LayoutPoint& kitchenOut = layout.edges[1].points.front();
  EXPECT_EQ(picture.EdgeAt(QPointF(kitchenOut.x, kitchenOut.y) + shift, 3.0), 1u);
  EXPECT_EQ(picture.Graph().edges[1].hint, "out");
  EXPECT_FALSE(picture.EdgeAt(QPointF(1, 1), 3.0));
}

TEST_F(OverviewTest, RenderingShowsDistinctNodesWithThumbnailsAndStates) {
  OverviewPicture picture;
  ASSERT_TRUE(picture.Build(map_)) << picture.Error();
  const QImage image = picture.ToImage();
  EXPECT_EQ(image.size(), picture.Size().toSize());
  std::set<QRgb> centres;
  for (std::size_t k = 0; k < picture.Graph().nodes.size(); ++k) {
    const QRectF box = picture.NodeBox(k);
    // Just above the thumbnail's middle lies a pixel of the picture or the placeholder.
    centres.insert(image.pixel(box.center().toPoint() - QPoint(0, 10)));
  }
  // Photo quadrants of different photos, the movie's placeholder, the missing cross.
  EXPECT_GE(centres.size(), 3u);
  const QRectF start = picture.NodeBox(0);
  const QColor startBorder =
      image.pixelColor(QPoint(int(start.center().x()), int(start.top()) + 1));
  EXPECT_GT(startBorder.blue(), startBorder.red() + 60);
  const QRectF missing = picture.NodeBox(3);
  const QColor missingBorder =
      image.pixelColor(QPoint(int(missing.center().x()), int(missing.top()) + 1));
  EXPECT_GT(missingBorder.red(), missingBorder.blue() + 100);
  // The unreachable clip is drawn pale: its border is lighter than a reached one's.
  const QColor dim = image.pixelColor(
      QPoint(int(picture.NodeBox(4).left()) + 30, int(picture.NodeBox(4).bottom())));
  const QColor plain = image.pixelColor(
      QPoint(int(picture.NodeBox(1).left()) + 30, int(picture.NodeBox(1).bottom())));
  EXPECT_GT(dim.lightness(), plain.lightness() + 40);
}

TEST_F(OverviewTest, ViewZoomsAroundThePointerAndADoubleClickChoosesAClip) {
  OverviewView view;
  view.resize(800, 600);
  view.show();
  view.ShowMap(map_);
  EXPECT_TRUE(view.Busy());
  EXPECT_TRUE(QTest::qWaitFor([&] { return !view.Busy(); }, 20000));
  ASSERT_EQ(view.Picture().Graph().nodes.size(), 5u);
  const QPointF anchor(300, 200);
  const QPointF under = view.ToPicture(anchor);
  view.ZoomAt(anchor, 2.0);
  EXPECT_NEAR(view.ToPicture(anchor).x(), under.x(), 1e-6);
  EXPECT_NEAR(view.ToPicture(anchor).y(), under.y(), 1e-6);

  QSignalSpy chosen(&view, &OverviewView::clipChosen);
  const QPointF kitchen = view.Picture().NodeBox(1).center() * view.Zoom() + view.Offset();
  QTest::mouseDClick(&view, Qt::LeftButton, Qt::NoModifier, kitchen.toPoint());
  ASSERT_EQ(chosen.count(), 1);
  EXPECT_EQ(chosen.at(0).at(0).toString(), "kitchen.jpg");

  // A drag moves the picture by the same distance.
  const QPointF before = view.Offset();
  QTest::mousePress(&view, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
  QMouseEvent move(QEvent::MouseMove, QPointF(40, 30), QPointF(40, 30), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&view, &move);
  QTest::mouseRelease(&view, Qt::LeftButton, Qt::NoModifier, QPoint(40, 30));
  EXPECT_EQ(view.Offset() - before, QPointF(30, 20));
}

// Marks from one clip to the same target share one arrow, which counts them.
TEST_F(OverviewTest, MarksBetweenTheSameClipsShareAnArrowWithTheirCount) {
  map_.Append(Mark("rooms/hall.jpg", "kitchen.jpg", "again"));
  map_.Append(Mark("rooms/hall.jpg", "kitchen.jpg", "and again"));
  OverviewPicture picture;
  ASSERT_TRUE(picture.Build(map_)) << picture.Error();
  ASSERT_EQ(picture.Graph().edges.size(), 5u);
  EXPECT_EQ(picture.Graph().edges[0].count, 3u);
  EXPECT_EQ(picture.Graph().edges[0].Text(), "3 marks: to the kitchen, ...");
  EXPECT_EQ(picture.Graph().edges[1].Text(), "out");
  const std::string svg = picture.ToSvg();
  EXPECT_NE(svg.find("<title>3 marks: to the kitchen, ...</title>"), std::string::npos);
  EXPECT_NE(svg.find(">\u00d73</text>"), std::string::npos);
}

// A map of many clips and marks, a star of hundreds of targets, and one of more clips
// than the overview draws: one arrow per pair, the spring layout, an image of bounded
// size, and a message instead of a picture.
TEST_F(OverviewTest, LargeMapsAreBoundedInArrowsAndPixels) {
  ClipMap dense;
  std::mt19937 random(7);
  for (int k = 0; k < 1500; ++k) {
    const int from = int(random() % 100), to = int(random() % 100);
    dense.Append(Mark("c" + std::to_string(from) + ".jpg", "c" + std::to_string(to) + ".jpg", ""));
  }
  OverviewPicture picture;
  ASSERT_TRUE(picture.Build(dense)) << picture.Error();
  std::set<std::pair<std::size_t, std::size_t>> pairs;
  std::size_t marks = 0;
  for (const OverviewEdge& edge : picture.Graph().edges) {
    EXPECT_TRUE(pairs.emplace(edge.from, edge.to).second);
    marks += edge.count;
  }
  EXPECT_EQ(marks, 1500u);
  EXPECT_FALSE(picture.Layout().layered);
  for (const EdgePath& edge : picture.Layout().edges) EXPECT_TRUE(edge.tip.has_value());

  ClipMap star;
  for (int k = 0; k < 300; ++k)
    star.Append(Mark("hub.jpg", "t" + std::to_string(k) + ".jpg", ""));
  ASSERT_TRUE(picture.Build(star)) << picture.Error();
  const QImage image = picture.ToImage();
  EXPECT_LE(image.width(), 16384);
  EXPECT_LE(image.height(), 16384);
  EXPECT_LE(double(image.width()) * image.height(), 50e6);

  for (int k = 300; k < 2100; ++k)
    star.Append(Mark("hub.jpg", "t" + std::to_string(k) + ".jpg", ""));
  EXPECT_FALSE(picture.Build(star));
  EXPECT_EQ(picture.Error(),
            "The map has 2101 clips: too many to draw (the overview draws at most 2000).");
}

// On a screen of twice the density a thumbnail has a pixel for each device pixel, and
// fills the same place in the picture.
TEST_F(OverviewTest, ThumbnailsAreMadeAtDevicePixels) {
  test::WriteJpeg("big.jpg", 1600, 1200);
  Thumbnails thumbnails(QSize(112, 72));
  const QImage plain = thumbnails.Of("big.jpg");
  const QImage dense = thumbnails.Of("big.jpg", 2.0);
  EXPECT_EQ(plain.size(), QSize(96, 72));
  EXPECT_EQ(dense.size(), QSize(192, 144));
  EXPECT_EQ(dense.deviceIndependentSize(), QSizeF(96, 72));
  // The overview's own pictures are made at the scale they are given.
  ClipMap map;
  map.Append(Mark("big.jpg", "kitchen.jpg", ""));
  OverviewPicture picture;
  picture.SetThumbnailScale(2.0);
  ASSERT_TRUE(picture.Build(map));
  const std::string svg = picture.ToSvg();
  EXPECT_NE(svg.find("width=\"96.0\" height=\"72.0\""), std::string::npos);
}

// A photo its camera tagged as turned has an upright thumbnail: stored 1600 x 1200 with
// red at the top left, shown 1200 x 1600 with red at the top right.
TEST_F(OverviewTest, ThumbnailsOfTurnedPhotosAreUpright) {
  test::WriteJpeg("turned.jpg", 1600, 1200);
  test::InsertApp1("turned.jpg", test::ExifPayload(6));
  Thumbnails thumbnails(QSize(112, 72));
  const QImage thumbnail = thumbnails.Of("turned.jpg");
  ASSERT_EQ(thumbnail.size(), QSize(54, 72));
  EXPECT_GT(qRed(thumbnail.pixel(40, 10)), 200);
  EXPECT_LT(qGreen(thumbnail.pixel(40, 10)), 60);
  EXPECT_GT(qBlue(thumbnail.pixel(10, 10)), 200);  // blue, stored at the bottom left
  EXPECT_LT(qRed(thumbnail.pixel(10, 10)), 60);
  EXPECT_GT(qGreen(thumbnail.pixel(40, 60)), 200);  // green, stored at the top right
  EXPECT_LT(qBlue(thumbnail.pixel(40, 60)), 60);
}

}  // namespace
}  // namespace mw
