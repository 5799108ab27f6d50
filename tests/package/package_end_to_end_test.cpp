// A real package build from end to end: the editor's pipeline runs the real package
// tools, and the package, when run, hands a stand-in player the map, every clip and
// the message exactly.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QPushButton>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "../packer/fnv_hash.h"
#include "jpeg_fixtures.h"
#include "map/map_file.h"
#include "media/jpeg_decoder.h"
#include "media/start_picture.h"
#include "package/make_package.h"
#include "package/makepackage.h"
#include "package/packageresult.h"
#include "package/progress.h"
#include "package/progress_reporter.h"
#include "scripted_desktop.h"

namespace mw {
namespace {

namespace fs = std::filesystem;

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Write(const std::string& path, const std::string& bytes) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string FromHex(const std::string& hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return bytes;
}

// What the stand-in player reported: its arguments and the files beside it.
struct Report {
  std::vector<std::string> args;
  std::map<std::string, std::string> files;  // name -> "size hash"
};

Report ParseReport(const std::string& text) {
  Report report;
  std::istringstream lines(text);
  std::string word;
  while (lines >> word) {
    std::string rest;
    std::getline(lines, rest);
    std::istringstream fields(rest);
    if (word == "arg") {
      std::string hex;
      fields >> hex;
      report.args.push_back(FromHex(hex));
    } else if (word == "file") {
      std::string hex, size, hash;
      fields >> hex >> size >> hash;
      report.files[FromHex(hex)] = size + " " + hash;
    }
  }
  if (!report.args.empty()) report.args.erase(report.args.begin());
  return report;
}

std::string SizeAndHash(const std::string& bytes) {
  return std::to_string(bytes.size()) + " " + test::Fnv1a(bytes);
}

// Runs a program with arguments and waits for its exit code.
int RunProgram(const std::vector<std::string>& args) {
  pid_t child = fork();
  if (child == 0) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class PackageEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "mwe2e.XXXXXX").string();
    root_ = mkdtemp(pattern.data());
    program_ = root_ + "/program/";
    fs::create_directories(program_);
    for (const char* tool : {"MarkWeaverL.dll", "tract.dll", "kecab.dll"})
      fs::copy_file(std::string(MW_BIN_DIR) + "/" + tool, program_ + tool);
    for (const char* part : {"player-runtime.tar.zst", "player-runtime-movie.tar.zst"})
      fs::create_symlink(std::string(MW_BIN_DIR) + "/" + part, program_ + part);
    fs::copy_file(MW_TEST_PLAYER, program_ + "runner.dll");
    saved_ = fs::current_path();
    fs::current_path(root_);
  }
  void TearDown() override {
    fs::current_path(saved_);
    fs::remove_all(root_);
  }

  void AddMark(const std::string& clip, const std::string& next, const std::string& hint) {
    ClickerMark mark;
    mark.Clip = clip;
    mark.NextClip = next;
    mark.Hint = hint;
    map_.Append(mark);
  }

  // Builds "tour.exe" with `message`, answering the dialogs as a person would.
  void Build(const std::string& message) {
    desktop_.dialogScripts.push_back([message](QDialog& dialog) {
      auto& form = dynamic_cast<TMakePackageForm&>(dialog);
      form.SetPackageNameText("tour");
      form.SetUserMessageText(message);
      form.findChild<QPushButton*>("BitBtn2")->click();
      return form.result();
    });
    desktop_.dialogScripts.push_back([](QDialog& dialog) {
      dialog.findChild<QPushButton*>("BitBtn3")->click();
      return dialog.result();
    });
    MakePackageButtonClick({map_, WindowSize{700, 500}, progress_, desktop_, program_, options_,
                            result_});
  }

  // Runs the package with its temporary folder under a folder of the test's own.
  Report RunPackage() {
    const std::string temp = root_ + "/tmp";
    fs::create_directories(temp);
    const std::string report = root_ + "/report.txt";
    pid_t child = fork();
    if (child == 0) {
      setenv("TMPDIR", temp.c_str(), 1);
      setenv("MW_PLAYER_REPORT", report.c_str(), 1);
      // The package is kept in a cache of the test's own, not the user's.
      setenv("XDG_CACHE_HOME", (root_ + "/cache-home").c_str(), 1);
      const std::string package = program_ + "Packages/tour.exe";
      execl(package.c_str(), package.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_TRUE(fs::is_empty(temp)) << "the package left its temporary folder behind";
    return ParseReport(Read(report));
  }

  std::string root_, program_;
  fs::path saved_;
  test::ScriptedDesktop desktop_;
  TProgressForm progressForm_;
  ProgressReporter progress_{&progressForm_};
  TMakePackageForm options_{desktop_};
  TPackageResultForm result_{desktop_};
  ClipMap map_;
};

TEST_F(PackageEndToEndTest, PlayerReceivesTheMapEveryClipAndTheMessage) {
  const std::string hall = root_ + "/photos/hall.jpg";
  const std::string kitchen = root_ + "/movies/kitchen movie.mpg";
  const std::string otherHall = root_ + "/zold/hall.jpg";  // after "photos" in byte order
  Write(hall, std::string(3000, 'h'));
  Write(kitchen, std::string(5000, 'k'));
  Write(otherHall, std::string(700, 'o'));
  AddMark(hall, kitchen, "Go to the kitchen");
  AddMark(kitchen, otherHall, "The old hall");
  AddMark(otherHall, hall, "");
  const std::string message = "Welcome, \"friend\"; $(rm -rf ~) `id` -x";
  Build(message);
  ASSERT_TRUE(desktop_.messages.empty()) << desktop_.MessageTexts()[0];
  ASSERT_TRUE(fs::exists(program_ + "Packages/tour.exe"));
  EXPECT_FALSE(fs::exists(program_ + "ptemp"));
  EXPECT_FALSE(fs::exists(program_ + "mwdat.dat"));

  Report report = RunPackage();
  EXPECT_EQ(report.args, std::vector<std::string>{message});
  EXPECT_EQ(report.files["mwRun.exe"], SizeAndHash(Read(program_ + "runner.dll")));
  EXPECT_EQ(report.files["hall.jpg"], SizeAndHash(Read(hall)));
  EXPECT_EQ(report.files["kitchen movie.mpg"], SizeAndHash(Read(kitchen)));
  EXPECT_EQ(report.files["hall-2.jpg"], SizeAndHash(Read(otherHall)));
  EXPECT_EQ(report.files.size(), 5u);

  // The data file, as the player reads it: bare names, map order, the window size.
  const std::string out = root_ + "/unpacked";
  ASSERT_EQ(RunProgram({program_ + "Packages/tour.exe", "--extract", out}), 0);
  MapFileContent packed = ReadMapFile(out + "/mwRun");
  ASSERT_EQ(packed.marks.Count(), 3u);
  EXPECT_EQ(packed.windowSize, (WindowSize{700, 500}));
  EXPECT_EQ(packed.marks.At(0).Clip, "hall.jpg");
  EXPECT_EQ(packed.marks.At(0).NextClip, "kitchen movie.mpg");
  EXPECT_EQ(packed.marks.At(1).NextClip, "hall-2.jpg");
  EXPECT_EQ(packed.marks.At(2).Clip, "hall-2.jpg");
  EXPECT_EQ(packed.marks.At(0).Hint, "Go to the kitchen");
  EXPECT_EQ(SizeAndHash(Read(out + "/mwRun")), report.files["mwRun"]);
  // The editor's own map keeps its full paths.
  EXPECT_EQ(map_.At(0).Clip, hall);
}

TEST_F(PackageEndToEndTest, EmptyMessageGivesThePlayerNoArgument) {
  const std::string photo = root_ + "/photos/only.jpg";
  Write(photo, "photo");
  AddMark(photo, photo, "again");
  Build("");
  ASSERT_TRUE(desktop_.messages.empty()) << desktop_.MessageTexts()[0];
  Report report = RunPackage();
  EXPECT_TRUE(report.args.empty());
  EXPECT_EQ(report.files.size(), 3u);
}

TEST_F(PackageEndToEndTest, ALargeStartPhotoTravelsWithAStartPictureOfTheWindowsSize) {
  // The user's own clip of the start picture's name keeps its bytes under a name of its own.
  const std::string hall = root_ + "/photos/mwRun.start.jpg";
  const std::string kitchen = root_ + "/photos/kitchen.jpg";
  fs::create_directories(root_ + "/photos");
  test::WriteJpeg(hall, 1600, 1200);
  test::WriteJpeg(kitchen, 320, 240);
  AddMark(hall, kitchen, "To the kitchen");
  AddMark(kitchen, hall, "Back");
  Build("");
  ASSERT_TRUE(desktop_.messages.empty()) << desktop_.MessageTexts()[0];
  EXPECT_FALSE(fs::exists(program_ + "ptemp"));
  Report report = RunPackage();
  EXPECT_EQ(report.files["mwRun.start-2.jpg"], SizeAndHash(Read(hall)));
  EXPECT_EQ(report.files.size(), 5u);

  const std::string out = root_ + "/unpacked";
  ASSERT_EQ(RunProgram({program_ + "Packages/tour.exe", "--extract", out}), 0);
  EXPECT_TRUE(IsStartPictureOf(out + "/mwRun.start.jpg", out + "/mwRun.start-2.jpg",
                               "mwRun.start-2.jpg"));
  const JpegHeader picture = ReadJpegHeader(out + "/mwRun.start.jpg");
  EXPECT_EQ(picture.width, 700);
  EXPECT_EQ(picture.height, 500);
}

TEST_F(PackageEndToEndTest, ASmallStartPhotoOrAMovieTravelsWithoutAStartPicture) {
  const std::string small = root_ + "/photos/small.jpg";
  fs::create_directories(root_ + "/photos");
  test::WriteJpeg(small, 800, 600);
  const std::string movie = root_ + "/movies/walk.mpg";
  Write(movie, std::string(5000, 'm'));
  AddMark(small, movie, "Walk");
  Build("");
  EXPECT_EQ(RunPackage().files.count("mwRun.start.jpg"), 0u);

  map_ = ClipMap();
  AddMark(movie, small, "Stop");
  Build("");
  EXPECT_EQ(RunPackage().files.count("mwRun.start.jpg"), 0u);
}

}  // namespace
}  // namespace mw
