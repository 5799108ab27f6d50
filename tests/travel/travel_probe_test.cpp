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


// A name seen once in a search that stopped early may be one of many: it is no match.


// The default map lives in the home folder, so the search beside it covers the trash.


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
