// Maps that travel in the editor, scripted through the dialog seam: the question after
// Load Map, Find Missing Clips with a chosen folder, and Gather Clips, each one step of
// the history.
#include <QAction>
#include <QLineEdit>

#include "editor/map_history.h"
#include "editor_fixture.h"
#include "map/map_file.h"

namespace fs = std::filesystem;

namespace mw {
namespace {

constexpr const char* kQuestionEnd = "\nUse the files found beside the map?";

ClickerMark Mark(const std::string& clip, const std::string& next) {
  ClickerMark mark;
  mark.Clip = clip;
  mark.X = 0.5f;
  mark.Y = 0.5f;
  mark.NextClip = next;
  mark.Hint = "go";
  return mark;
}

class EditorTravelTest : public test::EditorFixture {
 protected:
  // A tour of two photos made under `old`, saved, then moved as a whole to `moved`.
  std::string MovedTour(const std::string& old, const std::string& moved) {
    fs::create_directories(here_ + "/" + old + "/rooms");
    const std::string hall = Photo(old + "/rooms/hall.jpg");
    const std::string bath = Photo(old + "/rooms/bath.jpg", 48, 64);
    SaveMapAt(here_ + "/" + old + "/tour.clm", {Mark(hall, bath), Mark(bath, hall)});
    fs::create_directories(fs::path(here_ + "/" + moved).parent_path());
    fs::rename(here_ + "/" + old, here_ + "/" + moved);
    return here_ + "/" + moved + "/tour.clm";
  }
  static void SaveMapAt(const std::string& path, const std::vector<ClickerMark>& marks) {
    fs::create_directories(fs::path(path).parent_path());
    ASSERT_EQ(WriteMapFile(path, WindowSize{640, 520}, marks).status, MapWriteStatus::Written);
  }
  void LoadMapNamed(const std::string& path) {
    desktop_.openAnswers.push_back(path);
    form_->Button1Click();
  }
  void Trigger(const char* action) { Control<QAction>(action)->trigger(); }
};

TEST_F(EditorTravelTest, LoadingAMovedTourAsksOnceAndRelinksAsOneStep) {
  TForm1& form = Start();
  const std::string map = MovedTour("old/tour", "stick/Tour 2026");
  const std::string moved = here_ + "/stick/Tour 2026";
  desktop_.messageAnswers.push_back(MessageAnswer::Yes);
  LoadMapNamed(map);

  ASSERT_EQ(desktop_.messages.size(), 1u);
  EXPECT_EQ(desktop_.messages[0].text,
            std::string("2 clips of the map are missing, and files that match 2 of them were "
                        "found beside the map.") +
                kQuestionEnd);
  EXPECT_EQ(desktop_.messages[0].title, "Find Missing Clips");
  EXPECT_EQ(form.Map().At(0).Clip, moved + "/rooms/hall.jpg");
  EXPECT_EQ(form.Map().At(0).NextClip, moved + "/rooms/bath.jpg");
  EXPECT_EQ(form.Map().At(1).Clip, moved + "/rooms/bath.jpg");
  // The start clip shows again under its new name, and the map needs saving.
  EXPECT_EQ(form.ClipOnScreen(), moved + "/rooms/hall.jpg");
  EXPECT_TRUE(form.ClipShown());
  EXPECT_TRUE(form.MapChanged());

  // One step: one Undo takes every clip back.
  form.UndoMenuItemClick();
  EXPECT_EQ(form.Map().At(0).Clip, here_ + "/old/tour/rooms/hall.jpg");
  EXPECT_EQ(form.Map().At(1).NextClip, here_ + "/old/tour/rooms/hall.jpg");
  EXPECT_FALSE(form.MapChanged());
  form.RedoMenuItemClick();
  form.SaveMapButtonClick();
  EXPECT_EQ(ReadMapFile(map).marks.At(1).Clip, moved + "/rooms/bath.jpg");
}

TEST_F(EditorTravelTest, AnsweringNoLeavesTheMapAsLoaded) {
  TForm1& form = Start();
  const std::string map = MovedTour("a/tour", "b/tour");
  desktop_.messageAnswers.push_back(MessageAnswer::No);
  LoadMapNamed(map);
  EXPECT_EQ(desktop_.messages.size(), 1u);
  EXPECT_EQ(form.Map().At(0).Clip, here_ + "/a/tour/rooms/hall.jpg");
  EXPECT_FALSE(form.MapChanged());
  // A map whose clips are all there asks nothing.
  LoadMapNamed(map);
  desktop_.messages.clear();
  desktop_.messageAnswers.push_back(MessageAnswer::Yes);
  LoadMapNamed(map);
  ASSERT_EQ(desktop_.messages.size(), 1u);
  form.SaveMapButtonClick();
  desktop_.messages.clear();
  LoadMapNamed(map);
  EXPECT_TRUE(desktop_.messages.empty());
}

TEST_F(EditorTravelTest, AMovedTourOpenedAtStartIsAskedAboutOnceTheWindowShows) {
  // Named on the command line: asked over the shown window, not before it.
  const std::string map = MovedTour("old/tour", "stick/tour");
  MoviePlayer::Options silent;
  silent.audio = false;
  form_ = std::make_unique<TForm1>(desktop_, EditorOptions{here_ + "/", silent, map});
  form_->AttachWindows({nullptr, &markForm_});
  QTest::qWait(5);
  EXPECT_TRUE(desktop_.messages.empty());
  desktop_.messageAnswers.push_back(MessageAnswer::Yes);
  form_->show();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !desktop_.messages.empty(); }, 2000));
  EXPECT_TRUE(desktop_.messages[0].text.ends_with(kQuestionEnd));
  EXPECT_EQ(form_->Map().At(0).Clip, here_ + "/stick/tour/rooms/hall.jpg");
  EXPECT_TRUE(form_->MapChanged());
  // Once only: showing the window again asks nothing more.
  form_->hide();
  form_->show();
  QTest::qWait(20);
  EXPECT_EQ(desktop_.messages.size(), 1u);
}

TEST_F(EditorTravelTest, TheLastMapReopenedAtStartIsAskedAboutUnlessAnotherIsLoadedFirst) {
  const std::string map = MovedTour("a/tour", "b/tour");
  test::WriteText("markweaver.ini", map + "\r\n");
  TForm1& form = Start();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !desktop_.messages.empty(); }, 2000));
  EXPECT_TRUE(desktop_.messages[0].text.ends_with(kQuestionEnd));
  EXPECT_FALSE(form.MapChanged());  // answered No

  // A map loaded before the window shows takes the start map's place: one question, its own.
  form_.reset();
  desktop_.messages.clear();
  const std::string other = MovedTour("c/tour", "d/tour");
  Create();
  LoadMapNamed(other);
  ASSERT_EQ(desktop_.messages.size(), 1u);
  form_->show();
  QTest::qWait(20);
  EXPECT_EQ(desktop_.messages.size(), 1u);
}

TEST_F(EditorTravelTest, FindMissingClipsSearchesTheChosenFolderAndListsAmbiguousOnes) {
  TForm1& form = Start();
  const std::string hall = Photo("hall.jpg");
  SaveMapAt(here_ + "/maps/tour.clm",
            {Mark("/old/tour/rooms/hall.jpg", "/old/door.jpg"), Mark(hall, "/old/gone.jpg")});
  fs::create_directories(here_ + "/found/tour/rooms");
  fs::create_directories(here_ + "/found/x");
  fs::create_directories(here_ + "/found/y");
  const std::string found = Photo("found/tour/rooms/hall.jpg");
  Photo("found/x/door.jpg");
  Photo("found/y/door.jpg");
  LoadMapNamed(here_ + "/maps/tour.clm");
  EXPECT_TRUE(desktop_.messages.empty());  // nothing found beside the map: no question

  desktop_.folderAnswers.push_back(std::nullopt);
  Trigger("FindMissingClips1");
  ASSERT_EQ(desktop_.folderRequests.size(), 1u);
  EXPECT_EQ(desktop_.folderRequests[0].initialPath, here_ + "/maps");
  EXPECT_TRUE(desktop_.messages.empty());
  EXPECT_FALSE(form.MapChanged());

  desktop_.folderAnswers.push_back(here_ + "/found");
  Trigger("FindMissingClips1");
  ASSERT_EQ(desktop_.messages.size(), 1u);
  const std::string& report = desktop_.messages[0].text;
  EXPECT_EQ(report.rfind("1 clip was relinked (1 mark).\nRelinked: /old/tour/rooms/hall.jpg -> " +
                             found + "\nAmbiguous: /old/door.jpg (2 files: ",
                         0),
            0u)
      << report;
  EXPECT_NE(report.find("\nStill missing: /old/gone.jpg"), std::string::npos);
  EXPECT_EQ(form.Map().At(0).Clip, found);
  EXPECT_EQ(form.Map().At(0).NextClip, "/old/door.jpg");
  EXPECT_TRUE(form.MapChanged());
  EXPECT_EQ(form.EditHistory().Stack().undoText().toStdString(), kRelinkStep);
}

TEST_F(EditorTravelTest, FindMissingClipsWithNothingMissingSaysSo) {
  Start();
  Trigger("FindMissingClips1");
  EXPECT_TRUE(desktop_.folderRequests.empty());
  EXPECT_EQ(desktop_.MessageTexts(), std::vector<std::string>{"No clip of the map is missing."});
}

TEST_F(EditorTravelTest, GatherClipsCopiesBesideTheMapAndSavesIt) {
  TForm1& form = Start();
  fs::create_directories(here_ + "/cam1");
  fs::create_directories(here_ + "/cam2");
  const std::string one = Photo("cam1/hall.jpg");
  const std::string two = Photo("cam2/hall.jpg", 48, 64);
  const std::string map = here_ + "/tour/tour.clm";
  SaveMapAt(map, {Mark(one, two), Mark(two, one)});
  LoadMapNamed(map);

  desktop_.messageAnswers.push_back(MessageAnswer::Yes);
  Trigger("GatherClips1");
  const std::string folder = here_ + "/tour/tour clips";
  ASSERT_EQ(desktop_.messages.size(), 2u);
  EXPECT_EQ(desktop_.messages[0].text, "Copy the clips of the map into the folder\n" + folder +
                                           "\nand save the map pointing at the copies?");
  EXPECT_EQ(desktop_.messages[1].text.rfind("2 clips were gathered in " + folder + ".\n", 0), 0u);
  EXPECT_EQ(form.Map().At(0).Clip, folder + "/hall.jpg");
  EXPECT_EQ(form.Map().At(0).NextClip, folder + "/hall-2.jpg");
  EXPECT_EQ(form.ClipOnScreen(), folder + "/hall.jpg");
  // Saved at once.
  EXPECT_FALSE(form.MapChanged());
  EXPECT_EQ(ReadMapFile(map).marks.At(1).Clip, folder + "/hall-2.jpg");
  form.UndoMenuItemClick();
  EXPECT_EQ(form.Map().At(0).Clip, one);
  EXPECT_TRUE(form.MapChanged());
}

// The map could not be saved after the copies were made: the person is told both, the
// copies stay, and the map in memory names them and still needs saving.
TEST_F(EditorTravelTest, GatherWhoseMapCannotBeSavedKeepsTheCopiesAndTheChangedMap) {
  TForm1& form = Start();
  fs::create_directories(here_ + "/cam");
  const std::string hall = Photo("cam/hall.jpg");
  const std::string map = here_ + "/tour/tour.clm";
  SaveMapAt(map, {Mark(hall, hall)});
  LoadMapNamed(map);
  // A folder has taken the map's name since it was loaded.
  fs::remove(map);
  fs::create_directories(map + "/in the way");

  desktop_.messageAnswers.push_back(MessageAnswer::Yes);
  Trigger("GatherClips1");
  const std::string folder = here_ + "/tour/tour clips";
  const std::vector<std::string> texts = desktop_.MessageTexts();
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[1].rfind("Failed to open the map file for writing!", 0), 0u) << texts[1];
  EXPECT_EQ(texts[2], "The clips were copied to " + folder + ", but the map still needs saving.");
  EXPECT_EQ(form.Map().At(0).Clip, folder + "/hall.jpg");
  EXPECT_TRUE(form.MapChanged());
  EXPECT_TRUE(fs::exists(folder + "/hall.jpg"));
}

TEST_F(EditorTravelTest, GatherThatFailsNamesTheClipAndChangesNothing) {
  TForm1& form = Start();
  fs::create_directories(here_ + "/cam");
  const std::string hall = Photo("cam/hall.jpg");
  const std::string map = here_ + "/tour/tour.clm";
  SaveMapAt(map, {Mark(hall, hall)});
  test::WriteText(here_ + "/tour/tour clips", "a file where the folder would go");
  LoadMapNamed(map);
  const std::string before = test::ReadText(map);

  desktop_.messageAnswers.push_back(MessageAnswer::No);
  Trigger("GatherClips1");
  EXPECT_EQ(desktop_.messages.size(), 1u);

  desktop_.messageAnswers.push_back(MessageAnswer::Yes);
  Trigger("GatherClips1");
  ASSERT_EQ(desktop_.messages.size(), 3u);
  EXPECT_EQ(
      desktop_.messages[2].text.rfind("The clips were not gathered.\nCannot gather " + hall, 0), 0u)
      << desktop_.messages[2].text;
  EXPECT_EQ(form.Map().At(0).Clip, hall);
  EXPECT_FALSE(form.MapChanged());
  EXPECT_EQ(test::ReadText(map), before);
}

}  // namespace
}  // namespace mw
