// Crafted archives appended to the self-extractor: each rule breach refuses the whole
// package, writes nothing outside its temporary folder, and removes that folder.
#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "packer/package_trailer.h"
#include "packer/packer_error.h"
#include "packer/safe_extract.h"
#include "packer_test_support.h"

namespace mw::test {
namespace {

namespace fs = std::filesystem;

// Builds a tar archive in memory, zstd-compressed unless told otherwise.
class ArchiveBuilder {
 public:
  explicit ArchiveBuilder(bool zstd = true, std::size_t capacity = 64 << 20)
      : buffer_(capacity), a_(archive_write_new()) {
    if (zstd) archive_write_add_filter_zstd(a_);
    archive_write_set_format_pax_restricted(a_);
    archive_write_open_memory(a_, buffer_.data(), buffer_.size(), &used_);
  }
  ~ArchiveBuilder() {
    if (a_) archive_write_free(a_);
  }

  ArchiveBuilder& File(const std::string& name, const std::string& content, int perm = 0644) {
    return Entry(
        name, AE_IFREG, perm, content.size(), [&](archive_entry*) {}, content);
  }
  ArchiveBuilder& Entry(const std::string& name, int type, int perm, std::int64_t size,
                        const std::function<void(archive_entry*)>& extra,
                        const std::string& content = "") {
    archive_entry* entry = archive_entry_new();
    archive_entry_set_pathname(entry, name.c_str());
    archive_entry_set_filetype(entry, static_cast<unsigned>(type));
    archive_entry_set_perm(entry, static_cast<mode_t>(perm));
    archive_entry_set_size(entry, size);
    extra(entry);
    archive_write_header(a_, entry);
    if (!content.empty()) archive_write_data(a_, content.data(), content.size());
    archive_entry_free(entry);
    return *this;
  }
  // The archive's bytes; closing may fail on purpose (a full buffer cuts the archive).
  std::string Finish() {
    archive_write_free(a_);
    a_ = nullptr;
    return std::string(buffer_.data(), used_);
  }

 private:
  std::vector<char> buffer_;
  size_t used_ = 0;
  archive* a_;
};

class HostilePackageTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(tmp_); }

  // The self-extractor with archive and launch line behind it and the trailer at the end.
  void WritePackage(const std::string& archive, bool with_trailer = true,
                    const std::string& launch = "mwRun.exe \"m\"") {
    const std::string head = ReadFile(BinPath("tract.dll"));
    std::string bytes = head + archive + launch;
    if (with_trailer) {
      const auto trailer =
          packer::EncodeTrailer({head.size(), archive.size(), launch.size(),
                                 packer::HashOfBytes(archive), packer::HashOfBytes(launch)});
      bytes.append(reinterpret_cast<const char*>(trailer.data()), trailer.size());
    }
    WriteFile(package_, bytes);
    fs::permissions(package_, fs::perms(0755));
  }

  ArchiveBuilder& WithPlayer(ArchiveBuilder& builder) {
    return builder.File("mwRun.exe", ReadFile(TestPlayerPath()), 0755).File("mwRun", "map");
  }

  RunResult RunIt() {
    return RunProgram(
        {{package_},
         root_.path(),
         {{"TMPDIR", tmp_}, {"XDG_CACHE_HOME", cache_home_}, {"MW_PLAYER_REPORT", report_}}});
  }

  void ExpectRefused(const std::string& reason) {
    const RunResult result = RunIt();
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_NE(result.err.find(reason), std::string::npos) << result.err;
    EXPECT_FALSE(Exists(report_)) << "the player was started";
    EXPECT_TRUE(ListFolder(tmp_).empty()) << "left behind: " << ListFolder(tmp_)[0];
    std::vector<std::string> left = ListFolder(root_.path());
    std::erase(left, "cache-home");
    EXPECT_EQ(left, (std::vector<std::string>{"package.exe", "tmp"}));
    EXPECT_TRUE(!Exists(cache_) || ListFolder(cache_).empty()) << "cached: " << ListFolder(cache_)[0];
  }

  TempDir root_;
  std::string tmp_ = root_ / "tmp";
  std::string cache_home_ = root_ / "cache-home";
  std::string cache_ = cache_home_ + "/markweaver";
  std::string package_ = root_ / "package.exe";
  std::string report_ = root_ / "report";
};

TEST_F(HostilePackageTest, WellFormedArchiveRuns) {
  ArchiveBuilder builder;
  WritePackage(WithPlayer(builder).File("a.jpg", "photo", 04755).Finish());
  const RunResult result = RunIt();
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(ReadPlayerReport(report_).files.size(), 3u);
  EXPECT_TRUE(ListFolder(tmp_).empty());
}

TEST_F(HostilePackageTest, SetIdBitsAreDropped) {
  ArchiveBuilder builder;
  WritePackage(WithPlayer(builder).File("a.jpg", "photo", 06755).Finish());
  const std::string into = root_ / "x";
  ASSERT_EQ(RunProgram({{package_, "--extract", into}, root_.path(), {}}).exit_code, 0);
  EXPECT_EQ(fs::status(into + "/a.jpg").permissions(), fs::perms(0755));
}

TEST_F(HostilePackageTest, ExtractedFilesFollowTheUmask) {
  ArchiveBuilder builder;
  WritePackage(WithPlayer(builder).File("open.jpg", "photo", 0777).Finish());
  const std::string into = root_ / "y";
  const mode_t saved = umask(022);
  const RunResult result = RunProgram({{package_, "--extract", into}, root_.path(), {}});
  umask(saved);
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(fs::status(into + "/open.jpg").permissions(), fs::perms(0755));
}

TEST_F(HostilePackageTest, NamesThatLeaveTheFolderAreRefused) {
  for (const std::string& name : {std::string("../escaped"), root_ / "absolute",
                                  std::string("sub/inner"), std::string("..")}) {
    ArchiveBuilder builder;
    WritePackage(WithPlayer(builder).File(name, "evil").Finish());
    ExpectRefused("plain file name");
  }
  EXPECT_FALSE(Exists(root_ / "escaped"));
  EXPECT_FALSE(Exists(root_ / "absolute"));
}

TEST_F(HostilePackageTest, LinksAndDevicesAreRefused) {
  {
    ArchiveBuilder builder;
    WritePackage(WithPlayer(builder)
                     .Entry("link", AE_IFLNK, 0777, 0,
                            [](archive_entry* e) { archive_entry_set_symlink(e, "/etc/passwd"); })
                     .Finish());
    ExpectRefused("symbolic link");
  }
  {
    ArchiveBuilder builder;
    WritePackage(WithPlayer(builder)
                     .Entry("hard", AE_IFREG, 0644, 0,
                            [](archive_entry* e) { archive_entry_set_hardlink(e, "mwRun"); })
                     .Finish());
    ExpectRefused("hard link");
  }
  {
    ArchiveBuilder builder;
    WritePackage(WithPlayer(builder)
                     .Entry("null", AE_IFCHR, 0666, 0,
                            [](archive_entry* e) { archive_entry_set_rdev(e, makedev(1, 3)); })
                     .Finish());
    ExpectRefused("device");
  }
  {
    ArchiveBuilder builder;
    WritePackage(
        WithPlayer(builder).Entry("dir", AE_IFDIR, 0755, 0, [](archive_entry*) {}).Finish());
    ExpectRefused("\"dir/\" is not a plain file name");
  }
}

TEST_F(HostilePackageTest, DuplicateNamesAreRefused) {
  ArchiveBuilder builder;
  WritePackage(WithPlayer(builder).File("mwRun", "other map").Finish());
  ExpectRefused("twice");
}

TEST_F(HostilePackageTest, TooManyEntriesAreRefused) {
  ArchiveBuilder builder;
  WithPlayer(builder);
  for (int i = 0; i < 10000; ++i) builder.File("f" + std::to_string(i), "");
  WritePackage(builder.Finish());
  ExpectRefused("more than 10000 files");
}

TEST_F(HostilePackageTest, DeclaredSizeBeyondTheLimitIsRefusedBeforeAnyData) {
  // The buffer fills long before the declared 17 GiB: a header with a cut-off body.
  ArchiveBuilder builder(false, 1 << 20);
  WithPlayer(builder).Entry(
      "huge.mpg", AE_IFREG, 0644, std::int64_t{17} << 30, [](archive_entry*) {},
      std::string(1000, 'x'));
  WritePackage(builder.Finish());
  ExpectRefused("larger than");
}

TEST_F(HostilePackageTest, TruncatedArchiveIsRefused) {
  ArchiveBuilder builder;
  const std::string archive = WithPlayer(builder).File("clip.mpg", RandomBytes(200000, 9)).Finish();
  WritePackage(archive.substr(0, archive.size() / 2));
  ExpectRefused("refused");
}

TEST_F(HostilePackageTest, MissingOrBrokenTrailerIsRefused) {
  ArchiveBuilder builder;
  const std::string archive = WithPlayer(builder).Finish();
  WritePackage(archive, false);
  ExpectRefused("no package");
  WritePackage(archive);
  std::string bytes = ReadFile(package_);
  bytes[bytes.size() - packer::kTrailerSize + 16] ^= 1;  // the archive size no longer fits
  WriteFile(package_, bytes);
  ExpectRefused("trailer does not match");
}

TEST_F(HostilePackageTest, PackageWithoutItsProgramIsRefused) {
  ArchiveBuilder builder;
  WritePackage(builder.File("mwRun", "map").Finish());
  ExpectRefused("lacks its program mwRun.exe");
  ArchiveBuilder other;
  WritePackage(WithPlayer(other).Finish(), true, "../bin/sh -c x");
  ExpectRefused("launch line");
}

// Names that would drive a terminal: set its title, clear the line and fake a verdict.
const std::string kTerminalTrick = "\x1b]0;owned\x07\x1b[2K\rOK\x9b";

// A message names no raw control character: no escape, no bell, no carriage return.
void ExpectNoControlCharacters(const std::string& text) {
  for (const char c : text)
    EXPECT_FALSE(c == '\x1b' || c == '\a' || c == '\r' || c == '\x9b') << text;
}

TEST_F(HostilePackageTest, NamesInMessagesAreEscapedAndCut) {
  ArchiveBuilder builder;
  WritePackage(builder.File("mwRun", "map").Finish(), true, kTerminalTrick + "x \"m\"");
  RunResult result = RunIt();
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_NE(result.err.find("lacks its program \\x1b]0;owned\\x07\\x1b[2K\\x0dOK\\x9b"),
            std::string::npos)
      << result.err;
  ExpectNoControlCharacters(result.err);

  // A packed program of that name that cannot start.
  ArchiveBuilder unstartable;
  WritePackage(
      unstartable.File(kTerminalTrick, "not a program", 0755).File("mwRun", "map").Finish(), true,
      kTerminalTrick);
  result = RunIt();
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_NE(result.err.find("cannot start "), std::string::npos) << result.err;
  ExpectNoControlCharacters(result.err);

  ArchiveBuilder other;
  WritePackage(WithPlayer(other).Finish(), true, std::string(300, 'a') + "/" + kTerminalTrick);
  result = RunIt();
  EXPECT_NE(result.err.find("package: \"" + std::string(200, 'a') + "...\""), std::string::npos)
      << result.err;
  ExpectNoControlCharacters(result.err);
}

TEST_F(HostilePackageTest, FileThatCannotBeCreatedIsNamedEscaped) {
  ArchiveBuilder builder;
  const std::string archive = WithPlayer(builder).File(kTerminalTrick, "x").Finish();
  WritePackage(archive);
  const std::string into = root_ / "into";
  fs::create_directory(into);
  WriteFile(into + "/" + kTerminalTrick, "here already");
  const int dir = open(into.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const std::string head = ReadFile(BinPath("tract.dll"));
  const int package = open(package_.c_str(), O_RDONLY | O_CLOEXEC);
  try {
    packer::ReadArchive({package, head.size(), archive.size(), {}}, dir);
    ADD_FAILURE() << "an existing file was written over";
  } catch (const packer::PackerError& e) {
    EXPECT_NE(std::string(e.what()).find("cannot create \\x1b]0;owned"), std::string::npos)
        << e.what();
    ExpectNoControlCharacters(e.what());
  }
  close(package);
  close(dir);
}

// --list runs the checks that running does, and says the same.
class ListedPackageTest : public HostilePackageTest {
 protected:
  RunResult ListIt() {
    return RunProgram({{package_, "--list"}, root_.path(), {{"TMPDIR", tmp_}}});
  }
  void ExpectBothRefuse(const std::string& reason) {
    const RunResult listed = ListIt();
    EXPECT_EQ(listed.exit_code, 1) << listed.out;
    EXPECT_NE(listed.err.find(reason), std::string::npos) << listed.err;
    ExpectRefused(reason);
  }
};

TEST_F(ListedPackageTest, SparseEntryReachingBeyondItsSizeIsRefused) {
  // A sparse file whose map places data at 200000 while its header declares 100 bytes.
  WritePackage(ReadFile(std::string(MW_TEST_DATA_DIR) + "/archive-corpus/sparse-beyond-size.tar"));
  ExpectBothRefuse("holds more than its declared size");
}

TEST_F(ListedPackageTest, MissingLaunchProgramIsRefused) {
  ArchiveBuilder builder;
  WritePackage(builder.File("mwRun", "map").Finish());
  ExpectBothRefuse("lacks its program mwRun.exe");
}

TEST_F(ListedPackageTest, NameTooLongToCreateIsRefused) {
  ArchiveBuilder builder;
  WritePackage(WithPlayer(builder).File(std::string(256, 'n'), "x").Finish());
  ExpectBothRefuse("too long a file name");
  ArchiveBuilder longest;
  WritePackage(WithPlayer(longest).File(std::string(255, 'n'), "x").Finish());
  EXPECT_EQ(ListIt().exit_code, 0);
}

TEST_F(ListedPackageTest, OutputThatCannotBeWrittenFails) {
  ArchiveBuilder builder;
  WritePackage(WithPlayer(builder).Finish());
  ASSERT_EQ(ListIt().exit_code, 0);
  const pid_t pid = Start({{package_, "--list"}, root_.path(), {}}, "/dev/full", root_ / "err");
  EXPECT_EQ(WaitExitCode(pid), 1);
  EXPECT_NE(ReadFile(root_ / "err").find("cannot write the list"), std::string::npos);
  fs::remove(root_ / "err");
}

TEST_F(HostilePackageTest, PackageLargerThanTheFreeSpaceIsRefusedAtOnce) {
  fs::create_directories(cache_home_);
  if (mount("tmpfs", tmp_.c_str(), "tmpfs", 0, "size=4m") != 0 ||
      mount("tmpfs", cache_home_.c_str(), "tmpfs", 0, "size=4m") != 0) {
    umount(tmp_.c_str());
    GTEST_SKIP() << "cannot mount a small tmpfs here";
  }
  // A header of 64 MiB with a cut-off body: refused before any byte is written.
  ArchiveBuilder builder(false, 1 << 20);
  WithPlayer(builder).Entry(
      "huge.mpg", AE_IFREG, 0644, std::int64_t{64} << 20, [](archive_entry*) {},
      std::string(1000, 'x'));
  WritePackage(builder.Finish());
  const RunResult result = RunIt();
  const std::vector<std::string> left = ListFolder(tmp_);
  umount(tmp_.c_str());
  umount(cache_home_.c_str());
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_NE(result.err.find("it needs at least 65 MiB"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("of free space to unpack, and only 4 MiB are free"), std::string::npos)
      << result.err;
  EXPECT_TRUE(left.empty());
}

}  // namespace
}  // namespace mw::test
