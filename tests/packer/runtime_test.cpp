// The player's runtime in a package: the self-extractor's own needs, the index of runtime
// parts, unpacking a part (and refusing a hostile one), and the checks of a cache folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "packer/package_head.h"
#include "packer/package_trailer.h"
#include "packer/packer_error.h"
#include "packer/runtime_cache.h"
#include "packer/runtime_parts.h"
#include "packer_test_support.h"

namespace fs = std::filesystem;

namespace mw::packer {
namespace {

using test::TempDir;

std::set<std::string> BareDesktopLibraries() {
  std::set<std::string> names;
  std::ifstream in(MW_SOURCE_DIR "/resources/bare-desktop.txt");
  for (std::string line; std::getline(in, line);)
    if (!line.empty() && line[0] != '#') names.insert(line);
  return names;
}

using test::CommandOutput;

// The libraries an ELF file's dynamic section asks for.
std::vector<std::string> NeededLibraries(const std::string& path) {
  std::vector<std::string> needed;
  std::istringstream lines(CommandOutput("readelf -d '" + path + "'"));
  for (std::string line; std::getline(lines, line);) {
    const auto open = line.find("Shared library: [");
    if (open != std::string::npos) {
      const auto start = open + 17;
      needed.push_back(line.substr(start, line.find(']', start) - start));
    }
  }
  return needed;
}

TEST(SelfExtractorNeedsTest, LoadsNothingBeyondTheBareDesktop) {
#ifdef MW_SANITIZED
  GTEST_SKIP() << "A sanitized self-extractor loads the sanitizer's library.";
#endif
  const auto needed = NeededLibraries(test::BinPath("tract.dll"));
  ASSERT_FALSE(needed.empty()) << "readelf gave nothing";
  const auto bare = BareDesktopLibraries();
  for (const std::string& name : needed) EXPECT_TRUE(bare.count(name)) << name;
  EXPECT_TRUE(CommandOutput("readelf -l '" + test::BinPath("tract.dll") + "'").find("INTERP") !=
              std::string::npos);
}

// Writes bytes to a file and opens it for reading.
struct ByteFile {
  explicit ByteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
    fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  }
  ~ByteFile() { close(fd); }
  int fd = -1;
};

TEST(RuntimeIndexTest, RoundTripsAndRefusesPartsOutsideThePackage) {
  TempDir dir;
  const std::string head(1000, 'h');
  const std::vector<RuntimePart> parts{{10, 500, 0x1234}, {510, 490, 0xfeed}};
  const std::string index = EncodeRuntimeIndex(parts);
  ByteFile good(dir / "good", head + index + "archive");
  const auto read = ReadRuntimeIndex(good.fd, head.size() + index.size());
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[1].offset, 510u);
  EXPECT_EQ(read[1].size, 490u);
  EXPECT_EQ(read[1].hash, 0xfeedu);
  // A package of the old layout has no index.
  EXPECT_TRUE(ReadRuntimeIndex(good.fd, head.size()).empty());

  const std::string reaching = EncodeRuntimeIndex({{10, 5000, 1}});
  ByteFile bad(dir / "bad", head + reaching);
  EXPECT_THROW(ReadRuntimeIndex(bad.fd, head.size() + reaching.size()), PackerError);
}

TEST(RuntimeIndexTest, HashFollowsEveryByteAndItsPlace) {
  auto hash = [](const std::string& bytes, std::size_t piece) {
    ContentHash h;
    for (std::size_t i = 0; i < bytes.size(); i += piece)
      h.Add(bytes.data() + i, std::min(piece, bytes.size() - i));
    return h.Value();
  };
  const std::string text = test::RandomBytes(1000, 3);
  for (const std::size_t piece : {1, 7, 31, 32, 33, 999})
    EXPECT_EQ(hash(text, piece), hash(text, 1000));
  // Bytes swapped within a word, between the words of two lanes, and between two blocks.
  for (const auto& [a, b] :
       {std::pair{0, 1}, std::pair{0, 8}, std::pair{5, 37}, std::pair{990, 999}}) {
    std::string swapped = text;
    std::swap(swapped[a], swapped[b]);
    EXPECT_NE(hash(text, 8), hash(swapped, 8)) << a << " " << b;
  }
  EXPECT_NE(hash(text, 8), hash(text + '\0', 8));
  EXPECT_NE(hash("", 1), hash(std::string(1, '\0'), 1));
  EXPECT_NE(hash(std::string(32, '\0'), 1), hash(std::string(64, '\0'), 1));
  EXPECT_EQ(HashName(0xabc), "0000000000000abc");
}

// The head of a package: extractor, parts and index, each part with the hash of its bytes.
TEST(PackageHeadTest, LaysOutTheHeadFromSizesAndWritesItThere) {
  const TempDir dir;
  test::WriteFile(dir / "tract", test::RandomBytes(5000, 1));
  test::WriteFile(dir / "photo.tar.zst", test::RandomBytes(70000, 2));
  test::WriteFile(dir / "movie.tar.zst", test::RandomBytes(3, 3));
  const HeadPlan plan = PlanHead(dir / "tract", {dir / "photo.tar.zst", dir / "movie.tar.zst"});
  const int package = open((dir / "package").c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
  WriteHead(package, plan);
  EXPECT_EQ(lseek(package, 0, SEEK_CUR), static_cast<off_t>(plan.size));
  const std::vector<RuntimePart> parts = ReadRuntimeIndex(package, plan.size);
  close(package);
  ASSERT_EQ(parts.size(), 2u);
  const std::string written = test::ReadFile(dir / "package");
  EXPECT_TRUE(written.substr(0, 5000) == test::RandomBytes(5000, 1));
  for (std::size_t i = 0; i < 2; ++i) {
    const std::string bytes = written.substr(parts[i].offset, parts[i].size);
    EXPECT_TRUE(bytes == test::ReadFile(plan.part_paths[i])) << i;
    ContentHash hash;
    hash.Add(bytes.data(), bytes.size());
    EXPECT_EQ(parts[i].hash, hash.Value()) << i;
  }
}

TEST(PackageHeadTest, RefusesAPartThatChangedOrIsEmpty) {
  const TempDir dir;
  test::WriteFile(dir / "tract", "extractor");
  test::WriteFile(dir / "part", "runtime");
  const HeadPlan plan = PlanHead(dir / "tract", {dir / "part"});
  test::WriteFile(dir / "part", "runtime, grown since");
  const int package = open((dir / "package").c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
  try {
    WriteHead(package, plan);
    ADD_FAILURE() << "a changed part was written";
  } catch (const PackerError& e) {
    EXPECT_NE(std::string(e.what()).find("changed"), std::string::npos) << e.what();
  }
  close(package);
  test::WriteFile(dir / "empty", "");
  EXPECT_THROW(PlanHead(dir / "tract", {dir / "empty"}), PackerError);
  EXPECT_THROW(PlanHead(dir / "missing", {dir / "part"}), PackerError);
}

TEST(RuntimeIndexTest, OnlyMapsWithAMovieNeedTheMoviePart) {
  EXPECT_FALSE(NeedsMovieRuntime({"mwRun.exe", "mwRun", "a.jpg", "B.JPEG"}, "mwRun.exe"));
  EXPECT_TRUE(NeedsMovieRuntime({"mwRun.exe", "mwRun", "a.jpg", "walk.mpg"}, "mwRun.exe"));
  EXPECT_TRUE(NeedsMovieRuntime({"mwRun.exe", "mwRun", "clip"}, "mwRun.exe"));
}

// A runtime part made with tar and zstd, as the build gathers it.
std::string PackFolder(const TempDir& dir, const std::string& folder,
                       const std::string& extra = "") {
  const std::string out = dir / "part.tar.zst";
  CommandOutput("tar -C '" + folder + "' " + extra + " -cf - . | zstd -q -f -o '" + out + "'");
  std::ifstream in(out, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The whole of bytes as one runtime part, with its honest hash.
RuntimePart WholePart(const std::string& bytes) {
  return {0, bytes.size(), HashOfBytes(bytes)};
}

TEST(RuntimeUnpackTest, UnpacksFoldersAndFindsDamage) {
  TempDir dir;
  fs::create_directories(dir / "src/mwRun.lib");
  std::ofstream(dir / "src/mwRun.lib/libx.so.1") << std::string(3000, 'x');
  std::ofstream(dir / "src/mwRun.lib/liby.so.2") << "y";
  const std::string bytes = PackFolder(dir, dir / "src");
  ByteFile file(dir / "package", bytes);
  fs::create_directory(dir / "out");
  UnpackRuntimePart(file.fd, WholePart(bytes), dir / "out");
  EXPECT_EQ(fs::file_size(dir / "out/mwRun.lib/libx.so.1"), 3000u);
  EXPECT_TRUE(IsCompleteRuntimeFolder(dir / "out"));

  fs::resize_file(dir / "out/mwRun.lib/libx.so.1", 10);  // cut short
  EXPECT_FALSE(IsCompleteRuntimeFolder(dir / "out"));
  fs::resize_file(dir / "out/mwRun.lib/libx.so.1", 3000);
  fs::remove(dir / "out/mwRun.lib/liby.so.2");  // missing
  EXPECT_FALSE(IsCompleteRuntimeFolder(dir / "out"));
  fs::create_directory(dir / "half");  // made half: no list of files yet
  EXPECT_FALSE(IsCompleteRuntimeFolder(dir / "half"));
}

TEST(RuntimeUnpackTest, RefusesLinksAndNamesLeavingTheFolder) {
  TempDir dir;
  fs::create_directories(dir / "src/mwRun.lib");
  fs::create_symlink("/etc/passwd", dir / "src/mwRun.lib/libz.so.1");
  const std::string linked = PackFolder(dir, dir / "src");
  ByteFile file(dir / "package", linked);
  fs::create_directory(dir / "out");
  EXPECT_THROW(UnpackRuntimePart(file.fd, WholePart(linked), dir / "out"), PackerError);

  fs::remove(dir / "src/mwRun.lib/libz.so.1");
  std::ofstream(dir / "src/mwRun.lib/evil") << "e";
  const std::string escaping =
      PackFolder(dir, dir / "src", "--transform='s,mwRun.lib/evil,../evil,'");
  ByteFile other(dir / "package2", escaping);
  fs::create_directory(dir / "out2");
  EXPECT_THROW(UnpackRuntimePart(other.fd, WholePart(escaping), dir / "out2"), PackerError);
  EXPECT_FALSE(fs::exists(dir / "evil"));
}

TEST(RuntimeCacheTest, FolderFollowsXdgCacheHomeThenHome) {
  const char* saved_cache = std::getenv("XDG_CACHE_HOME");
  const std::string saved_cache_text = saved_cache ? saved_cache : "";
  setenv("XDG_CACHE_HOME", "/x/cache", 1);
  EXPECT_EQ(RuntimeCacheFolder(), "/x/cache/markweaver");
  setenv("XDG_CACHE_HOME", "relative", 1);  // only an absolute path counts
  setenv("HOME", std::getenv("HOME") ? std::getenv("HOME") : "/root", 1);
  EXPECT_EQ(RuntimeCacheFolder(), std::string(std::getenv("HOME")) + "/.cache/markweaver");
  if (saved_cache)
    setenv("XDG_CACHE_HOME", saved_cache_text.c_str(), 1);
  else
    unsetenv("XDG_CACHE_HOME");
}

}  // namespace
}  // namespace mw::packer

namespace mw::packer {
namespace {

// Runs program with the environment given and nothing else; returns its exit status.
int RunWithEnvironment(const std::string& program, const std::vector<std::string>& environment) {
  std::string command = "env -i";
  for (const std::string& setting : environment) command += " '" + setting + "'";
  command += " '" + program + "' 2>/dev/null";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A damaged package reaches the person: a window program found on PATH shows the reason
// (a recording stand-in for xmessage here), the exit status is not 0, no folder is left.
TEST(FailureNoticeTest, ADamagedPackageShowsWhyInAWindow) {
  TempDir dir;
  fs::create_directories(dir / "bin");
  fs::create_directories(dir / "tmp");
  const std::string shown = dir / "shown";
  std::ofstream(dir / "bin/xmessage") << "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" << shown << "'\n";
  fs::permissions(dir / "bin/xmessage", fs::perms::owner_all);
  const std::string package = dir / "damaged.exe";
  fs::copy_file(test::BinPath("tract.dll"), package);
  std::ofstream(package, std::ios::app | std::ios::binary) << std::string(64, 'x');

  const int code = RunWithEnvironment(package, {"PATH=" + (dir / "bin"), "DISPLAY=:99",
                                                "TMPDIR=" + (dir / "tmp"), "HOME=" + dir.path()});
  EXPECT_NE(code, 0);
  std::ifstream in(shown);
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_NE(text.find("The package cannot be played."), std::string::npos) << text;
  EXPECT_NE(text.find("package"), std::string::npos);
  EXPECT_TRUE(fs::is_empty(dir / "tmp"));

  // Without a display the reason goes to stderr alone.
  fs::remove(shown);
  EXPECT_NE(RunWithEnvironment(package, {"PATH=" + (dir / "bin"), "TMPDIR=" + (dir / "tmp")}), 0);
  EXPECT_FALSE(fs::exists(shown));
}

}  // namespace
}  // namespace mw::packer
