// Maps that travel between systems and folders as a person meets them: a map made on
// Windows, names in another normalisation, a search that could not see everything, and
// a home folder whose trash holds an old photo of the same name.
#include <gtest/gtest.h>

#include <filesystem>

#include "travel/clip_finder.h"
#include "travel/gather.h"
#include "travel/relink.h"
#include "travel_folder.h"

namespace fs = std::filesystem;

namespace mw {
namespace {

using test::MapOf;
using test::TravelFolder;

// The map's own clips lie beside it; only the texts came from another system.
TEST(RelinkFromOtherSystems, WindowsPathsWithBackslashesFindTheClipsBesideTheMap) {
  TravelFolder folder;
  const std::string hall = folder.Write("tour/hall.jpg", "hall");
  const std::string kitchen = folder.Write("tour/kitchen.jpg", "kitchen");
  const ClipMap map = MapOf({{"C:\\clips\\hall.jpg", "C:\\clips\\kitchen.jpg"}});
  const RelinkPlan plan = PlanRelink(map, folder.Path("tour"), folder.Path("tour"));
  EXPECT_TRUE(plan.Complete()) << testing::PrintToString(RelinkReportLines(plan));
  ASSERT_EQ(plan.renames.count("C:\\clips\\hall.jpg"), 1u);
  EXPECT_EQ(plan.renames.at("C:\\clips\\hall.jpg"), hall);
  EXPECT_EQ(plan.renames.at("C:\\clips\\kitchen.jpg"), kitchen);
}

TEST(RelinkFromOtherSystems, NamesInAnotherUnicodeNormalisationAreFound) {
  TravelFolder folder;
  // "Küche.jpg" as a Mac writes it (u + combining diaeresis), the map holding the
  // composed form.
  const std::string decomposed = folder.Write("tour/Ku\xCC\x88" "che.jpg", "kitchen");
  const ClipMap map = MapOf({{"/old/K\xC3\xBC" "che.jpg", "0"}});
  const RelinkPlan plan = PlanRelink(map, folder.Path("tour"), folder.Path("tour"));
  EXPECT_TRUE(plan.Complete()) << testing::PrintToString(RelinkReportLines(plan));
}

// A name seen once in a search that stopped early may be one of many: it is no match.
TEST(RelinkLimits, ANameSeenOnceInATruncatedSearchIsNotTakenAsTheOnlyOne) {
  TravelFolder folder;
  for (int k = 0; k < 10; ++k) folder.Write("cams/d" + std::to_string(k) + "/hall.jpg", "hall");
  const ClipFinder finder(folder.Path("cams"), SearchLimits{16, 3});
  ASSERT_TRUE(finder.Truncated());
  EXPECT_NE(finder.Find("/old/trip/hall.jpg").kind, ClipMatch::Kind::Found)
      << finder.Find("/old/trip/hall.jpg").path;
}

TEST(RelinkLimits, AFolderLeftOutForDepthCountsAsAnIncompleteSearch) {
  TravelFolder folder;
  folder.Write("a/hall.jpg", "one hall");
  folder.Write("a/b/c/d/hall.jpg", "another hall");
  const ClipFinder finder(folder.Path("a"), SearchLimits{2, 1000});
  EXPECT_TRUE(finder.Truncated());
  EXPECT_NE(finder.Find("/old/x/hall.jpg").kind, ClipMatch::Kind::Found);
}

// The default map lives in the home folder, so the search beside it covers the trash.
TEST(RelinkHome, AnOldPhotoInTheTrashIsNotTakenForAMovedClip) {
  TravelFolder folder;
  folder.Write("home/.local/share/Trash/files/hall.jpg", "the photo thrown away");
  const ClipMap map = MapOf({{"/media/stick/trip/hall.jpg", "0"}});
  const RelinkPlan plan = PlanRelink(map, folder.Path("home"), folder.Path("home"));
  EXPECT_TRUE(plan.renames.empty()) << testing::PrintToString(RelinkReportLines(plan));
}

// A gather cut off by a kill leaves the half copy it was writing; the next gather clears
// it, so the hidden rest of a movie does not travel with the tour.
TEST(GatherInterrupted, TheHalfCopyOfAnEarlierGatherIsCleared) {
  TravelFolder folder;
  const std::string hall = folder.Write("cam/hall.jpg", "hall");
  const std::string half = folder.Write("tour/tour clips/.mw-copy-Ab12Cd", "half a movie");
  fs::last_write_time(half, fs::file_time_type::clock::now() - std::chrono::hours(1));
  const std::string map = folder.Path("tour/tour.clm");
  test::SaveMap(map, MapOf({{hall, "0"}}));
  const GatherOutcome outcome = GatherClips(ReadMapFile(map).marks, map, FolderOfMap(map));
  ASSERT_FALSE(outcome.failed) << outcome.failure;
  EXPECT_FALSE(fs::exists(half));
}

// A map opened through a link (from the desktop, say) keeps its clips beside the map
// itself, in the folder that travels with it.
TEST(GatherThroughLink, ClipsGoBesideTheRealMap) {
  TravelFolder folder;
  const std::string hall = folder.Write("cam/hall.jpg", "hall");
  const std::string map = folder.Path("tour/tour.clm");
  test::SaveMap(map, MapOf({{hall, "0"}}));
  fs::create_directories(folder.Path("desk"));
  fs::create_symlink(map, folder.Path("desk/tour.clm"));
  const std::string linked = folder.Path("desk/tour.clm");
  const GatherOutcome outcome = GatherClips(ReadMapFile(linked).marks, linked, FolderOfMap(linked));
  ASSERT_FALSE(outcome.failed) << outcome.failure;
  EXPECT_EQ(outcome.folder, folder.Path("tour/tour clips"));
  EXPECT_TRUE(fs::exists(folder.Path("tour/tour clips/hall.jpg")));
}

}  // namespace
}  // namespace mw
