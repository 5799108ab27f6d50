// The clip set, the bare-name rule and the package map with its data file.
#include "package/clip_set.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "map/map_file.h"
#include "package/package_map.h"
#include "package/package_names.h"
#include "package_test_folder.h"

namespace mw {
namespace {

ClickerMark Mark(const std::string& clip, const std::string& next, const std::string& hint = {}) {
  ClickerMark mark;
  mark.Clip = clip;
  mark.NextClip = next;
  mark.Hint = hint;
  return mark;
}

std::vector<std::string> Paths(const ClipSet& set) {
  std::vector<std::string> paths;
  for (const auto& entry : set.Entries()) paths.push_back(entry.path);
  return paths;
}

std::vector<std::string> Names(const ClipSet& set) {
  std::vector<std::string> names;
  for (const auto& entry : set.Entries()) names.push_back(entry.packageName);
  return names;
}

TEST(BareFileName, IsTheTextAfterTheLastSlash) {
  EXPECT_EQ(BareFileName("/home/ann/clips/hall.jpg"), "hall.jpg");
  EXPECT_EQ(BareFileName("hall.jpg"), "hall.jpg");
  EXPECT_EQ(BareFileName("<output>"), "<output>");
  EXPECT_EQ(BareFileName("c:\\clips\\hall.jpg"), "c:\\clips\\hall.jpg");
  EXPECT_EQ(BareFileName("/clips/"), "");
  EXPECT_EQ(FolderPart("/out/show.exe"), "/out/");
  EXPECT_EQ(FolderPart("show.exe"), "");
}

TEST(ClipSet, OrdersByUnsignedBytesAndDropsExactDuplicates) {
  ClipMap map;
  map.Append(Mark("/c/b.jpg", "/c/B.jpg"));
  map.Append(Mark("/c/\xC3\xA9.jpg", "/c/b.jpg"));  // a byte above 127 sorts last
  map.Append(Mark("/c/b.jpg", "/c/b.jpg.mpg"));     // a prefix sorts first
  ClipSet set = ClipSet::FromMap(map);
  EXPECT_EQ(Paths(set),
            (std::vector<std::string>{"/c/B.jpg", "/c/b.jpg", "/c/b.jpg.mpg", "/c/\xC3\xA9.jpg"}));
  EXPECT_EQ(Names(set), (std::vector<std::string>{"B.jpg", "b.jpg", "b.jpg.mpg", "\xC3\xA9.jpg"}));
}

TEST(ClipSet, SkippedEntriesKeepTheirPlace) {
  ClipSet set(std::vector<std::string>{"/c/a.jpg", "", "0", "/c/0"});
  ASSERT_EQ(set.Size(), 4u);
  EXPECT_TRUE(set.Entries()[0].skipped);   // ""
  EXPECT_FALSE(set.Entries()[1].skipped);  // "/c/0"
  EXPECT_FALSE(set.Entries()[2].skipped);  // "/c/a.jpg"
  EXPECT_TRUE(set.Entries()[3].skipped);   // "0"
  EXPECT_EQ(set.Entries()[1].packageName, "0");
}

TEST(ClipSet, SameFileNameInTwoFoldersGetsTwoPackageNames) {
  ClipSet set(std::vector<std::string>{"/z/hall.jpg", "/a/hall.jpg", "/m/hall.jpg", "/k/kitchen"});
  EXPECT_EQ(Names(set),
            (std::vector<std::string>{"hall.jpg", "kitchen", "hall-2.jpg", "hall-3.jpg"}));
  EXPECT_EQ(set.PackageNameOf("/z/hall.jpg"), "hall-3.jpg");
  EXPECT_EQ(set.PackageNameOf("/not/in/set.jpg"), "set.jpg");
}

TEST(ClipSet, NewNamesNeverTakeAnotherClipsBareName) {
  ClipSet set(std::vector<std::string>{"/a/hall.jpg", "/b/hall.jpg", "/c/hall-2.jpg", "/d/x",
                                       "/e/x", "/f/.cfg", "/g/.cfg"});
  EXPECT_EQ(Names(set), (std::vector<std::string>{"hall.jpg", "hall-3.jpg", "hall-2.jpg", "x",
                                                  "x-2", ".cfg", ".cfg-2"}));
}

TEST(ClipSet, ClipsNeverTakeTheNamesOfThePlayerOrTheDataFile) {
  ClipSet set(std::vector<std::string>{"/a/mwRun", "/b/mwRun.exe"});
  EXPECT_EQ(Names(set), (std::vector<std::string>{"mwRun-2", "mwRun-2.exe"}));
}

TEST(PackageMap, UsesPackageNamesInMapOrderAndLeavesTheMapAlone) {
  ClipMap map;
  map.Append(Mark("/home/a/hall.jpg", "/srv/b/kitchen.mpg", "Go to the kitchen"));
  map.Append(Mark("/srv/b/kitchen.mpg", "/home/a/hall.jpg", "Back"));
  map.Append(Mark("/home/a/hall.jpg", "<output>"));
  ClipMap before = map;
  auto packageMap = BuildPackageMap(map, ClipSet::FromMap(map));
  ASSERT_EQ(packageMap.size(), 3u);
  EXPECT_EQ(packageMap[0].Clip, "hall.jpg");
  EXPECT_EQ(packageMap[0].NextClip, "kitchen.mpg");
  EXPECT_EQ(packageMap[0].Hint, "Go to the kitchen");
  EXPECT_EQ(packageMap[1].Clip, "kitchen.mpg");
  EXPECT_EQ(packageMap[2].NextClip, "<output>");
  EXPECT_EQ(map.Marks(), before.Marks());
}

TEST(PackageDataFile, IsTheMapFileWithBareNames) {
  test::PackageTestFolder folder;
  ClickerMark first = Mark("/home/a/hall.jpg", "/srv/b/kitchen.jpg", "Go to the kitchen");
  first.X = 0.25f;
  first.Y = 0.5f;
  first.Reserved = "<reserved>";
  first.AreaWidth = 598;
  first.AreaHeight = 349;
  ClickerMark second = Mark("porch.jpg", "/home/a/hall.jpg", "Back to the hall");
  ClipMap map;
  map.Append(first);
  map.Append(second);
  const std::string path = folder.Program() + "mwRun";
  ASSERT_EQ(
      WritePackageDataFile(path, {610, 545}, BuildPackageMap(map, ClipSet::FromMap(map))).status,
      MapWriteStatus::Written);
  // A clip without a folder part is written unchanged.
  EXPECT_EQ(test::ReadFile(path),
            "markweaverdata1.01\r\n610\r\n545\r\n"
            "hall.jpg\r\n0.250000\r\n0.500000\r\n10\r\nkitchen.jpg\r\n<reserved>\r\n598\r\n349\r\n"
            "Go to the kitchen\r\n"
            "porch.jpg\r\n0.000000\r\n0.000000\r\n10\r\nhall.jpg\r\n<info>\r\n0\r\n0\r\n"
            "Back to the hall\r\n");
  EXPECT_EQ(map.First().Clip, "/home/a/hall.jpg");
}

TEST(PackageDataFile, UnwritablePlaceIsReported) {
  test::PackageTestFolder folder;
  ClipMap map;
  map.Append(Mark("/a/b.jpg", "/a/c.jpg"));
  MapWriteOutcome outcome = WritePackageDataFile(folder.Program() + "no/such/folder/mwRun", {1, 1},
                                                 BuildPackageMap(map, ClipSet::FromMap(map)));
  EXPECT_EQ(outcome.status, MapWriteStatus::WriteFailed);
}

}  // namespace
}  // namespace mw
