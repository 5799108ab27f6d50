// `markweaver --check` and `markweaver --overview` run as processes, with no display.
#include <gtest/gtest.h>

#include <QImage>
#include <QXmlStreamReader>
#include <chrono>
#include <filesystem>
#include <string>

#include "../media/jpeg_fixtures.h"
#include "../support/hostile_clips.h"
#include "../support/loopback_server.h"
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
  EXPECT_EQ(result.exit_code, 2);  // a fault of the command line
  EXPECT_NE(result.err.find("must end in .png or .svg"), std::string::npos) << result.err;
  EXPECT_FALSE(test::Exists(dir_ / "map.gif"));
  EXPECT_EQ(Run({"--overview", "map.clm", "--output", "x.jpg"}).exit_code, 2);
  EXPECT_EQ(Run({"--overview", "nothing.clm", "--output", "x.png"}).exit_code, 2);
}

// Movie clips that name web addresses and a pipe: the check and the overview open none of
// them (the server sees no request) and wait for nothing; each spelling of a clip is
// one file.
TEST_F(EditorCommandTest, CheckAndOverviewOpenLocalMovieFilesOnly) {
  test::LoopbackServer server;
  ASSERT_TRUE(server.Listening());
  test::WriteJpeg(dir_ / "hall.jpg", 64, 48);
  std::vector<std::vector<std::string>> marks;
  for (const std::string& path : test::WriteHostileClips(dir_.path(), server.Url(""))) {
    const std::string name = std::filesystem::path(path).filename();
    for (const std::string& spelling : {name, "./" + name, "././" + name})
      marks.push_back({"hall.jpg", "0.5", "0.5", spelling, "to " + spelling});
  }
  WriteFile(dir_ / "hostile.clm", MapText(marks));
  const auto started = std::chrono::steady_clock::now();
  const RunResult check = Run({"--check", "hostile.clm"});
  EXPECT_EQ(check.exit_code, 1) << check.err;
  EXPECT_NE(check.out.find("Movie does not open: evil.mp4 (mark 1 on hall.jpg"),
            std::string::npos)
      << check.out;
  EXPECT_NE(check.out.find("Movie does not open: ././pipe.avi"), std::string::npos) << check.out;
  const RunResult overview = Run({"--overview", "hostile.clm", "--output", "hostile.png"});
  EXPECT_EQ(overview.exit_code, 0) << overview.err;
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(15));
  EXPECT_EQ(server.Requests(), 0);
}

// The map's texts reach the terminal with their control characters, bidirectional
// controls and bytes that are no text shown as codes, and a NUL does not cut the line.
TEST_F(EditorCommandTest, CheckShowsControlCharactersOfTheMapAsCodes) {
  test::WriteJpeg(dir_ / "hall.jpg", 64, 48);
  const std::string message = std::string("\x1b[2J\x1b]0;title\x07\x1b]52;c;cm0gLXJm\x07") +
                              "gpj.\xE2\x80\xAE" + std::string("exe\0after", 9) + "\xFF";
  WriteFile(dir_ / "hostile.clm",
            MapText({{"hall.jpg", "0.5", "0.5", "\x1b[31mred.jpg", message}}));
  const RunResult result = Run({"--check", "hostile.clm"});
  EXPECT_EQ(result.exit_code, 1) << result.err;
  EXPECT_EQ(result.out,
            "File not found: \\x1b[31mred.jpg (mark 1 on hall.jpg, "
            "\"\\x1b[2J\\x1b]0;title\\x07\\x1b]52;c;cm0gLXJm\\x07gpj.\\u202eexe\\x00after\\xff\") - "
            "No such file or directory\n");
}

TEST_F(EditorCommandTest, CheckSaysSoWhenItsListCannotBeWritten) {
  WriteFile(dir_ / "empty.clm", MapText({}));
  const pid_t pid = test::Start({{kEditor, "--check", "empty.clm"}, dir_.path(), {}}, "/dev/full",
                                dir_ / "err");
  EXPECT_EQ(test::WaitExitCode(pid), 2);
  EXPECT_NE(test::ReadFile(dir_ / "err").find("could not be written: No space left on device"),
            std::string::npos)
      << test::ReadFile(dir_ / "err");
}

// A link at the overview's output is refused and the file it points to kept; so is a
// picture whose texts are no UTF-8 or characters XML does not allow, which is written
// well-formed.
TEST_F(EditorCommandTest, OverviewRefusesALinkAndWritesWellFormedSvg) {
  test::WriteJpeg(dir_ / "hall.jpg", 64, 48);
  WriteFile(dir_ / "map.clm",
            MapText({{"hall.jpg", "0.5", "0.5", "k\xFF\xEF\xBF\xBE<&\x01.jpg", "\xC3( \xEF\xBF\xBF"}}));
  WriteFile(dir_ / "victim.txt", "kept");
  std::filesystem::create_symlink("victim.txt", dir_ / "link.svg");
  RunResult result = Run({"--overview", "map.clm", "--output", "link.svg"});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_NE(result.err.find("symbolic link"), std::string::npos) << result.err;
  EXPECT_EQ(test::ReadFile(dir_ / "victim.txt"), "kept");

  result = Run({"--overview", "map.clm", "--output", "map.svg"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  QXmlStreamReader xml(QByteArray::fromStdString(test::ReadFile(dir_ / "map.svg")));
  while (!xml.atEnd()) xml.readNext();
  EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
}

}  // namespace
}  // namespace mw
