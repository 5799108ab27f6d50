// A runtime part of several zstd frames, each a tar stream of its own, unpacked a frame to a
// thread: the same files as the part of one frame, and every rule kept across the frames.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <zstd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "packer/package_trailer.h"
#include "packer/packer_error.h"
#include "packer/runtime_unpack.h"
#include "packer/zstd_frames.h"
#include "packer_test_support.h"

namespace fs = std::filesystem;

namespace mw::packer {
namespace {

using test::CommandOutput;
using test::TempDir;

constexpr std::size_t kBlock = 512;

// The folder as a tar stream, as the build packs the runtime (records of one block, so that
// its end is the two empty blocks alone); with names, only the entries named.
std::string TarOf(const std::string& folder, const std::string& names = "") {
  return CommandOutput("tar -C '" + folder + "' -b1 --sort=name --owner=0 --group=0 " +
                       "--numeric-owner --mtime=@0 -cf - " +
                       (names.empty() ? "." : "--no-recursion " + names));
}

// The stream without its two empty end blocks: a tar stream that goes on in the next frame.
std::string WithoutEnd(const std::string& tar) {
  return tar.substr(0, tar.size() - 2 * kBlock);
}

// The member that begins at start, header and content, by the size its header gives.
std::string MemberAt(const std::string& tar, std::size_t start) {
  const std::size_t size = std::strtoull(tar.substr(start + 124, 12).c_str(), nullptr, 8);
  return tar.substr(start, kBlock + (size + kBlock - 1) / kBlock * kBlock);
}

// Where each member of a tar stream begins; the end blocks not counted.
std::vector<std::size_t> MemberStarts(const std::string& tar) {
  std::vector<std::size_t> starts;
  for (std::size_t at = 0; at + kBlock <= tar.size() && tar[at] != '\0';) {
    starts.push_back(at);
    at += MemberAt(tar, at).size();
  }
  return starts;
}

std::string Frame(const std::string& bytes) {
  std::string out(ZSTD_compressBound(bytes.size()), '\0');
  const std::size_t size = ZSTD_compress(out.data(), out.size(), bytes.data(), bytes.size(), 3);
  EXPECT_FALSE(ZSTD_isError(size));
  out.resize(size);
  return out;
}

// A runtime folder of two library folders and files large enough for several zstd blocks.
void MakeRuntimeFolder(const std::string& root) {
  fs::create_directories(root + "/mwRun.lib");
  fs::create_directories(root + "/mwRun.plugins/platforms");
  test::WriteFile(root + "/mwRun.lib/libA.so.1", test::RandomBytes(300000, 1));
  test::WriteFile(root + "/mwRun.lib/libB.so.2", test::CompressibleText(400000));
  test::WriteFile(root + "/mwRun.lib/libC.so.3", "c");
  test::WriteFile(root + "/mwRun.plugins/platforms/libqxcb.so", test::RandomBytes(5000, 2));
}

// The tar cut before the member at each of cuts, each piece its own frame. Every piece after
// the first begins with the headers of the folders named before it, as the build lays them.
std::string FramesCutAt(const std::string& tar, const std::vector<std::size_t>& cuts) {
  std::string folders, part;  // the headers of the folders named before the piece
  std::size_t from = 0;
  for (const std::size_t cut : cuts) {
    part += Frame(folders + tar.substr(from, cut - from));
    for (const std::size_t start : MemberStarts(tar.substr(0, cut)))
      if (start >= from && tar[start + 156] == '5') folders += MemberAt(tar, start);
    from = cut;
  }
  return part + Frame(folders + tar.substr(from));
}

// The part's bytes laid in a package file.
struct PartFile {
  PartFile(const std::string& path, const std::string& bytes) : bytes(bytes) {
    test::WriteFile(path, "head" + bytes);
    fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  }
  ~PartFile() { close(fd); }
  RuntimePart part() const { return {4, bytes.size(), HashOfBytes(bytes)}; }
  std::size_t frames() const { return ZstdFramesOf({fd, 4, bytes.size(), std::nullopt}).size(); }
  std::string bytes;
  int fd = -1;
};

// Every file under root with its content, by name.
std::map<std::string, std::string> FilesUnder(const std::string& root) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(root))
    if (entry.is_regular_file())
      files[fs::relative(entry.path(), root).string()] = test::ReadFile(entry.path());
  return files;
}

// Unpacks the part into a fresh folder; returns the PackerError's text, empty when none.
std::string UnpackError(const TempDir& dir, const PartFile& file, const std::string& name) {
  fs::create_directory(dir / name);
  try {
    UnpackRuntimePart(file.fd, file.part(), dir / name);
  } catch (const RuntimeWriteError& e) {
    return std::string("write error: ") + e.what();
  } catch (const PackerError& e) {
    EXPECT_FALSE(fs::exists(dir / (name + "/.complete"))) << e.what();
    return e.what();
  }
  return "";
}

std::string UnpackError(const TempDir& dir, const std::string& bytes, const std::string& name) {
  return UnpackError(dir, PartFile(dir / (name + ".exe"), bytes), name);
}

class RuntimeFramesTest : public testing::Test {
 protected:
  void SetUp() override {
    MakeRuntimeFolder(dir / "src");
    tar = TarOf(dir / "src");
    starts = MemberStarts(tar);
  }
  // The start of the member named name.
  std::size_t StartOf(const std::string& name) const {
    for (const std::size_t start : starts)
      if (tar.substr(start, name.size() + 1) == name + '\0') return start;
    ADD_FAILURE() << name;
    return 0;
  }

  TempDir dir;
  std::string tar;
  std::vector<std::size_t> starts;
};

TEST_F(RuntimeFramesTest, SeveralFramesUnpackToTheFilesOfOne) {
  ASSERT_EQ(starts.size(), 8u) << "./, three folders and four files";
  ASSERT_EQ(UnpackError(dir, Frame(tar), "one"), "");
  const auto one = FilesUnder(dir / "one");
  ASSERT_EQ(one.size(), 5u);  // the four files and the list of them

  const std::string two = FramesCutAt(tar, {StartOf("./mwRun.lib/libB.so.2")});
  const std::string three =
      FramesCutAt(tar, {StartOf("./mwRun.lib/libB.so.2"), StartOf("./mwRun.plugins/")});
  for (const auto& [name, bytes] : {std::pair{"two", two}, std::pair{"three", three}}) {
    const PartFile file(dir / (std::string(name) + ".exe"), bytes);
    EXPECT_EQ(file.frames(), bytes == two ? 2u : 3u);
    ASSERT_EQ(UnpackError(dir, file, name), "") << name;
    EXPECT_EQ(FilesUnder(dir / name), one) << name;  // the list of files too, line for line
    EXPECT_TRUE(IsCompleteRuntimeFolder(dir / name));
  }
  // A sequential reader takes the frames as one tar stream.
  test::WriteFile(dir / "two.tar.zst", two);
  EXPECT_EQ(CommandOutput("zstd -dc '" + dir / "two.tar.zst" + "' | tar -tf - | sort -u | wc -l"),
            "8\n");
}

TEST_F(RuntimeFramesTest, FindsFramesOnlyWhereEachHoldsContent) {
  const std::string frames = Frame("a") + Frame("b");
  EXPECT_EQ(PartFile(dir / "frames", frames).frames(), 2u);
  // Bytes past the frames, or a skippable frame, leave the part to be read as one stream.
  EXPECT_EQ(PartFile(dir / "junk", frames + "junk").frames(), 1u);
  const std::string skippable("\x50\x2a\x4d\x18\x00\x00\x00\x00", 8);
  EXPECT_EQ(PartFile(dir / "skipping", Frame("a") + skippable + Frame("b")).frames(), 1u);
}

TEST_F(RuntimeFramesTest, DamageInTheSecondFrameIsNamedAsDamage) {
  std::string two = FramesCutAt(tar, {StartOf("./mwRun.lib/libB.so.2")});
  const PartFile honest(dir / "honest", two);
  const std::size_t second =
      ZstdFramesOf({honest.fd, 4, two.size(), std::nullopt}).at(1).offset - 4;
  two[second + (two.size() - second) / 2] ^= 0x10;
  const PartFile file(dir / "damaged.exe", two);
  fs::create_directory(dir / "out");
  const RuntimePart part = honest.part();  // the check of the bytes as they were packed
  try {
    UnpackRuntimePart(file.fd, part, dir / "out");
    ADD_FAILURE() << "a damaged part was unpacked";
  } catch (const PackerError& e) {
    EXPECT_NE(std::string(e.what()).find("damaged"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(fs::exists(dir / "out/.complete"));

  // Frames that unpack cleanly but are not the bytes the check was made of.
  RuntimePart other = honest.part();
  other.hash ^= 1;
  fs::create_directory(dir / "out2");
  try {
    UnpackRuntimePart(honest.fd, other, dir / "out2");
    ADD_FAILURE() << "a part that does not match its check was unpacked";
  } catch (const PackerError& e) {
    EXPECT_NE(std::string(e.what()).find("damaged"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(fs::exists(dir / "out2/.complete"));
}

TEST_F(RuntimeFramesTest, RefusesAFrameThatIsNoTarStreamOfItsOwn) {
  // A second frame that begins inside libB's content.
  const std::size_t inside = StartOf("./mwRun.lib/libB.so.2") + 40 * kBlock;
  const std::string cut_inside = Frame(tar.substr(0, inside)) + Frame(tar.substr(inside));
  const std::string mid_member = UnpackError(dir, cut_inside, "mid");
  EXPECT_NE(mid_member.find("is refused"), std::string::npos) << mid_member;
  EXPECT_EQ(mid_member.find("does not match its check"), std::string::npos) << mid_member;

  const std::string cut = tar.substr(0, StartOf("./mwRun.lib/libB.so.2"));
  const std::string no_tar = UnpackError(dir, Frame(cut) + Frame(test::RandomBytes(3000, 5)), "x");
  EXPECT_NE(no_tar.find("is refused"), std::string::npos) << no_tar;
  // Nor may a frame lean on a folder that only another frame names.
  const std::string unnamed =
      UnpackError(dir, Frame(cut) + Frame(tar.substr(StartOf("./mwRun.lib/libB.so.2"))), "unnamed");
  EXPECT_NE(unnamed.find("comes before its folder"), std::string::npos) << unnamed;
}

TEST_F(RuntimeFramesTest, AFileInBothFramesIsRefusedAFolderInBothIsOne) {
  const std::size_t libB = StartOf("./mwRun.lib/libB.so.2");
  const std::string head = tar.substr(0, StartOf("./mwRun.lib/") + kBlock);  // ./, mwRun.lib/
  // The second frame names libA.so.1 again.
  const std::string again =
      Frame(tar.substr(0, libB)) + Frame(head + tar.substr(StartOf("./mwRun.lib/libA.so.1")));
  const std::string twice = UnpackError(dir, again, "twice");
  EXPECT_NE(twice.find("named twice"), std::string::npos) << twice;
  // A folder where the first frame put a file.
  fs::create_directories(dir / "clash/mwRun.lib/libA.so.1");
  const std::string folder_header = MemberAt(TarOf(dir / "clash", "./mwRun.lib/libA.so.1"), 0);
  const std::string folder =
      Frame(tar.substr(0, libB)) + Frame(head + folder_header + tar.substr(libB));
  const std::string clash = UnpackError(dir, folder, "clash");
  EXPECT_NE(clash.find("named twice"), std::string::npos) << clash;
}

TEST_F(RuntimeFramesTest, LimitsHoldForThePartAsAWhole) {
  // 1001 files a frame: each frame keeps the limit of 2000 entries, the two together do not.
  for (const std::string half : {"a", "b"}) {
    fs::create_directories(dir / ("many/" + half));
    for (int k = 0; k < 1001; ++k)
      test::WriteFile(dir / ("many/" + half + "/" + std::to_string(k)), "");
  }
  const std::string a = TarOf(dir / "many", "./a $(cd '" + dir / "many" + "' && ls -d a/*)");
  const std::string b = TarOf(dir / "many", "./b $(cd '" + dir / "many" + "' && ls -d b/*)");
  ASSERT_EQ(UnpackError(dir, Frame(a), "a"), "");
  const std::string both = UnpackError(dir, Frame(WithoutEnd(a)) + Frame(b), "both");
  EXPECT_NE(both.find("too many files"), std::string::npos) << both;
}

TEST_F(RuntimeFramesTest, AFailureToWriteInEitherFrameReachesTheCaller) {
  // libB, too large to be written, in the first frame or in the second.
  const PartFile first(dir / "first.exe", FramesCutAt(tar, {StartOf("./mwRun.lib/libC.so.3")}));
  const PartFile second(dir / "second.exe", FramesCutAt(tar, {StartOf("./mwRun.lib/libB.so.2")}));
  const test::FileSizeLimit limit(350000);
  for (const auto* file : {&first, &second}) {
    const std::string error = UnpackError(dir, *file, file == &first ? "first" : "second");
    EXPECT_EQ(error.rfind("write error: ", 0), 0u) << error;
  }
}

// The parts the build gathers have two frames each and unpack to what tar unpacks from them.
TEST(GatheredRuntimeTest, EachPartHasTwoFramesAndUnpacksWhole) {
  for (const char* name : {"player-runtime.tar.zst", "player-runtime-movie.tar.zst"}) {
    const TempDir dir;
    const std::string path = test::BinPath(name);
    const PartFile file(dir / "package", test::ReadFile(path));
    EXPECT_EQ(file.frames(), 2u) << name;
    fs::create_directories(dir / "ours");
    fs::create_directories(dir / "tar");
    UnpackRuntimePart(file.fd, file.part(), dir / "ours");
    CommandOutput("tar --zstd -xf '" + path + "' -C '" + dir / "tar" + "'");
    auto ours = FilesUnder(dir / "ours");
    EXPECT_EQ(ours.erase(".complete"), 1u) << name;
    const auto theirs = FilesUnder(dir / "tar");
    EXPECT_GT(theirs.size(), 20u) << name;
    EXPECT_TRUE(ours == theirs) << name;
    // Whole records of 20 blocks, so that tar reading from a pipe takes every byte and the
    // decompressor before it never meets a closed pipe.
    EXPECT_EQ(std::stoul(CommandOutput("zstd -dc '" + path + "' | wc -c")) % (20 * 512), 0u)
        << name;
  }
}

}  // namespace
}  // namespace mw::packer
