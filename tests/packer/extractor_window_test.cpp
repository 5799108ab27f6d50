// The self-extractor's own message window on a real X display (Xvfb with a window manager),
// where no message program is installed: a damaged package and a player that cannot start
// are shown in it, closed by a key or by a real pointer on its OK button, and the reason
// reaches standard error too.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <thread>

#include "packer/x11_text_layout.h"
#include "packer_test_support.h"

namespace mw::test {
namespace {

namespace fs = std::filesystem;

// An Xvfb with openbox on it, for the whole suite.
class Display {
 public:
  Display() {
    const std::string number = root_ / "display";
    server_ = Start({{"/bin/sh", "-c", "exec Xvfb -displayfd 3 -nolisten tcp -screen 0 800x600x24 "
                                      "3>'" + number + "'"},
                     "",
                     {}},
                    root_ / "xvfb.out", root_ / "xvfb.err");
    std::string text;
    for (int i = 0; i < 100 && text.find('\n') == std::string::npos; ++i) {
      usleep(50000);
      text = Exists(number) ? ReadFile(number) : "";
    }
    if (text.find('\n') == std::string::npos) return;
    name_ = ":" + text.substr(0, text.find('\n'));
    window_manager_ = Start({{"/bin/sh", "-c", "exec openbox"}, "", {{"DISPLAY", name_}}},
                            root_ / "wm.out", root_ / "wm.err");
    // Ready once it announces itself on the root window.
    for (int i = 0; i < 100; ++i) {
      if (CommandOutput("DISPLAY=" + name_ + " xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null")
              .find("window id") != std::string::npos)
        break;
      usleep(100000);
    }
  }
  ~Display() {
    for (pid_t pid : {window_manager_, server_}) {
      if (pid > 0) {
        kill(pid, SIGTERM);
        WaitExitCode(pid);
      }
    }
  }
  bool Running() const { return name_ != ":"; }
  const std::string& Name() const { return name_; }

  // Runs xdotool on this display; its output.
  std::string Tool(const std::string& arguments) const {
    return CommandOutput("DISPLAY=" + name_ + " xdotool " + arguments + " 2>/dev/null");
  }

 private:
  TempDir root_;
  pid_t server_ = -1, window_manager_ = -1;
  std::string name_ = ":";
};

class ExtractorWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { display_ = new Display; }
  static void TearDownTestSuite() { delete display_; }

  void SetUp() override {
    if (CommandOutput("for t in xdotool xwininfo openbox Xvfb; do command -v $t; done | wc -l") != "4\n")
      GTEST_SKIP() << "needs Xvfb, openbox, xdotool and xwininfo";
    ASSERT_TRUE(display_->Running());
    fs::create_directories(tmp_);
    fs::create_directories(root_ / "bin");  // no message program on PATH
  }

  // A package cut short: the self-extractor and bytes that are no package.
  void WriteDamagedPackage() {
    WriteFile(package_, ReadFile(BinPath("tract.dll")) + RandomBytes(1000, 5));
    fs::permissions(package_, fs::perms(0755));
  }

  pid_t StartPackage() {
    return Start({{package_},
                  root_.path(),
                  {{"DISPLAY", display_->Name()},
                   {"PATH", root_ / "bin"},
                   {"TMPDIR", tmp_},
                   {"XDG_CACHE_HOME", root_ / "cache"}}},
                 out_, err_);
  }

  // The id of the visible window titled MarkWeaver, waiting up to 60 s (a loaded machine's
  // window manager may take long to map it); empty when none.
  std::string AwaitWindow() const {
    for (int i = 0; i < 600; ++i) {
      std::istringstream ids(display_->Tool("search --onlyvisible --name '^MarkWeaver$'"));
      std::string id;
      if (ids >> id) return id;
      usleep(100000);
    }
    return "";
  }

  // Waits until no window titled MarkWeaver is left, and the window manager has let go of
  // it: the next one may get the same window id.
  void AwaitNoWindow() const {
    for (int i = 0; i < 100 && !display_->Tool("search --name '^MarkWeaver$'").empty(); ++i)
      usleep(50000);
    usleep(300000);
  }

  void TearDown() override {
    if (display_ && display_->Running()) AwaitNoWindow();
  }

  // The window's inside on the screen: X, Y (its absolute upper-left corner), WIDTH, HEIGHT.
  std::map<std::string, int> Geometry(const std::string& id) const {
    std::map<std::string, int> values;
    std::istringstream lines(
        CommandOutput("DISPLAY=" + display_->Name() + " xwininfo -id " + id + " 2>/dev/null"));
    const std::map<std::string, std::string> keys{{"Absolute upper-left X:", "X"},
                                                  {"Absolute upper-left Y:", "Y"},
                                                  {"Width:", "WIDTH"},
                                                  {"Height:", "HEIGHT"}};
    for (std::string line; std::getline(lines, line);) {
      for (const auto& [label, key] : keys) {
        const auto at = line.find(label);
        if (at != std::string::npos) values[key] = std::stoi(line.substr(at + label.size()));
      }
    }
    return values;
  }

  // Brings the pointer onto the window's OK button, in one jump or in small steps.
  void PointAtOk(const std::string& id, bool slowly) const {
    const auto g = Geometry(id);
    const int x = g.at("X") + g.at("WIDTH") - 16 - 40, y = g.at("Y") + g.at("HEIGHT") - 16 - 14;
    if (slowly) {
      display_->Tool("mousemove " + std::to_string(x - 60) + " " + std::to_string(y - 40));
      for (int step = 1; step <= 20; ++step) {
        display_->Tool("mousemove " + std::to_string(x - 60 + 3 * step) + " " +
                       std::to_string(y - 40 + 2 * step));
      }
    } else {
      display_->Tool("mousemove " + std::to_string(x) + " " + std::to_string(y));
    }
  }

  static Display* display_;
  TempDir root_;
  std::string tmp_ = root_ / "tmp";
  std::string package_ = root_ / "tour.exe";
  std::string out_ = root_ / "out", err_ = root_ / "err";
};

Display* ExtractorWindowTest::display_ = nullptr;

TEST_F(ExtractorWindowTest, ADamagedPackageIsShownInAWindowOfItsOwnAndOnStandardError) {
  WriteDamagedPackage();
  const pid_t pid = StartPackage();
  const std::string id = AwaitWindow();
  ASSERT_FALSE(id.empty()) << "no window; stderr: " << ReadFile(err_) << " running: "
                           << (kill(pid, 0) == 0) << " unmapped windows: "
                           << display_->Tool("search --name '^MarkWeaver$'");
  // The reason is on standard error while the window is still open.
  EXPECT_NE(ReadFile(err_).find("cut short"), std::string::npos) << ReadFile(err_);
  const auto g = Geometry(id);
  EXPECT_GE(g.at("X"), 0);
  EXPECT_LE(g.at("X") + g.at("WIDTH"), 800);
  EXPECT_LE(g.at("Y") + g.at("HEIGHT"), 600);
  display_->Tool("key --window " + id + " Return");
  EXPECT_EQ(WaitExitCode(pid, std::chrono::seconds(20)), 1);
  const std::string said = ReadFile(err_);
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << "said twice: " << said;
  EXPECT_TRUE(ListFolder(tmp_).empty());
}

TEST_F(ExtractorWindowTest, OkClosesTheWindowAfterAQuickAndASlowPointer) {
  WriteDamagedPackage();
  for (const bool slowly : {false, true}) {
    const pid_t pid = StartPackage();
    const std::string id = AwaitWindow();
    ASSERT_FALSE(id.empty()) << ReadFile(err_) << " alive: " << (kill(pid, 0) == 0)
                             << display_->Tool("search --name MarkWeaver");
    PointAtOk(id, slowly);
    display_->Tool("click 1");
    EXPECT_EQ(WaitExitCode(pid, std::chrono::seconds(20)), 1) << (slowly ? "slow" : "quick");
    AwaitNoWindow();
  }
}

// As when a library the player needs is missing on the machine: the loader's exit code 127.
TEST_F(ExtractorWindowTest, APlayerThatCannotStartIsShownInTheWindow) {
  const std::string program = MakeProgramFolder(root_);
  fs::create_directories(program + "ptemp");
  StageTestPlayer(program + "ptemp/");
  WriteFile(program + "ptemp/mwRun", "map");
  WriteFile(program + "ptemp/a.jpg", RandomBytes(100, 1));
  ASSERT_EQ(
      BuildFromDirective(program, DirectiveText(package_, program + "ptemp/", "Hi", {"a.jpg"}))
          .exit_code,
      0);
  setenv("MW_PLAYER_EXIT", "127", 1);
  const pid_t pid = StartPackage();
  unsetenv("MW_PLAYER_EXIT");
  const std::string id = AwaitWindow();
  ASSERT_FALSE(id.empty()) << ReadFile(err_);
  EXPECT_NE(ReadFile(err_).find("a library it needs is missing"), std::string::npos);
  display_->Tool("key --window " + id + " Escape");
  EXPECT_EQ(WaitExitCode(pid, std::chrono::seconds(20)), 1);
}

TEST(WrapTextTest, LinesFitTheWidthAndKeepEveryWord) {
  const auto width = [](const std::string& s) { return static_cast<int>(s.size()) * 6; };
  const std::string text = "The package cannot be played.\n\nthe player " +
                           std::string(50, 'x') + " could not start (exit code 127)";
  const std::vector<std::string> lines = packer::WrapText(text, 120, width);
  std::string joined;
  for (const std::string& line : lines) {
    EXPECT_LE(width(line), 120) << line;
    joined += line;
  }
  EXPECT_NE(std::find(lines.begin(), lines.end(), ""), lines.end());  // the empty line stays
  EXPECT_NE(joined.find(std::string(50, 'x').substr(0, 20)), std::string::npos);
  std::string letters;
  for (char c : text)
    if (c != ' ' && c != '\n') letters += c;
  std::string kept;
  for (char c : joined)
    if (c != ' ') kept += c;
  EXPECT_EQ(kept, letters);
  // A UTF-8 letter is never split.
  const auto umlauts = packer::WrapText(std::string(30, 'a') + "\xc3\xa4\xc3\xa4", 62, width);
  for (const std::string& line : umlauts) EXPECT_NE(static_cast<unsigned char>(line[0]), 0xa4);
}

}  // namespace
}  // namespace mw::test
