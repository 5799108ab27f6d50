// The editor under a real pointer: double clicks in play mode, a drag that outlives the
// clip it began on or the mode it began in, and the pointer leaving the window sideways.
#include <QCheckBox>
#include <QToolTip>

#include "x_editor_fixture.h"

namespace mw {
namespace {

using test::Approach;
using test::kMarkSize;
using test::Line;
using test::XInput;

class XPointerEdgesTest : public test::XEditorTest {
 protected:
  // A mark in the middle of each photo, a to b, b to c and c to a.
  std::string WriteRing() {
    c_ = Photo("c.jpg", 320, 240);
    mapSize_ = {640, 560};
    std::string text = Line("markweaverdata1.01") + Line("640") + Line("560");
    const std::string ring[] = {a_, b_, c_, a_};
    for (int i = 0; i < 3; ++i)
      text += Line(ring[i]) + Line("0.5") + Line("0.5") + Line(std::to_string(kMarkSize)) +
              Line(ring[i + 1]) + Line("<reserved>") + Line("0") + Line("0") + Line("go on");
    const std::string path = here_ + "/ring.clm";
    test::WriteText(path, text);
    return path;
  }
  // A test that stopped mid-drag leaves no button held for the next.
  void TearDown() override {
    XInput::Run({"mouseup", "1"});
    test::XEditorTest::TearDown();
  }
  // Straight out of the window's right side, where nothing of this program sees it.
  bool LeaveTheWindow() {
    const QPoint outside = form_->frameGeometry().topRight() + QPoint(150, 200);
    return XInput::Run({"mousemove", QString::number(outside.x()), QString::number(outside.y())});
  }
  std::string c_;
};

// A double click is two clicks: it follows two marks at the most, never three.
TEST_F(XPointerEdgesTest, DoubleClickInPlayModeFollowsNoMoreThanTwoMarks) {
  StartOn(WriteRing());
  Reach(Approach::Quick);
  ASSERT_TRUE(XInput::Run({"click", "--repeat", "2", "--delay", "80", "1"}));
  QTest::qWait(500);
  EXPECT_NE(form_->ClipOnScreen(), a_) << "three marks followed";
  std::cerr << "after a double click: " << (form_->ClipOnScreen() == b_ ? "b" : form_->ClipOnScreen() == c_ ? "c" : "a") << "\n";
}

// The drag began on photo a; once photo b is on screen, the release does not move a's mark.
TEST_F(XPointerEdgesTest, ReleaseAfterTheClipChangedLeavesTheMarkWhereItWas) {
  StartOnTour(false);
  const float before = TheMark().X;
  Reach(Approach::Slow);
  // Photo b, then back to a: Next Clip has b to go to.
  ASSERT_TRUE(XInput::Click(1));
  ASSERT_TRUE(test::WaitFor([&] { return form_->ClipOnScreen() == b_; }));
  ASSERT_TRUE(XInput::Key("alt+Left"));
  ASSERT_TRUE(test::WaitFor([&] { return form_->ClipOnScreen() == a_; }));
  Control<QCheckBox>("EditMode")->click();
  Reach(Approach::Slow);
  ASSERT_TRUE(XInput::Press(1));
  ASSERT_TRUE(XInput::CreepTo(OnScreen(MarkCentre()), OnScreen(MarkCentre() + QPoint(60, 0))));
  ASSERT_TRUE(XInput::Key("alt+Right"));
  ASSERT_TRUE(test::WaitFor([&] { return form_->ClipOnScreen() == b_; }));
  ASSERT_TRUE(XInput::Release(1));
  QTest::qWait(300);
  EXPECT_EQ(TheMark().X, before);
}

// Edit mode switched off mid-drag: play mode does not move marks.
TEST_F(XPointerEdgesTest, ReleaseAfterEditModeWentOffLeavesTheMarkWhereItWas) {
  StartOnTour(true);
  const float before = TheMark().X;
  Reach(Approach::Slow);
  ASSERT_TRUE(XInput::Press(1));
  ASSERT_TRUE(XInput::CreepTo(OnScreen(MarkCentre()), OnScreen(MarkCentre() + QPoint(60, 0))));
  ASSERT_TRUE(XInput::Key("ctrl+e"));
  ASSERT_TRUE(test::WaitFor([&] { return !Control<QCheckBox>("EditMode")->isChecked(); }));
  ASSERT_TRUE(XInput::Release(1));
  QTest::qWait(300);
  EXPECT_EQ(TheMark().X, before);
}

// The pointer leaves the window through its side straight from the mark: the hover square
// goes, and Delete no longer takes a mark the pointer is not on.
TEST_F(XPointerEdgesTest, LeavingTheWindowSidewaysTakesTheHoverSquareAway) {
  StartOnTour(true);
  Reach(Approach::Slow);
  const QPoint nearSide = OnScreen(QPoint(Panel1()->width() - 3, MarkCentre().y()));
  ASSERT_TRUE(XInput::CreepTo(OnScreen(MarkCentre()), nearSide));
  const QPoint outside = nearSide + QPoint(150, 0);
  // Nothing of this program sees the pointer out there: no waiting for it to arrive.
  ASSERT_TRUE(XInput::Run({"mousemove", QString::number(outside.x()), QString::number(outside.y())}));
  QTest::qWait(300);
  EXPECT_FALSE(Control<QWidget>("Shape1")->isVisible());
}

// From the mark straight out of the window: Delete, still going to the editor, does not
// take the mark the pointer has left.
TEST_F(XPointerEdgesTest, DeleteAfterThePointerLeftTheWindowKeepsTheMark) {
  StartOnTour(true);
  Reach(Approach::Quick);
  ASSERT_TRUE(LeaveTheWindow());
  QTest::qWait(300);
  ASSERT_TRUE(XInput::Key("Delete"));
  QTest::qWait(300);
  EXPECT_FALSE(form_->Map().Empty());
}

// In play mode the mark's message goes once the pointer has left the window from the mark.
TEST_F(XPointerEdgesTest, MessageGoesWhenThePointerLeavesTheWindow) {
  StartOnTour(false);
  Reach(Approach::Quick);
  ASSERT_TRUE(test::WaitFor([] { return QToolTip::isVisible(); }));
  ASSERT_TRUE(LeaveTheWindow());
  EXPECT_TRUE(test::WaitFor([] { return !QToolTip::isVisible(); }, 3000));
  EXPECT_FALSE(Control<QWidget>("ClickerPointer")->isVisible());
}

}  // namespace
}  // namespace mw
