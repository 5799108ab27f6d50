// The player starts while the clips after its start files still unpack, with the real package
// tools as processes: the archive carries the start files first, the player gets the unpack
// gate and finds every file in place at its end, and a damaged clip found later ends that
// player before the package is refused, a cache found full later (even for its stamp alone)
// before the package plays from its private folder, and an interrupt ends the package with
// its player. A program not named ".exe" starts with its data file in place too. Also the
// gate's and the started program's own rules.
#include "packer/unpack_gate.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <sstream>

#include "map/map_file.h"
#include "packer/process.h"
#include "packer/start_moments.h"
#include "packer_test_support.h"

namespace mw::test {
namespace {

namespace fs = std::filesystem;

class EarlyStartTest : public ::testing::Test {
 protected:
  void SetUp() override {
    program_ = MakeProgramFolder(root_);
    staging_ = program_ + "ptemp/";
    fs::create_directories(staging_);
    fs::create_directories(tmp_);
    staged_["mwRun.exe"] = Fingerprint(StageTestPlayer(staging_));
    // The map starts on the clip that sorts last; its target is another clip.
    ClickerMark mark;
    mark.Clip = std::string("C:/My photos/zoo.jpg");
    mark.NextClip = std::string("C:/My photos/hall.jpg");
    Stage("mwRun", FormatMap({640, 480}, std::span<const ClickerMark>(&mark, 1)));
    Stage("mwRun.start.jpg", RandomBytes(20000, 1));
    Stage("hall.jpg", RandomBytes(300000, 2));
    Stage("kitchen.jpg", RandomBytes(400000, 3));
    Stage("zoo.jpg", RandomBytes(200000, 4));
    Build({"hall.jpg", "kitchen.jpg", "zoo.jpg"});
  }

  void Build(const std::vector<std::string>& clips) {
    const RunResult build =
        BuildFromDirective(program_, DirectiveText(package_, staging_, "Hello", clips));
    EXPECT_EQ(build.exit_code, 0) << build.err;
  }

  void Stage(const std::string& name, const std::string& content) {
    WriteFile(staging_ + name, content);
    staged_[name] = Fingerprint(content);
  }

  RunResult Run() {
    fs::remove(report_);
    fs::remove(moments_);
    return RunProgram({{package_},
                       root_.path(),
                       {{"TMPDIR", tmp_},
                        {"XDG_CACHE_HOME", root_ / "cache-home"},
                        {"MW_PLAYER_REPORT", report_},
                        {packer::kPackageStartReportVariable, moments_}}});
  }

  // The packed files in the archive's order, as --list gives them.
  std::vector<std::string> Listed() const {
    const RunResult list = RunProgram({{package_, "--list"}, root_.path(), {}});
    EXPECT_EQ(list.exit_code, 0) << list.err;
    std::vector<std::string> names;
    std::istringstream lines(list.out);
    // Each file's line is its size in 12 columns, two blanks and its name.
    for (std::string line; std::getline(lines, line) && !line.starts_with("runtime part");) {
      names.push_back(line.substr(14));
    }
    return names;
  }

  TempDir root_;
  std::string program_, staging_;
  std::string tmp_ = root_ / "tmp";
  std::string package_ = root_ / "tour.exe";
  std::string report_ = root_ / "report";
  std::string moments_ = root_ / "moments";  // the package's own start report
  std::map<std::string, std::string> staged_;
};

TEST_F(EarlyStartTest, TheArchiveCarriesWhatThePlayerStartsWithFirstTheDataFileLast) {
  const std::vector<std::string> listed = Listed();
  ASSERT_EQ(listed.size(), 6u);
  EXPECT_EQ(std::vector<std::string>(listed.begin(), listed.begin() + 4),
            (std::vector<std::string>{"mwRun.exe", "mwRun.start.jpg", "zoo.jpg", "mwRun"}));
  EXPECT_EQ(std::vector<std::string>(listed.begin() + 4, listed.end()),
            (std::vector<std::string>{"hall.jpg", "kitchen.jpg"}));
}

TEST_F(EarlyStartTest, ThePlayerStartsAtTheGateAndFindsEveryFileInPlaceAtItsEnd) {
  const RunResult run = Run();
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const PlayerReport report = ReadPlayerReport(report_);
  EXPECT_TRUE(report.gated);
  EXPECT_EQ(report.gate_names, Listed()) << "each file is named once it is in place, in order";
  EXPECT_EQ(report.files, staged_);
  EXPECT_EQ(report.args, std::vector<std::string>{"Hello"});

  // A later start finds everything in place: no gate.
  ASSERT_EQ(Run().exit_code, 0);
  EXPECT_FALSE(ReadPlayerReport(report_).gated);
  EXPECT_EQ(ReadPlayerReport(report_).files, staged_);
}

TEST_F(EarlyStartTest, AClipFoundDamagedAfterThePlayerStartedEndsItAndThePackageIsRefused) {
  std::string bytes = ReadFile(package_);
  const std::string kitchen = ReadFile(staging_ + "kitchen.jpg");
  const auto at = bytes.find(kitchen.substr(0, 64));
  ASSERT_NE(at, std::string::npos) << "the archive is not plain";
  bytes[at + 200000] ^= 0x20;
  WriteFile(package_, bytes);

  const RunResult run = Run();
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(run.err.find("damaged"), std::string::npos) << run.err;
  // The player was started (and ended) before every clip was in place.
  EXPECT_NE(ReadFile(moments_).find("player_starting_ns="), std::string::npos);
  EXPECT_EQ(ReadFile(moments_).find("clips_ready_ns="), std::string::npos);
  EXPECT_FALSE(Exists(report_)) << "the player played a damaged package";
  EXPECT_TRUE(ListFolder(tmp_).empty());
  for (const std::string& name : ListFolder(root_ / "cache-home/markweaver"))
    EXPECT_FALSE(name.starts_with("pkg-")) << "a damaged package was kept: " << name;
}

// Bytes in use on the file system that holds path.
std::uint64_t UsedBytes(const std::string& path) {
  struct statvfs info {};
  EXPECT_EQ(statvfs(path.c_str(), &info), 0);
  return static_cast<std::uint64_t>(info.f_blocks - info.f_bfree) * info.f_frsize;
}

// The cache has room for the package when its start checks, and for the runtime unpacked
// beside it, but then no longer for the clips after the start files: the player started
// there is ended, and the package plays from its private folder instead.
TEST_F(EarlyStartTest, ACacheThatFillsUpAfterThePlayerStartedMovesThePlayToThePrivateFolder) {
  Stage("big.jpg", RandomBytes(8 << 20, 5));
  Build({"hall.jpg", "kitchen.jpg", "zoo.jpg", "big.jpg"});
  const std::string home = root_ / "cache-home";
  fs::create_directories(home);
  // What the unpacked runtime takes there (the sanitizer build's is larger).
  if (mount("tmpfs", home.c_str(), "tmpfs", 0, "size=256m") != 0)
    GTEST_SKIP() << "cannot mount a small tmpfs here";
  ASSERT_EQ(Run().exit_code, 0);
  for (const std::string& name : ListFolder(home + "/markweaver"))
    if (name.starts_with("pkg-")) fs::remove_all(home + "/markweaver/" + name);
  const std::uint64_t runtime = UsedBytes(home);
  umount(home.c_str());
  // Room for the runtime and half the clips.
  const std::uint64_t clips = 9 << 20;
  const std::string size = "size=" + std::to_string((runtime + clips / 2) >> 10) + "k";
  ASSERT_EQ(mount("tmpfs", home.c_str(), "tmpfs", 0, size.c_str()), 0);
  const RunResult run = Run();
  umount(home.c_str());
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const PlayerReport report = ReadPlayerReport(report_);
  EXPECT_TRUE(report.cwd.starts_with(tmp_)) << report.cwd;
  EXPECT_FALSE(report.gated);
  EXPECT_EQ(report.files, staged_);
  const std::string moments = ReadFile(moments_);
  const std::size_t first = moments.find("player_starting_ns=");
  ASSERT_NE(first, std::string::npos) << moments;
  EXPECT_NE(moments.find("player_starting_ns=", first + 1), std::string::npos)
      << "the player was not started early in the cache first: " << moments;
  EXPECT_TRUE(ListFolder(tmp_).empty());
}

// The player's own program cannot be written (a file size limit here stands for a full disk):
// the package is refused at once, without waiting for a player that cannot start.
TEST_F(EarlyStartTest, AStartFileThatCannotBeWrittenRefusesThePackageWithoutWaiting) {
  // The data file right behind the program: a map without marks and no start picture.
  fs::remove(staging_ + "mwRun.start.jpg");
  staged_.erase("mwRun.start.jpg");
  Stage("mwRun", "MarkWeaver map\r\n");
  Build({"hall.jpg", "kitchen.jpg", "zoo.jpg"});
  ASSERT_EQ(Listed()[1], "mwRun");
  ASSERT_EQ(Run().exit_code, 0);  // the runtime is in the cache now
  for (const std::string& name : ListFolder(root_ / "cache-home/markweaver"))
    if (name.starts_with("pkg-")) fs::remove_all(root_ / ("cache-home/markweaver/" + name));
  RunResult run;
  {
    const FileSizeLimit limit(16 << 10);
    run = Run();
  }
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(run.err.find("cannot write mwRun.exe"), std::string::npos) << run.err;
  EXPECT_FALSE(Exists(report_));
  EXPECT_TRUE(ListFolder(tmp_).empty());
}

// Reads the gate's read end to its end; the names on it.
// Used inodes of the file system that holds path.
std::uint64_t UsedInodes(const std::string& path) {
  struct statvfs info {};
  EXPECT_EQ(statvfs(path.c_str(), &info), 0);
  return info.f_files - info.f_ffree;
}

// Every file fits into the cache, but its stamp no longer does: the player started in the
// cache folder is ended before that folder goes, and the package plays from its private one.
TEST_F(EarlyStartTest, ACacheWithNoRoomLeftForItsStampEndsThePlayerStartedThere) {
  const std::string home = root_ / "cache-home";
  fs::create_directories(home);
  if (mount("tmpfs", home.c_str(), "tmpfs", 0, "size=256m") != 0)
    GTEST_SKIP() << "cannot mount a small tmpfs here";
  ASSERT_EQ(Run().exit_code, 0);
  // The folder's record file and its stamp are the last two inodes a start takes.
  const std::string inodes = "size=256m,nr_inodes=" + std::to_string(UsedInodes(home) - 2);
  umount(home.c_str());
  ASSERT_EQ(mount("tmpfs", home.c_str(), "tmpfs", 0, inodes.c_str()), 0);
  const RunResult run = Run();
  const std::vector<std::string> cache = ListFolder(home + "/markweaver");
  umount(home.c_str());
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const PlayerReport report = ReadPlayerReport(report_);
  EXPECT_TRUE(report.cwd.starts_with(tmp_)) << report.cwd;
  EXPECT_EQ(report.files, staged_) << "the player played a folder without its clips";
  for (const std::string& name : cache) EXPECT_FALSE(name.starts_with("pkg-")) << name;
}

// The package is asked to end (as at a logout) while its early player plays and the clips
// after the start files still unpack: it ends with its player, as a package asked to end
// while its player plays always did (128 + the signal), not as one that cannot be played
// (1, after a notice), and leaves nothing half unpacked.
TEST_F(EarlyStartTest, AnInterruptWhileThePlayerStartedEarlyPlaysEndsThePackageQuietly) {
  Stage("big.jpg", RandomBytes(128 << 20, 9));
  Build({"hall.jpg", "kitchen.jpg", "zoo.jpg", "big.jpg"});
  const std::string starts = root_ / "starts";
  const pid_t package = Start({{package_},
                               root_.path(),
                               {{"TMPDIR", tmp_},
                                {"XDG_CACHE_HOME", root_ / "cache-home"},
                                {"MW_PLAYER_STARTS", starts}}},
                              root_ / "out", root_ / "err");
  ASSERT_TRUE(WaitForFile(starts));
  kill(package, SIGTERM);
  EXPECT_EQ(WaitExitCode(package), 128 + SIGTERM) << ReadFile(root_ / "err");
  EXPECT_TRUE(ListFolder(tmp_).empty());
  for (const std::string& name : ListFolder(root_ / "cache-home/markweaver"))
    EXPECT_FALSE(name.starts_with("pkg-")) << "a half-unpacked package was kept: " << name;
}

// A launch line may name a program without ".exe" (runner.dll): that player plays "mwRun",
// which is then what must be in place when it starts, however late the directive names it.
TEST_F(EarlyStartTest, AProgramNamedWithoutExeStartsWithItsDataFileInPlace) {
  fs::rename(staging_ + "mwRun.exe", staging_ + "runner.dll");
  staged_["runner.dll"] = staged_["mwRun.exe"];
  staged_.erase("mwRun.exe");
  Stage("big.jpg", RandomBytes(64 << 20, 7));
  std::string text = DirectiveText(package_, staging_, "Hello", {"big.jpg", "hall.jpg", "kitchen.jpg", "zoo.jpg"});
  for (const auto& [from, to] : {std::pair{"=mwRun.exe", "=runner.dll"},
                                 std::pair{"\"mwRun.exe\"", "\"runner.dll\""},
                                 std::pair{"FILE1=\"mwRun\"", "FILE1=\"big.jpg\""},
                                 std::pair{"FILE2=\"big.jpg\"", "FILE2=\"mwRun\""}}) {
    const std::size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, std::string(from).size(), to);
  }
  ASSERT_EQ(BuildFromDirective(program_, text).exit_code, 0);
  const std::vector<std::string> listed = Listed();
  ASSERT_GE(listed.size(), 4u);
  EXPECT_EQ(std::vector<std::string>(listed.begin(), listed.begin() + 4),
            (std::vector<std::string>{"runner.dll", "mwRun.start.jpg", "zoo.jpg", "mwRun"}));
  const std::string at_start = root_ / "at-start";
  const RunResult run = RunProgram({{package_},
                                    root_.path(),
                                    {{"TMPDIR", tmp_},
                                     {"XDG_CACHE_HOME", root_ / "cache-home"},
                                     {"MW_PLAYER_REPORT", report_},
                                     {"MW_PLAYER_FILES_AT_START", at_start}}});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(ReadPlayerReport(at_start).files.count("mwRun"), 1u);
  EXPECT_EQ(ReadPlayerReport(report_).files, staged_);
}

std::vector<std::string> ReadGate(int fd) {
  std::string bytes;
  char buffer[65536];
  for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0;) bytes.append(buffer, got);
  std::vector<std::string> names;
  std::istringstream records(bytes);
  for (std::string name; std::getline(records, name, '\0');) names.push_back(name);
  return names;
}

TEST(UnpackGateWriterTest, NamingNeverWaitsOnAFullPipeAndTheEndStillComes) {
  packer::UnpackGateWriter gate;
  const int reader = dup(gate.read_end());
  const std::string name(200, 'n');
  for (int i = 0; i < 2000; ++i) gate.Name(name + std::to_string(i));  // 400 KB: no wait
  gate.Name(std::string(5000, 'x'));  // longer than a pipe writes whole: not named
  gate.Close();
  const std::vector<std::string> names = ReadGate(reader);
  close(reader);
  ASSERT_FALSE(names.empty());
  EXPECT_LT(names.size(), 2000u);
  for (std::size_t i = 0; i < names.size(); ++i)
    EXPECT_EQ(names[i], name + std::to_string(i)) << "a name was cut or left out";
}

TEST(RunningProcessTest, StopEndsAProgramThatIgnoresTheAskToEnd) {
  packer::ProcessRequest request;
  request.program = "/bin/sh";
  request.argv = {"sh", "-c", "trap '' TERM; echo $GATE > \"$OUT.new\"; mv \"$OUT.new\" \"$OUT\"; exec sleep 30"};
  const TempDir dir;
  request.environment = {"GATE=open", "OUT=" + (dir / "out")};
  packer::RunningProcess process(request);
  ASSERT_TRUE(WaitForFile(dir / "out"));
  EXPECT_EQ(ReadFile(dir / "out"), "open\n") << "the environment entry did not arrive";
  const auto asked = std::chrono::steady_clock::now();
  const packer::ProcessResult result = process.Stop();
  EXPECT_FALSE(result.exited);
  EXPECT_EQ(result.signal, SIGKILL);
  EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(10));
}

}  // namespace
}  // namespace mw::test
