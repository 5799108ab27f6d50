// The editor window's spine, run headless: start-up, the settings file, the map
// file, the save prompt, saving under faults and the window size.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <filesystem>
#include <memory>

#include "../map/temp_folder.h"
#include "editor/app_fonts.h"
#include "editor/form1.h"
#include "editor/formclickermark.h"
#include "map/map_file.h"
#include "scripted_desktop.h"

namespace mw {
namespace {

namespace fs = std::filesystem;
using test::ReadText;
using test::ScriptedDesktop;
using test::TempFolder;
using test::WriteText;

const char* const kOneMarkMap =
    "markweaverdata1.01\r\n700\r\n500\r\n"
    "/clips/a.jpg\r\n0.500000\r\n0.500000\r\n10\r\n/clips/b.jpg\r\n<reserved>\r\n"
    "600\r\n400\r\nto b\r\n";

// Each test starts the editor in a fresh current directory.
class EditorWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UseApplicationFonts();
    previous_ = fs::current_path();
    fs::current_path(folder_.Path());
    here_ = fs::current_path().string();
  }
  void TearDown() override {
    form_.reset();
    fs::current_path(previous_);
  }
  TForm1& Start() {
    MoviePlayer::Options silent;
    silent.audio = false;
    form_ = std::make_unique<TForm1>(desktop_, EditorOptions{here_ + "/", silent});
    form_->AttachWindows({nullptr, &markForm_});
    return *form_;
  }
  template <typename T>
  T* Control(const char* name) {
    return form_->findChild<T*>(name);
  }

  TempFolder folder_;
  fs::path previous_;
  std::string here_;
  ScriptedDesktop desktop_;
  TClickerMarkForm markForm_{desktop_};
  std::unique_ptr<TForm1> form_;
};

TEST_F(EditorWindowTest, FirstStartInAnEmptyFolderMakesSettingsAndAnEmptyMap) {
  TForm1& form = Start();
  const std::string map = here_ + "/map1.clm";
  EXPECT_EQ(ReadText("markweaver.ini"), map + "\r\n");
  EXPECT_EQ(ReadText(map), "markweaverdata1.01\r\n610\r\n545\r\n");
  EXPECT_EQ(form.MapFileNameText(), map);
  EXPECT_EQ(form.windowTitle().toStdString(), "MarkWeaver Editor - " + map);
  EXPECT_TRUE(form.GuidePending());
  EXPECT_FALSE(form.MapChanged());
  EXPECT_TRUE(form.Map().Empty());
  EXPECT_TRUE(desktop_.messages.empty());
  EXPECT_EQ(form.OuterSize(), (WindowSize{610, 545}));
}

TEST_F(EditorWindowTest, StartLoadsTheRememberedMapAndAppliesItsWindowSize) {
  WriteText("tour.clm", kOneMarkMap);
  WriteText("markweaver.ini", here_ + "/tour.clm\r\n");
  TForm1& form = Start();
  ASSERT_EQ(form.Map().Count(), 1u);
  EXPECT_EQ(form.ClipOnScreen(), "/clips/a.jpg");
  EXPECT_EQ(form.OuterSize(), (WindowSize{700, 500}));
  EXPECT_FALSE(form.GuidePending());
  EXPECT_FALSE(form.MapChanged());
}

TEST_F(EditorWindowTest, MapWithoutSizeLinesTakesTheClipAreaSize) {
  WriteText("old.clm", "markweaverdata1.0\r\n");
  WriteText("markweaver.ini", "old.clm\r\n");
  TForm1& form = Start();
  // The clip area of the laid-out 610 x 545 window, not of an unlaid one.
  EXPECT_GT(form.OuterSize().width, 500);
  EXPECT_GT(form.OuterSize().height, 400);
}

TEST_F(EditorWindowTest, SettingsNamingAMissingMapCreateItUnderThatName) {
  fs::create_directory("maps");
  WriteText("markweaver.ini", here_ + "/maps/gone.clm\r\n");
  TForm1& form = Start();
  EXPECT_EQ(ReadText("maps/gone.clm"), "markweaverdata1.01\r\n610\r\n545\r\n");
  EXPECT_EQ(form.MapFileNameText(), here_ + "/maps/gone.clm");
  EXPECT_TRUE(form.GuidePending());
}

TEST_F(EditorWindowTest, DamagedSizeLineShowsTheConversionMessageAndTheWindowStays) {
  WriteText("bad.clm", "markweaverdata1.01\r\nwide\r\n500\r\n");
  WriteText("markweaver.ini", "bad.clm\r\n");
  TForm1& form = Start();
  ASSERT_EQ(desktop_.messages.size(), 1u);
  EXPECT_EQ(desktop_.messages[0].text, "'wide' is not a valid integer value");
  EXPECT_TRUE(form.Map().Empty());
  EXPECT_EQ(form.windowTitle().toStdString(), "MarkWeaverApp");
  EXPECT_EQ(ReadText("bad.clm"), "markweaverdata1.01\r\nwide\r\n500\r\n");
}

TEST_F(EditorWindowTest, InvalidHeaderAndUnreadableMapAreReported) {
  WriteText("other.clm", "not a map\r\n");
  WriteText("markweaver.ini", "other.clm\r\n");
  TForm1& form = Start();
  EXPECT_EQ(desktop_.MessageTexts(), std::vector<std::string>{"Invalid map file!"});
  EXPECT_EQ(ReadText("other.clm"), "not a map\r\n");

  form.SetMapFileNameText(here_ + "/nowhere/x.clm");
  form.LoadMap();
  EXPECT_EQ(desktop_.messages.back().text, "Failed to open the map file!");
  EXPECT_EQ(form.MapFileNameText(), "other.clm");
}

TEST_F(EditorWindowTest, PipesAndDevicesAsMapOrStartClipNeitherBlockNorExhaustMemory) {
  ASSERT_EQ(mkfifo("pipe.clm", 0600), 0);
  WriteText("markweaver.ini", "pipe.clm\r\n");
  TForm1& form = Start();
  EXPECT_EQ(desktop_.MessageTexts(), std::vector<std::string>{"Failed to open the map file!"});
  EXPECT_TRUE(form.Map().Empty());

  form.SetMapFileNameText("/dev/zero");
  form.LoadMap();
  EXPECT_EQ(desktop_.messages.back().text, "Failed to open the map file!");

  // A map whose start clip is a pipe named as a photo: the map loads, no clip shows.
  ASSERT_EQ(mkfifo("start.jpg", 0600), 0);
  WriteText("tour.clm",
            "markweaverdata1.01\r\n700\r\n500\r\n" + here_ +
                "/start.jpg\r\n0.5\r\n0.5\r\n10\r\nb.jpg\r\n\r\n600\r\n400\r\nto b\r\n");
  form.SetMapFileNameText("tour.clm");
  form.LoadMap();
  EXPECT_EQ(form.Map().Count(), 1u);
  EXPECT_FALSE(form.ClipShown());
}

TEST_F(EditorWindowTest, ExitAsksOnlyForAChangedMapWithMarks) {
  WriteText("tour.clm", kOneMarkMap);
  WriteText("markweaver.ini", "tour.clm\r\n");
  TForm1& form = Start();
  form.AskToSave();
  EXPECT_TRUE(desktop_.messages.empty());
  form.SetMapChanged(true);
  desktop_.messageAnswers = {MessageAnswer::No};
  form.AskToSave();
  ASSERT_EQ(desktop_.messages.size(), 1u);
  EXPECT_EQ(desktop_.messages[0].title, "Save?");
  EXPECT_EQ(desktop_.messages[0].text,
            "Do you want to save the current map?\n(It remembers your screen size, too)");
  EXPECT_EQ(desktop_.messages[0].buttons, MessageButtons::YesNo);
  EXPECT_TRUE(form.MapChanged());

  form.MutableMap().Clear();
  form.AskToSave();
  EXPECT_EQ(desktop_.messages.size(), 1u);
}

TEST_F(EditorWindowTest, YesSavesTheMapWithTheWindowSize) {
  WriteText("tour.clm", kOneMarkMap);
  WriteText("markweaver.ini", "tour.clm\r\n");
  TForm1& form = Start();
  form.SetOuterSize({640, 480});
  form.SetMapChanged(true);
  desktop_.messageAnswers = {MessageAnswer::Yes};
  form.close();
  EXPECT_FALSE(form.MapChanged());
  MapFileContent saved = ReadMapFile("tour.clm");
  EXPECT_EQ(*saved.windowSize, (WindowSize{640, 480}));
  EXPECT_EQ(saved.marks.Count(), 1u);
  // The same digits under every locale, also one with a decimal comma.
  EXPECT_NE(ReadText("tour.clm").find("\r\n0.500000\r\n"), std::string::npos);
}

TEST_F(EditorWindowTest, FailedSaveKeepsTheMapChangedAndTheOldFile) {
  fs::create_directory("locked");
  WriteText("locked/tour.clm", kOneMarkMap);
  WriteText("markweaver.ini", "locked/tour.clm\r\n");
  TForm1& form = Start();
  form.SetMapChanged(true);
  fs::remove("locked/tour.clm");
  fs::create_directory("locked/tour.clm");  // the target is now a folder
  form.SaveMapButtonClick();
  EXPECT_EQ(desktop_.messages.back().text,
            "Failed to open the map file for writing!\nNot a regular file");
  EXPECT_TRUE(form.MapChanged());
  EXPECT_TRUE(fs::is_directory("locked/tour.clm"));
  EXPECT_EQ(test::EntriesIn("locked"), 1u);
}

TEST_F(EditorWindowTest, ResizingByOnePixelSetsTheChangedStateAtTheNextTick) {
  WriteText("tour.clm", kOneMarkMap);
  WriteText("markweaver.ini", "tour.clm\r\n");
  TForm1& form = Start();
  form.Timer1Timer();
  EXPECT_FALSE(form.MapChanged());
  // The person makes the window one pixel wider.
  form.resize(form.width() + 1, form.height());
  form.Timer1Timer();
  EXPECT_TRUE(form.MapChanged());
}

TEST_F(EditorWindowTest, ControlsAreNamedCaptionedAndHinted) {
  Start();
  struct Expected {
    const char* name;
    const char* caption;
    const char* hint;
  };
  for (Expected e : {Expected{"MenuButton", "Menu", "All Commands..."},
                     {"HelpButton", "Help", "Help text for MarkWeaver (F1)"},
                     {"AboutButton", "About", "About this software"},
                     {"ExitButton", "Exit", "Exit MarkWeaver"},
                     {"Button1", "Map:", "Browse to load another map file (Ctrl+O)"},
                     {"OpenClipButton", "Clip:", "Load a picture, photo or movie clip on screen"},
                     {"SaveAsButton", "SA", "Save map as... (Ctrl+Shift+S)"},
                     {"SaveMapButton", "SM", "Save map (Ctrl+S)"},
                     {"ClearMapButton", "CM", "New map (Ctrl+N)"},
                     {"ShowHintButton", "i", "Turn on/off hints on screen"},
                     {"PlayButton", "", "Play"},
                     {"MakePackageButton", "", "Make package"}}) {
    auto* button = Control<QPushButton>(e.name);
    ASSERT_NE(button, nullptr) << e.name;
    EXPECT_EQ(button->text().toStdString(), e.caption) << e.name;
    EXPECT_EQ(button->toolTip().toStdString(), e.hint) << e.name;
  }
  auto* tolerance = Control<QSpinBox>("tolerance");
  EXPECT_EQ(tolerance->value(), 10);
  EXPECT_EQ(tolerance->minimum(), 5);
  EXPECT_EQ(tolerance->maximum(), 99);
  EXPECT_FALSE(tolerance->isEnabled());
  EXPECT_TRUE(Control<QLineEdit>("MapFileName")->isReadOnly());
  EXPECT_TRUE(Control<QPushButton>("ShowHintButton")->isChecked());
  EXPECT_FALSE(Control<QWidget>("Panel2")->isVisibleTo(form_.get()));
  EXPECT_FALSE(Control<QWidget>("MediaPlayer1")->isEnabled());
}

}  // namespace
}  // namespace mw
