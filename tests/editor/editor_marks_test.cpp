// Marks in the editor window: the pointer over the clip, following marks, the mark
// panels of edit mode, and adding, editing and deleting marks through the dialog.
#include <QAction>
#include <QCheckBox>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QSpinBox>
#include <QToolTip>

#include <cmath>

#include "editor/mark_panel.h"
#include "editor_fixture.h"
#include "media/clip_display.h"
#include "media/clip_panel.h"

namespace mw {
namespace {

class EditorMarksTest : public test::EditorFixture {
 protected:
  // Starts on photo A with edit mode on.
  TForm1& StartEditingOn(const std::string& clip) {
    TForm1& form = Start();
    form.GoToClip(clip);
    Control<QCheckBox>("EditMode")->click();
    return form;
  }
  QWidget* Panel1() { return Control<QWidget>("Panel1"); }
  // Moves the pointer over the clip area and releases the right button there.
  void RightClickAt(int x, int y) {
    QTest::mouseMove(Panel1(), QPoint(x, y));
    form_->TrackPointer(x, y);
    form_->Shape1MouseUp(Qt::RightButton);
    form_->MarkMenu()->hide();
  }
  QAction* Action(const char* name) { return form_->findChild<QAction*>(name); }
};

TEST_F(EditorMarksTest, AddWithGotoNewClipEndsOnTheTarget) {
  std::string a = Photo("a.jpg"), b = Photo("b.jpg");
  TForm1& form = StartEditingOn(a);
  std::size_t entries = form.History().Count();
  RightClickAt(100, 50);
  EXPECT_EQ(Action("AddClickMarkMenuItem")->text(), "Add new clicker mark...");
  EXPECT_FALSE(Action("DeleteClickMarkMenuItem")->isEnabled());
  AnswerMarkDialog(b, "to b", false);
  form.AddClickMarkMenuItemClick();

  ASSERT_EQ(form.Map().Count(), 1u);
  const ClickerMark& mark = form.Map().First();
  AreaSize area = form.ClipArea();
  EXPECT_EQ(mark.Clip, a);
  EXPECT_EQ(mark.NextClip, b);
  EXPECT_EQ(mark.Hint, "to b");
  EXPECT_EQ(mark.Reserved, "<reserved>");
  EXPECT_EQ(mark.X, static_cast<float>(100.0 / area.width));
  EXPECT_EQ(mark.Y, static_cast<float>(50.0 / area.height));
  EXPECT_EQ(mark.Size, 10);
  EXPECT_EQ(mark.AreaWidth, area.width);
  EXPECT_EQ(mark.AreaHeight, area.height);
  // Logical pixels on any screen (this case also runs at a ratio of 2).
  EXPECT_EQ(QSize(area.width, area.height), Panel1()->size());
  EXPECT_EQ(form.ClipOnScreen(), b);
  EXPECT_EQ(form.History().Count(), entries + 1);
  EXPECT_TRUE(form.MapChanged());
  EXPECT_EQ(form.MarkPanelCount(), 0u);  // b carries no marks
}

TEST_F(EditorMarksTest, AddWithBackToCurrentClipReturnsAndDrawsThePanel) {
  std::string a = Photo("a.jpg"), b = Photo("b.jpg");
  TForm1& form = StartEditingOn(a);
  std::size_t entries = form.History().Count();
  RightClickAt(120, 80);
  AnswerMarkDialog(b, "to b", true);
  form.AddClickMarkMenuItemClick();
  EXPECT_EQ(form.ClipOnScreen(), a);
  EXPECT_EQ(form.History().Count(), entries + 2);
  EXPECT_EQ(form.MarkPanelCount(), 1u);
  EXPECT_TRUE(Control<QPushButton>("PreviousClipButton")->isEnabled());
}

TEST_F(EditorMarksTest, EditMovesTheMarkToTheEndAndKeepsTheHistory) {
  std::string a = Photo("a.jpg"), b = Photo("b.jpg"), c = Photo("c.jpg");
  TForm1& form = StartEditingOn(a);
  RightClickAt(100, 100);
  AnswerMarkDialog(b, "first", true);
  form.AddClickMarkMenuItemClick();
  RightClickAt(300, 100);
  AnswerMarkDialog(c, "second", true);
  form.AddClickMarkMenuItemClick();
  std::vector<std::string> history = form.History().Entries();

  RightClickAt(104, 103);  // inside the first mark
  EXPECT_EQ(Action("AddClickMarkMenuItem")->text(), "Edit clicker mark...");
  EXPECT_TRUE(Action("DeleteClickMarkMenuItem")->isEnabled());
  EXPECT_EQ(markForm_.NextClipText(), b);
  EXPECT_EQ(markForm_.HintMessageText(), "first");
  AnswerMarkDialog(b, "edited", true);
  form.AddClickMarkMenuItemClick();
  EXPECT_FALSE(markForm_.GotoNewClipEnabled());

  ASSERT_EQ(form.Map().Count(), 2u);
  EXPECT_EQ(form.Map().At(0).Hint, "second");
  const ClickerMark& edited = form.Map().At(1);
  EXPECT_EQ(edited.Hint, "edited");
  EXPECT_EQ(edited.X, static_cast<float>(104.0 / form.ClipArea().width));
  EXPECT_EQ(form.ClipOnScreen(), a);
  EXPECT_EQ(form.History().Entries(), history);
  EXPECT_EQ(form.MarkPanelCount(), 2u);
}

TEST_F(EditorMarksTest, EditWithATargetThatNoLongerOpensRemovesTheMark) {
  std::string a = Photo("a.jpg"), b = Photo("b.jpg");
  TForm1& form = StartEditingOn(a);
  RightClickAt(100, 100);
  AnswerMarkDialog(b, "to b", true);
  form.AddClickMarkMenuItemClick();
  form.SetMapChanged(false);
  std::filesystem::remove(b);
  std::vector<std::string> history = form.History().Entries();

  RightClickAt(100, 100);
  AnswerMarkDialog(b, "to b", true);
  form.AddClickMarkMenuItemClick();
  EXPECT_EQ(desktop_.messages.back().text,
            "Failed to open the clip file:\n" + b +
                "\n(Note: some formats of photos and movie clips may not be accepted with "
                "MarkWeaver)");
  EXPECT_TRUE(form.Map().Empty());
  EXPECT_TRUE(form.MapChanged());
  EXPECT_EQ(form.ClipOnScreen(), a);
  EXPECT_EQ(form.History().Entries(), history);
  EXPECT_TRUE(form.ClipShown());
}

TEST_F(EditorMarksTest, EmptyTargetGivesTheFailureMessageAndAddsNothing) {
  std::string a = Photo("a.jpg");
  TForm1& form = StartEditingOn(a);
  RightClickAt(50, 50);
  AnswerMarkDialog("", "nothing", true);
  form.AddClickMarkMenuItemClick();
  EXPECT_EQ(desktop_.messages.back().text,
            "Failed to open the clip file:\n\n(Note: some formats of photos and movie clips may "
            "not be accepted with MarkWeaver)");
  EXPECT_TRUE(form.Map().Empty());
  EXPECT_EQ(form.ClipOnScreen(), a);
}

TEST_F(EditorMarksTest, CancelledDialogChangesNothing) {
  std::string a = Photo("a.jpg");
  TForm1& form = StartEditingOn(a);
  RightClickAt(50, 50);
  desktop_.dialogScripts.push_back([](QDialog&) { return kModalCancel; });
  form.AddClickMarkMenuItemClick();
  EXPECT_TRUE(form.Map().Empty());
  EXPECT_FALSE(form.MapChanged());
  EXPECT_EQ(form.ClipOnScreen(), a);
}

TEST_F(EditorMarksTest, DeleteRemovesThePanelAtOnce) {
  std::string a = Photo("a.jpg"), b = Photo("b.jpg");
  TForm1& form = StartEditingOn(a);
  RightClickAt(100, 100);
  AnswerMarkDialog(b, "to b", true);
  form.AddClickMarkMenuItemClick();
  form.SetMapChanged(false);
  ASSERT_EQ(form.MarkPanelCount(), 1u);
  RightClickAt(100, 100);
  form.DeleteClickMarkMenuItemClick();
  EXPECT_TRUE(form.Map().Empty());
  EXPECT_EQ(form.MarkPanelCount(), 0u);
  EXPECT_TRUE(form.MapChanged());
}

TEST_F(EditorMarksTest, MarkMenuOverEmptyTargetAndWithoutAClip) {
  std::string a = Photo("a.jpg");
  TForm1& form = StartEditingOn(a);
  ClickerMark noTarget;
  noTarget.Clip = a;
  noTarget.X = 0.25f;
  noTarget.Y = 0.25f;
  noTarget.NextClip = "";
  noTarget.Hint = "just a message";
  form.MutableMap().Append(noTarget);
  AreaSize area = form.ClipArea();
  RightClickAt(area.width / 4, area.height / 4);
  EXPECT_EQ(Action("AddClickMarkMenuItem")->text(), "Add new clicker mark...");
  EXPECT_FALSE(Action("DeleteClickMarkMenuItem")->isEnabled());
  EXPECT_EQ(markForm_.HintMessageText(), "just a message");

  form.GoToClip(here_ + "/missing.jpg");
  ASSERT_FALSE(form.ClipShown());
  RightClickAt(10, 10);
  EXPECT_FALSE(Action("AddClickMarkMenuItem")->isEnabled());
  EXPECT_FALSE(Action("DeleteClickMarkMenuItem")->isEnabled());
}

TEST_F(EditorMarksTest, RightClickInPlayModeOpensNothing) {
  std::string a = Photo("a.jpg");
  TForm1& form = Start();
  form.GoToClip(a);
  form.TrackPointer(30, 30);
  form.Shape1MouseUp(Qt::RightButton);
  EXPECT_FALSE(form.MarkMenu()->isVisible());
  EXPECT_EQ(Action("AddClickMarkMenuItem")->text(), "Add new clicker mark...");
}

// --- the pointer and the left button, through real mouse events ---

// Counts the device pixels of the raised bevel of `panel` (`line_width` pixels wide) that are
// not exactly its light colour above and its dark colour below: a bevel drawn at part
// pixels or smoothed gives shades in between.
int BlurredBevelPixels(QWidget& panel, int line_width) {
  const QImage shown = panel.grab().toImage();
  const int bevel = static_cast<int>(std::lround(line_width * shown.devicePixelRatio()));
  const QRgb light = panel.palette().color(QPalette::Light).rgb();
  const QRgb dark = panel.palette().color(QPalette::Dark).rgb();
  int blurred = 0;
  for (int x = bevel; x < shown.width() - bevel; ++x) {
    for (int i = 0; i < bevel; ++i) {
      blurred += shown.pixel(x, i) != light;
      blurred += shown.pixel(x, shown.height() - 1 - i) != dark;
    }
    blurred += shown.pixel(x, bevel) == light;  // the bevel ends on a device pixel
  }
  return blurred;
}

class EditorPointerTest : public EditorMarksTest {
 protected:
  // Photo A with one mark in its middle leading to `target`.
  TForm1& StartWithMarkTo(const std::string& target) {
    std::string a = Photo("a.jpg");
    TForm1& form = Start();
    ClickerMark mark;
    mark.Clip = a;
    mark.X = 0.5f;
    mark.Y = 0.5f;
    mark.NextClip = target;
    mark.Hint = "go there";
    form.MutableMap().Append(mark);
    form.GoToClip(a);
    return form;
  }
  QPoint Centre() { return QPoint(form_->ClipArea().width / 2, form_->ClipArea().height / 2); }
};

TEST_F(EditorPointerTest, PointerShowsCoordinatesAndTheMarkMessage) {
  StartWithMarkTo(Photo("b.jpg"));
  QTest::mouseMove(Panel1(), QPoint(120, 45));
  EXPECT_EQ(Control<QLabel>("CoordinatesLabel")->text(), "(120 , 45)");
  auto* pointer = Control<QWidget>("ClickerPointer");
  EXPECT_TRUE(pointer->isVisible());
  EXPECT_EQ(pointer->toolTip(), "");
  QTest::mouseMove(Panel1(), Centre());
  EXPECT_EQ(pointer->toolTip(), "go there");
  EXPECT_EQ(pointer->pos(), Panel1()->pos() + Centre());
}

// Moves the pointer in even steps onto `end` from `steps` steps away along `direction`,
// through real mouse events, the last one landing on `end`.
void ApproachInSteps(QWidget* area, QPoint end, QPoint direction, int step, int steps = 3) {
  for (int i = steps; i >= 0; --i) QTest::mouseMove(area, end + direction * (step * i));
}

bool ShowsToolTip(const QString& text) {
  return QToolTip::isVisible() && QToolTip::text() == text;
}

TEST_F(EditorPointerTest, MarkMessageShowsFromEverySideAndGoesWhenThePointerLeaves) {
  StartWithMarkTo(Photo("b.jpg"));
  const QPoint onMark = Centre() + QPoint(2, 1);
  const QPoint sides[] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
  for (QPoint side : sides) {
    for (int step : {1, 4, 7}) {
      SCOPED_TRACE(testing::Message()
                   << "from " << side.x() << "," << side.y() << " step " << step);
      ApproachInSteps(Panel1(), onMark, side, step);
      EXPECT_TRUE(QTest::qWaitFor([&] { return ShowsToolTip("go there"); }, 3000));
      QTest::mouseMove(Panel1(), Centre() + QPoint(40, 40));
      EXPECT_TRUE(QTest::qWaitFor([&] { return !QToolTip::isVisible(); }, 3000));
    }
  }
}

TEST_F(EditorPointerTest, RestingPointerShowsTheMessageThoughTheClipAreaGotTheLastMove) {
  StartWithMarkTo(Photo("b.jpg"));
  // The last move lands on the clip area itself, 4 pixels from where the pointer dot was.
  ApproachInSteps(Panel1(), Centre(), QPoint(-1, 0), 4);
  QToolTip::hideText();
  EXPECT_TRUE(QTest::qWaitFor([&] { return !QToolTip::isVisible(); }));
  // The pointer rests: the tool tip event goes to the widget that got the last move.
  for (QWidget* receiver :
       {Panel1(), static_cast<QWidget*>(static_cast<ClipPanel*>(Panel1())->Image1())}) {
    QHelpEvent rest(QEvent::ToolTip, receiver->mapFrom(Panel1(), Centre()),
                    Panel1()->mapToGlobal(Centre()));
    QApplication::sendEvent(receiver, &rest);
    EXPECT_TRUE(ShowsToolTip("go there"));
    QToolTip::hideText();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !QToolTip::isVisible(); }));
  }
  // Off the mark, resting shows nothing. The moves above may still have woken Qt's own
  // tool tip timer, whose message the move off the mark takes away after the tip's delay.
  QTest::mouseMove(Panel1(), Centre() + QPoint(40, 40));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !QToolTip::isVisible(); }));
  QHelpEvent away(QEvent::ToolTip, Centre() + QPoint(40, 40),
                  Panel1()->mapToGlobal(Centre() + QPoint(40, 40)));
  QApplication::sendEvent(Panel1(), &away);
  EXPECT_FALSE(QToolTip::isVisible());
}

TEST_F(EditorPointerTest, MarkMessageStaysHiddenWithHintsOff) {
  StartWithMarkTo(Photo("b.jpg"));
  Control<QPushButton>("ShowHintButton")->click();
  ApproachInSteps(Panel1(), Centre(), QPoint(1, 0), 5);
  QTest::qWait(1200);
  EXPECT_FALSE(QToolTip::isVisible());
}

TEST_F(EditorPointerTest, CaptionTooWideForASmallPanelShowsWholeBesideIt) {
  StartWithMarkTo(Photo("kitchen.jpg"));
  Control<QCheckBox>("EditMode")->click();
  ASSERT_EQ(form_->MarkPanelCount(), 1u);
  MarkPanel* panel = nullptr;
  for (QFrame* frame : form_->findChildren<QFrame*>())
    if (auto* mark = dynamic_cast<MarkPanel*>(frame)) panel = mark;
  ASSERT_NE(panel, nullptr);
  ASSERT_EQ(panel->size(), QSize(20, 20));
  const QLabel* tag = panel->CaptionTag();
  ASSERT_NE(tag, nullptr);
  EXPECT_TRUE(tag->isVisible());
  EXPECT_EQ(tag->text(), "kitchen.jpg");
  EXPECT_GE(tag->contentsRect().width(), tag->fontMetrics().horizontalAdvance("kitchen.jpg"));
  EXPECT_FALSE(tag->geometry().intersects(panel->geometry()));
  EXPECT_LE(std::abs(tag->geometry().center().x() - panel->geometry().center().x()), 1);
  // Leaving edit mode takes the tag away with the panel.
  Control<QCheckBox>("EditMode")->click();
  EXPECT_EQ(form_->findChildren<QLabel*>("MarkCaptionTag").size(), 0);
}

TEST(MarkPanelTest, CaptionWiderThanTheClipAreaIsElidedInTheMiddle) {
  QWidget area;
  area.resize(200, 150);
  const QString name = "the long way round from the hall to the kitchen garden.jpg";
  MarkPanel panel(name, &area);
  panel.setGeometry(90, 60, 20, 20);
  area.show();
  const QLabel* tag = panel.CaptionTag();
  ASSERT_NE(tag, nullptr);
  ASSERT_TRUE(tag->isVisible());
  EXPECT_LE(tag->width(), area.width());
  EXPECT_GE(tag->x(), 0);
  EXPECT_LE(tag->geometry().right(), area.width() - 1);
  EXPECT_TRUE(tag->text().startsWith("the ")) << tag->text().toStdString();
  EXPECT_TRUE(tag->text().endsWith(".jpg")) << tag->text().toStdString();
  EXPECT_TRUE(tag->text().contains(QChar(0x2026))) << tag->text().toStdString();
}

TEST(MarkPanelTest, CaptionThatFitsNeedsNoTag) {
  QWidget area;
  area.resize(300, 200);
  MarkPanel panel("kitchen.jpg", &area);
  panel.setGeometry(20, 20, 120, 40);
  area.show();
  EXPECT_TRUE(panel.CaptionTag() == nullptr || !panel.CaptionTag()->isVisible());
  // Shrunk below what the caption needs, the panel gets its tag; near the bottom
  // edge the tag goes above the panel.
  panel.setGeometry(20, 170, 20, 20);
  ASSERT_NE(panel.CaptionTag(), nullptr);
  EXPECT_TRUE(panel.CaptionTag()->isVisible());
  EXPECT_EQ(panel.CaptionTag()->geometry().bottom(), panel.geometry().top() - 1);
}

TEST_F(EditorPointerTest, HoverSquareFollowsThePointerInEditMode) {
  StartWithMarkTo(Photo("b.jpg"));
  Control<QCheckBox>("EditMode")->click();
  Control<QSpinBox>("tolerance")->setValue(25);
  QTest::mouseMove(Panel1(), QPoint(200, 150));
  auto* shape = Control<QWidget>("Shape1");
  EXPECT_TRUE(shape->isVisible());
  EXPECT_EQ(shape->size(), QSize(50, 50));
  EXPECT_EQ(shape->pos(), Panel1()->pos() + QPoint(175, 125));
  EXPECT_EQ(form_->MarkPanelCount(), 1u);
  // A move on the square itself counts in clip-area pixels.
  QTest::mouseMove(shape, QPoint(5, 5));
  EXPECT_EQ(Control<QLabel>("CoordinatesLabel")->text(), "(180 , 130)");
}

TEST_F(EditorPointerTest, MarkPanelAndHoverSquareAreDrawnCrisp) {
  StartWithMarkTo(Photo("b.jpg"));
  Control<QCheckBox>("EditMode")->click();
  QTest::mouseMove(Panel1(), QPoint(200, 150));
  EXPECT_EQ(BlurredBevelPixels(*Control<QWidget>("Shape1"), 2), 0);
  MarkPanel* panel = nullptr;
  for (QFrame* frame : form_->findChildren<QFrame*>())
    if (auto* mark = dynamic_cast<MarkPanel*>(frame)) panel = mark;
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(BlurredBevelPixels(*panel, 1), 0);
}

TEST_F(EditorPointerTest, LeftClickFollowsTheMarkInBothModes) {
  std::string b = Photo("b.jpg");
  TForm1& form = StartWithMarkTo(b);
  std::string a = form.ClipOnScreen();
  QTest::mouseClick(Panel1(), Qt::LeftButton, {}, Centre());
  EXPECT_EQ(form.ClipOnScreen(), b);
  EXPECT_TRUE(Control<QPushButton>("PreviousClipButton")->isEnabled());

  form.PreviousClipButtonClick();
  EXPECT_EQ(form.ClipOnScreen(), a);
  Control<QCheckBox>("EditMode")->click();
  // The pointer comes from beside the mark's panel: the hover square, centred on it and
  // on top, carries it onto the mark.
  QTest::mouseMove(Panel1(), Centre() + QPoint(15, 0));
  QTest::mouseMove(Panel1(), Centre() + QPoint(8, 0));
  EXPECT_EQ(Control<QLabel>("CoordinatesLabel")->text(),
            QString("(%1 , %2)").arg(Centre().x() + 8).arg(Centre().y()));
  QTest::mouseClick(Control<QWidget>("Shape1"), Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_EQ(form.ClipOnScreen(), b);
}

TEST_F(EditorPointerTest, MovieTargetStartsPlayingAtOnce) {
  std::string movie = Movie("clip.mpg");
  TForm1& form = StartWithMarkTo(movie);
  QTest::mouseClick(Panel1(), Qt::LeftButton, {}, Centre());
  EXPECT_EQ(form.ClipOnScreen(), movie);
  EXPECT_TRUE(form.Clips().Player().IsPlaying());
}

TEST_F(EditorPointerTest, QuickSecondClickOnThePointerDotFollowsToo) {
  std::string b = Photo("b.jpg");
  TForm1& form = StartWithMarkTo(b);
  QTest::mouseMove(Panel1(), Centre());
  auto* pointer = Control<QWidget>("ClickerPointer");
  ASSERT_TRUE(pointer->isVisible());
  // The second press of a quick pair arrives as a double click.
  QMouseEvent second(QEvent::MouseButtonDblClick, QPointF(1, 1), pointer->mapToGlobal(QPointF(1, 1)),
                     Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(pointer, &second);
  EXPECT_EQ(form.ClipOnScreen(), b);
}

TEST_F(EditorPointerTest, PointerLandingOnAMarkPanelIsTracked) {
  StartWithMarkTo(Photo("b.jpg"));
  Control<QCheckBox>("EditMode")->click();
  ASSERT_EQ(form_->MarkPanelCount(), 1u);
  QTest::mouseMove(Panel1(), QPoint(5, 5));
  // The hover square sits far away; the panel alone lies under the pointer, and the
  // hover square comes to it.
  const QPoint at = Centre() + QPoint(8, 8);
  QTest::mouseMove(Panel1(), at);
  EXPECT_EQ(Control<QLabel>("CoordinatesLabel")->text(),
            QString("(%1 , %2)").arg(at.x()).arg(at.y()));
  EXPECT_TRUE(Control<QWidget>("Shape1")->geometry().contains(Panel1()->pos() + at));
}

TEST_F(EditorPointerTest, PlayRemovesTheMoviePicture) {
  std::string movie = Movie("clip.mpg");
  TForm1& form = Start();
  ASSERT_EQ(form.GoToClip(movie), ClipKind::MovieClip);
  auto* panel = static_cast<ClipPanel*>(Panel1());
  EXPECT_TRUE(QTest::qWaitFor([&] { return panel->Image1()->HasPicture(); }));
  form.PlayButtonClick();  // the map is empty
  EXPECT_FALSE(form.Clips().Player().IsOpen());
  EXPECT_FALSE(panel->Image1()->HasPicture());
}

TEST_F(EditorPointerTest, ToolbarHidesTheOverlays) {
  StartWithMarkTo(Photo("b.jpg"));
  QTest::mouseMove(Panel1(), QPoint(20, 20));
  ASSERT_TRUE(Control<QWidget>("ClickerPointer")->isVisible());
  QTest::mouseMove(Control<QWidget>("Panel3"), QPoint(5, 5));
  EXPECT_FALSE(Control<QWidget>("ClickerPointer")->isVisible());
}

}  // namespace
}  // namespace mw
