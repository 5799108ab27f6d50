// The editor under a window manager, with real X input: the pointer reaches a mark once
// in a single quick move and once creeping onto it, as a person moves a mouse, and the
// window's size goes through the window manager's frame.
#include <QAction>
#include <QCheckBox>
#include <QMenu>
#include <QToolTip>

#include "x_editor_fixture.h"

namespace mw {
namespace {

using test::Approach;
using test::kMarkSize;
using test::XInput;

class XMarkTest : public test::XEditorTest, public ::testing::WithParamInterface<Approach> {};
using XModeTest = test::XEditorTest;

TEST_P(XMarkTest, DeleteTakesTheMarkUnderThePointer) {
  StartOnTour(true);
  Reach(GetParam());
  ASSERT_TRUE(XInput::Key("Delete"));
  EXPECT_TRUE(test::WaitFor([&] { return form_->Map().Empty(); }));
}

TEST_P(XMarkTest, ArrowKeysMoveTheMarkUnderThePointer) {
  StartOnTour(true);
  const int before = MarkX();
  Reach(GetParam());
  ASSERT_TRUE(XInput::Key("Right"));
  ASSERT_TRUE(XInput::Key("Right"));
  EXPECT_TRUE(test::WaitFor([&] { return MarkX() == before + 2; })) << MarkX() - before;
}

TEST_P(XMarkTest, DragPlacesTheMarkWhereTheButtonGoesUp) {
  StartOnTour(true);
  Reach(GetParam());
  ASSERT_TRUE(XInput::Press(1));
  const QPoint from = OnScreen(MarkCentre());
  const QPoint to = OnScreen(MarkCentre() + QPoint(40, 0));
  ASSERT_TRUE(GetParam() == Approach::Quick ? XInput::JumpTo(from + QPoint(20, 0)) &&
                                                  XInput::JumpTo(to)
                                            : XInput::CreepTo(from, to));
  ASSERT_TRUE(XInput::Release(1));
  EXPECT_TRUE(test::WaitFor([&] { return MarkX() == MarkCentre().x() + 40; }))
      << MarkX() - MarkCentre().x();
  EXPECT_EQ(form_->ClipOnScreen(), a_);
}

TEST_P(XMarkTest, EveryWheelNotchResizesTheMark) {
  StartOnTour(true);
  Reach(GetParam());
  ASSERT_TRUE(XInput::Wheel(3));
  EXPECT_TRUE(test::WaitFor([&] { return TheMark().Size == kMarkSize + 3; })) << TheMark().Size;
  ASSERT_TRUE(XInput::Wheel(-1));
  EXPECT_TRUE(test::WaitFor([&] { return TheMark().Size == kMarkSize + 2; })) << TheMark().Size;
}

TEST_P(XMarkTest, RightClickOffersToEditTheMark) {
  StartOnTour(true);
  Reach(GetParam());
  ASSERT_TRUE(XInput::Click(3));
  QMenu* menu = form_->MarkMenu();
  EXPECT_TRUE(test::WaitFor([&] { return menu->isVisible(); }));
  EXPECT_EQ(form_->findChild<QAction*>("AddClickMarkMenuItem")->text(), "Edit clicker mark...");
  menu->hide();
}

TEST_P(XMarkTest, RestingPointerShowsTheMessage) {
  StartOnTour(false);
  Reach(GetParam());
  EXPECT_TRUE(test::WaitFor(
      [] { return QToolTip::isVisible() && QToolTip::text() == "go there"; }));
}

// Past Qt's own ten seconds for a tool tip, the message stays while the pointer rests on
// the mark, and goes when it leaves.
TEST_F(XModeTest, MessageStaysWhileThePointerRestsOnTheMark) {
  StartOnTour(false);
  Reach(Approach::Quick);
  ASSERT_TRUE(test::WaitFor([] { return QToolTip::isVisible(); }));
  QTest::qWait(10500);
  EXPECT_TRUE(QToolTip::isVisible());
  ASSERT_TRUE(XInput::JumpTo(OnScreen(Aside())));
  EXPECT_TRUE(test::WaitFor([] { return !QToolTip::isVisible(); }));
}

TEST_P(XMarkTest, ClickFollowsTheMark) {
  StartOnTour(false);
  Reach(GetParam());
  ASSERT_TRUE(XInput::Click(1));
  EXPECT_TRUE(test::WaitFor([&] { return form_->ClipOnScreen() == b_; }));
}

INSTANTIATE_TEST_SUITE_P(Moves, XMarkTest, ::testing::Values(Approach::Quick, Approach::Slow),
                         [](const auto& info) {
                           return info.param == Approach::Quick ? "Quick" : "Slow";
                         });

TEST_F(XModeTest, EditModeKeyTakesTheHoverSquareAwayAndBack) {
  StartOnTour(true);
  Reach(Approach::Slow, QPoint(40, 30));
  QWidget* square = Control<QWidget>("Shape1");
  ASSERT_TRUE(square->isVisible());
  ASSERT_TRUE(XInput::Key("ctrl+e"));
  ASSERT_TRUE(test::WaitFor([&] { return !Control<QCheckBox>("EditMode")->isChecked(); }));
  EXPECT_FALSE(square->isVisible());
  // Back in edit mode, the pointer that has not moved can open the mark menu at once.
  ASSERT_TRUE(XInput::Key("ctrl+e"));
  ASSERT_TRUE(test::WaitFor([&] { return Control<QCheckBox>("EditMode")->isChecked(); }));
  EXPECT_TRUE(square->isVisible());
  ASSERT_TRUE(XInput::Click(3));
  EXPECT_TRUE(test::WaitFor([&] { return form_->MarkMenu()->isVisible(); }));
  EXPECT_EQ(form_->findChild<QAction*>("AddClickMarkMenuItem")->text(),
            "Add new clicker mark...");
  form_->MarkMenu()->hide();
}

}  // namespace
}  // namespace mw
