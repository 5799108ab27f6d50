// `markweaver --make-package` run as a process from a program folder of its own, with
// the real package tools and a stand-in player: what it writes, what it leaves, and
// how it ends; also from a read-only program folder and two builds at once.
#include "package/command_line_package.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "../map/temp_folder.h"
#include "../media/jpeg_fixtures.h"

namespace fs = std::filesystem;

namespace mw {
namespace {

using test::ReadText;
using test::WriteText;

struct Outcome {
  int exitCode = -1;
  std::string log;  // stderr
  std::string LastLine() const {
    std::string text = log;
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text.substr(text.rfind('\n') + 1);
  }
};

// Starts a program with `arguments` and extra environment, stderr to `logFile`.
pid_t Start(const std::vector<std::string>& arguments,
            const std::vector<std::pair<std::string, std::string>>& environment,
            const std::string& logFile, const std::string& folder = {}) {
  pid_t child = ::fork();
  if (child == 0) {
    if (!folder.empty() && ::chdir(folder.c_str()) != 0) ::_exit(126);
    for (const auto& [name, value] : environment) ::setenv(name.c_str(), value.c_str(), 1);
    const int log = ::open(logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(log, 2);
    ::dup2(log, 1);
    std::vector<char*> argv;
    for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  return child;
}

Outcome Finish(pid_t child, const std::string& logFile) {
  int status = 0;
  ::waitpid(child, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadText(logFile)};
}

class MakePackageCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(program_);
    for (const char* tool : {"markweaver", "MarkWeaverL.dll", "tract.dll", "kecab.dll"})
      fs::copy_file(std::string(MW_BIN_DIR) + "/" + tool, program_ + tool);
    for (const char* part : {"player-runtime.tar.zst", "player-runtime-movie.tar.zst"})
      fs::create_symlink(std::string(MW_BIN_DIR) + "/" + part, program_ + part);
    fs::copy_file(MW_TEST_PLAYER, program_ + "runner.dll");
    fs::create_directories(root_.Path() + "/photos");
    fs::create_directories(root_.Path() + "/out");
    hall_ = root_.Path() + "/photos/hall.jpg";
    garden_ = root_.Path() + "/photos/garden.jpg";
    WritePhoto(hall_, 3000, 'h');
    WritePhoto(garden_, 2000, 'g');
    WriteMap(map_, {hall_, garden_});
  }

  // A real photo of `size` bytes: a small JPEG and then `filler` bytes after its end.
  static void WritePhoto(const std::string& path, std::size_t size, char filler) {
    test::WriteJpeg(path, 16, 16);
    const std::string photo = ReadText(path);
    WriteText(path, photo + std::string(size - std::min(size, photo.size()), filler));
  }

  // A map whose clips link each to the next; the last links back to the first.
  void WriteMap(const std::string& path, const std::vector<std::string>& clips) {
    std::string text = "markweaverdata1.01\r\n700\r\n500\r\n";
    for (std::size_t k = 0; k < clips.size(); ++k) {
      text += clips[k] + "\r\n0.5\r\n0.5\r\n10\r\n" + clips[(k + 1) % clips.size()] +
              "\r\n<reserved>\r\n0\r\n0\r\nGo on\r\n";
    }
    WriteText(path, text);
  }

  Outcome MakePackage(const std::string& output, std::vector<std::string> wrapper = {}) {
    const std::string log = root_.Path() + "/log" + std::to_string(++runs_);
    return Finish(Start(Command(output, std::move(wrapper)), Environment(), log), log);
  }
  std::vector<std::string> Command(const std::string& output, std::vector<std::string> wrapper,
                                   const std::string& editor = {}) {
    wrapper.insert(wrapper.end(),
                   {editor.empty() ? program_ + "markweaver" : editor, "--make-package", map_,
                    "--output", output, "--message", "Hello there"});
    return wrapper;
  }
  std::vector<std::pair<std::string, std::string>> Environment() const {
    return {{"XDG_DATA_HOME", root_.Path() + "/data"}, {"TMPDIR", root_.Path()}};
  }

  // The package unpacked and its stand-in player run: the player's report.
  std::string PlayPackage(const std::string& package) {
    const std::string report = root_.Path() + "/report";
    fs::remove(report);
    Finish(Start({package},
                 {{"MW_PLAYER_REPORT", report},
                  {"TMPDIR", root_.Path()},
                  {"XDG_CACHE_HOME", root_.Path() + "/cache-home"}},
                 root_.Path() + "/play.log"),
           root_.Path() + "/play.log");
    return ReadText(report);
  }

  void ExpectNothingStaged(const std::string& folder) {
    EXPECT_FALSE(fs::exists(folder + "ptemp"));
    EXPECT_FALSE(fs::exists(folder + "mwdat.dat"));
    EXPECT_TRUE(fs::exists(folder + "tract.dll") || !fs::exists(folder + "wextract.exe"));
    EXPECT_FALSE(fs::exists(folder + "wextract.exe"));
    EXPECT_FALSE(fs::exists(folder + "makecab.exe"));
  }

  test::TempFolder root_;
  std::string program_ = root_.Path() + "/program/";
  std::string map_ = root_.Path() + "/tour.clm";
  std::string output_ = root_.Path() + "/out/tour.exe";
  std::string hall_, garden_;
  int runs_ = 0;
};

TEST_F(MakePackageCommandTest, MakesACompletePackageAndReportsEachStep) {
  Outcome run = MakePackage(output_);
  ASSERT_EQ(run.exitCode, 0) << run.log;
  EXPECT_TRUE(IsCompletePackage(output_));
  for (const char* line : {"  5% Collecting clips...\n", " 10% Copying garden.jpg...\n",
                           " 60% Making package......\n", "100% Finalizing......\n"}) {
    EXPECT_NE(run.log.find(line), std::string::npos) << line << run.log;
  }
  // The percentage of the whole build never goes back, though the steps' gauge does.
  int percent = 0;
  std::istringstream lines(run.log);
  for (std::string line; std::getline(lines, line);) {
    if (line.size() < 4 || line[3] != '%') continue;
    EXPECT_GE(std::stoi(line.substr(0, 3)), percent) << line << "\n" << run.log;
    percent = std::stoi(line.substr(0, 3));
  }
  EXPECT_EQ(percent, 100);
  EXPECT_EQ(run.LastLine(), "markweaver: package made: " + output_);
  ExpectNothingStaged(program_);
  // A writable program folder is used as it always was: only Packages/ is added.
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(program_)) names.insert(entry.path().filename());
  EXPECT_EQ(names, (std::set<std::string>{"MarkWeaverL.dll", "Packages", "kecab.dll", "markweaver",
                                          "player-runtime-movie.tar.zst",
                                          "player-runtime.tar.zst", "runner.dll", "tract.dll"}));
  // The message travels to the player ("Hello there" in hexadecimal).
  EXPECT_NE(PlayPackage(output_).find("arg 48656c6c6f207468657265"), std::string::npos);
}

TEST_F(MakePackageCommandTest, RelativeNamesAndQuestionsAreAnsweredAsInTheEditor) {
  // Clips of more than 5 MiB ask whether to go on; the default answer is Yes.
  const std::string big = root_.Path() + "/photos/big.jpg";
  WriteText(big, "");
  fs::resize_file(big, 6 * 1024 * 1024);
  WriteMap(map_, {hall_, big});
  const std::string log = root_.Path() + "/relative.log";
  Outcome run = Finish(
      Start({program_ + "markweaver", "--make-package", "tour.clm", "--output", "out/relative.exe"},
            Environment(), log, root_.Path()),
      log);
  ASSERT_EQ(run.exitCode, 0) << run.log;
  EXPECT_NE(run.log.find("The total file size of your package is likely to exceed 5 MegaBytes. "
                         "It may take a while to process the package. do you want to continue?\n"),
            std::string::npos)
      << run.log;
  EXPECT_TRUE(IsCompletePackage(root_.Path() + "/out/relative.exe"));
  EXPECT_NE(PlayPackage(root_.Path() + "/out/relative.exe").find("file 6269672e6a7067 6291456"),
            std::string::npos);
}

TEST_F(MakePackageCommandTest, AMissingClipIsNamedAndNothingIsLeft) {
  WriteText(output_, "an old package");
  WriteMap(map_, {hall_, root_.Path() + "/photos/lost.jpg"});
  Outcome run = MakePackage(output_);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.LastLine().find(root_.Path() + "/photos/lost.jpg"), std::string::npos) << run.log;
  ExpectNothingStaged(program_);
  EXPECT_EQ(ReadText(output_), "an old package");  // refused before anything was touched
}

TEST_F(MakePackageCommandTest, AMissingToolIsNamedAndNoPackageIsLeft) {
  fs::remove(program_ + "kecab.dll");
  Outcome run = MakePackage(output_);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.LastLine(), "markweaver: no package made: kecab.dll is missing") << run.log;
  EXPECT_FALSE(fs::exists(output_));
  ExpectNothingStaged(program_);
  EXPECT_TRUE(fs::exists(program_ + "tract.dll"));
}

TEST_F(MakePackageCommandTest, AFailingBuildToolIsNamedAndItsHalfPackageRemoved) {
  // A build tool that writes half a package and fails.
  const std::string tool = program_ + "MarkWeaverL.dll";
  fs::remove(tool);
  WriteText(tool, "#!/bin/sh\nprintf 'half' > \"" + output_ + "\"\nexit 3\n");
  fs::permissions(tool, fs::perms::owner_all);
  Outcome run = MakePackage(output_);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.LastLine(), "markweaver: no package made: MarkWeaverL.dll failed with exit code 3")
      << run.log;
  EXPECT_FALSE(fs::exists(output_));
  ExpectNothingStaged(program_);
  // One that ends well but makes nothing: its own reason is passed on.
  fs::remove(tool);
  WriteText(tool, "#!/bin/sh\necho 'MarkWeaverL.dll: disk full' >&2\nexit 0\n");
  fs::permissions(tool, fs::perms::owner_all);
  run = MakePackage(output_);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.LastLine(),
            "markweaver: no package made: MarkWeaverL.dll made no package (MarkWeaverL.dll: disk "
            "full)")
      << run.log;
  EXPECT_FALSE(fs::exists(output_));
  ExpectNothingStaged(program_);
}

// A package that cannot be made leaves the file it was to replace as it was.
TEST_F(MakePackageCommandTest, AFailedBuildKeepsTheOldPackage) {
  WriteText(output_, "an old package");
  fs::remove(program_ + "kecab.dll");
  Outcome run = MakePackage(output_);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.LastLine(), "markweaver: no package made: kecab.dll is missing") << run.log;
  EXPECT_EQ(ReadText(output_), "an old package");
  ExpectNothingStaged(program_);
}

// A symbolic link at FILE is refused: the file it points to is not replaced.
TEST_F(MakePackageCommandTest, ALinkAsThePackageFileIsRefused) {
  WriteText(root_.Path() + "/victim.txt", "kept");
  fs::create_symlink(root_.Path() + "/victim.txt", output_);
  Outcome run = MakePackage(output_);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.LastLine().find("is a symbolic link"), std::string::npos) << run.log;
  EXPECT_EQ(ReadText(root_.Path() + "/victim.txt"), "kept");
  EXPECT_TRUE(fs::is_symlink(output_));
}

// A line break in the package's name or message is refused before anything is done.
TEST_F(MakePackageCommandTest, LineBreaksInTheFileOrTheMessageAreRefused) {
  WriteText(root_.Path() + "/out/x", "kept");
  const std::string log = root_.Path() + "/breaks.log";
  const std::string editor = program_ + "markweaver";
  for (const auto& [option, value] :
       std::vector<std::pair<std::string, std::string>>{{"--output", root_.Path() + "/out/x\ny.exe"},
                                                        {"--message", "first\r\n[Options]"}}) {
    std::vector<std::string> command{editor, "--make-package", map_, option, value};
    if (option != "--output") command.insert(command.end(), {"--output", output_});
    Outcome run = Finish(Start(command, Environment(), log), log);
    EXPECT_EQ(run.exitCode, 2) << run.log;
    EXPECT_NE(run.log.find("option '" + option + "' must be one line"), std::string::npos)
        << run.log;
  }
  EXPECT_EQ(ReadText(root_.Path() + "/out/x"), "kept");
  EXPECT_FALSE(fs::exists(output_));
}

// A file that is no clip the player can show is packed with a warning, and the last line
// says so.
TEST_F(MakePackageCommandTest, FilesThatAreNoClipsArePackedWithAWarning) {
  const std::string notes = root_.Path() + "/photos/notes.txt";
  const std::string broken = root_.Path() + "/photos/broken.jpg";
  WriteText(notes, "text");
  WriteText(broken, std::string(100, 'b'));
  WriteMap(map_, {hall_, notes, broken});
  Outcome run = MakePackage(output_);
  ASSERT_EQ(run.exitCode, 0) << run.log;
  EXPECT_NE(run.log.find("markweaver: warning: packed all the same: Not a clip file: " + notes),
            std::string::npos)
      << run.log;
  EXPECT_NE(run.log.find("markweaver: warning: packed all the same: Photo does not read: " +
                         broken),
            std::string::npos)
      << run.log;
  EXPECT_EQ(run.LastLine(), "markweaver: package made: " + output_ +
                                " (2 files in it are no photos or movies the player can show)");
  EXPECT_NE(PlayPackage(output_).find("file 6e6f7465732e747874 4"), std::string::npos);
}

TEST_F(MakePackageCommandTest, BadRequestsAreRefusedWithTheirReason) {
  EXPECT_NE(MakePackage(root_.Path() + "/out/tour.run").LastLine().find("ending in .exe"),
            std::string::npos);
  EXPECT_NE(MakePackage(root_.Path() + "/nowhere/tour.exe").LastLine().find("no folder"),
            std::string::npos);
  WriteText(map_, "not a map\r\n");
  Outcome run = MakePackage(output_);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.LastLine().find("not a valid map file"), std::string::npos) << run.log;
  WriteMap(map_, {});
  EXPECT_EQ(MakePackage(output_).LastLine(), "markweaver: no package made: Your map is empty.");
  EXPECT_FALSE(fs::exists(output_));
}

// As root, a read-only bind mount stands for an installed program folder.
std::vector<std::string> ReadOnlyProgramFolder(const std::string& folder) {
  return {"/usr/bin/unshare",
          "-m",
          "/bin/sh",
          "-c",
          "mount --bind -o ro \"$0\" \"$0\" && exec \"$@\"",
          folder};
}

bool CanMountReadOnly(const std::string& folder) {
  std::vector<std::string> probe = ReadOnlyProgramFolder(folder);
  probe.push_back("/bin/true");
  return Finish(Start(probe, {}, "/dev/null"), "/dev/null").exitCode == 0;
}

TEST_F(MakePackageCommandTest, AReadOnlyProgramFolderBuildsInTheWorkshopThroughALink) {
  if (!CanMountReadOnly(program_)) GTEST_SKIP() << "needs root for a read-only bind mount";
  // Started through a link, as bin/markweaver is installed.
  fs::create_directories(root_.Path() + "/bin");
  fs::create_symlink(program_ + "markweaver", root_.Path() + "/bin/markweaver");
  const std::string log = root_.Path() + "/ro.log";
  Outcome run = Finish(
      Start(Command(output_, ReadOnlyProgramFolder(program_), root_.Path() + "/bin/markweaver"),
            Environment(), log),
      log);
  ASSERT_EQ(run.exitCode, 0) << run.log;
  EXPECT_TRUE(IsCompletePackage(output_));
  const std::string workshop = root_.Path() + "/data/markweaver/";
  EXPECT_TRUE(fs::is_directory(workshop + "Packages"));
  EXPECT_EQ(ReadText(workshop + "runner.dll"), ReadText(program_ + "runner.dll"));
  ExpectNothingStaged(workshop);
  ExpectNothingStaged(program_);
  EXPECT_FALSE(fs::exists(program_ + "Packages"));
}

TEST_F(MakePackageCommandTest, TwoBuildsAtOnceBothGiveSoundPackages) {
  std::vector<std::string> wrapper;
  std::string folder = program_;
  if (CanMountReadOnly(program_)) {  // then both share the workshop folder
    wrapper = ReadOnlyProgramFolder(program_);
    folder = root_.Path() + "/data/markweaver/";
  }
  const std::string second = root_.Path() + "/out/second.exe";
  const std::string log1 = root_.Path() + "/one.log", log2 = root_.Path() + "/two.log";
  pid_t one = Start(Command(output_, wrapper), Environment(), log1);
  pid_t two = Start(Command(second, wrapper), Environment(), log2);
  Outcome first = Finish(one, log1);
  Outcome other = Finish(two, log2);
  ASSERT_EQ(first.exitCode, 0) << first.log;
  ASSERT_EQ(other.exitCode, 0) << other.log;
  EXPECT_TRUE(IsCompletePackage(output_));
  EXPECT_TRUE(IsCompletePackage(second));
  EXPECT_NE(PlayPackage(output_).find("file 68616c6c2e6a7067 3000"), std::string::npos);
  EXPECT_NE(PlayPackage(second).find("file 67617264656e2e6a7067 2000"), std::string::npos);
  ExpectNothingStaged(folder);
}

TEST(CompletePackageTest, OnlyAWholePackageCounts) {
  test::TempFolder folder;
  const std::string path = folder.File("p.exe");
  EXPECT_FALSE(IsCompletePackage(path));
  // head "HEAD", archive "ARCH", launch line "L", then the trailer (its two hashes last).
  std::string trailer = std::string("MWPKG\x02\r\n", 8);
  auto le64 = [](std::uint64_t v) {
    std::string bytes;
    for (int k = 0; k < 8; ++k) bytes += static_cast<char>((v >> (8 * k)) & 0xff);
    return bytes;
  };
  const std::string hashes = le64(7) + le64(9);
  const std::string whole = "HEADARCHL" + trailer + le64(4) + le64(4) + le64(1) + hashes;
  WriteText(path, whole);
  EXPECT_TRUE(IsCompletePackage(path));
  WriteText(path, whole.substr(1));  // a byte short: the parts no longer fit
  EXPECT_FALSE(IsCompletePackage(path));
  WriteText(path, "HEADARCHL" + std::string("MWPKG\x03\r\n", 8) + le64(4) + le64(4) + le64(1) +
                      hashes);
  EXPECT_FALSE(IsCompletePackage(path));
  WriteText(path, "HEADARCHL" + trailer + le64(4) + le64(~0ull) + le64(1) + hashes);
  EXPECT_FALSE(IsCompletePackage(path));
}

}  // namespace
}  // namespace mw
