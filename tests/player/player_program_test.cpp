// The built player run as a package runs it: as mwRun.exe in its folder, as a process.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>
#include <filesystem>

#include "../support/hostile_clips.h"
#include "../support/loopback_server.h"
#include "player_folder.h"
#include "start_report_reader.h"

namespace mw {
namespace {

class PlayerProgramTest : public ::testing::Test {
 protected:
  test::PlayerRun Run(const QStringList& arguments) {
    test::InstallPlayerAsPackageDoes(folder.Path());
    return test::RunPlayerProgram(folder.File("mwRun.exe"), arguments, folder.Path(),
                                  reports.filePath("report").toStdString());
  }
  test::PlayerFolder folder;
  QTemporaryDir reports;
};

TEST_F(PlayerProgramTest, FindsItsDataFileByItsOwnNameAndShowsTheMessageGiven) {
  folder.MakeTour();
  const QString message = "-Welcome \"home\"; $(rm -rf x) `ls` \\ 'quoted'";
  test::PlayerRun run = Run({message});
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0) << run.errorOutput;
  EXPECT_EQ(run.report["clip"], "hall.jpg");
  EXPECT_EQ(run.report["kind"], "photo");
  EXPECT_EQ(run.report["window"], "640x480");
  EXPECT_EQ(run.report["message"], message.toStdString());
  EXPECT_EQ(run.report["folder"], folder.Path());
  EXPECT_GT(std::stoll(run.report["painted_ns"]), std::stoll(run.report["started_ns"]));
}

TEST_F(PlayerProgramTest, WithoutAnArgumentNoMessageShows) {
  folder.MakeTour();
  test::PlayerRun run = Run({});
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.report["clip"], "hall.jpg");
  EXPECT_EQ(run.report["message"], "");
}

TEST_F(PlayerProgramTest, AMissingDataFileIsToldAndThePlayerRuns) {
  test::PlayerRun run = Run({"Hello"});
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.report["kind"], "none");
  EXPECT_EQ(run.report["caption"],
            "This package cannot be played: its map file \"mwRun\" is missing.");
  EXPECT_EQ(run.report["message"], "Hello");
}

TEST_F(PlayerProgramTest, AMovieStartClipIsReportedOnceItsFirstFrameIsPainted) {
  folder.AddTourClips();
  folder.WriteMap({test::Mark(test::kMovie, 0.5f, 0.5f, 10, test::kHall, "Hall")}, {320, 240});
  test::PlayerRun run = Run({});
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.report["kind"], "movie");
  EXPECT_EQ(run.report["window"], "320x240");
}

// A movie library that the loader refuses (a library it needs is missing) is the player's
// fault, not the clip's: the caption says so with the loader's reason.
TEST_F(PlayerProgramTest, AMovieLibraryThatCannotLoadIsNotBlamedOnTheClip) {
  folder.AddTourClips();
  folder.WriteMap({test::Mark(test::kMovie, 0.5f, 0.5f, 10, test::kHall, "Hall")}, {320, 240});
  std::filesystem::create_directories(folder.File("mwRun.movie"));
  std::filesystem::copy_file(MW_UNLOADABLE_MOVIE_LIBRARY, folder.File("mwRun.movie/libmpv.so.2"));
  test::PlayerRun run = Run({});
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0) << run.errorOutput;
  EXPECT_EQ(run.report["kind"], "none");
  const std::string caption = run.report["caption"];
  EXPECT_TRUE(caption.starts_with("The clip \"rgb.mpg\" cannot be played: this player's movie "
                                  "library could not be loaded."))
      << caption;
  EXPECT_NE(caption.find("libmwgone.so"), std::string::npos) << caption;
  EXPECT_EQ(caption.find("damaged"), std::string::npos) << caption;
}

// Started from a folder holding a library under the name of one it loads, the player
// still loads its own: its search path names only its own library folders.
TEST_F(PlayerProgramTest, TheCurrentFolderIsNoPlaceForItsLibraries) {
  folder.AddTourClips();
  folder.WriteMap({test::Mark(test::kMovie, 0.5f, 0.5f, 10, test::kHall, "Hall")}, {320, 240});
  test::InstallPlayerAsPackageDoes(folder.Path());
  QTemporaryDir elsewhere;
  const std::string current = elsewhere.path().toStdString();
  std::filesystem::copy_file(MW_UNLOADABLE_MOVIE_LIBRARY, current + "/libmpv.so.2");
  test::PlayerRun run =
      test::RunPlayerProgram(folder.File("mwRun.exe"), {}, current,
                             reports.filePath("report").toStdString());
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.report["kind"], "movie") << run.report["caption"] << run.errorOutput;

  QProcess readelf;
  readelf.start("readelf", {"-dW", MW_BIN_DIR "/runner.dll"});
  ASSERT_TRUE(readelf.waitForFinished(10000));
  const QString dynamic = QString::fromLocal8Bit(readelf.readAllStandardOutput());
  EXPECT_FALSE(dynamic.contains("(RUNPATH)"));
  const qsizetype at = dynamic.indexOf("(RPATH)");
  ASSERT_GE(at, 0) << dynamic.toStdString();
  const qsizetype open = dynamic.indexOf('[', at), close = dynamic.indexOf(']', at);
  EXPECT_EQ(dynamic.mid(open + 1, close - open - 1).toStdString(),
            "$ORIGIN/mwRun.lib:$ORIGIN/mwRun.movie");
}

// A package whose start clip is an edit list naming a web address shows no movie and
// fetches nothing: the server it names sees no request.
TEST_F(PlayerProgramTest, AMovieClipNamingAWebAddressReachesNoServer) {
  test::LoopbackServer server;
  ASSERT_TRUE(server.Listening());
  test::WriteHostileClips(folder.Path(), server.Url(""));
  folder.WriteMap({test::Mark("evil.mp4", 0.5f, 0.5f, 10, "list.mpg", "on")}, {320, 240});
  test::PlayerRun run = Run({});
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0) << run.errorOutput;
  EXPECT_NE(run.report["kind"], "movie");
  EXPECT_EQ(server.Requests(), 0);
}

TEST(PlayerHelpTest, UnderItsOwnNameItExplainsItself) {
  QProcess process;
  process.start(MW_BIN_DIR "/runner.dll", {"--help"});
  ASSERT_TRUE(process.waitForFinished(10000));
  EXPECT_EQ(process.exitCode(), 0);
  EXPECT_TRUE(process.readAllStandardOutput().contains("--folder DIR"));
  process.start(MW_BIN_DIR "/runner.dll", {"--loud"});
  ASSERT_TRUE(process.waitForFinished(10000));
  EXPECT_EQ(process.exitCode(), 2);
  EXPECT_TRUE(process.readAllStandardError().contains("unknown option --loud"));
}

}  // namespace
}  // namespace mw
