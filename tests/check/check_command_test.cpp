// `markweaver --check` and `markweaver --overview` run as processes, with no display.
#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>
#include <string>

#include "../media/jpeg_fixtures.h"
#include "map/map_file.h"
#include "packer_test_support.h"

namespace mw {
namespace {

using test::RunProgram;
using test::RunResult;
using test::TempDir;
using test::WriteFile;

const std::string kEditor = std::string(MW_BIN_DIR) + "/markweaver";

// A map file's text; each mark is its clip, X, Y, target and message.
std::string MapText(const std::vector<std::vector<std::string>>& marks) {
  std::vector<ClickerMark> list;
  for (const auto& m : marks) {
    ClickerMark mark;
    mark.Clip = m[0];
    mark.X = std::stof(m[1]);
    mark.Y = std::stof(m[2]);
    mark.NextClip = m[3];
    mark.Hint = m[4];
    list.push_back(mark);
  }
  return FormatMap({640, 520}, list);
}

class EditorCommandTest : public ::testing::Test {
 protected:
  RunResult Run(std::vector<std::string> args) {
    args.insert(args.begin(), kEditor);
    // No display is there to be had.
    return RunProgram({args, dir_.path(), {{"DISPLAY", ""}, {"QT_QPA_PLATFORM", ""}}});
  }
  TempDir dir_;
};

TEST_F(EditorCommandTest, CheckExitsZeroAndPrintsNothingForASoundMap) {
  test::WriteJpeg(dir_ / "hall.jpg", 64, 48);
  test::WriteJpeg(dir_ / "kitchen.jpg", 64, 48);
  WriteFile(dir_ / "sound.clm", MapText({{"hall.jpg", "0.5", "0.5", "kitchen.jpg", "in"},
                                         {"kitchen.jpg", "0.5", "0.5", "hall.jpg", "out"}}));
  const RunResult result = Run({"--check", "sound.clm"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out, "");
}

TEST_F(EditorCommandTest, CheckExitsOneWithALineNamingEachFileAtFault) {
  test::WriteJpeg(dir_ / "hall.jpg", 64, 48);
  WriteFile(dir_ / "notes.txt", "text");
  WriteFile(dir_ / "faulty.clm", MapText({{"hall.jpg", "0.5", "0.5", "kitchen.jpg", "in"},
                                          {"hall.jpg", "0.7", "0.5", "notes.txt", "read"}}));
  const RunResult result = Run({"--check", "faulty.clm"});
  EXPECT_EQ(result.exit_code, 1) << result.err;
  EXPECT_EQ(result.out,
            "File not found: kitchen.jpg (mark 1 on hall.jpg, \"in\") - No such file or directory\n"
            "Not a clip file: notes.txt (mark 2 on hall.jpg, \"read\") - extension \"txt\"\n");
}

TEST_F(EditorCommandTest, CheckExitsTwoWhenTheMapCannotBeRead) {
  WriteFile(dir_ / "other.clm", "not a map\r\n");
  RunResult result = Run({"--check", "missing.clm"});
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_NE(result.err.find("missing.clm"), std::string::npos);
  result = Run({"--check", "other.clm"});
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_EQ(result.err, "Not a map file: other.clm\n");
  EXPECT_EQ(result.out, "");
}

TEST_F(EditorCommandTest, MakePackageStopsAtAMissingClipWithTheCheckText) {
  test::WriteJpeg(dir_ / "hall.jpg", 64, 48);
  WriteFile(dir_ / "tour.clm", MapText({{"hall.jpg", "0.5", "0.5", "kitchen.jpg", "in"}}));
  const RunResult result = Run({"--make-package", "tour.clm", "--output", "tour.exe"});
  EXPECT_EQ(result.exit_code, 1) << result.err;
  const std::string last = result.err.substr(result.err.rfind('\n', result.err.size() - 2) + 1);
  EXPECT_EQ(last,
            "markweaver: no package made: File not found: kitchen.jpg (mark 1 on hall.jpg, "
            "\"in\") - No such file or directory\n");
  EXPECT_FALSE(std::filesystem::exists(dir_ / "tour.exe"));
}

TEST_F(EditorCommandTest, OverviewWritesAPictureWithoutADisplay) {
  test::WriteJpeg(dir_ / "hall.jpg", 640, 480);
  WriteFile(dir_ / "map.clm", MapText({{"hall.jpg", "0.5", "0.5", "kitchen.jpg", "in"}}));
  RunResult result = Run({"--overview", "map.clm", "--output", "map.png"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  const QImage picture(QString::fromStdString(dir_ / "map.png"));
  EXPECT_GT(picture.width(), 100);
  EXPECT_GT(picture.height(), 200);  // two clips, one above the other

  result = Run({"--overview", "map.clm", "--output", "map.svg"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  const std::string svg = test::ReadFile(dir_ / "map.svg");
  EXPECT_NE(svg.find("<svg"), std::string::npos);
  EXPECT_NE(svg.find("<title>in</title>"), std::string::npos);
  EXPECT_NE(svg.find("class=\"clip broken\""), std::string::npos);

  result = Run({"--overview", "map.clm", "--output", "map.gif"});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_FALSE(test::Exists(dir_ / "map.gif"));
  EXPECT_EQ(Run({"--overview", "nothing.clm", "--output", "x.png"}).exit_code, 2);
}

}  // namespace
}  // namespace mw
