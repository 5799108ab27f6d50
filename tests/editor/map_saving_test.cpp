// Nothing of a map is lost around saving: a save that fails stops the command that asked
// for it (closing, Load Map, reading the map again), and a save asks before it writes over
// a file that did not open as a map or that another program changed since.
#include <gtest/gtest.h>

#include <QTest>
#include <filesystem>
#include <string>

#include "editor/map_history.h"
#include "editor_fixture.h"
#include "map/map_file.h"

namespace mw {
namespace {

namespace fs = std::filesystem;
using test::ReadText;
using test::WriteText;

const std::string kOneMark =
    "/clips/a.jpg\r\n0.500000\r\n0.500000\r\n10\r\n/clips/b.jpg\r\n<reserved>\r\n"
    "600\r\n400\r\nto b\r\n";
const std::string kOneMarkMap = "markweaverdata1.01\r\n700\r\n500\r\n" + kOneMark;

ClickerMark NewMark() {
  ClickerMark mark;
  mark.Clip = "/clips/new.jpg";
  mark.NextClip = "/clips/target.jpg";
  mark.X = 0.25f;
  mark.Y = 0.25f;
  mark.AreaWidth = 600;
  mark.AreaHeight = 400;
  return mark;
}

class MapSavingTest : public test::EditorFixture {
 protected:
  // Starts on a map of one mark kept on a "stick" folder, and adds a second mark.
  TForm1& StartOnStickWithAnUnsavedMark() {
    fs::create_directory("stick");
    WriteText("stick/tour.clm", kOneMarkMap);
    WriteText("markweaver.ini", here_ + "/stick/tour.clm\r\n");
    TForm1& form = Start();
    form.EditHistory().AddMark(NewMark());
    EXPECT_EQ(form.Map().Count(), 2u);
    return form;
  }
  // The stick is pulled out: the map's folder is gone, so the save cannot write.
  void PullTheStick() { fs::remove_all("stick"); }
};

// Closing the window, Yes to the prompt, the save fails: the window must stay open
// with the marks, not close and drop them.
TEST_F(MapSavingTest, CloseAfterAFailedSaveKeepsTheWindowAndTheMarks) {
  TForm1& form = StartOnStickWithAnUnsavedMark();
  PullTheStick();
  desktop_.messageAnswers = {MessageAnswer::Yes};
  const bool closed = form.close();
  EXPECT_NE(desktop_.messages.back().text.find("Failed to open the map file for writing!"),
            std::string::npos);
  EXPECT_FALSE(closed) << "the window closed although its map was not saved";
  EXPECT_TRUE(form.isVisible());
}

// Load Map, Yes to the prompt, the save fails: the other map must not replace the
// unsaved one.
TEST_F(MapSavingTest, LoadMapAfterAFailedSaveKeepsTheUnsavedMarks) {
  TForm1& form = StartOnStickWithAnUnsavedMark();
  WriteText("other.clm", "markweaverdata1.01\r\n700\r\n500\r\n");
  PullTheStick();
  desktop_.messageAnswers = {MessageAnswer::Yes};
  desktop_.openAnswers = {here_ + "/other.clm"};
  form.Button1Click();
  EXPECT_EQ(form.Map().Count(), 2u) << "the unsaved marks were dropped for the other map";
}

// Enter in the map name field, Yes to the prompt, the save fails and the reload cannot
// open the file either: the map is emptied and its history restarted, nothing to undo.
TEST_F(MapSavingTest, ReloadAfterAFailedSaveKeepsTheUnsavedMarks) {
  TForm1& form = StartOnStickWithAnUnsavedMark();
  PullTheStick();
  desktop_.messageAnswers = {MessageAnswer::Yes};
  form.MapFileNameKeyDown(Qt::Key_Return);
  EXPECT_EQ(form.Map().Count(), 2u);
  EXPECT_TRUE(form.EditHistory().Stack().canUndo());
}

// A file picked by mistake through "All file types" is no map: it must not be written
// over by the next Save Map.
TEST_F(MapSavingTest, SaveDoesNotWriteOverAFileThatDidNotLoadAsAMap) {
  WriteText("tour.clm", kOneMarkMap);
  WriteText("markweaver.ini", here_ + "/tour.clm\r\n");
  WriteText("notes.txt", "my notes\n");
  TForm1& form = Start();
  desktop_.openAnswers = {here_ + "/notes.txt"};
  form.Button1Click();
  EXPECT_EQ(desktop_.messages.back().text, "Invalid map file!");
  form.EditHistory().AddMark(NewMark());
  desktop_.messageAnswers = {MessageAnswer::No};
  EXPECT_FALSE(form.SaveMapButtonClick());
  EXPECT_NE(desktop_.messages.back().text.find("did not open as a map here"), std::string::npos);
  EXPECT_EQ(ReadText("notes.txt"), "my notes\n");
  EXPECT_TRUE(form.MapChanged());
  // Yes replaces it, as the person chose.
  desktop_.messageAnswers = {MessageAnswer::Yes};
  EXPECT_TRUE(form.SaveMapButtonClick());
  EXPECT_NE(ReadText("notes.txt").find("/clips/new.jpg"), std::string::npos);
}

// A map whose size line is damaged (or that has CR-only line ends) loads as an empty
// map under its own name; the next save must not wipe the marks the file still holds.
TEST_F(MapSavingTest, SaveDoesNotWipeTheMarksOfAMapWithADamagedSizeLine) {
  for (const std::string& damaged :
       {"markweaverdata1.01\r\n700px\r\n500\r\n" + kOneMark,
        std::string("markweaverdata1.01\r700\r500\r/clips/a.jpg\r0.5\r0.5\r10\rb\r\r600\r400\rx\r")}) {
    SCOPED_TRACE(damaged.substr(0, 24));
    WriteText("damaged.clm", damaged);
    WriteText("markweaver.ini", here_ + "/damaged.clm\r\n");
    TForm1& form = Start();
    EXPECT_TRUE(form.Map().Empty());
    form.EditHistory().AddMark(NewMark());
    desktop_.messageAnswers = {MessageAnswer::No};
    EXPECT_FALSE(form.SaveMapButtonClick());
    EXPECT_NE(ReadText("damaged.clm").find("/clips/a.jpg"), std::string::npos)
        << "the marks the damaged file held are gone";
    form_.reset();
  }
}

// Another program (a second editor window, --relink, a sync tool) rewrites the map
// while it is open; Save Map must not silently write over those changes.
TEST_F(MapSavingTest, SaveDoesNotSilentlyOverwriteAMapChangedOnDisk) {
  WriteText("tour.clm", kOneMarkMap);
  WriteText("markweaver.ini", here_ + "/tour.clm\r\n");
  TForm1& form = Start();
  const std::string otherMark =
      "/clips/other.jpg\r\n0.100000\r\n0.100000\r\n10\r\n/clips/a.jpg\r\n<reserved>\r\n"
      "600\r\n400\r\nfrom elsewhere\r\n";
  WriteText("tour.clm", kOneMarkMap + otherMark);
  form.EditHistory().AddMark(NewMark());
  desktop_.messageAnswers = {MessageAnswer::No};
  EXPECT_FALSE(form.SaveMapButtonClick());
  EXPECT_NE(desktop_.messages.back().text.find("was changed by another program"),
            std::string::npos);
  EXPECT_NE(ReadText("tour.clm").find("/clips/other.jpg"), std::string::npos)
      << "the other program's mark was overwritten without a word";
  // A map saved here, as Save As saves it, is known again: the next save asks nothing.
  desktop_.saveAnswers = {here_ + "/mine.clm"};
  ASSERT_TRUE(form.SaveMapAs());
  form.EditHistory().AddMark(NewMark());
  const std::size_t asked = desktop_.messages.size();
  EXPECT_TRUE(form.SaveMapButtonClick());
  EXPECT_EQ(desktop_.messages.size(), asked);
}

}  // namespace
}  // namespace mw
