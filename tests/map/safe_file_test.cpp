// Saving under faults: the old file stays byte for byte and nothing is left behind.
#include "map/safe_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <ctime>
#include <filesystem>
#include <functional>
#include <thread>

#include "map/known_map_file.h"
#include "map/map_file.h"
#include "temp_folder.h"

namespace mw {
namespace {

namespace fs = std::filesystem;
using test::EntriesIn;
using test::ReadText;
using test::TempFolder;
using test::WriteText;

// Runs `attempt` in a child process as an unprivileged user (root would write
// anywhere), with an optional limit on the size of files it writes. Gives the
// attempt's result.
bool InUnprivilegedChild(const std::function<bool()>& attempt,
                         rlim_t fileSizeLimit = RLIM_INFINITY) {
  pid_t child = fork();
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{fileSizeLimit, fileSizeLimit};
    setrlimit(RLIMIT_FSIZE, &limit);
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(3);
    _exit(attempt() ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_NE(WEXITSTATUS(status), 3) << "could not drop privileges";
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(SafeSave, ReadOnlyFolderKeepsTheOldFile) {
  TempFolder folder;
  std::string path = folder.File("map.clm");
  WriteText(path, "old map");
  chmod(path.c_str(), 0666);
  chmod(folder.Path().c_str(), 0555);
  bool ok = InUnprivilegedChild([&] { return ReplaceFileContent(path, "new map").ok; });
  chmod(folder.Path().c_str(), 0755);
  EXPECT_FALSE(ok);
  EXPECT_EQ(ReadText(path), "old map");
  EXPECT_EQ(EntriesIn(folder.Path()), 1u);
}

TEST(SafeSave, ShortWriteKeepsTheOldFileAndLeavesNoTemporary) {
  TempFolder folder;
  std::string path = folder.File("map.clm");
  WriteText(path, "old map");
  chmod(folder.Path().c_str(), 0777);
  chmod(path.c_str(), 0666);
  std::string big(64 * 1024, 'x');
  bool ok = InUnprivilegedChild([&] { return ReplaceFileContent(path, big).ok; }, 4096);
  EXPECT_FALSE(ok);
  EXPECT_EQ(ReadText(path), "old map");
  EXPECT_EQ(EntriesIn(folder.Path()), 1u);
}

TEST(SafeSave, FullDiskKeepsTheOldFile) {
  TempFolder folder;
  std::string disk = folder.File("disk");
  fs::create_directory(disk);
  if (mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") != 0)
    GTEST_SKIP() << "cannot mount a small tmpfs here";
  std::string path = disk + "/map.clm";
  WriteText(path, "old map");
  WriteText(disk + "/filler", std::string(40 * 1024, 'f'));
  WriteOutcome outcome = ReplaceFileContent(path, std::string(48 * 1024, 'n'));
  ClickerMark mark;
  mark.Hint = std::string(48 * 1024, 'h');
  MapWriteOutcome mapOutcome = WriteMapFile(path, {1, 1}, std::span(&mark, 1));
  std::string after = ReadText(path);
  std::size_t entries = EntriesIn(disk);
  umount(disk.c_str());
  EXPECT_FALSE(outcome.ok);
  EXPECT_FALSE(outcome.error.empty());
  EXPECT_EQ(after, "old map");
  EXPECT_EQ(entries, 2u);
  // The user is told the system's reason on a line of its own.
  EXPECT_EQ(MapWriteFailureMessage(mapOutcome),
            "Failed to open the map file for writing!\nNo space left on device");
}

// Makes a file of `text` whose last change lies `ageSeconds` back.
void WriteAgedFile(const std::string& path, const std::string& text, int ageSeconds) {
  WriteText(path, text);
  timespec times[2] = {{time(nullptr) - ageSeconds, 0}, {time(nullptr) - ageSeconds, 0}};
  utimensat(AT_FDCWD, path.c_str(), times, 0);
}

TEST(SafeSave, SuccessfulSaveRemovesOnlyOldTemporariesOfTheSameFile) {
  TempFolder folder;
  const std::string path = folder.File("map.clm");
  const int old = 11 * 60;
  WriteAgedFile(folder.File(".map.clm.Ab3xZ9"), "cut off", old);
  WriteAgedFile(folder.File(".map.clm.q1W2e3"), "cut off", old);
  // Kept: a fresh one (a save may be running), other names, and what is no plain file.
  WriteAgedFile(folder.File(".map.clm.young1"), "running", 60);
  WriteAgedFile(folder.File(".map.clm.toolong7"), "other", old);
  WriteAgedFile(folder.File(".map.clm.ab-cd1"), "other", old);
  WriteAgedFile(folder.File(".other.clm.ABCDEF"), "other", old);
  WriteAgedFile(folder.File("map.clm.ABCDEF"), "other", old);
  fs::create_directory(folder.File(".map.clm.Folder"));
  fs::create_symlink(folder.File("map.clm.ABCDEF"), folder.File(".map.clm.Linked"));

  ASSERT_TRUE(ReplaceFileContent(path, "new map").ok);
  EXPECT_FALSE(fs::exists(folder.File(".map.clm.Ab3xZ9")));
  EXPECT_FALSE(fs::exists(folder.File(".map.clm.q1W2e3")));
  for (const char* kept : {".map.clm.young1", ".map.clm.toolong7", ".map.clm.ab-cd1",
                           ".other.clm.ABCDEF", "map.clm.ABCDEF", ".map.clm.Folder"})
    EXPECT_TRUE(fs::exists(folder.File(kept))) << kept;
  EXPECT_TRUE(fs::is_symlink(folder.File(".map.clm.Linked")));
  EXPECT_EQ(ReadText(path), "new map");
}

TEST(SafeSave, TargetThatIsAFolderIsRefused) {
  TempFolder folder;
  std::string path = folder.File("map.clm");
  fs::create_directory(path);
  EXPECT_FALSE(ReplaceFileContent(path, "x").ok);
  EXPECT_TRUE(fs::is_directory(path));
  EXPECT_EQ(EntriesIn(folder.Path()), 1u);
}

TEST(SafeSave, SymbolicLinkStaysALinkAndTheFileKeepsItsMode) {
  TempFolder folder;
  fs::create_directory(folder.File("real"));
  std::string real = folder.File("real/map.clm");
  WriteText(real, "old map");
  chmod(real.c_str(), 0640);
  std::string link = folder.File("link.clm");
  fs::create_symlink("real/map.clm", link);
  ASSERT_TRUE(ReplaceFileContent(link, "new map").ok);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadText(real), "new map");
  struct stat info {};
  stat(real.c_str(), &info);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  EXPECT_EQ(EntriesIn(folder.File("real")), 1u);
}

TEST(SafeSave, DanglingLinkCreatesTheFileItNames) {
  TempFolder folder;
  std::string link = folder.File("link.clm");
  fs::create_symlink(folder.File("target.clm"), link);
  ASSERT_TRUE(ReplaceFileContent(link, "map").ok);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadText(folder.File("target.clm")), "map");
}

TEST(SafeSave, NewFileFollowsTheUmask) {
  TempFolder folder;
  mode_t old = umask(022);
  ASSERT_TRUE(ReplaceFileContent(folder.File("new.clm"), "x").ok);
  umask(old);
  struct stat info {};
  stat(folder.File("new.clm").c_str(), &info);
  EXPECT_EQ(info.st_mode & 0777, 0644u);
}

TEST(SafeSave, MapWriterReportsTheFailure) {
  TempFolder folder;
  std::string path = folder.File("missing-folder/map.clm");
  MapWriteOutcome outcome = WriteMapFile(path, {1, 1}, {});
  EXPECT_EQ(outcome.status, MapWriteStatus::WriteFailed);
  EXPECT_FALSE(fs::exists(path));
}

// Bytes of every value, different at every place, so a misplaced piece shows.
std::string VariedBytes(std::size_t size) {
  std::string bytes(size, '\0');
  std::uint32_t state = 12345;
  for (char& byte : bytes) {
    state = state * 1664525u + 1013904223u;
    byte = static_cast<char>(state >> 24);
  }
  return bytes;
}

TEST(FileReading, FilesOfEverySizeReadWhole) {
  // Large files are read in two halves; sizes around that limit and odd ones.
  TempFolder folder;
  const std::size_t mebibyte = std::size_t{1} << 20;
  for (std::size_t size : {std::size_t{0}, std::size_t{1}, 4 * mebibyte - 1, 4 * mebibyte,
                           4 * mebibyte + 3, 9 * mebibyte + 7}) {
    const std::string expected = VariedBytes(size);
    WriteText(folder.File("file"), expected);
    std::string read;
    ASSERT_TRUE(ReadWholeFile(folder.File("file"), read)) << size;
    ASSERT_EQ(read.size(), expected.size());
    EXPECT_TRUE(read == expected) << "size " << size;
  }
}

TEST(FileReading, OnlyRegularFilesAreReadAndNoneBlocks) {
  // A pipe without a writer would block a reading open; a device would never end.
  TempFolder folder;
  const std::string pipe = folder.File("pipe.clm");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  std::string read;
  for (const std::string& path :
       {pipe, std::string("/dev/zero"), folder.Path(), folder.File("missing")}) {
    EXPECT_FALSE(ReadWholeFile(path, read)) << path;
    EXPECT_FALSE(CanOpenForReading(path)) << path;
    EXPECT_EQ(OpenRegularFile(path), -1) << path;
  }
  EXPECT_EQ(ReadMapFile(pipe).status, MapReadStatus::OpenFailed);
  EXPECT_EQ(ReadMapFile("/dev/zero").status, MapReadStatus::OpenFailed);
  WriteText(folder.File("map.clm"), "markweaverdata1.0\r\n");
  const int fd = OpenRegularFile(folder.File("map.clm"));
  ASSERT_GE(fd, 0);
  EXPECT_EQ(fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
  close(fd);
}

TEST(FileReading, FilesOverTheLimitAreRefusedUnread) {
  TempFolder folder;
  const std::string path = folder.File("huge.clm");
  WriteText(path, "markweaverdata1.0\r\n");
  FileBytes bytes;
  EXPECT_EQ(ReadRegularFile(path, 19, bytes), FileReadStatus::Read);
  EXPECT_EQ(ReadRegularFile(path, 18, bytes), FileReadStatus::TooLarge);
  EXPECT_EQ(bytes.Size(), 0u);
  // A sparse map just over the limit: refused as damaged without a byte allocated for it.
  fs::resize_file(path, kMaxMapBytes + 1);
  EXPECT_EQ(ReadMapFile(path).status, MapReadStatus::InvalidHeader);
}

}  // namespace
}  // namespace mw

namespace mw {
namespace {

// What the editor knows of its map's file: the content it read or wrote there last.
TEST(KnownMapFileTest, TellsAChangeSinceAFileNeverOpenedAndNothingThere) {
  const test::TempFolder folder;
  const std::string map = folder.File("tour.clm"), other = folder.File("notes.txt");
  test::WriteText(map, "markweaverdata1.01\r\n640\r\n480\r\n");
  test::WriteText(other, "my notes\n");
  KnownMapFile known;
  EXPECT_EQ(known.Over(map), UnknownContent::NeverOpened);
  EXPECT_EQ(known.Over(folder.File("new.clm")), UnknownContent::None);
  known.Know(map);
  EXPECT_EQ(known.Over(map), UnknownContent::None);
  EXPECT_EQ(known.Over(other), UnknownContent::NeverOpened);
  // The same size, other bytes: another program's change all the same.
  test::WriteText(map, "markweaverdata1.01\r\n640\r\n481\r\n");
  EXPECT_EQ(known.Over(map), UnknownContent::ChangedSince);
  std::filesystem::remove(map);
  EXPECT_EQ(known.Over(map), UnknownContent::None);
  known.Forget();
  EXPECT_EQ(known.Over(other), UnknownContent::NeverOpened);
}

}  // namespace
}  // namespace mw
