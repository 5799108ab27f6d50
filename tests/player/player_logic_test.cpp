// The player's start options, its reading of a package folder and its walk through a map.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "player/launch_options.h"
#include "player/map_walk.h"
#include "player/package_content.h"
#include "player_folder.h"

namespace mw {
namespace {

using test::kHall;
using test::kKitchen;
using test::Mark;

TEST(PlayerLaunchOptionsTest, FromAPackageTheDataFileIsTheOwnNameAndTheArgumentIsTheMessage) {
  LaunchOptions options =
      ReadLaunchOptions("/tmp/pkg.x1/mwRun.exe", "/elsewhere", {"--folder \"x\" -h"});
  EXPECT_EQ(options.folder, "/tmp/pkg.x1");
  EXPECT_EQ(options.dataFileName, "mwRun");
  EXPECT_EQ(options.message, "--folder \"x\" -h");
  EXPECT_FALSE(options.showHelp);
  EXPECT_TRUE(options.error.empty());

  options = ReadLaunchOptions("/tmp/pkg/tour.exe", "/elsewhere", {"--help"});
  EXPECT_EQ(options.dataFileName, "tour");
  EXPECT_EQ(options.message, "--help");
  EXPECT_FALSE(options.showHelp);
  EXPECT_TRUE(ReadLaunchOptions("/tmp/pkg/mwRun.exe", "/x", {}).message.empty());
}

TEST(PlayerLaunchOptionsTest, UnderItsOwnNameItReadsOptions) {
  LaunchOptions options = ReadLaunchOptions("/opt/mw/runner.dll", "/work/here", {});
  EXPECT_EQ(options.folder, "/work/here");
  EXPECT_EQ(options.dataFileName, "mwRun");
  EXPECT_TRUE(options.message.empty());

  options = ReadLaunchOptions("/opt/mw/runner.dll", "/w", {"--folder", "/p", "Hello", "you"});
  EXPECT_EQ(options.folder, "/p");
  EXPECT_EQ(options.message, "Hello you");
  EXPECT_EQ(ReadLaunchOptions("/opt/runner.dll", "/w", {"--", "-dash"}).message, "-dash");
  EXPECT_TRUE(ReadLaunchOptions("/opt/runner.dll", "/w", {"--help"}).showHelp);
  EXPECT_FALSE(ReadLaunchOptions("/opt/runner.dll", "/w", {"--folder"}).error.empty());
  EXPECT_FALSE(ReadLaunchOptions("/opt/runner.dll", "/w", {"--fast"}).error.empty());
  EXPECT_EQ(ReadLaunchOptions("/opt/.exe", "/w", {"--help"}).showHelp, true);
}

TEST(PlayerPackageContentTest, ReadsTheMapAndItsWindowSize) {
  test::PlayerFolder folder;
  folder.WriteMap({Mark(kHall, 0.5f, 0.5f, 10, kKitchen, "Go")}, {610, 545});
  PackageContent content = ReadPackageContent(folder.Path(), "mwRun");
  EXPECT_EQ(content.problem, PackageProblem::Usable);
  ASSERT_EQ(content.map.Count(), 1u);
  EXPECT_EQ(content.map.First().Hint, "Go");
  EXPECT_EQ(content.windowSize, (WindowSize{610, 545}));
}

TEST(PlayerPackageContentTest, TellsEachKindOfUnusableDataFile) {
  test::PlayerFolder folder;
  EXPECT_EQ(ReadPackageContent(folder.Path(), "mwRun").problem, PackageProblem::DataFileMissing);
  std::filesystem::create_directory(folder.File("mwRun"));
  EXPECT_EQ(ReadPackageContent(folder.Path(), "mwRun").problem, PackageProblem::DataFileUnreadable);
  std::filesystem::remove(folder.File("mwRun"));
  folder.WriteText("mwRun", "MZ\x90\x00 not a map");
  EXPECT_EQ(ReadPackageContent(folder.Path(), "mwRun").problem, PackageProblem::DataFileDamaged);
  folder.WriteText("mwRun", "markweaverdata1.01\r\nwide\r\n300\r\n");
  EXPECT_EQ(ReadPackageContent(folder.Path(), "mwRun").problem, PackageProblem::DataFileDamaged);
  folder.WriteText("mwRun", "markweaverdata1.01\r\n640\r\n480\r\n");
  PackageContent empty = ReadPackageContent(folder.Path(), "mwRun");
  EXPECT_EQ(empty.problem, PackageProblem::NoMarks);
  EXPECT_EQ(empty.windowSize, (WindowSize{640, 480}));
  for (PackageProblem problem : {PackageProblem::DataFileMissing, PackageProblem::DataFileDamaged,
                                 PackageProblem::DataFileUnreadable, PackageProblem::NoMarks})
    EXPECT_FALSE(PackageProblemText(problem, "mwRun").empty());
}

TEST(PlayerPackageContentTest, KeepsTheWindowSizeWithinBounds) {
  EXPECT_EQ(UsableWindowSize(std::nullopt), kDefaultWindowSize);
  EXPECT_EQ(UsableWindowSize(WindowSize{0, -5}), (WindowSize{200, 150}));
  EXPECT_EQ(UsableWindowSize(WindowSize{100000, 2000000000}), (WindowSize{8192, 8192}));
  EXPECT_EQ(UsableWindowSize(WindowSize{1024, 768}), (WindowSize{1024, 768}));
}

TEST(PlayerPackageContentTest, FitsTheWindowWithinTheScreenKeepingItsShape) {
  EXPECT_EQ(FitWithin({8192, 8192}, {1920, 1080}), (WindowSize{1080, 1080}));
  EXPECT_EQ(FitWithin({4000, 1000}, {1920, 1080}), (WindowSize{1920, 480}));
  EXPECT_EQ(FitWithin({1024, 768}, {1920, 1080}), (WindowSize{1024, 768}));
  EXPECT_EQ(FitWithin({1920, 1080}, {1920, 1080}), (WindowSize{1920, 1080}));
  EXPECT_EQ(FitWithin({2000, 1000}, {0, 0}), (WindowSize{2000, 1000}));  // no screen known
}

TEST(PlayerPackageContentTest, LooksClipsUpInThePackageFolderOnly) {
  EXPECT_EQ(ClipFilePath("/p", "hall.jpg"), "/p/hall.jpg");
  EXPECT_EQ(ClipFilePath("/p", "../../etc/passwd"), "/p/passwd");
  EXPECT_EQ(ClipFilePath("/p", "/home/me/clips/hall.jpg"), "/p/hall.jpg");
  EXPECT_EQ(ClipFilePath("/p", "C:\\clips\\hall.jpg"), "/p/C:\\clips\\hall.jpg");
  EXPECT_EQ(ClipFilePath("/p", ""), "");
  EXPECT_EQ(ClipFilePath("/p", "clips/"), "");
}

class PlayerMapWalkTest : public ::testing::Test {
 protected:
  PlayerMapWalkTest() {
    ClipMap map;
    for (const ClickerMark& mark : test::TourMarks()) map.Append(mark);
    map.Append(Mark(kHall, 0.5f, 0.1f, 5, "", "Only a message"));
    walk = MapWalk(map);
  }
  MapWalk walk{ClipMap()};
};

TEST_F(PlayerMapWalkTest, ChoosesTheMarksOfTheClipOnScreenInMapOrderRoundTheEnds) {
  EXPECT_EQ(walk.MoveChoice(true), std::nullopt);  // nothing on screen yet
  walk.Enter(walk.StartClip());
  EXPECT_EQ(walk.MarksOnScreen(), (std::vector<std::size_t>{0, 1, 4}));
  EXPECT_EQ(walk.MoveChoice(true), 0u);
  EXPECT_EQ(walk.MoveChoice(true), 1u);
  EXPECT_EQ(walk.MoveChoice(true), 4u);
  EXPECT_EQ(walk.MoveChoice(true), 0u);
  EXPECT_EQ(walk.MoveChoice(false), 4u);
  walk.ClearChoice();
  EXPECT_EQ(walk.MoveChoice(false), 4u);
  walk.Enter(kKitchen);
  EXPECT_EQ(walk.ChosenMark(), std::nullopt);
  EXPECT_EQ(walk.MoveChoice(false), 2u);
}

TEST_F(PlayerMapWalkTest, GoesBackAlongTheWayCome) {
  EXPECT_FALSE(walk.Back());
  walk.Enter(kHall);
  walk.Enter(kKitchen);
  walk.MoveChoice(true);
  EXPECT_TRUE(walk.Back());
  EXPECT_EQ(walk.ClipOnScreen(), kHall);
  EXPECT_EQ(walk.ChosenMark(), std::nullopt);
  EXPECT_FALSE(walk.Back());
  walk.UndoBack();
  EXPECT_EQ(walk.ClipOnScreen(), kKitchen);
}

TEST_F(PlayerMapWalkTest, FindsOnlyMarksOfTheClipOnScreen) {
  const AreaSize area{640, 480};
  EXPECT_EQ(walk.MarkAt(area, 160, 240), std::nullopt);
  walk.Enter(kHall);
  EXPECT_EQ(walk.MarkAt(area, 160, 240), 1u);
  EXPECT_EQ(walk.MarkAt(area, 320, 384), std::nullopt);  // the kitchen's mark
  walk.Enter(kKitchen);
  EXPECT_EQ(walk.MarkAt(area, 320, 384), 2u);
  EXPECT_EQ(walk.MarkAt(AreaSize{0, 0}, 0, 0), std::nullopt);
}

}  // namespace
}  // namespace mw
