// The pieces of the package tools on their own: directive file, launch line, trailer, and
// the archive round trip with its limits.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <string_view>
#include <thread>

#include "packer/archive_packer.h"
#include "packer/background_writer.h"
#include "packer/compressibility.h"
#include "packer/directive_file.h"
#include "packer/launch_line.h"
#include "packer/package_trailer.h"
#include "packer/packer_error.h"
#include "packer/safe_extract.h"
#include "packer_test_support.h"

namespace mw::packer {
namespace {

using test::DirectiveText;
using test::TempDir;

std::vector<std::string> Names(const PackageDirective& directive) {
  std::vector<std::string> names;
  for (const SourceFile& file : directive.files) names.push_back(file.name);
  return names;
}

TEST(DirectiveFileTest, ReadsTheEditorsDirectiveFile) {
  const auto directive =
      ParseDirectiveText(DirectiveText("/home/u/Packages/Tour 1.exe", "/opt/mw/ptemp/",
                                       "say \"hi\" 100%", {"b c.jpg", "", "0", "d.mpg"}));
  EXPECT_EQ(directive.target, "/home/u/Packages/Tour 1.exe");
  EXPECT_EQ(directive.launch_line, "mwRun.exe \"say \"hi\" 100%\"");
  EXPECT_EQ(Names(directive), (std::vector<std::string>{"mwRun.exe", "mwRun", "b c.jpg", "d.mpg"}));
  for (const SourceFile& file : directive.files) EXPECT_EQ(file.folder, "/opt/mw/ptemp/");
}

TEST(DirectiveFileTest, EmptyMessageKeepsTheTrailingBlankAndLfWorks) {
  std::string text = DirectiveText("p.exe", "s/", "", {"a.jpg"});
  std::erase(text, '\r');
  const auto directive = ParseDirectiveText(text);
  EXPECT_EQ(directive.launch_line, "mwRun.exe ");
  EXPECT_EQ(directive.target, "p.exe");
}

TEST(DirectiveFileTest, SameNameTwiceIsPackedOnce) {
  const auto directive = ParseDirectiveText(DirectiveText("p.exe", "s/", "", {"a.jpg", "a.jpg"}));
  EXPECT_EQ(Names(directive), (std::vector<std::string>{"mwRun.exe", "mwRun", "a.jpg"}));
}

TEST(DirectiveFileTest, KeysAndSectionsIgnoreLetterCase) {
  const auto directive = ParseDirectiveText(
      "[options]\nTARGETNAME=%tn%\nappLaunched=%AL%\nSourceFiles=SF\n[STRINGS]\nTN=\"x.exe\"\n"
      "AL=run me\n[sf]\nsourcefiles0=/f/\n[SourceFiles0]\nrun\n");
  EXPECT_EQ(directive.target, "x.exe");
  EXPECT_EQ(directive.launch_line, "run me");
  EXPECT_EQ(Names(directive), std::vector<std::string>{"run"});
}

TEST(DirectiveFileTest, UnusableFilesNameTheirProblem) {
  const std::string good = DirectiveText("p.exe", "s/", "m", {"a.jpg"});
  auto without = [&](const std::string& line) {
    std::string text = good;
    text.erase(text.find(line), line.size() + 2);
    return text;
  };
  auto error_of = [](const std::string& text) {
    try {
      ParseDirectiveText(text);
    } catch (const PackerError& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  EXPECT_EQ(error_of(without("[Strings]")), "the directive file has no [Strings] section");
  EXPECT_EQ(error_of(without("[SourceFiles0]")),
            "the directive file has no [SourceFiles0] section");
  EXPECT_EQ(error_of(without("TargetName=p.exe")), "%TargetName% is not defined in [Strings]");
  EXPECT_EQ(error_of(without("AppLaunched=%AppLaunched%")), "[Options] has no AppLaunched setting");
  EXPECT_EQ(error_of("Key=value\n[Options]\n"), "line 1 stands before any section");
  EXPECT_EQ(error_of(good + "[Strings]\r\n"), "the section [Strings] appears twice");
  std::string slash = good;
  slash.replace(slash.find("\"a.jpg\""), 7, "\"../a.jpg\"");
  EXPECT_EQ(error_of(slash), "\"../a.jpg\" is not a plain file name");
  std::string clash = good + "[SourceFiles]\r\n";
  EXPECT_NE(error_of(clash), "no error");
}

TEST(LaunchLineTest, MessageIsOneArgumentWithItsEnclosingQuotesRemoved) {
  EXPECT_EQ(ParseLaunchLine("mwRun.exe ").arguments, std::vector<std::string>{});
  EXPECT_EQ(ParseLaunchLine("mwRun.exe").arguments, std::vector<std::string>{});
  EXPECT_EQ(ParseLaunchLine("mwRun.exe \"\"").arguments, std::vector<std::string>{""});
  EXPECT_EQ(ParseLaunchLine("mwRun.exe \"a \"b\" c \"").arguments,
            std::vector<std::string>{"a \"b\" c "});
  EXPECT_EQ(ParseLaunchLine("mwRun.exe \"\"\"").arguments, std::vector<std::string>{"\""});
  EXPECT_EQ(ParseLaunchLine("mwRun.exe  two").arguments, std::vector<std::string>{" two"});
  EXPECT_EQ(ParseLaunchLine("\"my player\" x").program, "my player");
  EXPECT_THROW(ParseLaunchLine("../mwRun.exe x"), PackerError);
  EXPECT_THROW(ParseLaunchLine("/bin/sh -c x"), PackerError);
  EXPECT_THROW(ParseLaunchLine(" "), PackerError);
  EXPECT_NO_THROW(ParseLaunchLine("p \"" + std::string(kMaxArgumentBytes, 'x') + "\""));
  EXPECT_THROW(ParseLaunchLine("p \"" + std::string(kMaxArgumentBytes + 1, 'x') + "\""),
               PackerError);
}

class ArchiveRoundTripTest : public ::testing::Test {
 protected:
  std::string Pack(const std::vector<std::pair<std::string, std::string>>& files,
                   const std::vector<std::string>& more_paths = {},
                   const PackOptions& options = {}) {
    std::vector<std::string> paths;
    for (const auto& [name, content] : files) {
      test::WriteFile(src_ / name, content);
      paths.push_back(src_ / name);
    }
    paths.insert(paths.end(), more_paths.begin(), more_paths.end());
    const std::string archive = out_ / "archive";
    const int fd = open(archive.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    PackFiles(fd, paths, options);
    close(fd);
    return archive;
  }

  std::vector<PackedFile> Read(const std::string& archive, int dir_fd, ExtractLimits limits = {}) {
    return ReadAt(archive, 0, std::filesystem::file_size(archive), dir_fd, limits);
  }

  // Reads the archive that lies at offset in the file, size bytes long.
  std::vector<PackedFile> ReadAt(const std::string& file, std::uint64_t offset, std::uint64_t size,
                                 int dir_fd, ExtractLimits limits = {}) {
    const int fd = open(file.c_str(), O_RDONLY);
    try {
      auto files = ReadArchive({fd, offset, size, {}}, dir_fd, limits);
      close(fd);
      return files;
    } catch (...) {
      close(fd);
      throw;
    }
  }

  TempDir src_, out_;
};

// Compressed and plain archives alike; a name beyond tar's 100 bytes needs a pax header.
TEST_F(ArchiveRoundTripTest, KeepsBytesNamesAndPermissionsLessSetId) {
  const std::string latin1_name = "caf\xE9 photo.jpg";  // not UTF-8: stored as raw bytes
  const std::string long_name = std::string(150, 'l') + ".mpg";
  test::WriteFile(src_ / "mwRun.exe", "player");
  chmod((src_ / "mwRun.exe").c_str(), 04751);
  for (const Compression compression : {Compression::kAlways, Compression::kNever}) {
    const std::string archive = Pack({{latin1_name, test::RandomBytes(3 << 20, 5)},
                                      {"empty", ""},
                                      {long_name, test::RandomBytes(1000, 6)}},
                                     {src_ / "mwRun.exe"}, {1, 0, compression});
    const TempDir into;
    const int dir = open(into.path().c_str(), O_RDONLY | O_DIRECTORY);
    const auto files = Read(archive, dir);
    close(dir);
    ASSERT_EQ(files.size(), 4u);
    EXPECT_EQ(files[0].name, latin1_name);
    EXPECT_EQ(test::ReadFile(into / latin1_name), test::ReadFile(src_ / latin1_name));
    EXPECT_EQ(test::ReadFile(into / "empty"), "");
    EXPECT_EQ(test::ReadFile(into / long_name), test::RandomBytes(1000, 6));
    EXPECT_EQ(files[3].permissions, 0751u);
    struct stat info {};
    ASSERT_EQ(stat((into / "mwRun.exe").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0751u);
  }
}

TEST_F(ArchiveRoundTripTest, LimitsOnCountAndSizeHold) {
  const std::string archive = Pack({{"a", "12345"}, {"b", "678"}, {"c", ""}});
  EXPECT_EQ(Read(archive, -1, {3, 8}).size(), 3u);
  EXPECT_THROW(Read(archive, -1, {2, 100}), PackerError);
  EXPECT_THROW(Read(archive, -1, {10, 7}), PackerError);
}

TEST_F(ArchiveRoundTripTest, PackerRefusesWhatItCannotPackFaithfully) {
  test::WriteFile(src_ / "a", "x");
  std::filesystem::create_directory(out_ / "d");
  test::WriteFile(out_ / "d/a", "y");
  const int fd = open((out_ / "archive").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  EXPECT_THROW(PackFiles(fd, {src_ / "a", out_ / "d/a"}, {}), PackerError);  // same bare name
  EXPECT_THROW(PackFiles(fd, {src_ / "missing"}, {}), PackerError);
  EXPECT_THROW(PackFiles(fd, {out_ / "d"}, {}), PackerError);  // a folder
  close(fd);
}

// Contents around the sizes of the blocks the archive is written and read in, compressed at
// a fast level and at the archiver's default, and plain, come back byte for byte.
TEST_F(ArchiveRoundTripTest, FilesOfEverySizeComeBackByteForByte) {
  std::vector<std::pair<std::string, std::string>> files;
  const std::size_t sizes[] = {0, 1, 4095, 4097, 131071, 131072, 131073, (1 << 20) + 1, 5 << 20};
  for (const std::size_t size : sizes) {
    files.emplace_back("photo " + std::to_string(size) + ".jpg", test::RandomBytes(size, 7));
  }
  const std::string text = test::CompressibleText(2 << 20);
  files.emplace_back("mwRun", text);
  for (const PackOptions options :
       {PackOptions{-5, 0}, PackOptions{1, 0}, PackOptions{1, 0, Compression::kNever}}) {
    const std::string archive = Pack(files, {}, options);
    const TempDir into;
    const int dir = open(into.path().c_str(), O_RDONLY | O_DIRECTORY);
    const auto packed = Read(archive, dir);
    close(dir);
    ASSERT_EQ(packed.size(), files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
      EXPECT_EQ(packed[i].name, files[i].first);
      EXPECT_EQ(packed[i].size, files[i].second.size());
      EXPECT_TRUE(test::ReadFile(into / files[i].first) == files[i].second) << files[i].first;
    }
  }
}

// The archive is read from its span only, at an offset that is no multiple of a memory page,
// and a span that claims more than the file holds is refused rather than read past its end.
TEST_F(ArchiveRoundTripTest, ReadsItsSpanAndNoByteBeyond) {
  const std::string archive = test::ReadFile(Pack({{"clip.mpg", test::RandomBytes(300000, 8)}}));
  const std::string head = test::RandomBytes(1000, 9), tail = test::RandomBytes(5000, 10);
  test::WriteFile(out_ / "package", head + archive + tail);
  const TempDir into;
  const int dir = open(into.path().c_str(), O_RDONLY | O_DIRECTORY);
  EXPECT_EQ(ReadAt(out_ / "package", head.size(), archive.size(), dir).size(), 1u);
  EXPECT_EQ(test::ReadFile(into / "clip.mpg"), test::RandomBytes(300000, 8));
  close(dir);
  const std::uint64_t past_end = archive.size() + tail.size() + 100;
  EXPECT_THROW(ReadAt(out_ / "package", head.size(), past_end, -1), PackerError);
}

// A plain archive written into a pipe, where the kernel cannot copy by itself, has the bytes
// of one written into a file.
TEST_F(ArchiveRoundTripTest, PlainArchiveIntoAPipeIsTheSameAsIntoAFile) {
  const std::string into_file = test::ReadFile(
      Pack({{"a.jpg", test::RandomBytes(300001, 1)}, {"b.jpg", test::RandomBytes(5, 2)}}, {},
           {1, 0, Compression::kNever}));
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  std::string into_pipe;
  std::thread reader([&into_pipe, fd = ends[0]] {
    char buffer[65536];
    for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0;) into_pipe.append(buffer, got);
  });
  PackFiles(ends[1], {src_ / "a.jpg", src_ / "b.jpg"}, {1, 0, Compression::kNever});
  close(ends[1]);
  reader.join();
  close(ends[0]);
  EXPECT_TRUE(into_pipe == into_file);
  EXPECT_EQ(into_file.size() % 512, 0u);
}

// Only what pays for it is compressed: photos and movies are packed as they are, text is not.
TEST_F(ArchiveRoundTripTest, CompressesOnlyWhenSamplesShowItIsWorthwhile) {
  test::WriteFile(src_ / "photo.jpg", test::RandomBytes(4 << 20, 3));
  test::WriteFile(src_ / "notes.txt", test::CompressibleText(1 << 20));
  test::WriteFile(src_ / "mwRun", "small map\r\n");
  EXPECT_FALSE(WorthCompressing({src_ / "photo.jpg", src_ / "mwRun"}));
  EXPECT_TRUE(WorthCompressing({src_ / "notes.txt", src_ / "mwRun"}));
  // A little text beside a big photo saves too little of the whole.
  test::WriteFile(src_ / "note.txt", test::CompressibleText(20000));
  EXPECT_FALSE(WorthCompressing({src_ / "photo.jpg", src_ / "note.txt"}));
  EXPECT_FALSE(WorthCompressing({src_ / "missing"}));
  EXPECT_FALSE(WorthCompressing({}));

  const PackOptions by_content{1, 0, Compression::kWhenWorthwhile};
  const auto starts_compressed = [&](const std::vector<std::string>& paths) {
    const int fd = open((out_ / "archive").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    PackFiles(fd, paths, by_content);
    close(fd);
    return test::ReadFile(out_ / "archive").rfind("\x28\xB5\x2F\xFD", 0) == 0;  // zstd
  };
  EXPECT_FALSE(starts_compressed({src_ / "photo.jpg", src_ / "mwRun"}));
  EXPECT_TRUE(starts_compressed({src_ / "notes.txt", src_ / "mwRun"}));
}

void WriteAllTo(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write(fd, bytes.data(), bytes.size());
    ASSERT_GT(written, 0);
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

TEST(BackgroundWriterTest, WritesCopiesOfTheBytesInTheOrderQueued) {
  const TempDir dir;
  const int fd = open((dir / "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::string expected;
  std::vector<int> steps;  // touched by the writer's thread only until Finish returns
  {
    BackgroundWriter writer;
    for (int i = 0; i < 300; ++i) {
      std::string block = test::RandomBytes(1 + 997 * static_cast<std::size_t>(i), i);
      writer.Write(block.data(), block.size(),
                   [fd](std::string_view bytes) { WriteAllTo(fd, bytes); });
      if (i % 50 == 0) writer.Then([&steps, i] { steps.push_back(i); });
      expected += block;
      block.assign(block.size(), 'x');  // the writer holds its own copy
    }
    writer.Finish();
  }
  close(fd);
  EXPECT_TRUE(test::ReadFile(dir / "out") == expected);
  EXPECT_EQ(steps, (std::vector<int>{0, 50, 100, 150, 200, 250}));
}

TEST(BackgroundWriterTest, FirstFailureDropsTheRestAndIsThrownAgain) {
  std::atomic<int> ran_after_failure = 0;
  std::string error;
  BackgroundWriter writer;
  writer.Then([] { throw PackerError("cannot write a.jpg: No space left on device"); });
  try {
    // Queuing after the failure throws it at once, or the step is dropped with the rest.
    for (int i = 0; i < 100; ++i) writer.Then([&] { ++ran_after_failure; });
  } catch (const PackerError& e) {
    error = e.what();
  }
  EXPECT_TRUE(error.empty() || error == "cannot write a.jpg: No space left on device") << error;
  EXPECT_THROW(writer.Finish(), PackerError);
  EXPECT_THROW(writer.Write("x", 1, [](std::string_view) {}), PackerError);
  EXPECT_EQ(ran_after_failure, 0);
}

TEST(PackageTrailerTest, RoundTripAndMismatch) {
  const TempDir dir;
  const std::string head = "HEAD", archive = "ARCHIVE", launch = "mwRun.exe \"m\"";
  const auto trailer = EncodeTrailer(
      {head.size(), archive.size(), launch.size(), HashOfBytes(archive), HashOfBytes(launch)});
  const std::string bytes =
      head + archive + launch +
      std::string(reinterpret_cast<const char*>(trailer.data()), kTrailerSize);
  auto layout_of = [&](const std::string& content) {
    test::WriteFile(dir / "p", content);
    const int fd = open((dir / "p").c_str(), O_RDONLY);
    try {
      PackageLayout layout = ReadPackageLayout(fd);
      close(fd);
      return layout;
    } catch (...) {
      close(fd);
      throw;
    }
  };
  const PackageLayout layout = layout_of(bytes);
  EXPECT_EQ(layout.archive_offset, 4u);
  EXPECT_EQ(layout.archive_size, 7u);
  EXPECT_EQ(layout.launch_line, launch);
  EXPECT_THROW(layout_of("x" + bytes), PackerError);
  EXPECT_THROW(layout_of(bytes.substr(1)), PackerError);
  EXPECT_THROW(layout_of("short"), PackerError);
}

}  // namespace
}  // namespace mw::packer

namespace mw::packer {
namespace {

TEST(PrintableTest, ControlCharactersOfHostileNamesAreShownAsCodes) {
  EXPECT_EQ(Printable("hall.jpg"), "hall.jpg");
  EXPECT_EQ(Printable("a\x1b[31mb\nfake line"), "a\\x1b[31mb\\x0afake line");
  EXPECT_EQ(Printable(std::string("x\0y\x7f", 4)), "x\\x00y\\x7f");
  EXPECT_EQ(Printable("caf\xC3\xA9"), "caf\xC3\xA9");  // letters of other scripts stay
  // The 8-bit controls (CSI alone, or as UTF-8) and bytes that are no UTF-8 are codes too.
  EXPECT_EQ(Printable("a\x9b"
                      "2Kb"),
            "a\\x9b2Kb");
  EXPECT_EQ(Printable("a\xC2\x9b"
                      "2K"),
            "a\\xc2\\x9b2K");
  EXPECT_EQ(Printable("\xC3(\xE2\x82"), "\\xc3(\\xe2\\x82");
  EXPECT_EQ(Printable("\xED\xA0\x80\xF0\x9F\x98\x80"), "\\xed\\xa0\\x80\xF0\x9F\x98\x80");
  // Bidirectional controls, which turn the rest of a line around, are codes as well;
  // right-to-left letters stay.
  EXPECT_EQ(Printable("gpj.\xE2\x80\xAE"
                      "exe"),
            "gpj.\\u202eexe");
  EXPECT_EQ(Printable("\xE2\x81\xA6x\xE2\x81\xA9\xD8\x9C\xE2\x80\x8F"),
            "\\u2066x\\u2069\\u061c\\u200f");
  EXPECT_EQ(Printable("\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D"), "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D");
}

TEST(PrintableTest, NamesInMessagesAreCutAfter200Characters) {
  EXPECT_EQ(PrintableName(std::string(200, 'n')), std::string(200, 'n'));
  EXPECT_EQ(PrintableName(std::string(201, 'n')), std::string(200, 'n') + "...");
  // A character is one letter or one code, never cut in the middle.
  const std::string accents = std::string(199, 'n') + "\xC3\xA9\xC3\xA9";
  EXPECT_EQ(PrintableName(accents), std::string(199, 'n') + "\xC3\xA9...");
  EXPECT_EQ(PrintableName(std::string(199, 'n') + "\x1b\x1b"), std::string(199, 'n') + "\\x1b...");
}

}  // namespace
}  // namespace mw::packer
