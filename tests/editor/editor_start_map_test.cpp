// `markweaver MAP`: the map named at start is loaded as Load Map loads a chosen file,
// in place of the map the settings file names.
#include <QLineEdit>

#include "editor_fixture.h"
#include "map/map_file.h"
#include "map/settings.h"

namespace mw::test {
namespace {

namespace fs = std::filesystem;

class StartMapTest : public EditorFixture {
 protected:
  TForm1& StartWith(const std::string& map) {
    MoviePlayer::Options silent;
    silent.audio = false;
    form_ = std::make_unique<TForm1>(desktop_, EditorOptions{here_ + "/", silent, map});
    form_->AttachWindows({nullptr, &markForm_});
    form_->show();
    QTest::qWait(1);
    return *form_;
  }
  std::string MapFileName() { return Control<QLineEdit>("MapFileName")->text().toStdString(); }

  // A map with one mark on a real photo, in a folder of its own.
  std::string MapInTours() {
    fs::create_directories(here_ + "/tours");
    const std::string photo = Photo("tours/hall.jpg");
    const std::string map = here_ + "/tours/tour.clm";
    WriteText(map, "markweaverdata1.01\r\n640\r\n520\r\n" + photo + "\r\n0.5\r\n0.5\r\n10\r\n" +
                       photo + "\r\n<reserved>\r\n0\r\n0\r\nHi\r\n");
    return map;
  }
};

TEST_F(StartMapTest, TheNamedMapIsLoadedAndTheFolderAndSettingsFollowIt) {
  // The settings file here names another map, which is neither loaded nor made.
  WriteText("markweaver.ini", here_ + "/other.clm\r\n");
  const std::string map = MapInTours();
  fs::current_path(here_ + "/tours");
  TForm1& form = StartWith("tour.clm");  // relative to the current folder
  EXPECT_EQ(MapFileName(), map);
  EXPECT_EQ(form.Map().Count(), 1u);
  EXPECT_TRUE(desktop_.messages.empty()) << desktop_.MessageTexts()[0];
  EXPECT_EQ(fs::current_path().string(), here_ + "/tours");
  EXPECT_EQ(ReadText(here_ + "/tours/markweaver.ini"), map + "\r\n");
  EXPECT_FALSE(fs::exists(here_ + "/other.clm"));
  EXPECT_EQ(ReadText(here_ + "/markweaver.ini"), here_ + "/other.clm\r\n");
}

TEST_F(StartMapTest, AMissingMapStartsEmptyUnderItsNameAndSaveMakesIt) {
  fs::create_directories(here_ + "/tours");
  TForm1& form = StartWith(here_ + "/tours/new.clm");
  EXPECT_TRUE(desktop_.messages.empty()) << desktop_.MessageTexts()[0];
  EXPECT_EQ(MapFileName(), here_ + "/tours/new.clm");
  EXPECT_EQ(form.windowTitle().toStdString(), "MarkWeaver Editor - " + here_ + "/tours/new.clm");
  EXPECT_TRUE(form.Map().Empty());
  EXPECT_FALSE(fs::exists(here_ + "/tours/new.clm"));
  EXPECT_EQ(fs::current_path().string(), here_ + "/tours");
  // The guide does not come: the person named the map already.
  EXPECT_FALSE(form.GuidePending());
  const std::string photo = Photo("tours/hall.jpg");
  form.GoToClip(photo);
  form.AppendMark(20, 20, photo, "Hi");
  form.SaveMapButtonClick();
  EXPECT_EQ(ReadMapFile(here_ + "/tours/new.clm").marks.Count(), 1u);
  EXPECT_FALSE(fs::exists(here_ + "/tours/map1.clm"));
  EXPECT_FALSE(fs::exists(here_ + "/map1.clm"));
}

TEST_F(StartMapTest, AFileThatIsNoMapGetsLoadMapsMessage) {
  WriteText(here_ + "/notes.clm", "shopping list\r\n");
  StartWith(here_ + "/notes.clm");
  ASSERT_FALSE(desktop_.messages.empty());
  EXPECT_EQ(desktop_.MessageTexts()[0], "Invalid map file!");
  EXPECT_EQ(ReadText(here_ + "/notes.clm"), "shopping list\r\n");
}

}  // namespace
}  // namespace mw::test
