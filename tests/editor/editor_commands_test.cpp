// The editor's map commands, the first-use guide, the hint switch, the advance
// toolbar and Help, scripted through the dialog seam.
#include <QAction>
#include <QCheckBox>
#include <QHelpEvent>
#include <QLineEdit>
#include <QPushButton>

#include "editor_fixture.h"
#include "map/map_file.h"
#include "media/clip_display.h"

namespace mw {
namespace {

using test::ReadText;
using test::WriteText;

const char* const kTwoMarkMap =
    "markweaverdata1.01\r\n640\r\n520\r\n"
    "a.jpg\r\n0.500000\r\n0.500000\r\n10\r\nb.jpg\r\n<reserved>\r\n0\r\n0\r\nto b\r\n"
    "b.jpg\r\n0.500000\r\n0.500000\r\n10\r\na.jpg\r\n<reserved>\r\n0\r\n0\r\nto a\r\n";

class EditorCommandsTest : public test::EditorFixture {
 protected:
  // Starts on an existing map of two marks, named in the settings file.
  TForm1& StartOnTour() {
    WriteText("tour.clm", kTwoMarkMap);
    WriteText("markweaver.ini", here_ + "/tour.clm\r\n");
    return Start();
  }
  QAction* Action(const char* name) { return form_->findChild<QAction*>(name); }
  // Whether a tool tip event on `control` gets through the window's hint switch.
  bool ShowsHint(QWidget* control) {
    ToolTipProbe probe;
    control->installEventFilter(&probe);
    QHelpEvent event(QEvent::ToolTip, QPoint(1, 1), control->mapToGlobal(QPoint(1, 1)));
    QApplication::sendEvent(control, &event);
    control->removeEventFilter(&probe);
    return probe.reached;
  }
  // Notes whether a tool tip event reached the control it was sent to.
  struct ToolTipProbe : QObject {
    bool reached = false;
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() == QEvent::ToolTip) reached = true;
      return true;
    }
  };
};

TEST_F(EditorCommandsTest, LoadMapWithAnUnchangedMapAsksNothing) {
  TForm1& form = StartOnTour();
  WriteText("other.clm", "markweaverdata1.01\r\n600\r\n500\r\n");
  desktop_.openAnswers.push_back(here_ + "/other.clm");
  form.Button1Click();
  EXPECT_TRUE(desktop_.messages.empty());
  ASSERT_EQ(desktop_.openRequests.size(), 1u);
  EXPECT_EQ(desktop_.openRequests[0].title, "Open the map file:");
  EXPECT_EQ(desktop_.openRequests[0].filter,
            "MarkWeaver map files(*.clm)|*.clm|All file types|*.*");
  EXPECT_EQ(form.MapFileNameText(), here_ + "/other.clm");
  EXPECT_TRUE(form.Map().Empty());
  EXPECT_FALSE(form.MapChanged());
  EXPECT_EQ(ReadText("markweaver.ini"), here_ + "/other.clm\r\n");
}

TEST_F(EditorCommandsTest, NoToThePromptThenCancelChangesNothing) {
  TForm1& form = StartOnTour();
  form.SetMapChanged(true);
  desktop_.messageAnswers = {MessageAnswer::No};
  form.Button1Click();  // the open dialog is cancelled: no answer queued
  EXPECT_EQ(desktop_.messages.size(), 1u);
  EXPECT_EQ(form.Map().Count(), 2u);
  EXPECT_TRUE(form.MapChanged());
  EXPECT_EQ(form.MapFileNameText(), here_ + "/tour.clm");
  EXPECT_EQ(ReadText("tour.clm"), kTwoMarkMap);
}

TEST_F(EditorCommandsTest, OpenDialogStartsFromTheFileLastChosenInIt) {
  TForm1& form = StartOnTour();
  std::string photo = Photo("a.jpg");
  desktop_.openAnswers.push_back(photo);
  form.OpenClipButtonClick();
  form.Button1Click();
  ASSERT_EQ(desktop_.openRequests.size(), 2u);
  EXPECT_EQ(desktop_.openRequests[0].title, "Open clip file:");
  EXPECT_EQ(desktop_.openRequests[1].initialPath, photo);
}

TEST_F(EditorCommandsTest, NewMapThenSaveMapOverwritesTheOldFile) {
  TForm1& form = StartOnTour();
  desktop_.messageAnswers = {MessageAnswer::Yes, MessageAnswer::Cancel};  // sure; no guide
  form.ClearMapButtonClick();
  EXPECT_TRUE(form.Map().Empty());
  EXPECT_TRUE(form.MapChanged());
  EXPECT_EQ(form.MapFileNameText(), here_ + "/tour.clm");
  form.SaveMapButtonClick();
  EXPECT_FALSE(form.MapChanged());
  MapFileContent saved = ReadMapFile("tour.clm");
  EXPECT_TRUE(saved.marks.Empty());
}

TEST_F(EditorCommandsTest, NewMapAnsweredNoKeepsTheMap) {
  TForm1& form = StartOnTour();
  desktop_.messageAnswers = {MessageAnswer::No};
  form.ClearMapButtonClick();
  EXPECT_EQ(desktop_.messages[0].title, "?");
  EXPECT_EQ(form.Map().Count(), 2u);
  EXPECT_FALSE(form.MapChanged());
}

TEST_F(EditorCommandsTest, ReloadWithAChangedMapAndNoReloadsAndStaysChanged) {
  TForm1& form = StartOnTour();
  form.MutableMap().RemoveLast();
  form.SetMapChanged(true);
  desktop_.messageAnswers = {MessageAnswer::No};
  QTest::keyClick(Control<QLineEdit>("MapFileName"), Qt::Key_Return);
  EXPECT_EQ(form.Map().Count(), 2u);
  EXPECT_TRUE(form.MapChanged());
  EXPECT_EQ(ReadText("markweaver.ini"), here_ + "/tour.clm\r\n");
}

TEST_F(EditorCommandsTest, SaveMapAsWritesTheSettingsInTheChosenFolder) {
  TForm1& form = StartOnTour();
  std::filesystem::create_directory("maps");
  std::string target = here_ + "/maps/new.clm";
  desktop_.saveAnswers.push_back(target);
  form.SetMapChanged(true);
  EXPECT_TRUE(form.SaveMapAs());
  ASSERT_EQ(desktop_.saveRequests.size(), 1u);
  EXPECT_EQ(desktop_.saveRequests[0].title, "Save as map:");
  EXPECT_EQ(desktop_.saveRequests[0].defaultExtension, "clm");
  EXPECT_TRUE(desktop_.saveRequests[0].confirmOverwrite);
  EXPECT_EQ(desktop_.saveRequests[0].initialPath, here_ + "/tour.clm");
  EXPECT_EQ(ReadMapFile(target).marks.Count(), 2u);
  EXPECT_EQ(ReadText(here_ + "/maps/markweaver.ini"), target + "\r\n");
  EXPECT_EQ(form.windowTitle().toStdString(), "MarkWeaver Editor - " + target);
  EXPECT_FALSE(form.MapChanged());
  // Declining the overwrite question is a cancelled dialog.
  EXPECT_FALSE(form.SaveMapAs());
}

TEST_F(EditorCommandsTest, SaveMapAsThatCannotWriteChangesNothingAndStopsTheGuide) {
  TForm1& form = StartOnTour();
  std::string title = form.windowTitle().toStdString();
  std::string unwritable = here_ + "/no such folder/new.clm";
  desktop_.saveAnswers.push_back(unwritable);
  form.SetMapChanged(true);
  EXPECT_FALSE(form.SaveMapAs());
  EXPECT_EQ(ReadText("markweaver.ini"), here_ + "/tour.clm\r\n");
  // The same map, still with unsaved changes.
  EXPECT_EQ(form.windowTitle().toStdString(), "*" + title);
  EXPECT_EQ(Control<QLineEdit>("MapFileName")->text().toStdString(), here_ + "/tour.clm");
  EXPECT_TRUE(form.MapChanged());
  ASSERT_EQ(desktop_.messages.size(), 1u);  // the write failure

  // In the first-use guide, the failed save ends the guide.
  desktop_.messages.clear();
  desktop_.messageAnswers = {MessageAnswer::Yes, MessageAnswer::Ok, MessageAnswer::Ok};
  desktop_.saveAnswers.push_back(unwritable);
  form.ClearMapButtonClick();
  std::vector<std::string> texts = desktop_.MessageTexts();
  ASSERT_EQ(texts.size(), 4u);
  EXPECT_EQ(texts[3], "New map was not saved");
  EXPECT_TRUE(desktop_.openRequests.empty());
  EXPECT_EQ(ReadText("markweaver.ini"), here_ + "/tour.clm\r\n");
}

TEST_F(EditorCommandsTest, GuideAfterNewMapCancelledAtItsSaveDialog) {
  TForm1& form = StartOnTour();
  desktop_.messageAnswers = {MessageAnswer::Yes, MessageAnswer::Ok};
  form.ClearMapButtonClick();
  std::vector<std::string> texts = desktop_.MessageTexts();
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(desktop_.messages[1].title, "Information");
  EXPECT_EQ(desktop_.messages[1].icon, MessageIcon::Information);
  EXPECT_EQ(texts[2], "New map was not saved");
  EXPECT_EQ(desktop_.messages[2].title, "Note");
  EXPECT_EQ(ReadText("tour.clm"), kTwoMarkMap);
}

TEST_F(EditorCommandsTest, GuideRunsThroughItsThreeSteps) {
  TForm1& form = StartOnTour();
  std::string photo = Photo("first.jpg");
  desktop_.messageAnswers = {MessageAnswer::Yes, MessageAnswer::Ok, MessageAnswer::Ok,
                             MessageAnswer::Ok};
  desktop_.saveAnswers.push_back(here_ + "/guided.clm");
  desktop_.openAnswers.push_back(photo);
  form.ClearMapButtonClick();
  EXPECT_EQ(form.ClipOnScreen(), photo);
  EXPECT_TRUE(Control<QCheckBox>("EditMode")->isChecked());
  EXPECT_TRUE(Control<QWidget>("tolerance")->isEnabled());
  EXPECT_EQ(ReadText("markweaver.ini"), here_ + "/guided.clm\r\n");
}

TEST_F(EditorCommandsTest, GuideAtFirstStartAndNotWithHintsOff) {
  // The ticks are run by hand: a real one could come before the hints are switched off.
  TForm1& form = Create();
  ASSERT_TRUE(form.GuidePending());
  form.Timer1Timer();
  EXPECT_FALSE(form.GuidePending());
  ASSERT_EQ(desktop_.messages.size(), 1u);
  EXPECT_EQ(desktop_.messages[0].title, "Information");

  std::filesystem::remove("map1.clm");
  desktop_.messages.clear();
  Create();
  form_->ShowHintMenuItemClick();
  form_->Timer1Timer();
  EXPECT_FALSE(form_->GuidePending());
  EXPECT_TRUE(desktop_.messages.empty());
}

TEST_F(EditorCommandsTest, HintSwitchSilencesAllButTwoControls) {
  TForm1& form = StartOnTour();
  auto* exit = Control<QWidget>("ExitButton");
  auto* menu = Control<QWidget>("MenuButton");
  auto* hintButton = Control<QPushButton>("ShowHintButton");
  EXPECT_TRUE(ShowsHint(exit));
  form.ShowHintMenuItemClick();
  EXPECT_FALSE(form.HintsOn());
  EXPECT_FALSE(Action("ShowHintMenuItem")->isChecked());
  EXPECT_FALSE(hintButton->isChecked());
  EXPECT_FALSE(ShowsHint(exit));
  EXPECT_FALSE(ShowsHint(Control<QWidget>("ClickerPointer")));
  EXPECT_TRUE(ShowsHint(menu));
  EXPECT_TRUE(ShowsHint(hintButton));
  form.ShowHintMenuItemClick();
  EXPECT_TRUE(form.HintsOn());
  EXPECT_TRUE(Action("ShowHintMenuItem")->isChecked());
  EXPECT_TRUE(ShowsHint(exit));
}

TEST_F(EditorCommandsTest, AdvanceToolbarShowsA35PixelStrip) {
  TForm1& form = StartOnTour();
  auto* strip = Control<QWidget>("Panel2");
  auto* area = Control<QWidget>("Panel1");
  int fullHeight = area->height();
  Action("AdvanceMenuItem")->trigger();
  EXPECT_TRUE(strip->isVisible());
  EXPECT_EQ(strip->height(), 35);
  EXPECT_TRUE(Control<QWidget>("MapFileName")->isVisible());
  EXPECT_FALSE(Control<QWidget>("SaveMapButton")->visibleRegion().boundingRect().isValid() &&
               Control<QWidget>("SaveMapButton")->mapTo(strip, QPoint(0, 0)).y() < 35);
  EXPECT_TRUE(QTest::qWaitFor([&] { return area->height() == fullHeight - 35; }));
  Action("AdvanceMenuItem")->trigger();
  EXPECT_FALSE(strip->isVisible());
  EXPECT_TRUE(QTest::qWaitFor([&] { return area->height() == fullHeight; }));
  (void)form;
}

TEST_F(EditorCommandsTest, HelpOpensTheReadmeBesideTheProgram) {
  TForm1& form = StartOnTour();
  Control<QPushButton>("HelpButton")->click();
  ASSERT_EQ(desktop_.opened.size(), 1u);
  EXPECT_EQ(desktop_.opened[0], here_ + "/readme.txt");
  (void)form;
}

TEST_F(EditorCommandsTest, PlayOnAnEmptyMapLeavesEditModeAndTheHistory) {
  desktop_.messageAnswers = {};
  TForm1& form = Start();
  std::string photo = Photo("a.jpg");
  form.GoToClip(photo);
  Control<QCheckBox>("EditMode")->click();
  auto history = form.History().Entries();
  form.PlayButtonClick();
  EXPECT_FALSE(Control<QCheckBox>("EditMode")->isChecked());
  EXPECT_FALSE(Control<QWidget>("tolerance")->isEnabled());
  EXPECT_EQ(form.History().Entries(), history);
  EXPECT_EQ(form.ClipOnScreen(), photo);
}

TEST_F(EditorCommandsTest, PlayStartsAMovieAtOnceAndAPhotoIsOnlyShown) {
  std::string movie = Movie("start.mpg");
  WriteText("tour.clm", "markweaverdata1.0\r\n" + movie +
                            "\r\n0.5\r\n0.5\r\n10\r\nx.jpg\r\nr\r\n0\r\n0\r\nh\r\n");
  WriteText("markweaver.ini", "tour.clm\r\n");
  TForm1& form = Start();
  EXPECT_FALSE(form.Clips().Player().IsPlaying());
  form.PlayButtonClick();
  EXPECT_EQ(form.ClipOnScreen(), movie);
  EXPECT_TRUE(form.Clips().Player().IsPlaying());
}

TEST_F(EditorCommandsTest, HistoryThroughTheWindow) {
  TForm1& form = Start();
  std::string a = Photo("a.jpg"), b = Photo("b.jpg"), c = Photo("c.jpg"), d = Photo("d.jpg");
  std::size_t before = form.History().Count();
  for (const auto& clip : {a, b, c}) form.GoToClip(clip);
  form.UpdateClipButtons();
  EXPECT_EQ(Control<QWidget>("NextClipButton")->toolTip().toStdString(),
            "Next clip (Total = " + std::to_string(before + 3) + ") (Alt+Right)");
  EXPECT_TRUE(Control<QWidget>("PreviousClipButton")->isEnabled());
  EXPECT_FALSE(Control<QWidget>("NextClipButton")->isEnabled());
  form.PreviousClipButtonClick();
  form.PreviousClipButtonClick();
  EXPECT_EQ(form.ClipOnScreen(), a);
  form.GoToClip(d);
  EXPECT_EQ(form.History().Count(), before + 2);
  form.NextClipButtonClick();
  EXPECT_EQ(form.ClipOnScreen(), d);
  // Enter in an empty clip box records an empty entry and shows nothing.
  auto* edit1 = Control<QLineEdit>("Edit1");
  edit1->clear();
  QTest::keyClick(edit1, Qt::Key_Return);
  EXPECT_EQ(form.History().Current(), "");
  EXPECT_FALSE(form.ClipShown());
}

}  // namespace
}  // namespace mw
