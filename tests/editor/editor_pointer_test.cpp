// The editor under a window manager, with real X input: the pointer reaches a mark once
// in a single quick move and once creeping onto it, as a person moves a mouse, and the
// window's size goes through the window manager's frame.
#include <QAction>
#include <QCheckBox>
#include <QMenu>
#include <QToolTip>

#include "editor/mark_panel.h"
#include "editor_fixture.h"
#include "x_session.h"

namespace mw {
namespace {

using test::XInput;

constexpr int kMarkSize = 15;

// How the pointer reaches its target.
enum class Approach { Quick, Slow };

std::string Line(const std::string& text) { return text + "\r\n"; }

class XEditorTest : public test::EditorFixture {
 protected:
  void SetUp() override {
    EditorFixture::SetUp();
    if (!test::ScreenFailure().empty()) GTEST_SKIP() << test::ScreenFailure();
    a_ = Photo("a.jpg", 320, 240);
    b_ = Photo("b.jpg", 320, 240);
  }

  // A map file: its window size and a mark of size 15 in the middle of photo a, to b.
  std::string WriteMap(int width, int height) {
    const std::string path = here_ + "/tour.clm";
    test::WriteText(path, Line("markweaverdata1.01") + Line(std::to_string(width)) +
                              Line(std::to_string(height)) + Line(a_) + Line("0.5") +
                              Line("0.5") + Line(std::to_string(kMarkSize)) + Line(b_) +
                              Line("<reserved>") + Line("0") + Line("0") + Line("go there"));
    return path;
  }

  // The editor started on `map` as the command line starts it, shown and in front.
  TForm1& StartOn(const std::string& map) {
    MoviePlayer::Options silent;
    silent.audio = false;
    form_ = std::make_unique<TForm1>(desktop_, EditorOptions{here_ + "/", silent, map});
    form_->AttachWindows({nullptr, &markForm_});
    form_->show();
    form_->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(form_.get(), 10000));
    // Framed by the window manager.
    EXPECT_TRUE(test::WaitFor([&] { return Framed(); }));
    return *form_;
  }
  TForm1& StartOnTour(bool editing) {
    TForm1& form = StartOn(WriteMap(640, 560));
    if (editing) Control<QCheckBox>("EditMode")->click();
    return form;
  }
  bool Framed() const { return form_->frameGeometry().size() != form_->geometry().size(); }

  QWidget* Panel1() { return Control<QWidget>("Panel1"); }
  // A point of the clip area on the screen.
  QPoint OnScreen(QPoint onClip) { return Panel1()->mapToGlobal(onClip); }
  QPoint MarkCentre() { return QPoint(Panel1()->width() / 2, Panel1()->height() / 2); }
  // Away from the mark on the clip area.
  QPoint Aside() { return MarkCentre() + QPoint(-70, -50); }

  // Brings the pointer from beside the mark onto its centre, and past it by `past`.
  void Reach(Approach approach, QPoint past = {}) {
    ASSERT_TRUE(XInput::CreepTo(OnScreen(Aside()), OnScreen(Aside() + QPoint(3, 3))));
    const QPoint target = OnScreen(MarkCentre() + past);
    if (approach == Approach::Quick) {
      ASSERT_TRUE(XInput::JumpTo(target));
    } else {
      ASSERT_TRUE(XInput::CreepTo(OnScreen(Aside() + QPoint(3, 3)), target));
    }
  }

  const ClickerMark& TheMark() { return form_->Map().First(); }
  int MarkX() { return static_cast<int>(std::lround(TheMark().X * Panel1()->width())); }

  std::string a_, b_;
};

class XMarkTest : public XEditorTest, public ::testing::WithParamInterface<Approach> {};

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

TEST_F(XEditorTest, EditModeKeyTakesTheHoverSquareAwayAndBack) {
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
