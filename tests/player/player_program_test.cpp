// The built player run as a package runs it: as mwRun.exe in its folder, as a process.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

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
