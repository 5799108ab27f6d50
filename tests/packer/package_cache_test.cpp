// The unpacked packages kept in the user's cache, with the real package tools as processes: a
// later start plays from the folder the first one unpacked without writing it again, a cached
// clip damaged meanwhile is unpacked afresh, packages of different contents never share a
// folder, first starts at once both play, the cache keeps only the packages started last, and
// a start reports its moments for timing.
#include "packer/package_cache.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <sstream>
#include <thread>

#include "packer/leftover_sweep.h"
#include "packer/packer_error.h"
#include "packer/start_moments.h"
#include "packer_test_support.h"

namespace mw::test {
namespace {

namespace fs = std::filesystem;

// What a later start must leave alone: the file itself, never written since.
struct FileState {
  ino_t inode = 0;
  timespec modified{}, changed{};
  bool operator==(const FileState& other) const {
    return inode == other.inode && modified.tv_sec == other.modified.tv_sec &&
           modified.tv_nsec == other.modified.tv_nsec && changed.tv_sec == other.changed.tv_sec &&
           changed.tv_nsec == other.changed.tv_nsec;
  }
};

FileState StateOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(lstat(path.c_str(), &info), 0) << path;
  return {info.st_ino, info.st_mtim, info.st_ctim};
}

class PackageCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    program_ = MakeProgramFolder(root_);
    staging_ = program_ + "ptemp/";
    for (const std::string& folder : {staging_, tmp_}) fs::create_directories(folder);
    StageTestPlayer(staging_);
    WriteFile(staging_ + "mwRun", "MarkWeaver map\r\n");
  }

  // Builds the package at target of one photo with that content, and the message.
  void Build(const std::string& target, const std::string& photo, const std::string& message) {
    WriteFile(staging_ + "hall.jpg", photo);
    const RunResult build =
        BuildFromDirective(program_, DirectiveText(target, staging_, message, {"hall.jpg"}));
    ASSERT_EQ(build.exit_code, 0) << build.err;
  }

  RunRequest Launch(const std::string& package, const std::string& report) const {
    return {
        {package},
        root_.path(),
        {{"TMPDIR", tmp_}, {"XDG_CACHE_HOME", root_ / "cache-home"}, {"MW_PLAYER_REPORT", report}}};
  }

  // Runs the package to its end; gives what its player reported.
  PlayerReport Play(const std::string& package) {
    fs::remove(report_);
    const RunResult run = RunProgram(Launch(package, report_));
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_TRUE(ListFolder(tmp_).empty());
    return ReadPlayerReport(report_);
  }

  // The unpacked packages in the cache.
  std::vector<std::string> Packages() const {
    std::vector<std::string> names = ListFolder(cache_);
    std::erase_if(names, [](const std::string& name) { return !name.starts_with("pkg-"); });
    return names;
  }

  void ExpectNoWorkFoldersLeft() const {
    for (const std::string& name : ListFolder(cache_))
      EXPECT_FALSE(name.starts_with(".part-") || name.starts_with(".damaged-")) << name;
  }

  TempDir root_;
  std::string program_, staging_;
  std::string tmp_ = root_ / "tmp";
  std::string cache_ = root_ / "cache-home/markweaver";
  std::string package_ = root_ / "tour.exe";
  std::string report_ = root_ / "report";
};

TEST_F(PackageCacheTest, ALaterStartPlaysFromTheFolderTheFirstUnpackedWritingNothing) {
  const std::string photo = RandomBytes(300000, 1);
  Build(package_, photo, "Hello");
  const PlayerReport first = Play(package_);
  ASSERT_EQ(Packages().size(), 1u);
  EXPECT_EQ(first.cwd, cache_ + "/" + Packages()[0]);
  EXPECT_EQ(first.files.at("hall.jpg"), Fingerprint(photo));
  const FileState clip = StateOf(first.cwd + "/hall.jpg");
  const FileState map = StateOf(first.cwd + "/mwRun");

  const PlayerReport later = Play(package_);
  EXPECT_EQ(later.cwd, first.cwd);
  EXPECT_EQ(later.files, first.files);
  EXPECT_EQ(later.args, std::vector<std::string>{"Hello"});
  EXPECT_TRUE(StateOf(first.cwd + "/hall.jpg") == clip) << "the clip was unpacked again";
  EXPECT_TRUE(StateOf(first.cwd + "/mwRun") == map) << "the map was unpacked again";

  // A copy of the package elsewhere is checked once and plays from the same folder.
  const std::string copy = root_ / "copy of tour.exe";
  fs::copy_file(package_, copy);
  EXPECT_EQ(Play(copy).cwd, first.cwd);
  EXPECT_TRUE(StateOf(first.cwd + "/hall.jpg") == clip);
  EXPECT_EQ(Packages().size(), 1u);
  ExpectNoWorkFoldersLeft();
}

TEST_F(PackageCacheTest, ACachedClipDamagedReplacedOrRemovedIsUnpackedAfresh) {
  const std::string photo = RandomBytes(200000, 2);
  Build(package_, photo, "Hello");
  const std::string folder = Play(package_).cwd;
  const std::string clip = folder + "/hall.jpg";
  const std::vector<std::function<void()>> damages = {
      [&] {  // one byte changed, the size kept
        std::string bytes = ReadFile(clip);
        bytes[bytes.size() / 2] ^= 1;
        const int fd = open(clip.c_str(), O_WRONLY);
        ASSERT_EQ(
            pwrite(fd, bytes.data() + bytes.size() / 2, 1, static_cast<off_t>(bytes.size() / 2)),
            1);
        close(fd);
      },
      [&] {  // replaced by another file of the same size and times
        const FileState before = StateOf(clip);
        WriteFile(clip + ".new", RandomBytes(photo.size(), 3));
        fs::rename(clip + ".new", clip);
        const timespec times[2] = {before.modified, before.modified};
        utimensat(AT_FDCWD, clip.c_str(), times, 0);
      },
      [&] { fs::remove(clip); }, [&] { fs::resize_file(clip, 10); }};
  for (std::size_t i = 0; i < damages.size(); ++i) {
    SCOPED_TRACE("damage " + std::to_string(i));
    damages[i]();
    const PlayerReport again = Play(package_);
    EXPECT_EQ(again.cwd, folder);
    EXPECT_EQ(again.files.at("hall.jpg"), Fingerprint(photo));
    EXPECT_EQ(ReadFile(clip), photo);
  }
  ExpectNoWorkFoldersLeft();
}

TEST_F(PackageCacheTest, PackagesOfDifferentContentsNeverShareAFolder) {
  const std::string other = root_ / "other.exe", message = root_ / "message.exe";
  Build(package_, RandomBytes(100000, 4), "Hello");
  Build(other, RandomBytes(100000, 5), "Hello");      // the same names, other bytes
  Build(message, RandomBytes(100000, 5), "Goodbye");  // the same files, another message
  const PlayerReport a = Play(package_), b = Play(other), c = Play(message);
  EXPECT_NE(a.cwd, b.cwd);
  EXPECT_NE(b.cwd, c.cwd);
  EXPECT_NE(a.files.at("hall.jpg"), b.files.at("hall.jpg"));
  EXPECT_EQ(b.files.at("hall.jpg"), c.files.at("hall.jpg"));
  EXPECT_EQ(c.args, std::vector<std::string>{"Goodbye"});
  EXPECT_EQ(Packages().size(), 3u);
  // Each still plays its own.
  EXPECT_EQ(Play(package_).files, a.files);
  EXPECT_EQ(Play(other).files, b.files);
}

TEST_F(PackageCacheTest, FirstStartsOfOnePackageAtOnceBothPlay) {
  const std::string photo = RandomBytes(3 << 20, 6);
  Build(package_, photo, "Hello");
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    fs::remove_all(root_ / "cache-home");
    const std::string report_a = root_ / "report-a", report_b = root_ / "report-b";
    fs::remove(report_a);
    fs::remove(report_b);
    const pid_t a = Start(Launch(package_, report_a), root_ / "out-a", root_ / "err-a");
    const pid_t b = Start(Launch(package_, report_b), root_ / "out-b", root_ / "err-b");
    EXPECT_EQ(WaitExitCode(a), 0) << ReadFile(root_ / "err-a");
    EXPECT_EQ(WaitExitCode(b), 0) << ReadFile(root_ / "err-b");
    EXPECT_EQ(ReadPlayerReport(report_a).files.at("hall.jpg"), Fingerprint(photo));
    EXPECT_EQ(ReadPlayerReport(report_b).files.at("hall.jpg"), Fingerprint(photo));
    EXPECT_EQ(Packages().size(), 1u);
    EXPECT_TRUE(ListFolder(tmp_).empty());
    ExpectNoWorkFoldersLeft();
  }
}

TEST_F(PackageCacheTest, TheCacheKeepsThePackagesStartedLastAndThoseInUse) {
  // The first package's player runs on while four others start.
  Build(package_, RandomBytes(50000, 10), "Hello");
  RunRequest waiting = Launch(package_, report_);
  waiting.env["MW_PLAYER_WAIT"] = "1";
  waiting.env["TMPDIR"] = root_ / "tmp-waiting";  // its work folder stays while it runs
  fs::create_directories(waiting.env["TMPDIR"]);
  const pid_t running = Start(waiting, root_ / "out", root_ / "err");
  ASSERT_TRUE(WaitForFile(report_));
  const std::string in_use = ReadPlayerReport(report_).cwd;
  std::vector<std::string> folders;
  for (unsigned i = 0; i < 4; ++i) {
    const std::string package = root_ / ("tour" + std::to_string(i) + ".exe");
    Build(package, RandomBytes(50000, 20 + i), "Hello");
    folders.push_back(Play(package).cwd);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // distinct start times
  }
  std::vector<std::string> expected;
  for (const std::string& folder : {in_use, folders[1], folders[2], folders[3]})
    expected.push_back(fs::path(folder).filename().string());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Packages(), expected);  // the oldest not in use is gone
  kill(running, SIGTERM);
  WaitExitCode(running);
  ExpectNoWorkFoldersLeft();
}

// The moments of each start as its package reports them for timing: in the order they come,
// inside the start, at the first start (the player starts once the runtime and its start
// files are in place, before the other clips) as at a later one (everything is in place). A
// report that cannot be written changes nothing of the start.
TEST_F(PackageCacheTest, AStartReportsWhenItsClipsItsRuntimeAndItsPlayerWereReady) {
  const std::string photo = RandomBytes(300000, 30);
  Build(package_, photo, "Hello");
  const std::string moments_path = root_ / "moments";
  auto now_ns = [] {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  };
  for (const char* start : {"first", "later"}) {
    SCOPED_TRACE(start);
    RunRequest launch = Launch(package_, report_);
    launch.env[packer::kPackageStartReportVariable] = moments_path;
    const long long before = now_ns();
    const RunResult run = RunProgram(launch);
    const long long after = now_ns();
    ASSERT_EQ(run.exit_code, 0) << run.err;
    std::map<std::string, long long> moments;
    std::istringstream lines(ReadFile(moments_path));
    for (std::string line; std::getline(lines, line);) {
      const std::size_t equals = line.find('=');
      ASSERT_NE(equals, std::string::npos) << line;
      moments[line.substr(0, equals)] = std::stoll(line.substr(equals + 1));
    }
    ASSERT_EQ(moments.size(), 3u) << ReadFile(moments_path);
    const long long clips = moments["clips_ready_ns"], runtime = moments["runtime_ready_ns"],
                    player = moments["player_starting_ns"];
    EXPECT_LE(before, std::min(clips, runtime));
    EXPECT_LE(runtime, player);
    if (std::string(start) == "first") {
      EXPECT_LE(player, clips);
    } else {
      EXPECT_LE(clips, player);
    }
    EXPECT_LE(std::max(clips, player), after);
  }
  RunRequest unwritable = Launch(package_, report_);
  unwritable.env[packer::kPackageStartReportVariable] = root_ / "no such folder/moments";
  fs::remove(report_);
  const RunResult run = RunProgram(unwritable);
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(ReadPlayerReport(report_).files.at("hall.jpg"), Fingerprint(photo));
}

// The stamp tells a folder's files apart from what they were, without reading them.
TEST(FolderStampTest, FindsChangedReplacedAndMissingFilesAndOddNames) {
  const TempDir dir;
  const std::string odd = "a\nname: with 12 34 numbers";
  WriteFile(dir / "hall.jpg", "photo");
  WriteFile(dir / odd, "odd");
  EXPECT_FALSE(packer::FolderMatchesStamp(dir.path()));  // no stamp yet
  packer::WriteFolderStamp(dir.path());
  EXPECT_TRUE(packer::FolderMatchesStamp(dir.path()));
  WriteFile(dir / "extra", "not recorded, not looked at");
  EXPECT_TRUE(packer::FolderMatchesStamp(dir.path()));
  WriteFile(dir / odd, "odd");  // the same bytes written again
  EXPECT_FALSE(packer::FolderMatchesStamp(dir.path()));
}

// A stamp that finds the disk full is no room, not a failure: the package then plays from
// its private folder instead of ending.
TEST(FolderStampTest, AFullDiskIsNoRoom) {
  const TempDir dir;
  if (mount("tmpfs", dir.path().c_str(), "tmpfs", 0, "size=64k") != 0)
    GTEST_SKIP() << "cannot mount a small tmpfs here";
  struct Unmount {
    const std::string& path;
    ~Unmount() { umount(path.c_str()); }
  } unmount{dir.path()};
  WriteFile(dir / "hall.jpg", "photo");
  {
    const int filler = open((dir / "filler").c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(filler, 0);
    const std::string block(4096, 'x');
    while (write(filler, block.data(), block.size()) > 0) {
    }
    EXPECT_EQ(errno, ENOSPC);
    close(filler);
  }
  EXPECT_THROW(packer::WriteFolderStamp(dir.path()), packer::NoRoomError);
}

}  // namespace
}  // namespace mw::test
