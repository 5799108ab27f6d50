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
#include "editor_fixture.h"
#include "map/map_file.h"
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
