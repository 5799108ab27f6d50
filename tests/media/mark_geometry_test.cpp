// Mark geometry and the hit test: scaling with the clip area, the open rectangle,
// map order, exact clip texts and panel rectangles.
#include "media/mark_geometry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace mw {
namespace {

ClickerMark MarkAt(std::string clip, float x, float y, int size, int areaW, int areaH,
                   std::string target = "target.jpg", std::string hint = "hint") {
  ClickerMark m;
  m.Clip = std::move(clip);
  m.X = x;
  m.Y = y;
  m.Size = size;
  m.AreaWidth = areaW;
  m.AreaHeight = areaH;
  m.NextClip = std::move(target);
  m.Hint = std::move(hint);
  return m;
}

ClipMap MapOf(std::initializer_list<ClickerMark> marks) {
  ClipMap map;
  for (const auto& m : marks) map.Append(m);
  return map;
}

TEST(MarkGeometry, MarkPlacedInASmallerAreaStretchesWithIt) {
  // Placed at (300, 175) in 600 x 350, shown in 1200 x 350.
  ClickerMark mark = MarkAt("a", 0.5f, 0.5f, 10, 600, 350);
  AreaSize wide{1200, 350};
  EXPECT_EQ(MarkScaleX(mark, wide), 2.0f);
  EXPECT_EQ(MarkScaleY(mark, wide), 1.0f);
  EXPECT_EQ(MarkPanelRect(mark, wide), (PanelRect{580, 165, 40, 20}));
  EXPECT_TRUE(MarkContains(mark, wide, 581, 166));
  EXPECT_TRUE(MarkContains(mark, wide, 619, 184));
  EXPECT_FALSE(MarkContains(mark, wide, 580, 175));
  EXPECT_FALSE(MarkContains(mark, wide, 620, 175));
  EXPECT_FALSE(MarkContains(mark, wide, 600, 185));
  EXPECT_FALSE(MarkContains(mark, wide, 600, 165));
}

TEST(MarkGeometry, BoundaryOfTheOpenRectangleAtScaleOne) {
  ClickerMark mark = MarkAt("a", 0.5f, 0.5f, 10, 600, 350);
  AreaSize area{600, 350};
  EXPECT_TRUE(MarkContains(mark, area, 309, 175));
  EXPECT_FALSE(MarkContains(mark, area, 310, 175));
  EXPECT_TRUE(MarkContains(mark, area, 291, 166));
  EXPECT_FALSE(MarkContains(mark, area, 290, 175));
}

TEST(MarkGeometry, UnrecordedAreaKeepsThePixelSize) {
  ClickerMark mark = MarkAt("a", 0.5f, 0.5f, 10, 0, -5);
  for (AreaSize area : {AreaSize{100, 100}, AreaSize{2000, 300}}) {
    EXPECT_EQ(MarkScaleX(mark, area), 1.0f);
    EXPECT_EQ(MarkScaleY(mark, area), 1.0f);
    PanelRect rect = MarkPanelRect(mark, area);
    EXPECT_EQ(rect.width, 20);
    EXPECT_EQ(rect.height, 20);
  }
  // A recorded 400 x 300 shown in 800 x 600 reaches twice its size.
  ClickerMark recorded = MarkAt("a", 0.5f, 0.5f, 10, 400, 300);
  EXPECT_TRUE(MarkContains(recorded, {800, 600}, 400 + 19, 300 + 19));
  EXPECT_FALSE(MarkContains(recorded, {800, 600}, 400 + 20, 300));
}

TEST(MarkGeometry, PanelEdgesAreCutTowardZero) {
  // Centre at x = 2.3, scaled reach 6: the left edge -3.7 becomes -3, not -4.
  ClickerMark mark = MarkAt("a", 0.023f, 0.5f, 3, 50, 100);
  PanelRect rect = MarkPanelRect(mark, {100, 100});
  EXPECT_EQ(rect.left, -3);
  EXPECT_EQ(rect.width, 12);
  EXPECT_EQ(rect.height, 6);
}

TEST(HitTest, FirstMarkInMapOrderWinsAndOtherClipsNeverHit) {
  ClipMap map = MapOf({MarkAt("/c/Hall.jpg", 0.5f, 0.5f, 50, 0, 0, "upper.jpg", "upper"),
                       MarkAt("/c/hall.jpg", 0.5f, 0.5f, 50, 0, 0, "first.jpg", "first"),
                       MarkAt("/c/hall.jpg", 0.5f, 0.5f, 10, 0, 0, "second.jpg", "second")});
  AreaSize area{200, 200};
  EXPECT_EQ(FindMarkAt(map, "/c/hall.jpg", area, 100, 100), 1u);
  EXPECT_EQ(MarkHintAt(map, "/c/hall.jpg", area, 100, 100), "first");
  EXPECT_EQ(MarkTargetAt(map, "/c/hall.jpg", area, 100, 100), "first.jpg");
  EXPECT_EQ(FindMarkAt(map, "/c/Hall.jpg", area, 100, 100), 0u);
  EXPECT_FALSE(FindMarkAt(map, "/c/hall.jpg ", area, 100, 100));
  EXPECT_FALSE(FindMarkAt(map, "/c/hall.jpg", area, 0, 0));
  EXPECT_EQ(MarkHintAt(map, "/c/hall.jpg", area, 0, 0), "");
  EXPECT_EQ(MarkTargetAt(map, "/c/hall.jpg", area, 0, 0), "");
}

TEST(HitTest, TargetsOfAClipComeInMapOrderOnceEachAndOnlyFromItsOwnMarks) {
  ClipMap map = MapOf({MarkAt("/c/hall.jpg", 0.1f, 0.1f, 5, 0, 0, "b.jpg"),
                       MarkAt("/c/Hall.jpg", 0.2f, 0.2f, 5, 0, 0, "other.jpg"),
                       MarkAt("/c/hall.jpg", 0.3f, 0.3f, 5, 0, 0, "a.mpg"),
                       MarkAt("/c/hall.jpg", 0.4f, 0.4f, 5, 0, 0, "b.jpg"),
                       MarkAt("/c/hall.jpg", 0.5f, 0.5f, 5, 0, 0, "a.jpg")});
  EXPECT_EQ(MarkTargetsOn(map, "/c/hall.jpg"),
            (std::vector<std::string>{"b.jpg", "a.mpg", "a.jpg"}));
  EXPECT_TRUE(MarkTargetsOn(map, "/c/none.jpg").empty());
}

TEST(HitTest, AreaWithoutWidthOrHeightHasNoMarks) {
  ClipMap map = MapOf({MarkAt("a", 0.0f, 0.0f, 50, 0, 0), MarkAt("a", 0.5f, 0.5f, 50, 100, 100)});
  for (AreaSize area : {AreaSize{0, 100}, AreaSize{100, 0}, AreaSize{0, 0}, AreaSize{-1, 5}}) {
    EXPECT_FALSE(FindMarkAt(map, "a", area, 0, 0));
    EXPECT_EQ(MarkHintAt(map, "a", area, 0, 0), "");
  }
}

// A mark outside its clip brought to the nearest place where all of it lies inside.
class NearestInside : public ::testing::Test {
 protected:
  static constexpr AreaSize kArea{640, 480};
  // The centre for a mark of `size`, placed in `placed` (0 x 0: not recorded), at (x, y).
  static MarkCentre Inside(float x, float y, int size, AreaSize placed = {}) {
    return NearestCentreInside(MarkAt("a", x, y, size, placed.width, placed.height), kArea);
  }
  // The panel of the mark moved there lies wholly within `area`.
  static void ExpectWhollyInside(ClickerMark mark, AreaSize area) {
    const MarkCentre centre = NearestCentreInside(mark, area);
    mark.X = centre.x;
    mark.Y = centre.y;
    const PanelRect rect = MarkPanelRect(mark, area);
    ExpectWithin(rect.left, rect.width, area.width);
    ExpectWithin(rect.top, rect.height, area.height);
  }
  // Along one axis: within the area, or, wider than it, covering all of it.
  static void ExpectWithin(int start, int length, int extent) {
    if (length > extent) {
      EXPECT_LE(start, 0) << length << " in " << extent;
      EXPECT_GE(start + length, extent) << length << " in " << extent;
    } else {
      EXPECT_GE(start, 0) << length << " in " << extent;
      EXPECT_LE(start + length, extent) << length << " at " << start << " in " << extent;
    }
  }
};

TEST_F(NearestInside, EachSideAndEachCornerPullsTheMarkJustInside) {
  const float left = 10.0f / 640, right = 1 - 10.0f / 640;
  const float top = 10.0f / 480, bottom = 1 - 10.0f / 480;
  EXPECT_EQ(Inside(1.5f, 0.5f, 10), (MarkCentre{right, 0.5f}));
  EXPECT_EQ(Inside(-0.25f, 0.3f, 10), (MarkCentre{left, 0.3f}));
  EXPECT_EQ(Inside(0.7f, -3.0f, 10), (MarkCentre{0.7f, top}));
  EXPECT_EQ(Inside(0.2f, 1.01f, 10), (MarkCentre{0.2f, bottom}));
  EXPECT_EQ(Inside(-1.0f, -1.0f, 10), (MarkCentre{left, top}));
  EXPECT_EQ(Inside(2.0f, -1.0f, 10), (MarkCentre{right, top}));
  EXPECT_EQ(Inside(-1.0f, 2.0f, 10), (MarkCentre{left, bottom}));
  EXPECT_EQ(Inside(2.0f, 2.0f, 10), (MarkCentre{right, bottom}));
  // A centre on the edge itself, half of the mark outside, comes in as far.
  EXPECT_EQ(Inside(1.0f, 0.0f, 10), (MarkCentre{right, top}));
  // Inside already: it stays where it is.
  EXPECT_EQ(Inside(0.5f, 0.25f, 10), (MarkCentre{0.5f, 0.25f}));
}

TEST_F(NearestInside, ReachFollowsTheAreaTheMarkWasPlacedIn) {
  // Size 16 placed in 320 x 240 reaches 5 % of the width and a fifteenth of the height.
  const MarkCentre centre = Inside(1.5f, -0.5f, 16, {320, 240});
  EXPECT_FLOAT_EQ(centre.x, 0.95f);
  EXPECT_FLOAT_EQ(centre.y, 16.0f / 240);
  ExpectWhollyInside(MarkAt("a", 1.5f, -0.5f, 16, 320, 240), kArea);
}

TEST_F(NearestInside, MarkAsLargeAsTheClipOrLargerIsCentredOnThatAxis) {
  EXPECT_EQ(Inside(3.0f, -2.0f, 400), (MarkCentre{0.5f, 0.5f}));
  EXPECT_EQ(Inside(1.5f, 1.5f, 320), (MarkCentre{0.5f, 0.5f}));
  // Wide enough only for its width: the height is centred, the width pulled in.
  EXPECT_EQ(Inside(1.5f, 1.5f, 300), (MarkCentre{1 - 300.0f / 640, 0.5f}));
  EXPECT_EQ(Inside(-0.5f, 0.9f, 150, {640, 240}), (MarkCentre{150.0f / 640, 0.5f}));
  EXPECT_EQ(Inside(1.5f, 0.5f, std::numeric_limits<std::int32_t>::max()), (MarkCentre{0.5f, 0.5f}));
}

TEST_F(NearestInside, OddNumbersGiveAPlaceInsideAllTheSame) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const float big = std::numeric_limits<float>::max();
  const float left = 10.0f / 640, right = 1 - 10.0f / 640;
  EXPECT_EQ(Inside(nan, nan, 10), (MarkCentre{0.5f, 0.5f}));
  EXPECT_EQ(Inside(inf, 0.5f, 10), (MarkCentre{right, 0.5f}));
  EXPECT_EQ(Inside(-inf, 0.5f, 10), (MarkCentre{left, 0.5f}));
  EXPECT_EQ(Inside(big, 0.5f, 10).x, right);
  EXPECT_EQ(Inside(-big, 0.5f, 10).x, left);
  // A mark of no reach, or of a reach below zero, only needs its centre inside.
  EXPECT_EQ(Inside(1.5f, -0.5f, 0), (MarkCentre{1.0f, 0.0f}));
  EXPECT_EQ(Inside(1.5f, -0.5f, -8), (MarkCentre{1.0f, 0.0f}));
  // No area recorded and none at present: the centre is brought inside.
  EXPECT_EQ(NearestCentreInside(MarkAt("a", 1.5f, -1.0f, 10, 0, 0), AreaSize{0, 0}),
            (MarkCentre{1.0f, 0.0f}));
}

TEST_F(NearestInside, PanelOfTheMovedMarkLiesWhollyInsideAtOddSizes) {
  for (AreaSize area : {AreaSize{641, 479}, AreaSize{333, 211}, AreaSize{97, 1013}})
    for (int size : {5, 7, 33, 99})
      for (AreaSize placed : {AreaSize{}, AreaSize{317, 229}, AreaSize{1920, 1080}})
        for (float x : {-1.0f, 1.5f, 1.0f, 0.0f})
          ExpectWhollyInside(MarkAt("a", x, 1 - x, size, placed.width, placed.height), area);
}

TEST(MarkPanels, CaptionIsTheTargetsBareFileName) {
  EXPECT_EQ(MarkPanelCaption("/clips/blue.jpg"), "blue.jpg");
  EXPECT_EQ(MarkPanelCaption("/clips/yellow.jpg"), "yellow.jpg");
  EXPECT_EQ(MarkPanelCaption("/a very long folder/kitchen and hall.jpg"), "kitchen and hall.jpg");
  EXPECT_EQ(MarkPanelCaption("room1.jpg"), "room1.jpg");
  EXPECT_EQ(MarkPanelCaption("a.jpg"), "a.jpg");
  EXPECT_EQ(MarkPanelCaption(""), "");
  EXPECT_EQ(MarkPanelCaption("/clips/"), "");
  // Letters of more than one byte stay whole; "\" is a letter of a name here.
  EXPECT_EQ(MarkPanelCaption("/caf\xC3\xA9/h\xC3\xA4ll.jpg"), "h\xC3\xA4ll.jpg");
  EXPECT_EQ(MarkPanelCaption("/x/a\\b.jpg"), "a\\b.jpg");
}

}  // namespace
}  // namespace mw
