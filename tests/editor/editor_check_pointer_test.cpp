// Check Map under a window manager with real X input: the pointer brings a mark that lay
// outside its clip inside, and the mark can then be reached and deleted on the clip area.
#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>

#include "editor/map_check_form.h"

#include "x_editor_fixture.h"

namespace mw {
namespace {

using test::Approach;
using test::Line;
using test::XInput;

class XBringInsideTest : public test::XEditorTest, public ::testing::WithParamInterface<Approach> {
 protected:
  // A map whose one mark lies below photo a, past the bottom edge of the clip area.
  std::string WriteMapWithMarkBelow() {
    mapSize_ = {640, 560};
    const std::string path = here_ + "/below.clm";
    test::WriteText(path, Line("markweaverdata1.01") + Line("640") + Line("560") + Line(a_) +
                              Line("0.5") + Line("1.7") + Line(std::to_string(test::kMarkSize)) +
                              Line(b_) + Line("<reserved>") + Line("0") + Line("0") +
                              Line("go there"));
    return path;
  }
  // A click of the left button on `widget` at `at` (its own pixels), the pointer jumping there.
  static bool ClickOn(const QWidget* widget, QPoint at) {
    return XInput::JumpTo(widget->mapToGlobal(at)) && XInput::Click(1);
  }
  // The brought-in mark's centre on the clip area.
  QPoint MarkOnClip() {
    return QPoint(static_cast<int>(TheMark().X * static_cast<float>(Panel1()->width())),
                  static_cast<int>(TheMark().Y * static_cast<float>(Panel1()->height())));
  }
};

TEST_P(XBringInsideTest, PointerBringsTheMarkInsideAndThenDeletesIt) {
  StartOn(WriteMapWithMarkBelow());
  Control<QCheckBox>("EditMode")->click();
  form_->CheckMapMenuItemClick();
  TMapCheckForm* window = form_->MapCheckWindow();
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(WaitForFrame(window));
  QTreeWidget* list = window->ProblemList();
  ASSERT_EQ(list->topLevelItemCount(), 1);
  ASSERT_EQ(list->topLevelItem(0)->text(0), "Mark outside its clip");

  // The row, then the offer, with the pointer.
  ASSERT_TRUE(ClickOn(list->viewport(), list->visualItemRect(list->topLevelItem(0)).center()));
  ASSERT_TRUE(test::WaitFor([&] { return window->BringInsideButton()->isEnabled(); }));
  QPushButton* bring = window->BringInsideButton();
  ASSERT_TRUE(ClickOn(bring, bring->rect().center()));
  ASSERT_TRUE(test::WaitFor([&] { return TheMark().Y < 1.0f; })) << TheMark().Y;
  EXPECT_TRUE(form_->MapChanged());
  ASSERT_TRUE(test::WaitFor([&] { return list->topLevelItemCount() == 0; }));
  ASSERT_TRUE(test::WaitFor([&] { return form_->isActiveWindow(); }));

  // Just inside the bottom edge, where the Check Map window leaves it in sight.
  const QPoint mark = MarkOnClip();
  EXPECT_EQ(mark.y(), Panel1()->height() - test::kMarkSize);
  ASSERT_FALSE(window->frameGeometry().contains(OnScreen(mark)));
  const QPoint aside = mark + QPoint(-80, -40);
  ASSERT_TRUE(XInput::CreepTo(OnScreen(aside), OnScreen(aside + QPoint(3, 3))));
  ASSERT_TRUE(GetParam() == Approach::Quick
                  ? XInput::JumpTo(OnScreen(mark))
                  : XInput::CreepTo(OnScreen(aside + QPoint(3, 3)), OnScreen(mark)));
  // The right button offers to edit it: the pointer is on the mark.
  ASSERT_TRUE(XInput::Click(3));
  QMenu* menu = form_->MarkMenu();
  ASSERT_TRUE(test::WaitFor([&] { return menu->isVisible(); }));
  EXPECT_EQ(form_->findChild<QAction*>("AddClickMarkMenuItem")->text(), "Edit clicker mark...");
  ASSERT_TRUE(XInput::Key("Escape"));
  ASSERT_TRUE(test::WaitFor([&] { return !menu->isVisible(); }));
  ASSERT_TRUE(XInput::Key("Delete"));
  EXPECT_TRUE(test::WaitFor([&] { return form_->Map().Empty(); }));
}

INSTANTIATE_TEST_SUITE_P(Moves, XBringInsideTest,
                         ::testing::Values(Approach::Quick, Approach::Slow),
                         [](const auto& info) {
                           return info.param == Approach::Quick ? "Quick" : "Slow";
                         });

}  // namespace
}  // namespace mw
