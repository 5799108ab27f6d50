// Editing comfort in the editor window, through real Qt events: dragging a mark, the
// wheel, the keys and the text-box focus rule, Undo and Redo in the command menu, and
// Save Map's enabled state along the history.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QUndoStack>
#include <QWheelEvent>

#include "editor/map_history.h"
#include "editor/mark_panel.h"
#include "editor_fixture.h"

namespace mw {
namespace {

constexpr QPoint kMarkAt{100, 80};

// Panels are placed from float fractions cut toward zero: a pixel either way is the same place.
bool Near(QPoint a, QPoint b) {
  return (a - b).manhattanLength() <= 2;
}

class EditorEditingTest : public test::EditorFixture {
 protected:
  // Starts on photo a, carrying one mark of size 10 at kMarkAt that leads to photo b,
  // with edit mode on and the window active, so that its shortcuts work.
  TForm1& StartWithMark() {
    a_ = Photo("a.jpg");
    b_ = Photo("b.jpg");
    TForm1& form = Start();
    form.GoToClip(a_);
    form.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&form));
    AddMark(kMarkAt, b_);
    form.SetMapChanged(false);
    auto* editMode = Control<QCheckBox>("EditMode");
    editMode->click();
    editMode->setFocus();  // no text box has the focus
    return form;
  }
  void AddMark(QPoint at, const std::string& target) {
    AreaSize area = form_->ClipArea();
    ClickerMark mark;
    mark.Clip = a_;
    mark.X = static_cast<float>(static_cast<double>(at.x()) / area.width);
    mark.Y = static_cast<float>(static_cast<double>(at.y()) / area.height);
    mark.NextClip = target;
    mark.Hint = "to b";
    mark.AreaWidth = area.width;
    mark.AreaHeight = area.height;
    form_->EditHistory().AddMark(mark);
  }
  QWidget* Panel1() { return Control<QWidget>("Panel1"); }
  QWidget* MarkPanel() {
    for (QWidget* child : Control<QWidget>("BasePanel")->findChildren<QWidget*>())
      if (dynamic_cast<mw::MarkPanel*>(child) && child->isVisible()) return child;
    return nullptr;
  }
  QPoint MarkPanelCentre() {
    QWidget* panel = MarkPanel();
    EXPECT_NE(panel, nullptr);
    return panel ? panel->geometry().center() - Panel1()->pos() : QPoint();
  }
  // A mouse event on the clip area, with the buttons held after it.
  void Mouse(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent event(type, QPointF(at), Panel1()->mapToGlobal(QPointF(at)), button, held,
                      Qt::NoModifier);
    QApplication::sendEvent(Panel1(), &event);
  }
  void Press(QPoint at) { Mouse(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton); }
  void MoveHeld(QPoint at) { Mouse(QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton); }
  void Release(QPoint at) { Mouse(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton); }
  void Wheel(QPoint at, int notches, ulong timestamp) {
    QWheelEvent event(QPointF(at), Panel1()->mapToGlobal(QPointF(at)), QPoint(),
                      QPoint(0, 120 * notches), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                      false);
    event.setTimestamp(timestamp);
    QApplication::sendEvent(Panel1(), &event);
  }
  void PointAt(QPoint at) { Mouse(QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton); }
  const ClickerMark& TheMark() { return form_->Map().At(0); }
  QUndoStack& Stack() { return form_->EditHistory().Stack(); }
  QAction* Action(const char* name) { return form_->findChild<QAction*>(name); }
  float FractionX(int x) {
    return static_cast<float>(static_cast<double>(x) / form_->ClipArea().width);
  }
  float FractionY(int y) {
    return static_cast<float>(static_cast<double>(y) / form_->ClipArea().height);
  }

  std::string a_, b_;
};

// --- dragging ---

TEST_F(EditorEditingTest, ADragBeyondTheDragDistanceMovesTheMarkInOneStep) {
  TForm1& form = StartWithMark();
  const ClickerMark before = TheMark();
  const int distance = QApplication::startDragDistance();
  const QPoint panelAt = MarkPanelCentre();
  Press(kMarkAt);
  MoveHeld(kMarkAt + QPoint(distance - 1, 0));
  EXPECT_EQ(MarkPanelCentre(), panelAt);  // short of the distance: no drag yet
  MoveHeld(QPoint(170, 130));
  EXPECT_TRUE(Near(MarkPanelCentre(), panelAt + QPoint(70, 50)));  // the panel follows
  EXPECT_EQ(form.Map().At(0), before);  // the map only changes on release
  Release(QPoint(170, 130));

  ASSERT_EQ(form.Map().Count(), 1u);
  EXPECT_EQ(TheMark().X, FractionX(170));
  EXPECT_EQ(TheMark().Y, FractionY(130));
  ClickerMark expected = before;
  expected.X = TheMark().X;
  expected.Y = TheMark().Y;
  EXPECT_EQ(TheMark(), expected);      // size, texts and area size kept
  EXPECT_EQ(form.ClipOnScreen(), a_);  // a drag does not follow the mark
  EXPECT_EQ(Stack().count(), 2);
  EXPECT_EQ(Action("UndoMenuItem")->text(), "Undo Move clicker mark");
  EXPECT_TRUE(form.MapChanged());

  QTest::keyClick(&form, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(TheMark(), before);
  EXPECT_FALSE(form.MapChanged());
}

TEST_F(EditorEditingTest, APressAndReleaseWithoutADragFollowsTheMarkOnTheRelease) {
  TForm1& form = StartWithMark();
  const ClickerMark before = TheMark();
  Press(kMarkAt);
  EXPECT_EQ(form.ClipOnScreen(), a_);  // not on the press
  MoveHeld(kMarkAt + QPoint(0, QApplication::startDragDistance() - 1));
  Release(kMarkAt + QPoint(0, QApplication::startDragDistance() - 1));
  EXPECT_EQ(form.ClipOnScreen(), b_);
  EXPECT_EQ(form.Map().At(0), before);
  EXPECT_EQ(Stack().count(), 1);
}

TEST_F(EditorEditingTest, ADragStartedOnTheHoverSquareMovesTheMark) {
  TForm1& form = StartWithMark();
  PointAt(kMarkAt);
  QWidget* shape = Control<QWidget>("Shape1");
  ASSERT_TRUE(shape->isVisible());
  const QPoint onShape = kMarkAt + Panel1()->pos() - shape->pos();
  QTest::mousePress(shape, Qt::LeftButton, Qt::NoModifier, onShape);
  QMouseEvent move(QEvent::MouseMove, QPointF(onShape + QPoint(40, 0)),
                   shape->mapToGlobal(QPointF(onShape + QPoint(40, 0))), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(shape, &move);
  // The square has followed the pointer: the release lands at its new place.
  const QPoint released = kMarkAt + QPoint(40, 0) + Panel1()->pos() - shape->pos();
  QTest::mouseRelease(shape, Qt::LeftButton, Qt::NoModifier, released);
  EXPECT_EQ(TheMark().X, FractionX(kMarkAt.x() + 40));
  EXPECT_EQ(form.ClipOnScreen(), a_);
}

TEST_F(EditorEditingTest, EscapeDuringADragPutsTheMarkBack) {
  TForm1& form = StartWithMark();
  const ClickerMark before = TheMark();
  const QPoint panelAt = MarkPanelCentre();
  Press(kMarkAt);
  MoveHeld(QPoint(200, 150));
  ASSERT_NE(MarkPanelCentre(), panelAt);
  QTest::keyClick(&form, Qt::Key_Escape);
  EXPECT_EQ(MarkPanelCentre(), panelAt);
  MoveHeld(QPoint(220, 160));
  Release(QPoint(220, 160));
  EXPECT_EQ(form.Map().At(0), before);
  EXPECT_EQ(form.ClipOnScreen(), a_);  // the release after Escape follows nothing either
  EXPECT_EQ(Stack().count(), 1);
}

TEST_F(EditorEditingTest, ADragOffTheClipAreaLeavesTheMarkOnItsEdge) {
  TForm1& form = StartWithMark();
  Press(kMarkAt);
  MoveHeld(QPoint(-50, 5000));
  Release(QPoint(-50, 5000));
  EXPECT_EQ(TheMark().X, 0.0f);
  EXPECT_EQ(TheMark().Y, FractionY(form.ClipArea().height - 1));
}

TEST_F(EditorEditingTest, InPlayModeNothingMovesAndAPressFollowsAsBefore) {
  TForm1& form = StartWithMark();
  Control<QCheckBox>("EditMode")->click();
  const ClickerMark before = TheMark();
  PointAt(kMarkAt);
  Wheel(kMarkAt, 2, 1000);
  QTest::keyClick(&form, Qt::Key_Right);
  QTest::keyClick(&form, Qt::Key_Delete);
  EXPECT_EQ(form.Map().Count(), 1u);
  EXPECT_EQ(form.Map().At(0), before);
  Press(kMarkAt);
  EXPECT_EQ(form.ClipOnScreen(), b_);  // followed on the press
  MoveHeld(QPoint(200, 150));
  Release(QPoint(200, 150));
  EXPECT_EQ(form.Map().At(0), before);
  EXPECT_EQ(Stack().count(), 1);
}

// --- the wheel ---

TEST_F(EditorEditingTest, TheWheelResizesTheMarkOneStepPerTurn) {
  TForm1& form = StartWithMark();
  Wheel(kMarkAt, 1, 1000);
  Wheel(kMarkAt, 1, 1400);
  Wheel(kMarkAt, 1, 2300);
  EXPECT_EQ(TheMark().Size, 13);
  EXPECT_EQ(Stack().count(), 2);
  Wheel(kMarkAt, -1, 3400);  // more than a second later: a turn of its own
  EXPECT_EQ(TheMark().Size, 12);
  EXPECT_EQ(Stack().count(), 3);
  EXPECT_EQ(Action("UndoMenuItem")->text(), "Undo Resize clicker mark");
  form.UndoMenuItemClick();
  EXPECT_EQ(TheMark().Size, 13);
  form.UndoMenuItemClick();
  EXPECT_EQ(TheMark().Size, 10);
  Wheel(QPoint(400, 300), 1, 9000);  // over no mark
  EXPECT_EQ(TheMark().Size, 10);
}

TEST_F(EditorEditingTest, TheWheelKeepsTheSizeWithinFiveTo99) {
  StartWithMark();
  Wheel(kMarkAt, -20, 1000);
  EXPECT_EQ(TheMark().Size, 5);
  Wheel(kMarkAt, 200, 1100);
  EXPECT_EQ(TheMark().Size, 99);
}

// --- keys ---

TEST_F(EditorEditingTest, ArrowKeysMoveTheMarkUnderThePointerOneStepAPress) {
  TForm1& form = StartWithMark();
  PointAt(kMarkAt);
  QTest::keyClick(&form, Qt::Key_Right);
  EXPECT_EQ(TheMark().X, FractionX(kMarkAt.x() + 1));
  QTest::keyClick(&form, Qt::Key_Down, Qt::ShiftModifier);
  EXPECT_EQ(TheMark().Y, FractionY(kMarkAt.y() + 10));
  // The keys go on moving the mark after it has left the pointer.
  for (int i = 0; i < 3; ++i) QTest::keyClick(&form, Qt::Key_Left, Qt::ShiftModifier);
  QTest::keyClick(&form, Qt::Key_Up);
  EXPECT_EQ(TheMark().X, FractionX(kMarkAt.x() - 29));
  EXPECT_EQ(TheMark().Y, FractionY(kMarkAt.y() + 9));
  EXPECT_EQ(TheMark().Size, 10);
  EXPECT_EQ(Stack().count(), 7);
  QTest::keyClick(&form, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);  // nothing to redo
  QTest::keyClick(&form, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(TheMark().Y, FractionY(kMarkAt.y() + 10));
  QTest::keyClick(&form, Qt::Key_Y, Qt::ControlModifier);
  EXPECT_EQ(TheMark().Y, FractionY(kMarkAt.y() + 9));
  // Once another clip is on screen, the keys leave the mark alone.
  const ClickerMark moved = TheMark();
  form.GoToClip(b_);
  QTest::keyClick(&form, Qt::Key_Right);
  EXPECT_EQ(TheMark(), moved);
}

TEST_F(EditorEditingTest, DeleteRemovesTheMarkUnderThePointer) {
  TForm1& form = StartWithMark();
  PointAt(QPoint(400, 300));
  QTest::keyClick(&form, Qt::Key_Delete);
  EXPECT_EQ(form.Map().Count(), 1u);
  PointAt(kMarkAt + QPoint(5, 5));
  QTest::keyClick(&form, Qt::Key_Delete);
  EXPECT_EQ(form.Map().Count(), 0u);
  EXPECT_EQ(form.MarkPanelCount(), 0u);
  EXPECT_EQ(Action("UndoMenuItem")->text(), "Undo Delete clicker mark");
  QTest::keyClick(&form, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(form.Map().Count(), 1u);
  EXPECT_EQ(form.MarkPanelCount(), 1u);
}

TEST_F(EditorEditingTest, KeysThatMeanSomethingInATextBoxStayThere) {
  TForm1& form = StartWithMark();
  form.GoToClip(b_);
  form.GoToClip(a_);
  const std::size_t current = form.History().CurrentIndex();
  const ClickerMark before = TheMark();
  PointAt(kMarkAt);
  for (const char* name : {"Edit1", "MapFileName"}) {
    auto* box = Control<QLineEdit>(name);
    box->setFocus();
    for (Qt::Key key : {Qt::Key_Delete, Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down})
      QTest::keyClick(box, key);
    QTest::keyClick(box, Qt::Key_Left, Qt::AltModifier);
    QTest::keyClick(box, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(form.Map().Count(), 1u) << name;
    EXPECT_EQ(form.Map().At(0), before) << name;
    EXPECT_EQ(form.History().CurrentIndex(), current) << name;
  }
  auto* edit1 = Control<QLineEdit>("Edit1");
  edit1->setFocus();
  edit1->setText("abc");
  edit1->setCursorPosition(3);
  QTest::keyClick(edit1, Qt::Key_Left);
  QTest::keyClick(edit1, Qt::Key_Delete);
  EXPECT_EQ(edit1->text(), "ab");  // the keys did their work in the box
  // The mark size box keeps its arrows.
  auto* size = Control<QSpinBox>("tolerance");
  size->setFocus();
  QTest::keyClick(size, Qt::Key_Up);
  EXPECT_EQ(size->value(), 11);
  EXPECT_EQ(form.Map().At(0), before);
  // Keys a text box has no use for still work there.
  edit1->setFocus();
  form.SetMapChanged(true);
  QTest::keyClick(edit1, Qt::Key_S, Qt::ControlModifier);
  EXPECT_FALSE(form.MapChanged());
}

TEST_F(EditorEditingTest, TheWindowsShortcutsRunTheirCommands) {
  TForm1& form = StartWithMark();
  auto* editMode = Control<QCheckBox>("EditMode");
  QTest::keyClick(&form, Qt::Key_E, Qt::ControlModifier);
  EXPECT_FALSE(editMode->isChecked());
  EXPECT_FALSE(Action("EditModeMenuItem")->isChecked());
  QTest::keyClick(&form, Qt::Key_E, Qt::ControlModifier);
  EXPECT_TRUE(editMode->isChecked());

  form.SetMapChanged(true);
  QTest::keyClick(&form, Qt::Key_S, Qt::ControlModifier);
  EXPECT_FALSE(form.MapChanged());
  EXPECT_EQ(ReadMapFile(form.MapFileNameText()).marks.Count(), 1u);
  QTest::keyClick(&form, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(desktop_.saveRequests.size(), 1u);
  QTest::keyClick(&form, Qt::Key_O, Qt::ControlModifier);
  EXPECT_EQ(desktop_.openRequests.size(), 1u);
  QTest::keyClick(&form, Qt::Key_N, Qt::ControlModifier);  // answered No
  EXPECT_EQ(desktop_.messages.back().title, "?");
  EXPECT_EQ(form.Map().Count(), 1u);
  QTest::keyClick(&form, Qt::Key_F1);
  EXPECT_EQ(desktop_.opened, std::vector<std::string>{here_ + "/readme.txt"});

  form.GoToClip(b_);
  QTest::keyClick(&form, Qt::Key_Left, Qt::AltModifier);
  EXPECT_EQ(form.ClipOnScreen(), a_);
  QTest::keyClick(&form, Qt::Key_Right, Qt::AltModifier);
  EXPECT_EQ(form.ClipOnScreen(), b_);
}

TEST_F(EditorEditingTest, ShortcutsShowBesideMenuItemsAndInHints) {
  StartWithMark();
  const std::pair<const char*, const char*> items[] = {
      {"LoadMap1", "Ctrl+O"},           {"ClearMap1", "Ctrl+N"},
      {"SaveMap1", "Ctrl+S"},           {"SaveMapas1", "Ctrl+Shift+S"},
      {"EditModeMenuItem", "Ctrl+E"},   {"UndoMenuItem", "Ctrl+Z"},
      {"RedoMenuItem", "Ctrl+Shift+Z"}, {"DeleteClickMarkMenuItem", "Del"}};
  for (const auto& [name, key] : items) {
    QAction* action = Action(name);
    ASSERT_NE(action, nullptr) << name;
    EXPECT_EQ(action->shortcut().toString(), key) << name;
  }
  auto* menu = Control<QMenu>("PopupMenu2");
  EXPECT_TRUE(menu->actions().contains(Action("UndoMenuItem")));
  EXPECT_TRUE(menu->actions().contains(Action("RedoMenuItem")));
  EXPECT_EQ(Action("RedoMenuItem")->shortcuts().value(1).toString(), "Ctrl+Y");
  EXPECT_EQ(Action("UndoMenuItem")->text(), "Undo Add clicker mark");
  EXPECT_EQ(Action("RedoMenuItem")->text(), "Redo");
  EXPECT_FALSE(Action("RedoMenuItem")->isEnabled());
  const std::pair<const char*, const char*> hints[] = {
      {"PreviousClipButton", "Previous Clip (Alt+Left)"},
      {"HelpButton", "Help text for MarkWeaver (F1)"},
      {"EditMode", "Turn on/off edit mode (Ctrl+E)"},
      {"SaveMapButton", "Save map (Ctrl+S)"}};
  for (const auto& [name, hint] : hints)
    EXPECT_EQ(Control<QWidget>(name)->toolTip().toStdString(), hint) << name;
  EXPECT_TRUE(Control<QWidget>("NextClipButton")->toolTip().endsWith(" (Alt+Right)"));
}

// --- the history and the changed state ---

TEST_F(EditorEditingTest, SaveMapIsEnabledExactlyAwayFromTheSavedState) {
  TForm1& form = StartWithMark();
  auto* save = Control<QPushButton>("SaveMapButton");
  EXPECT_FALSE(save->isEnabled());
  QTest::keyClick(&form, Qt::Key_Z, Qt::ControlModifier);  // the mark added before the save
  EXPECT_TRUE(save->isEnabled());
  QTest::keyClick(&form, Qt::Key_Y, Qt::ControlModifier);
  EXPECT_FALSE(save->isEnabled());
  Wheel(kMarkAt, 1, 1000);
  EXPECT_TRUE(save->isEnabled());
  form.SaveMapButtonClick();
  EXPECT_FALSE(save->isEnabled());
  form.UndoMenuItemClick();
  EXPECT_TRUE(save->isEnabled());
  form.RedoMenuItemClick();
  EXPECT_FALSE(save->isEnabled());
  // A resized window counts as a change whatever the history says.
  form.SetMapChanged(true);
  form.UndoMenuItemClick();
  form.RedoMenuItemClick();
  EXPECT_TRUE(save->isEnabled());
  form.SaveMapButtonClick();
  EXPECT_FALSE(save->isEnabled());
  // Once a step after an undo replaced the saved state, no state is the saved one.
  form.UndoMenuItemClick();
  Wheel(kMarkAt, -1, 9000);
  form.UndoMenuItemClick();
  EXPECT_TRUE(save->isEnabled());
}

TEST_F(EditorEditingTest, AStepOnAnotherClipShowsThatClipWithoutTheClipHistory) {
  TForm1& form = StartWithMark();
  const QPoint panelAt = MarkPanelCentre();
  Press(kMarkAt);
  MoveHeld(QPoint(200, 150));
  Release(QPoint(200, 150));
  form.GoToClip(b_);
  const std::vector<std::string> entries = form.History().Entries();
  const std::size_t current = form.History().CurrentIndex();
  QSignalSpy changed(&form, &TForm1::MapContentChanged);
  form.UndoMenuItemClick();
  EXPECT_EQ(form.ClipOnScreen(), a_);
  EXPECT_EQ(form.MarkPanelCount(), 1u);
  EXPECT_EQ(MarkPanelCentre(), panelAt);
  EXPECT_EQ(form.History().Entries(), entries);
  EXPECT_EQ(form.History().CurrentIndex(), current);
  EXPECT_EQ(changed.count(), 1);
}

TEST_F(EditorEditingTest, EditingAMarkIsOneStepThatPutsItBackInItsPlace) {
  TForm1& form = StartWithMark();
  AddMark(QPoint(300, 200), b_);
  const std::vector<ClickerMark> before = form.Map().Marks();
  PointAt(kMarkAt);
  form.Shape1MouseUp(Qt::RightButton);
  form.MarkMenu()->hide();
  AnswerMarkDialog(b_, "new message", true);
  form.AddClickMarkMenuItemClick();
  ASSERT_EQ(form.Map().Count(), 2u);
  EXPECT_EQ(form.Map().At(1).Hint, "new message");
  EXPECT_EQ(Action("UndoMenuItem")->text(), "Undo Edit clicker mark");
  form.UndoMenuItemClick();
  EXPECT_EQ(form.Map().Marks(), before);
  form.RedoMenuItemClick();
  EXPECT_EQ(form.Map().At(1).Hint, "new message");
}

TEST_F(EditorEditingTest, NewMapIsAStepOfAFreshHistoryAndLoadingStartsAnother) {
  TForm1& form = StartWithMark();
  Wheel(kMarkAt, 1, 1000);
  form.SaveMapButtonClick();
  desktop_.messageAnswers = {MessageAnswer::Yes, MessageAnswer::Cancel};  // New Map; no guide
  form.ClearMapButtonClick();
  EXPECT_EQ(form.Map().Count(), 0u);
  EXPECT_TRUE(form.MapChanged());
  EXPECT_EQ(Stack().count(), 1);
  EXPECT_EQ(Action("UndoMenuItem")->text(), "Undo New Map");
  form.UndoMenuItemClick();
  ASSERT_EQ(form.Map().Count(), 1u);
  EXPECT_EQ(TheMark().Size, 11);
  EXPECT_FALSE(form.MapChanged());  // back to the map as it was saved
  EXPECT_FALSE(Stack().canUndo());

  QSignalSpy changed(&form, &TForm1::MapContentChanged);
  desktop_.openAnswers.push_back(form.MapFileNameText());
  form.Button1Click();
  EXPECT_EQ(changed.count(), 1);
  EXPECT_EQ(Stack().count(), 0);
  EXPECT_FALSE(Action("UndoMenuItem")->isEnabled());
  EXPECT_FALSE(Action("RedoMenuItem")->isEnabled());
  EXPECT_FALSE(form.MapChanged());
}

TEST_F(EditorEditingTest, NewMapOfAnUnsavedMapCannotBeUndoneIntoASavedOne) {
  TForm1& form = StartWithMark();
  Wheel(kMarkAt, 1, 1000);  // not saved
  desktop_.messageAnswers = {MessageAnswer::Yes, MessageAnswer::Cancel};
  form.ClearMapButtonClick();
  form.UndoMenuItemClick();
  EXPECT_EQ(TheMark().Size, 11);
  EXPECT_TRUE(form.MapChanged());
}

}  // namespace
}  // namespace mw
