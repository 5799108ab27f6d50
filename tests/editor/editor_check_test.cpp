// The editor's Check Map and Map Overview windows, and the check before Make Package.
#include <QAction>
#include <QCheckBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeWidget>
#include <set>

#include "editor/map_history.h"
#include "editor/map_check_form.h"
#include "editor/map_overview_form.h"
#include "editor/mark_panel.h"
#include "editor_fixture.h"
#include "map/map_file.h"
#include "media/mark_geometry.h"
#include "overview/overview_view.h"
#include "package/makepackage.h"
#include "package/packageresult.h"

namespace mw::test {
namespace {

// Every path under `folder`, so a test can tell that nothing was touched.
std::set<std::string> Everything(const std::string& folder) {
  std::set<std::string> paths;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    paths.insert(entry.path().string() + " " +
                 std::to_string(entry.is_regular_file() ? entry.file_size() : 0));
  }
  return paths;
}

class EditorCheckTest : public EditorFixture {
 protected:
  // Writes the map the editor starts with.
  void StartWith(const std::vector<ClickerMark>& marks) {
    ASSERT_EQ(WriteMapFile("map1.clm", {640, 520}, marks).status, MapWriteStatus::Written);
    Start();
  }
  ClickerMark Mark(const std::string& clip, float x, float y, const std::string& target,
                   const std::string& hint) {
    ClickerMark mark;
    mark.Clip = clip;
    mark.X = x;
    mark.Y = y;
    mark.NextClip = target;
    mark.Hint = hint;
    return mark;
  }
  void Trigger(const char* action) {
    QAction* item = form_->findChild<QAction*>(action);
    ASSERT_NE(item, nullptr) << action;
    item->trigger();
  }
  void AttachPackageWindows() {
    form_->AttachWindows({nullptr, &markForm_, nullptr, &resultForm_, &optionsForm_});
  }

  // Opens Check Map on a map whose mark 1 lies beyond the right edge of the hall photo,
  // beside a mark whose target is missing and one whose centre lies just inside the
  // kitchen's edge; gives the window.
  TMapCheckForm& CheckMapWithAMarkOutside() {
    hall_ = Photo("hall.jpg");
    kitchen_ = Photo("kitchen.jpg");
    StartWith({Mark(hall_, 0.5f, 0.5f, here_ + "/lost.jpg", "down"),
               Mark(hall_, 1.5f, 0.25f, kitchen_, "far"),
               Mark(kitchen_, 0.99f, 0.5f, hall_, "out")});
    form_->activateWindow();
    Trigger("CheckMap1");
    TMapCheckForm& window = *form_->MapCheckWindow();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    return window;
  }
  // The mark panel shown selected, if any.
  QWidget* SelectedPanel() {
    for (QWidget* child : Control<QWidget>("BasePanel")->findChildren<QWidget*>()) {
      auto* panel = dynamic_cast<MarkPanel*>(child);
      if (panel && panel->isVisible() && panel->Selected()) return panel;
    }
    return nullptr;
  }
  void ClickRow(QTreeWidget* list, int row) {
    QTreeWidgetItem* item = list->topLevelItem(row);
    list->scrollToItem(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                      list->visualItemRect(item).center());
  }

  std::string hall_, kitchen_;
  TPackageResultForm resultForm_{desktop_};
  TMakePackageForm optionsForm_{desktop_};
};

TEST_F(EditorCheckTest, CheckMapListsProblemsAndADoubleClickShowsTheMarkSelected) {
  const std::string hall = Photo("hall.jpg"), kitchen = Photo("kitchen.jpg");
  const std::string lost = here_ + "/lost.jpg";
  StartWith({Mark(hall, 0.5f, 0.5f, kitchen, "in"), Mark(hall, 0.2f, 0.2f, lost, "down"),
             Mark(kitchen, 0.5f, 0.5f, hall, "out")});
  form_->GoToClip(kitchen);
  Trigger("CheckMap1");
  TMapCheckForm* window = form_->MapCheckWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->isVisible());
  QTreeWidget* list = window->ProblemList();
  ASSERT_EQ(list->topLevelItemCount(), 1);
  QTreeWidgetItem* row = list->topLevelItem(0);
  EXPECT_EQ(row->text(0), "File not found");
  EXPECT_EQ(row->text(1).toStdString(), hall);
  EXPECT_EQ(row->text(2), "down");
  EXPECT_EQ(row->text(3).toStdString(), lost);

  ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
  list->scrollToItem(row);
  const QPoint onRow = list->visualItemRect(row).center();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, onRow);
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, onRow);
  EXPECT_EQ(form_->ClipOnScreen(), hall);
  EXPECT_TRUE(Control<QCheckBox>("EditMode")->isChecked());
  EXPECT_EQ(form_->SelectedMark(), 1u);
  ASSERT_EQ(form_->MarkPanelCount(), 2u);
  EXPECT_FALSE(form_->MarkPanelSelected(0));
  EXPECT_TRUE(form_->MarkPanelSelected(1));
}

TEST_F(EditorCheckTest, CheckMapFollowsTheEditsOfTheMap) {
  const std::string hall = Photo("hall.jpg"), kitchen = Photo("kitchen.jpg");
  StartWith({Mark(hall, 0.5f, 0.5f, kitchen, "in"), Mark(hall, 0.2f, 0.2f, here_ + "/lost.jpg", "down"),
             Mark(kitchen, 0.5f, 0.5f, hall, "out")});
  Trigger("CheckMap1");
  QTreeWidget* list = form_->MapCheckWindow()->ProblemList();
  ASSERT_EQ(list->topLevelItemCount(), 1);
  // The mark at fault is deleted: the problem goes from the list.
  form_->EditHistory().DeleteMark(1);
  EXPECT_TRUE(QTest::qWaitFor([&] {
    return form_->MapCheckWindow()->Summary() == "The map check found no problems.";
  }));
  // Undone, it comes back.
  form_->UndoMenuItemClick();
  ASSERT_TRUE(QTest::qWaitFor([&] { return list->topLevelItemCount() == 1; }));
  EXPECT_EQ(list->topLevelItem(0)->text(2), "down");
}

TEST_F(EditorCheckTest, BringInsideMovesAMarkOutsideItsClipInAsOneStepThatUndoPutsBack) {
  TMapCheckForm& window = CheckMapWithAMarkOutside();
  QTreeWidget* list = window.ProblemList();
  QPushButton* bring = window.BringInsideButton();
  ASSERT_EQ(list->topLevelItemCount(), 2);
  EXPECT_EQ(list->topLevelItem(1)->text(0), "Mark outside its clip");
  EXPECT_EQ(window.Summary(), "The map check found 2 problems. A double click shows one.");
  // Offered on the row of the mark outside, not on another row.
  EXPECT_TRUE(bring->isVisible());
  ClickRow(list, 0);
  EXPECT_FALSE(bring->isEnabled());
  ClickRow(list, 1);
  ASSERT_TRUE(bring->isEnabled());
  QTest::mouseClick(bring, Qt::LeftButton);

  // The whole mark lies just inside the right edge, on its clip shown, selected.
  const AreaSize area = form_->ClipArea();
  const ClickerMark& moved = form_->Map().At(1);
  EXPECT_FLOAT_EQ(moved.X, 1.0f - 10.0f / static_cast<float>(area.width));
  EXPECT_FLOAT_EQ(moved.Y, 0.25f);
  EXPECT_EQ(form_->ClipOnScreen(), hall_);
  EXPECT_TRUE(form_->MarkPanelSelected(1));
  QWidget* panel = SelectedPanel();
  ASSERT_NE(panel, nullptr);
  EXPECT_TRUE(panel->isVisible());
  EXPECT_TRUE(Control<QWidget>("Panel1")->geometry().contains(panel->geometry()));
  const QPoint centre = panel->geometry().center() - Control<QWidget>("Panel1")->pos();
  EXPECT_EQ(FindMarkAt(form_->Map(), hall_, area, centre.x(), centre.y()), 1u);
  EXPECT_TRUE(form_->MapChanged());
  EXPECT_EQ(form_->findChild<QAction*>("UndoMenuItem")->text(), "Undo Bring clicker mark inside");
  // The window follows: the row goes, the other stays.
  ASSERT_TRUE(QTest::qWaitFor([&] { return list->topLevelItemCount() == 1; }));
  EXPECT_EQ(list->topLevelItem(0)->text(0), "File not found");
  EXPECT_FALSE(bring->isVisible());

  // One Undo puts it back where it was, and the row with it.
  form_->UndoMenuItemClick();
  EXPECT_EQ(form_->Map().At(1).X, 1.5f);
  EXPECT_EQ(form_->Map().At(1).Y, 0.25f);
  EXPECT_FALSE(form_->MapChanged());
  EXPECT_TRUE(QTest::qWaitFor([&] { return list->topLevelItemCount() == 2; }));
}

TEST_F(EditorCheckTest, BringInsideIsReachedByTheKeyboardAndSaveWritesThePlace) {
  TMapCheckForm& window = CheckMapWithAMarkOutside();
  QTreeWidget* list = window.ProblemList();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  list->setFocus();
  QTest::keyClick(list, Qt::Key_Home);
  QTest::keyClick(list, Qt::Key_Down);
  ASSERT_EQ(list->currentItem(), list->topLevelItem(1));
  // Tab to the button and Space, as a person without a pointer does.
  QTest::keyClick(list, Qt::Key_Tab);
  ASSERT_EQ(QApplication::focusWidget(), window.BringInsideButton());
  QTest::keyClick(window.BringInsideButton(), Qt::Key_Space);
  const float x = 1.0f - 10.0f / static_cast<float>(form_->ClipArea().width);
  ASSERT_FLOAT_EQ(form_->Map().At(1).X, x);

  form_->SaveMapButtonClick();
  const MapFileContent saved = ReadMapFile(here_ + "/map1.clm");
  ASSERT_EQ(saved.marks.Count(), 3u);
  EXPECT_FLOAT_EQ(saved.marks.At(1).X, x);
  EXPECT_FLOAT_EQ(saved.marks.At(1).Y, 0.25f);
  EXPECT_EQ(saved.marks.At(1).Hint.str(), "far");
  EXPECT_FALSE(form_->MapChanged());
}

TEST_F(EditorCheckTest, BringInsideOfARowTheMapHasLeftMovesNoOtherMark) {
  TMapCheckForm& window = CheckMapWithAMarkOutside();
  ClickRow(window.ProblemList(), 1);
  // The mark goes before the list has caught up; the next mark takes its index.
  form_->EditHistory().DeleteMark(1);
  ASSERT_EQ(window.ProblemList()->topLevelItemCount(), 2);
  QTest::mouseClick(window.BringInsideButton(), Qt::LeftButton);
  ASSERT_EQ(form_->Map().Count(), 2u);
  EXPECT_EQ(form_->Map().At(1).X, 0.99f);
  EXPECT_EQ(form_->EditHistory().Stack().count(), 1);
  // The list is brought up to the map: no mark lies outside.
  EXPECT_TRUE(QTest::qWaitFor([&] { return !window.BringInsideButton()->isVisible(); }));
}

TEST_F(EditorCheckTest, CheckMapSaysSoWhenThereIsNoProblem) {
  const std::string hall = Photo("hall.jpg"), garden = Movie("garden.mpg");
  StartWith({Mark(hall, 0.5f, 0.5f, garden, "out"), Mark(garden, 0.5f, 0.5f, hall, "in")});
  Trigger("CheckMap1");
  ASSERT_NE(form_->MapCheckWindow(), nullptr);
  EXPECT_EQ(form_->MapCheckWindow()->Summary(), "The map check found no problems.");
  EXPECT_FALSE(form_->MapCheckWindow()->ProblemList()->isVisible());
}

TEST_F(EditorCheckTest, MakePackageAsksFirstAndNoTouchesNoFile) {
  const std::string hall = Photo("hall.jpg");
  StartWith({Mark(hall, 0.5f, 0.5f, here_ + "/kitchen.jpg", "in")});
  AttachPackageWindows();
  const std::set<std::string> before = Everything(here_);
  desktop_.messageAnswers.push_back(MessageAnswer::No);
  QTest::mouseClick(Control<QPushButton>("MakePackageButton"), Qt::LeftButton);
  ASSERT_EQ(desktop_.messages.size(), 1u);
  const std::string& question = desktop_.messages[0].text;
  EXPECT_NE(question.find("File not found: " + here_ + "/kitchen.jpg"), std::string::npos);
  EXPECT_EQ(question.substr(question.size() - 26), "\n\nMake the package anyway?");
  EXPECT_EQ(desktop_.messages[0].buttons, MessageButtons::YesNo);
  EXPECT_TRUE(desktop_.modalDialogs.empty());
  EXPECT_EQ(Everything(here_), before);
}

TEST_F(EditorCheckTest, MakePackageGoesOnAfterYesAndAsksNothingOfASoundMap) {
  const std::string hall = Photo("hall.jpg"), kitchen = Photo("kitchen.jpg");
  StartWith({Mark(hall, 0.5f, 0.5f, here_ + "/lost.jpg", "in")});
  AttachPackageWindows();
  desktop_.messageAnswers.push_back(MessageAnswer::Yes);
  desktop_.dialogScripts.push_back([](QDialog&) { return kModalCancel; });
  QTest::mouseClick(Control<QPushButton>("MakePackageButton"), Qt::LeftButton);
  EXPECT_EQ(desktop_.messages.size(), 1u);
  EXPECT_EQ(desktop_.modalDialogs,
            std::vector<std::string>{optionsForm_.objectName().toStdString()});

  form_->MutableMap().Clear();
  form_->MutableMap().Append(Mark(hall, 0.5f, 0.5f, kitchen, "in"));
  form_->MutableMap().Append(Mark(kitchen, 0.5f, 0.5f, hall, "out"));
  desktop_.dialogScripts.push_back([](QDialog&) { return kModalCancel; });
  QTest::mouseClick(Control<QPushButton>("MakePackageButton"), Qt::LeftButton);
  EXPECT_EQ(desktop_.messages.size(), 1u);
  EXPECT_EQ(desktop_.modalDialogs.size(), 2u);
}

TEST_F(EditorCheckTest, OverviewFollowsTheMapAndADoubleClickShowsTheClip) {
  const std::string hall = Photo("hall.jpg"), kitchen = Photo("kitchen.jpg");
  StartWith({Mark(hall, 0.5f, 0.5f, kitchen, "in")});
  Trigger("MapOverview1");
  TMapOverviewForm* window = form_->MapOverviewWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->isVisible());
  const OverviewView& view = *window->View();
  EXPECT_TRUE(QTest::qWaitFor([&] { return view.Picture().Graph().nodes.size() == 2u; }));

  // A mark added in the editor, as one step of its history.
  form_->GoToClip(kitchen);
  form_->AppendMark(20, 20, here_ + "/garden.mpg", "out");
  EXPECT_TRUE(QTest::qWaitFor([&] { return view.Picture().Graph().nodes.size() == 3u; }));
  EXPECT_TRUE(view.Picture().Graph().nodes[2].Broken());

  emit window->View()->clipChosen(QString::fromStdString(kitchen));
  EXPECT_EQ(form_->ClipOnScreen(), kitchen);
  EXPECT_TRUE(Control<QCheckBox>("EditMode")->isChecked());
}

}  // namespace
}  // namespace mw::test
