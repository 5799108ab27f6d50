// Damaged packages, damaged runtime caches and leftovers, with the real package tools as
// processes: a flipped byte anywhere is refused with its reason before the player starts, a
// runtime part swapped behind an honest index never reaches the cache, a cached runtime
// damaged later is unpacked again once, and folders of killed packages are swept.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "packer/leftover_sweep.h"
#include "packer/package_trailer.h"
#include "packer/runtime_parts.h"
#include "packer_test_support.h"

namespace mw::test {
namespace {

namespace fs = std::filesystem;

// Where the parts of a built package lie.
struct PackageParts {
  packer::PackageLayout layout;
  std::vector<packer::RuntimePart> runtime;
};

class PackageIntegrityTest : public ::testing::Test {
 protected:
  void SetUp() override {
    program_ = MakeProgramFolder(root_);
    staging_ = program_ + "ptemp/";
    for (const std::string& folder : {staging_, tmp_, cache_}) fs::create_directories(folder);
    StageTestPlayer(staging_);
    WriteFile(staging_ + "mwRun", "MarkWeaver map\r\n");
  }

  // Builds the package of the staged clips; photos of random bytes make a plain archive,
  // text a compressed one.
  void Build(const std::vector<std::string>& clips) {
    const RunResult build =
        BuildFromDirective(program_, DirectiveText(package_, staging_, "Hello", clips));
    ASSERT_EQ(build.exit_code, 0) << build.err;
  }

  RunResult Run(std::map<std::string, std::string> env = {}) {
    env["TMPDIR"] = tmp_;
    env["XDG_CACHE_HOME"] = root_ / "cache-home";
    env["MW_PLAYER_REPORT"] = report_;
    env["MW_PLAYER_STARTS"] = starts_;
    fs::remove(report_);
    fs::remove(starts_);
    return RunProgram({{package_}, root_.path(), env});
  }

  PackageParts Parts() const {
    const int fd = open(package_.c_str(), O_RDONLY | O_CLOEXEC);
    PackageParts parts{packer::ReadPackageLayout(fd), {}};
    parts.runtime = packer::ReadRuntimeIndex(fd, parts.layout.archive_offset);
    close(fd);
    return parts;
  }

  void FlipByteAt(std::uint64_t offset) const {
    std::string bytes = ReadFile(package_);
    bytes.at(offset) ^= 0x20;
    WriteFile(package_, bytes);
  }

  // The package was refused for reason: not played (a player started while the clips after
  // its start files unpacked was ended before they were all in place), nothing left in the
  // temporary folder.
  void ExpectRefused(const RunResult& run, const std::string& reason) const {
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_NE(run.err.find(reason), std::string::npos) << run.err;
    EXPECT_FALSE(Exists(report_)) << "the player played";
    EXPECT_TRUE(ListFolder(tmp_).empty()) << "left: " << ListFolder(tmp_)[0];
  }

  // How often the player was started by the last run.
  int Starts() const {
    const std::string lines = Exists(starts_) ? ReadFile(starts_) : "";
    return static_cast<int>(std::count(lines.begin(), lines.end(), '\n'));
  }

  // The unpacked runtime folders in the cache, work folders included; not the unpacked
  // packages.
  std::vector<std::string> Cached() const {
    std::vector<std::string> names = ListFolder(cache_);
    std::erase_if(names, [](const std::string& name) { return name.starts_with("pkg-"); });
    return names;
  }

  TempDir root_;
  std::string program_, staging_;
  std::string tmp_ = root_ / "tmp";
  std::string cache_ = root_ / "cache-home/markweaver";
  std::string package_ = root_ / "tour.exe";
  std::string report_ = root_ / "report";
  std::string starts_ = root_ / "starts";
};

TEST_F(PackageIntegrityTest, AFlippedByteInAPhotoOfAPlainArchiveIsRefused) {
  const std::string photo = RandomBytes(200000, 7);
  WriteFile(staging_ + "hall.jpg", photo);
  Build({"hall.jpg"});
  ASSERT_EQ(Run().exit_code, 0);
  const std::string bytes = ReadFile(package_);
  const auto at = bytes.find(photo.substr(0, 64));
  ASSERT_NE(at, std::string::npos) << "the archive is not plain";
  FlipByteAt(at + 100000);
  ExpectRefused(Run(), "damaged");
}

TEST_F(PackageIntegrityTest, ACompressedArchiveCarriesFrameChecksumsAndDamageIsRefused) {
  WriteFile(staging_ + "notes.jpg", CompressibleText(300000));
  Build({"notes.jpg"});
  const PackageParts parts = Parts();
  const std::string archive =
      ReadFile(package_).substr(parts.layout.archive_offset, parts.layout.archive_size);
  ASSERT_TRUE(archive.starts_with("\x28\xb5\x2f\xfd")) << "the archive is not compressed";
  EXPECT_TRUE(archive[4] & 0x04) << "its frame carries no checksum";  // Content_Checksum_flag
  ASSERT_EQ(Run().exit_code, 0);
  FlipByteAt(parts.layout.archive_offset + parts.layout.archive_size / 2);
  ExpectRefused(Run(), "damaged");
}

TEST_F(PackageIntegrityTest, APackageCutToHalfOrWithADamagedLaunchLineIsRefused) {
  WriteFile(staging_ + "hall.jpg", RandomBytes(100000, 1));
  Build({"hall.jpg"});
  const std::string whole = ReadFile(package_);
  fs::resize_file(package_, whole.size() / 2);
  ExpectRefused(Run(), "cut short");
  WriteFile(package_, whole);
  const std::uint64_t launch = Parts().layout.archive_offset + Parts().layout.archive_size;
  FlipByteAt(launch + 12);  // inside the message
  ExpectRefused(Run(), "damaged");
}

TEST_F(PackageIntegrityTest, AFlippedByteInTheRuntimeIsRefusedAndNothingIsCached) {
  WriteFile(staging_ + "hall.jpg", RandomBytes(1000, 1));
  Build({"hall.jpg"});
  const PackageParts parts = Parts();
  ASSERT_FALSE(parts.runtime.empty());
  FlipByteAt(parts.runtime[0].offset + parts.runtime[0].size / 2);
  ExpectRefused(Run(), "runtime is refused");
  EXPECT_TRUE(Cached().empty()) << Cached()[0];
}

// The runtime part replaced by a small one of its own while the index keeps the honest
// hash: refused, and the honest package that comes next still finds no poisoned cache.
TEST_F(PackageIntegrityTest, ASwappedRuntimePartNeverReachesTheCache) {
  WriteFile(staging_ + "hall.jpg", RandomBytes(1000, 1));
  Build({"hall.jpg"});
  const std::string honest = ReadFile(package_);
  const PackageParts parts = Parts();
  const packer::RuntimePart& part = parts.runtime.at(0);
  fs::create_directories(root_ / "fake/mwRun.lib");
  WriteFile(root_ / "fake/mwRun.lib/libQt6Core.so.6", "not a library\n");
  ASSERT_EQ(std::system(("tar -C '" + (root_ / "fake") + "' -cf - . | zstd -q -o '" +
                         (root_ / "fake.tar.zst") + "'")
                            .c_str()),
            0);
  const std::string fake = ReadFile(root_ / "fake.tar.zst");
  // The head: extractor, the fake part, an index of it with the honest hash; then the rest.
  std::string swapped = honest.substr(0, part.offset) + fake +
                        packer::EncodeRuntimeIndex({{part.offset, fake.size(), part.hash}});
  const std::uint64_t archive_offset = swapped.size();
  swapped += honest.substr(parts.layout.archive_offset,
                           parts.layout.archive_size + parts.layout.launch_line.size());
  const auto trailer = packer::EncodeTrailer(
      {archive_offset, parts.layout.archive_size, parts.layout.launch_line.size(),
       parts.layout.archive_hash, packer::HashOfBytes(parts.layout.launch_line)});
  swapped.append(reinterpret_cast<const char*>(trailer.data()), trailer.size());
  WriteFile(package_, swapped);

  ExpectRefused(Run(), "runtime is refused");
  EXPECT_TRUE(Cached().empty()) << Cached()[0];
  WriteFile(package_, honest);
  const RunResult run = Run();
  EXPECT_EQ(run.exit_code, 0) << run.err;
  ASSERT_EQ(Cached(), std::vector<std::string>{packer::HashName(part.hash)});
}

// A player that cannot start (exit code 127, as from the loader) from a cache whose file was
// damaged after unpacking: the part is unpacked again and the player tried once more.
TEST_F(PackageIntegrityTest, ACachedRuntimeDamagedLaterIsUnpackedAgainOnce) {
  WriteFile(staging_ + "hall.jpg", RandomBytes(1000, 1));
  Build({"hall.jpg"});
  ASSERT_EQ(Run().exit_code, 0);
  ASSERT_EQ(Cached().size(), 1u);
  const std::string library = cache_ + "/" + Cached()[0] + "/mwRun.lib/libQt6Core.so.6";
  const std::string sound = ReadFile(library);
  std::string damaged = sound;
  damaged[damaged.size() / 2] ^= 1;  // the same size: only its content tells
  WriteFile(library, damaged);

  RunResult run = Run({{"MW_PLAYER_EXIT", "127"}});
  EXPECT_NE(run.exit_code, 0);
  EXPECT_NE(run.err.find("unpacked again"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("could not start"), std::string::npos) << run.err;
  EXPECT_EQ(Starts(), 2);
  EXPECT_TRUE(ReadFile(library) == sound) << "the cache was not made again";
  EXPECT_TRUE(ListFolder(tmp_).empty());

  // From a sound cache the same failure is not the runtime's: no second start.
  run = Run({{"MW_PLAYER_EXIT", "127"}});
  EXPECT_EQ(run.err.find("unpacked again"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("a library it needs is missing"), std::string::npos) << run.err;
  EXPECT_EQ(Starts(), 1);
}

// Makes the folder look last changed an hour ago.
void Age(const std::string& folder) {
  fs::last_write_time(folder, fs::file_time_type::clock::now() - std::chrono::hours(1));
}

bool Alive(pid_t pid) {
  return kill(pid, 0) == 0;
}

// A package killed while its player runs: the player ends with it (it would run on with no
// parent), and the folder the package could not remove is removed by the next start.
TEST_F(PackageIntegrityTest, AKilledPackageEndsItsPlayerAndTheNextStartSweepsItsFolder) {
  WriteFile(staging_ + "hall.jpg", RandomBytes(1000, 1));
  Build({"hall.jpg"});
  const pid_t package = Start({{package_},
                               root_.path(),
                               {{"TMPDIR", tmp_},
                                {"XDG_CACHE_HOME", root_ / "cache-home"},
                                {"MW_PLAYER_REPORT", report_},
                                {"MW_PLAYER_WAIT", "1"}}},
                              root_ / "out", root_ / "err");
  ASSERT_TRUE(WaitForFile(report_));
  const std::vector<std::string> work = ListFolder(tmp_);
  ASSERT_EQ(work.size(), 1u);
  const std::string folder = tmp_ + "/" + work[0];
  const std::string text = ReadFile(report_);
  const pid_t player = std::stoi(text.substr(text.find("pid ") + 4));
  ASSERT_EQ(kill(package, SIGKILL), 0);
  EXPECT_EQ(WaitExitCode(package), 128 + SIGKILL);
  for (int i = 0; i < 100 && Alive(player); ++i) usleep(50000);
  EXPECT_FALSE(Alive(player)) << "the player outlived its package";
  ASSERT_TRUE(Exists(folder));  // nobody could remove it

  // A start right away leaves it (it may be a package just starting); a later one sweeps it.
  ASSERT_EQ(Run().exit_code, 0);
  EXPECT_TRUE(Exists(folder));
  Age(folder);
  ASSERT_EQ(Run().exit_code, 0);
  EXPECT_FALSE(Exists(folder));
  EXPECT_TRUE(ListFolder(tmp_).empty());
}

// Half-unpacked runtime folders of killed first starts are swept; one that a live package
// holds is not.
TEST_F(PackageIntegrityTest, HalfUnpackedRuntimeFoldersOfDeadStartsAreSwept) {
  WriteFile(staging_ + "hall.jpg", RandomBytes(1000, 1));
  Build({"hall.jpg"});
  fs::create_directories(cache_);
  for (const std::string name : {".part-0123456789abcdef-dead01", ".part-0123456789abcdef-live01"}) {
    fs::create_directories(cache_ + "/" + name + "/mwRun.lib");
    WriteFile(cache_ + "/" + name + "/mwRun.lib/libQt6Core.so.6", RandomBytes(5000, 2));
    Age(cache_ + "/" + name);
  }
  const packer::FolderLock live(cache_ + "/.part-0123456789abcdef-live01");
  ASSERT_EQ(Run().exit_code, 0);
  const std::vector<std::string> left = Cached();
  EXPECT_EQ(std::count(left.begin(), left.end(), ".part-0123456789abcdef-dead01"), 0);
  EXPECT_EQ(std::count(left.begin(), left.end(), ".part-0123456789abcdef-live01"), 1);
  EXPECT_EQ(left.size(), 2u);  // beside it only the runtime unpacked now
}

// A full home folder (no room for the runtime cache) and a full temporary folder (no room
// for the clips): the package plays all the same, from the place that has room.
TEST_F(PackageIntegrityTest, FullHomeOrFullTemporaryFolderStillPlays) {
  WriteFile(staging_ + "hall.jpg", RandomBytes(400000, 1));
  Build({"hall.jpg"});
  const std::string home = root_ / "cache-home";
  if (mount("tmpfs", home.c_str(), "tmpfs", 0, "size=1m") != 0)
    GTEST_SKIP() << "cannot mount a small tmpfs here";
  RunResult run = Run();
  umount(home.c_str());
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_NE(run.err.find("No space left on device"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("refused"), std::string::npos) << run.err;
  EXPECT_TRUE(ListFolder(tmp_).empty());

  ASSERT_EQ(mount("tmpfs", tmp_.c_str(), "tmpfs", 0, "size=64k"), 0);
  run = Run();
  const std::vector<std::string> left = ListFolder(tmp_);
  umount(tmp_.c_str());
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_TRUE(ReadPlayerReport(report_).cwd.starts_with(cache_ + "/pkg-"))
      << ReadPlayerReport(report_).cwd;
  EXPECT_TRUE(left.empty());
}

}  // namespace
}  // namespace mw::test
