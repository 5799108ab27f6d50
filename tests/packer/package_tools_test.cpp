// The three package tools run as real processes: build a package from a directive file as
// the editor writes it, run it, and check what the player got.
#include <gtest/gtest.h>
#include <csignal>
#include <sys/wait.h>
#include <chrono>
#include <thread>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "packer_test_support.h"

namespace mw::test {
namespace {

namespace fs = std::filesystem;

class PackageToolsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    program_ = MakeProgramFolder(root_);
    staging_ = program_ + "ptemp/";
    fs::create_directories(staging_);
    fs::create_directories(tmp_);
    fs::create_directories(out_);
    staged_["mwRun.exe"] = StageTestPlayer(staging_);
    Stage("mwRun", "MarkWeaver map\r\n");
    Stage("photo 1.jpg", RandomBytes(300000, 1));
    Stage("clip.mpg", RandomBytes(500000, 2));
    Stage("tiny-2.jpeg", RandomBytes(10, 3));
  }

  void Stage(const std::string& name, const std::string& content) {
    WriteFile(staging_ + name, content);
    staged_[name] = content;
  }

  RunResult Build(const std::string& directive) {
    return BuildFromDirective(program_, directive);
  }

  RunResult BuildWith(const std::string& message) {
    return Build(DirectiveText(package_, staging_, message, clips_));
  }

  RunRequest PackageRun(std::vector<std::string> args = {}) const {
    args.insert(args.begin(), package_);
    return {args,
            root_.path(),
            {{"TMPDIR", tmp_}, {"XDG_CACHE_HOME", cache_home_}, {"MW_PLAYER_REPORT", report_}}};
  }

  // Everything the staging folder holds, as the player would report it.
  std::map<std::string, std::string> StagedFingerprints() const {
    std::map<std::string, std::string> prints;
    for (const auto& [name, content] : staged_) prints[name] = Fingerprint(content);
    return prints;
  }

  void ExpectNoTempLeft() const {
    EXPECT_TRUE(ListFolder(tmp_).empty())
        << "left in the temporary folder: " << ListFolder(tmp_)[0];
  }

  TempDir root_;
  std::string program_;
  std::string staging_;
  std::string tmp_ = root_ / "tmp";
  std::string cache_home_ = root_ / "cache-home";
  std::string out_ = root_ / "out";
  std::string package_ = out_ + "/My package.exe";
  std::string report_ = root_ / "report";
  std::vector<std::string> clips_ = {"clip.mpg", "", "photo 1.jpg", "tiny-2.jpeg"};
  std::map<std::string, std::string> staged_;
};

TEST_F(PackageToolsTest, PackageHandsThePlayerEveryFileAndTheMessage) {
  const RunResult build = BuildWith("Welcome to the tour");
  ASSERT_EQ(build.exit_code, 0) << build.err;
  EXPECT_EQ(ListFolder(out_), std::vector<std::string>{"My package.exe"});
  struct stat info {};
  ASSERT_EQ(stat(package_.c_str(), &info), 0);
  EXPECT_TRUE(info.st_mode & S_IXUSR);

  const RunResult run = RunProgram(PackageRun());
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const PlayerReport report = ReadPlayerReport(report_);
  EXPECT_EQ(report.args, std::vector<std::string>{"Welcome to the tour"});
  EXPECT_EQ(report.files, StagedFingerprints());
  // It plays from the package's folder in the cache, kept for its later starts.
  EXPECT_EQ(report.cwd.rfind(cache_home_ + "/markweaver/pkg-", 0), 0u) << report.cwd;
  EXPECT_TRUE(Exists(report.cwd));
  ExpectNoTempLeft();
}

TEST_F(PackageToolsTest, AcceptsLfLineEndsAndRepeatedNames) {
  std::string directive = DirectiveText(package_, staging_, "m", {"clip.mpg", "clip.mpg", "0"});
  std::erase(directive, '\r');
  ASSERT_EQ(Build(directive).exit_code, 0);
  ASSERT_EQ(RunProgram(PackageRun()).exit_code, 0);
  const PlayerReport report = ReadPlayerReport(report_);
  EXPECT_EQ(report.files.size(), 3u);
  EXPECT_EQ(report.files.at("clip.mpg"), Fingerprint(staged_["clip.mpg"]));
}

TEST_F(PackageToolsTest, ReplacesAnOldPackageAndPassesOnTheExitCode) {
  WriteFile(package_, "old package");
  ASSERT_EQ(BuildWith("").exit_code, 0);
  RunRequest launch = PackageRun();
  launch.env["MW_PLAYER_EXIT"] = "5";
  EXPECT_EQ(RunProgram(launch).exit_code, 5);
  EXPECT_TRUE(ReadPlayerReport(report_).args.empty());
  ExpectNoTempLeft();
}

TEST_F(PackageToolsTest, RunsWithARelativeTemporaryFolder) {
  ASSERT_EQ(BuildWith("m").exit_code, 0);
  RunRequest launch = PackageRun();
  launch.env["TMPDIR"] = "tmp";  // relative to the package's current directory, root_
  const RunResult run = RunProgram(launch);
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(ReadPlayerReport(report_).args, std::vector<std::string>{"m"});
  ExpectNoTempLeft();
}

TEST_F(PackageToolsTest, FindsItsHelpersUnderTheirNamesAtRest) {
  WriteFile(program_ + "mwdat.dat", DirectiveText(package_, staging_, "x", clips_));
  const RunResult build =
      RunProgram({{BinPath("MarkWeaverL.dll"), "/N", "/Q", "mwdat.dat"}, program_, {}});
  ASSERT_EQ(build.exit_code, 0) << build.err;
  EXPECT_EQ(RunProgram(PackageRun()).exit_code, 0);
}

TEST_F(PackageToolsTest, ListsAndExtractsWithoutStartingThePlayer) {
  ASSERT_EQ(BuildWith("hello there").exit_code, 0);
  const RunResult list = RunProgram(PackageRun({"--list"}));
  ASSERT_EQ(list.exit_code, 0) << list.err;
  EXPECT_NE(list.out.find("photo 1.jpg"), std::string::npos);
  EXPECT_NE(list.out.find("launch line: mwRun.exe \"hello there\""), std::string::npos);

  const std::string into = root_ / "clips back";
  const RunResult extract = RunProgram(PackageRun({"--extract", into}));
  ASSERT_EQ(extract.exit_code, 0) << extract.err;
  EXPECT_FALSE(Exists(report_));
  for (const auto& [name, content] : staged_) EXPECT_EQ(ReadFile(into + "/" + name), content);
  // Beside the files: the runtime (libraries, plug-ins and its list of files).
  EXPECT_EQ(ListFolder(into).size(), staged_.size() + 4);
  EXPECT_TRUE(fs::is_directory(into + "/mwRun.lib"));
  EXPECT_TRUE(fs::is_directory(into + "/mwRun.plugins/platforms"));
  EXPECT_TRUE(fs::status(into + "/mwRun.exe").permissions() == fs::perms(0755));

  const RunResult again = RunProgram(PackageRun({"--extract", into}));
  EXPECT_NE(again.exit_code, 0);
  EXPECT_NE(again.err.find("exists already"), std::string::npos) << again.err;
  EXPECT_EQ(ListFolder(into).size(), staged_.size() + 4);
}

// Messages of every kind arrive as exactly one argument, unchanged (none when empty).
class MessageTest : public PackageToolsTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(MessageTest, ArrivesUnchanged) {
  const std::string& message = GetParam();
  const RunResult build = BuildWith(message);
  ASSERT_EQ(build.exit_code, 0) << build.err;
  ASSERT_EQ(RunProgram(PackageRun()).exit_code, 0);
  const PlayerReport report = ReadPlayerReport(report_);
  EXPECT_EQ(report.args,
            message.empty() ? std::vector<std::string>{} : std::vector<std::string>{message});
}

std::string LongMessage() {
  std::string text;
  for (int i = 0; text.size() < 64 * 1024; ++i) text += "word" + std::to_string(i) + " \"q\" ";
  return text.substr(0, 64 * 1024);
}

INSTANTIATE_TEST_SUITE_P(Kinds, MessageTest,
                         ::testing::Values("", "Enjoy  the  photos ", "say \"hi\" to \"them\"",
                                           "\"", "; $(touch /tmp/mw-hacked) `id` \\ ' | & > x",
                                           "-rf --help", " %TargetName% = [Strings]",
                                           LongMessage()));

TEST_F(PackageToolsTest, PlayerKilledBySignalLeavesNoTemporaryFolder) {
  ASSERT_EQ(BuildWith("").exit_code, 0);
  RunRequest launch = PackageRun();
  launch.env["MW_PLAYER_WAIT"] = "1";
  const pid_t pid = Start(launch, root_ / "out.txt", root_ / "err.txt");
  ASSERT_TRUE(WaitForFile(report_));
  const PlayerReport report = ReadPlayerReport(report_);
  const std::string pid_line = ReadFile(report_).substr(ReadFile(report_).find("pid ") + 4);
  ASSERT_EQ(kill(std::stoi(pid_line), SIGKILL), 0);
  EXPECT_EQ(WaitExitCode(pid), 128 + SIGKILL);
  ExpectNoTempLeft();
}

TEST_F(PackageToolsTest, TerminationIsPassedOnToThePlayer) {
  ASSERT_EQ(BuildWith("").exit_code, 0);
  RunRequest launch = PackageRun();
  launch.env["MW_PLAYER_WAIT"] = "1";
  const pid_t pid = Start(launch, root_ / "out.txt", root_ / "err.txt");
  ASSERT_TRUE(WaitForFile(report_));
  ASSERT_EQ(kill(pid, SIGTERM), 0);
  EXPECT_EQ(WaitExitCode(pid), 7);  // the test player's own answer to SIGTERM
  ExpectNoTempLeft();
}

TEST_F(PackageToolsTest, SignalIgnoredAtStartStaysIgnoredForThePlayer) {
  ASSERT_EQ(BuildWith("").exit_code, 0);
  RunRequest launch = PackageRun();
  launch.env["MW_PLAYER_WAIT"] = "1";
  // As under nohup: the package starts with hang-ups ignored.
  struct sigaction ignore {}, saved {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGHUP, &ignore, &saved);
  const pid_t pid = Start(launch, root_ / "out.txt", root_ / "err.txt");
  sigaction(SIGHUP, &saved, nullptr);
  ASSERT_TRUE(WaitForFile(report_));
  const std::string pid_line = ReadFile(report_).substr(ReadFile(report_).find("pid ") + 4);
  const pid_t player = std::stoi(pid_line);
  ASSERT_EQ(kill(pid, SIGHUP), 0);
  ASSERT_EQ(kill(player, SIGHUP), 0);
  // Neither ends: both still answer a termination, the player with its own code.
  int status = 0;
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
  while (std::chrono::steady_clock::now() < until) {
    ASSERT_EQ(waitpid(pid, &status, WNOHANG), 0) << "the package ended on a hang-up";
    std::this_thread::yield();
  }
  ASSERT_EQ(kill(pid, SIGTERM), 0);
  EXPECT_EQ(WaitExitCode(pid), 7);
  ExpectNoTempLeft();
}

// Faults of a build: each names its problem, fails, and leaves nothing in the target folder.
class BuildFaultTest : public PackageToolsTest {
 protected:
  void ExpectFailure(const RunResult& result, const std::string& text) {
    EXPECT_NE(result.exit_code, 0);
    EXPECT_NE(result.err.find(text), std::string::npos) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_TRUE(ListFolder(out_).empty());
  }
};

TEST_F(BuildFaultTest, MissingSourceFile) {
  clips_.push_back("gone.jpg");
  ExpectFailure(BuildWith("m"), staging_ + "gone.jpg");
}

TEST_F(BuildFaultTest, MissingHelperPrograms) {
  fs::remove(program_ + "makecab.exe");
  ExpectFailure(BuildWith("m"), "makecab.exe is missing");
  fs::copy_file(BinPath("kecab.dll"), program_ + "makecab.exe");
  fs::remove(program_ + "wextract.exe");
  ExpectFailure(BuildWith("m"), "wextract.exe is missing");
}

TEST_F(BuildFaultTest, MissingTargetFolder) {
  package_ = root_ / "no such folder/p.exe";
  ExpectFailure(BuildWith("m"), "target folder");
  EXPECT_FALSE(Exists(root_ / "no such folder"));
}

TEST_F(BuildFaultTest, MissingSectionOrDirectiveFile) {
  std::string directive = DirectiveText(package_, staging_, "m", clips_);
  directive.replace(directive.find("[SourceFiles0]"), 14, "[Other]");
  ExpectFailure(Build(directive), "[SourceFiles0]");
  fs::remove(program_ + "mwdat.dat");
  ExpectFailure(RunProgram({{program_ + "MarkWeaverL.dll", "/N", "/Q", "mwdat.dat"}, program_, {}}),
                "mwdat.dat");
}

TEST_F(BuildFaultTest, LaunchedProgramMustBePacked) {
  fs::remove(staging_ + "mwRun.exe");
  ExpectFailure(BuildWith("m"), "mwRun.exe");
}

TEST_F(PackageToolsTest, WrongArgumentsGiveOneLineOfUsage) {
  const std::vector<RunRequest> wrong = {
      {{program_ + "MarkWeaverL.dll"}, program_, {}},
      {{program_ + "MarkWeaverL.dll", "/N", "a", "b"}, program_, {}},
      {{program_ + "MarkWeaverL.dll", "/X", "mwdat.dat"}, program_, {}},
      {{program_ + "makecab.exe", "-o"}, program_, {}},
      {{program_ + "makecab.exe", "--bogus", "-o", "x", "f"}, program_, {}},
      {{program_ + "wextract.exe", "--extract"}, program_, {}},
      {{program_ + "wextract.exe", "--frobnicate"}, program_, {}}};
  for (const RunRequest& launch : wrong) {
    const RunResult result = RunProgram(launch);
    EXPECT_EQ(result.exit_code, 2) << launch.argv[0];
    EXPECT_EQ(result.err.rfind("usage: ", 0), 0u) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1);
  }
  const RunResult help = RunProgram({{program_ + "makecab.exe", "--help"}, program_, {}});
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_NE(help.out.find("--level"), std::string::npos);
}

// Packages are built fast, yet what compresses is still compressed.
TEST_F(PackageToolsTest, PackageCompressesWhatCompresses) {
  const std::string text = CompressibleText(2 << 20);
  Stage("notes.txt", text);
  clips_ = {"notes.txt"};
  ASSERT_EQ(BuildWith("m").exit_code, 0);
  const auto head = fs::file_size(BinPath("tract.dll")) +
                    fs::file_size(BinPath("player-runtime.tar.zst")) +
                    fs::file_size(BinPath("player-runtime-movie.tar.zst")) + 256;
  EXPECT_LT(fs::file_size(package_), head + staged_["mwRun.exe"].size() + text.size() / 2);
  ASSERT_EQ(RunProgram(PackageRun()).exit_code, 0);
  EXPECT_EQ(ReadPlayerReport(report_).files.at("notes.txt"), Fingerprint(text));
}

// A write that fails as on a full disk is named on one line and leaves nothing behind, also
// now that the writing runs behind the reading and packing.
TEST_F(PackageToolsTest, ArchiverNamesAFailedWriteAndRemovesTheArchive) {
  Stage("big.mpg", RandomBytes(3 << 20, 4));
  const std::string archive = out_ + "/archive.tar.zst";
  RunResult result;
  {
    const FileSizeLimit limit(1 << 20);
    result = RunProgram(
        {{program_ + "makecab.exe", "-o", archive, "--", staging_ + "big.mpg"}, program_, {}});
  }
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.err.rfind("kecab.dll: ", 0), 0u) << result.err;
  EXPECT_NE(result.err.find("cannot write the archive"), std::string::npos) << result.err;
  EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
  EXPECT_FALSE(Exists(archive));
}

TEST_F(PackageToolsTest, ExtractorNamesAFailedWriteAndRemovesTheFolder) {
  Stage("big.mpg", RandomBytes(3 << 20, 4));
  clips_ = {"big.mpg"};
  ASSERT_EQ(BuildWith("m").exit_code, 0);
  const std::string into = root_ / "unpacked";
  // The runtime is in the cache already, the package is not.
  ASSERT_EQ(RunProgram(PackageRun()).exit_code, 0);
  for (const std::string& name : ListFolder(cache_home_ + "/markweaver"))
    if (name.starts_with("pkg-")) fs::remove_all(cache_home_ + "/markweaver/" + name);
  fs::remove(report_);
  RunResult extract, run;
  {
    const FileSizeLimit limit(1 << 20);
    extract = RunProgram(PackageRun({"--extract", into}));
    run = RunProgram(PackageRun());
  }
  for (const RunResult& result : {extract, run}) {
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_EQ(result.err.rfind("package: cannot write big.mpg: ", 0), 0u) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
  }
  EXPECT_FALSE(Exists(into));
  EXPECT_FALSE(Exists(report_));
  ExpectNoTempLeft();
}

TEST_F(PackageToolsTest, BareExtractorSaysItCarriesNoPackage) {
  const RunResult run = RunProgram({{program_ + "wextract.exe"}, program_, {{"TMPDIR", tmp_}}});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(run.err.find("no package"), std::string::npos) << run.err;
  ExpectNoTempLeft();
}

}  // namespace
}  // namespace mw::test
