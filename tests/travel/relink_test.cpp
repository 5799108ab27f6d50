// Relink on real folders: a tour moved and renamed, tails beating bare names, ambiguous
// names listed, links out of the folder not followed, and the command line's map.
#include "travel/relink.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "travel/clip_finder.h"
#include "travel/travel_command.h"
#include "travel_folder.h"

namespace fs = std::filesystem;

namespace mw {
namespace {

using test::MapOf;
using test::TravelFolder;

// What a command printed and gave back.
struct CommandRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

std::string ReadStream(std::FILE* stream) {
  std::rewind(stream);
  std::string text;
  char buffer[4096];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, stream)) > 0;)
    text.append(buffer, got);
  std::fclose(stream);
  return text;
}

CommandRun Relink(const std::string& map, const std::optional<std::string>& search = {}) {
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  CommandRun run;
  run.exitCode = RunRelinkCommand(map, search, out, err);
  run.out = ReadStream(out);
  run.err = ReadStream(err);
  return run;
}

TEST(ClipFinder, LongestTailBeatsBareNameAndTiesAreListed) {
  TravelFolder folder;
  folder.Write("new/tour/rooms/hall.jpg", "hall");
  folder.Write("new/other/hall.jpg", "another hall");
  folder.Write("new/a/door.jpg", "door a");
  folder.Write("new/b/door.jpg", "door b");
  folder.Write("new/deep/garden.jpg", "garden");
  const ClipFinder finder(folder.Path("new"));
  EXPECT_EQ(finder.FileCount(), 5u);

  ClipMatch hall = finder.Find("/old/place/tour/rooms/hall.jpg");
  EXPECT_EQ(hall.kind, ClipMatch::Kind::Found);
  EXPECT_EQ(hall.path, folder.Path("new/tour/rooms/hall.jpg"));
  // A unique bare name is enough.
  EXPECT_EQ(finder.Find("/anywhere/garden.jpg").path, folder.Path("new/deep/garden.jpg"));
  // Two files of one name and no longer tail: listed, not guessed.
  ClipMatch door = finder.Find("/old/c/door.jpg");
  EXPECT_EQ(door.kind, ClipMatch::Kind::Ambiguous);
  EXPECT_EQ(door.candidates.size(), 2u);
  EXPECT_TRUE(door.path.empty());
  // A tail that points at one of them settles it.
  EXPECT_EQ(finder.Find("/old/b/door.jpg").path, folder.Path("new/b/door.jpg"));
  EXPECT_EQ(finder.Find("/old/nothing.jpg").kind, ClipMatch::Kind::NotFound);
  EXPECT_EQ(finder.Find("").kind, ClipMatch::Kind::NotFound);
}

TEST(ClipFinder, LinksOutOfTheFolderAreNotFollowed) {
  TravelFolder folder;
  folder.Write("outside/secret/hall.jpg", "outside");
  folder.Write("outside/kitchen.jpg", "outside kitchen");
  folder.Write("tour/real/bath.jpg", "bath");
  fs::create_directories(folder.Path("tour"));
  fs::create_directory_symlink(folder.Path("outside/secret"), folder.Path("tour/secret"));
  fs::create_symlink(folder.Path("outside/kitchen.jpg"), folder.Path("tour/kitchen.jpg"));
  fs::create_symlink(folder.Path("tour/real/bath.jpg"), folder.Path("tour/bath-link.jpg"));
  fs::create_directory_symlink(folder.Path("tour"), folder.Path("tour/real/loop"));
  const ClipFinder finder(folder.Path("tour"));
  EXPECT_EQ(finder.Find("/old/secret/hall.jpg").kind, ClipMatch::Kind::NotFound);
  EXPECT_EQ(finder.Find("/old/kitchen.jpg").kind, ClipMatch::Kind::NotFound);
  // A link that stays inside is a file like any other.
  EXPECT_EQ(finder.Find("/old/bath-link.jpg").path, folder.Path("tour/bath-link.jpg"));
  EXPECT_FALSE(finder.Truncated());
}

TEST(ClipFinder, SearchIsBoundedInDepthAndCount) {
  TravelFolder folder;
  folder.Write("a/b/c/d/deep.jpg", "deep");
  for (int k = 0; k < 20; ++k) folder.Write("many/file" + std::to_string(k) + ".jpg", "x");
  const ClipFinder shallow(folder.Path("a"), SearchLimits{2, 1000});
  EXPECT_EQ(shallow.Find("/x/deep.jpg").kind, ClipMatch::Kind::NotFound);
  EXPECT_EQ(ClipFinder(folder.Path("a"), SearchLimits{3, 1000}).Find("/x/deep.jpg").kind,
            ClipMatch::Kind::Found);
  const ClipFinder few(folder.Path("many"), SearchLimits{16, 5});
  EXPECT_TRUE(few.Truncated());
  EXPECT_EQ(few.FileCount(), 5u);
  // Names a map line cannot hold are never offered.
  folder.Write("odd/line\nbreak.jpg", "x");
  EXPECT_EQ(ClipFinder(folder.Path("odd")).FileCount(), 0u);
}

// Maps made on Windows name their clips with "\\" and often in capitals.
TEST(ClipFinderForWindowsMaps, BackslashPathsFindTheClipsByNameAndFolders) {
  TravelFolder folder;
  const std::string hall = folder.Write("tour/hall.jpg", "hall");
  const std::string kitchen = folder.Write("tour/kitchen.jpg", "kitchen");
  const ClipMap map = MapOf({{"C:\\clips\\hall.jpg", "C:\\clips\\kitchen.jpg"}});
  const RelinkPlan plan = PlanRelink(map, folder.Path("tour"), folder.Path("tour"));
  EXPECT_TRUE(plan.Complete()) << testing::PrintToString(RelinkReportLines(plan));
  EXPECT_EQ(plan.renames,
            (ClipRenames{{"C:\\clips\\hall.jpg", hall}, {"C:\\clips\\kitchen.jpg", kitchen}}));
  // Folder names parted by either separator choose between files of the same name.
  const std::string garden = folder.Write("tour/garden/door.jpg", "garden door");
  folder.Write("tour/porch/door.jpg", "porch door");
  const ClipFinder finder(folder.Path("tour"));
  EXPECT_EQ(finder.Find("D:/old\\tour\\garden\\door.jpg").path, garden);
}

TEST(ClipFinderForWindowsMaps, ANameInOtherCapitalsCountsOnlyWhenAloneAndNeverBeatsTheExactName) {
  TravelFolder folder;
  const std::string hall = folder.Write("tour/HALL.JPG", "hall");
  const ClipFinder alone(folder.Path("tour"));
  EXPECT_EQ(alone.Find("C:\\clips\\hall.jpg").path, hall);
  // The exact name wins even over a file whose folders match further.
  const std::string exact = folder.Write("tour/other/hall.jpg", "another hall");
  folder.Write("tour/clips/Hall.jpg", "a hall in a folder named as the old one");
  EXPECT_EQ(ClipFinder(folder.Path("tour")).Find("C:\\clips\\hall.jpg").path, exact);
  // Two names that differ from the clip's only in case are listed, not chosen.
  folder.Write("tour/KITCHEN.jpg", "kitchen");
  folder.Write("tour/rooms/Kitchen.JPG", "kitchen too");
  const ClipMatch kitchen = ClipFinder(folder.Path("tour")).Find("C:\\kitchen.jpg");
  EXPECT_EQ(kitchen.kind, ClipMatch::Kind::Ambiguous);
  EXPECT_EQ(kitchen.candidates.size(), 2u);
  // One seen in a search that stopped early may not be the only one.
  TravelFolder many;
  for (int k = 0; k < 5; ++k) many.Write("d" + std::to_string(k) + "/GARDEN.JPG", "garden");
  const ClipFinder cut(many.Root(), SearchLimits{16, 3});
  ASSERT_TRUE(cut.Truncated());
  EXPECT_EQ(cut.Find("C:\\garden.jpg").kind, ClipMatch::Kind::Ambiguous);
}

// The default map lives in the home folder, so a search beside it covers the trash.
TEST(ClipFinder, HiddenFoldersBelowTheSearchedOneAreNotEntered) {
  TravelFolder folder;
  folder.Write("home/.local/share/Trash/files/hall.jpg", "the photo thrown away");
  folder.Write("home/.cache/thumbs/kitchen.jpg", "a thumbnail");
  const ClipMap map = MapOf({{"/media/stick/trip/hall.jpg", "/media/stick/trip/kitchen.jpg"}});
  const RelinkPlan plan = PlanRelink(map, folder.Path("home"), folder.Path("home"));
  EXPECT_TRUE(plan.renames.empty()) << testing::PrintToString(RelinkReportLines(plan));
  EXPECT_EQ(plan.notFound.size(), 2u);
  // The searched folder itself may be hidden, and hidden files still count.
  const std::string hall = folder.Write("home/.stick/trip/hall.jpg", "hall");
  const std::string hidden = folder.Write("home/.stick/trip/.kitchen.jpg", "kitchen");
  const ClipFinder inside(folder.Path("home/.stick"));
  EXPECT_EQ(inside.Find("/media/stick/trip/hall.jpg").path, hall);
  EXPECT_EQ(inside.Find("/media/stick/trip/.kitchen.jpg").path, hidden);
}

// A name seen once in a search that did not see everything may be one of many: it is
// listed for the person, as ties are, and the report says the search stopped early.
TEST(ClipFinder, AnIncompleteSearchTakesNoNameSeenOnceAsTheOnlyOne) {
  TravelFolder folder;
  for (int k = 0; k < 10; ++k) folder.Write("cams/d" + std::to_string(k) + "/hall.jpg", "hall");
  const ClipFinder cut(folder.Path("cams"), SearchLimits{16, 3});
  ASSERT_TRUE(cut.Truncated());
  const ClipMatch seenOnce = cut.Find("/old/trip/hall.jpg");
  EXPECT_EQ(seenOnce.kind, ClipMatch::Kind::Ambiguous) << seenOnce.path;
  EXPECT_EQ(seenOnce.candidates.size(), 1u);
  // Folders left out for depth make the search incomplete too.
  const std::string shallow = folder.Write("a/hall.jpg", "one hall");
  folder.Write("a/b/c/d/hall.jpg", "another hall");
  const ClipFinder deep(folder.Path("a"), SearchLimits{2, 1000});
  EXPECT_TRUE(deep.Truncated());
  const RelinkPlan plan = PlanRelink(MapOf({{"/old/x/hall.jpg", "0"}}), folder.Path("a"),
                                     folder.Path("a"), SearchLimits{2, 1000});
  EXPECT_TRUE(plan.renames.empty());
  EXPECT_EQ(RelinkReportLines(plan),
            (std::vector<std::string>{
                "Ambiguous: /old/x/hall.jpg (1 file: " + shallow + ")",
                "The search stopped early: the folder holds too many files or levels."}));
  // A file whose folders match the old path beyond its name is still found.
  const std::string seenFolder = fs::path(seenOnce.candidates.at(0)).parent_path().filename();
  EXPECT_EQ(cut.Find("/old/cams/" + seenFolder + "/hall.jpg").kind, ClipMatch::Kind::Found);
}

// A tour made in one place, then moved and renamed as a whole.
class MovedTour : public ::testing::Test {
 protected:
  void SetUp() override {
    old_ = folder.Path("home/ann/tour");
    folder.Write("home/ann/tour/rooms/hall.jpg", "hall");
    folder.Write("home/ann/tour/rooms/kitchen.jpg", "kitchen");
    folder.Write("home/ann/tour/garden/hall.jpg", "garden hall");
    map_ = MapOf({{old_ + "/rooms/hall.jpg", old_ + "/rooms/kitchen.jpg"},
                  {old_ + "/rooms/kitchen.jpg", old_ + "/garden/hall.jpg"},
                  {old_ + "/garden/hall.jpg", "0"}});
    test::SaveMap(old_ + "/tour.clm", map_);
    fs::create_directories(folder.Path("stick"));
    fs::rename(old_, folder.Path("stick/Tour 2026"));
    moved_ = folder.Path("stick/Tour 2026");
  }

  TravelFolder folder;
  std::string old_;
  std::string moved_;
  ClipMap map_;
};

TEST_F(MovedTour, PlanFindsEveryClipByItsTail) {
  const RelinkPlan plan = PlanRelink(map_, moved_, moved_);
  EXPECT_TRUE(plan.Complete());
  ASSERT_EQ(plan.relinked.size(), 3u);
  EXPECT_EQ(plan.renames.at(old_ + "/rooms/hall.jpg"), moved_ + "/rooms/hall.jpg");
  EXPECT_EQ(plan.renames.at(old_ + "/garden/hall.jpg"), moved_ + "/garden/hall.jpg");
  ClipMap relinked = map_;
  EXPECT_EQ(ApplyClipRenames(relinked, plan.renames), 3u);
  EXPECT_EQ(relinked.At(1).NextClip, moved_ + "/garden/hall.jpg");
  EXPECT_EQ(relinked.At(2).NextClip, "0");
  EXPECT_EQ(relinked.At(0).Hint, map_.At(0).Hint);
  // Nothing missing: nothing searched, nothing planned.
  EXPECT_TRUE(PlanRelink(relinked, moved_, folder.Root()).renames.empty());
}

TEST_F(MovedTour, CommandRewritesTheMapBesideItsClips) {
  const std::string map = moved_ + "/tour.clm";
  const CommandRun run = Relink(map);
  EXPECT_EQ(run.exitCode, kTravelNothingMissing) << run.err;
  EXPECT_NE(
      run.out.find("Relinked: " + old_ + "/rooms/hall.jpg -> " + moved_ + "/rooms/hall.jpg\n"),
      std::string::npos)
      << run.out;
  const MapFileContent saved = ReadMapFile(map);
  ASSERT_EQ(saved.marks.Count(), 3u);
  EXPECT_EQ(saved.marks.At(0).Clip, moved_ + "/rooms/hall.jpg");
  EXPECT_EQ(saved.windowSize, (WindowSize{610, 545}));
  // Run again: nothing to do, the map untouched, still success.
  const auto before = fs::last_write_time(map);
  const CommandRun again = Relink(map);
  EXPECT_EQ(again.exitCode, kTravelNothingMissing);
  EXPECT_EQ(again.out, "");
  EXPECT_EQ(fs::last_write_time(map), before);
}

TEST_F(MovedTour, CommandSearchesAChosenFolderAndListsWhatIsLeft) {
  // The map alone moved elsewhere; its clips are searched for where they went.
  const std::string map = folder.Path("maps/tour.clm");
  fs::create_directories(folder.Path("maps"));
  fs::rename(moved_ + "/tour.clm", map);
  fs::remove(moved_ + "/rooms/kitchen.jpg");
  folder.Write("stick/x/kitchen.jpg", "one kitchen");
  folder.Write("stick/y/kitchen.jpg", "another kitchen");
  const std::string saved = test::ReadAll(map);

  // Nothing beside the map: all listed as missing, the map untouched.
  const CommandRun beside = Relink(map);
  EXPECT_EQ(beside.exitCode, kTravelSomethingMissing);
  EXPECT_NE(beside.out.find("Still missing: " + old_ + "/rooms/hall.jpg\n"), std::string::npos);
  EXPECT_EQ(test::ReadAll(map), saved);

  const CommandRun run = Relink(map, folder.Path("stick"));
  EXPECT_EQ(run.exitCode, kTravelSomethingMissing);
  EXPECT_NE(run.out.find("Ambiguous: " + old_ + "/rooms/kitchen.jpg (2 files: "), std::string::npos)
      << run.out;
  const MapFileContent after = ReadMapFile(map);
  EXPECT_EQ(after.marks.At(0).Clip, moved_ + "/rooms/hall.jpg");
  EXPECT_EQ(after.marks.At(1).NextClip, moved_ + "/garden/hall.jpg");
  EXPECT_EQ(after.marks.At(1).Clip, old_ + "/rooms/kitchen.jpg");
}

TEST(RelinkCommand, UnusableMapOrFolderIsAUsageError) {
  TravelFolder folder;
  EXPECT_EQ(Relink(folder.Path("none.clm")).exitCode, kTravelCannotStart);
  const std::string map = folder.Write("not-a-map.clm", "hello\n");
  EXPECT_EQ(Relink(map).exitCode, kTravelCannotStart);
  const std::string good = folder.Path("good.clm");
  test::SaveMap(good, MapOf({{"/gone/a.jpg", "/gone/b.jpg"}}));
  const CommandRun run = Relink(good, folder.Path("no-such-folder"));
  EXPECT_EQ(run.exitCode, kTravelCannotStart);
  EXPECT_EQ(run.err, "Folder not found: " + folder.Path("no-such-folder") + "\n");
}

TEST(RelinkCommand, RelativeClipsAreReadFromTheMapsFolder) {
  TravelFolder folder;
  folder.Write("tour/photos/hall.jpg", "hall");
  const std::string map = folder.Path("tour/tour.clm");
  // A relative clip that is there stays as it is; one that moved is found.
  test::SaveMap(map, MapOf({{"photos/hall.jpg", "kitchen.jpg"}}));
  folder.Write("tour/photos/kitchen.jpg", "kitchen");
  const std::string cwd = fs::current_path();
  fs::current_path(folder.Root());
  const CommandRun run = Relink(map);
  fs::current_path(cwd);
  EXPECT_EQ(run.exitCode, kTravelNothingMissing) << run.out << run.err;
  const MapFileContent saved = ReadMapFile(map);
  EXPECT_EQ(saved.marks.At(0).Clip, "photos/hall.jpg");
  EXPECT_EQ(saved.marks.At(0).NextClip, folder.Path("tour/photos/kitchen.jpg"));
}

TEST(RelinkCommand, MapWithoutSizeLinesKeepsItsForm) {
  TravelFolder folder;
  folder.Write("t/b.jpg", "b");
  const std::string map = folder.Write("t/old.clm",
                                       "markweaverdata1.0\r\n/gone/a.jpg\r\n0.5\r\n0.5\r\n10\r\n"
                                       "/gone/b.jpg\r\n<info>\r\n0\r\n0\r\nhint\r\n");
  EXPECT_EQ(Relink(map).exitCode, kTravelSomethingMissing);
  EXPECT_EQ(test::ReadAll(map),
            "markweaverdata1.0\r\n/gone/a.jpg\r\n0.500000\r\n0.500000\r\n10\r\n" +
                folder.Path("t/b.jpg") + "\r\n<info>\r\n0\r\n0\r\nhint\r\n");
}

// A map that cannot be written (a read-only share) is no success: its own exit code,
// and the map as it was.
TEST(RelinkCommand, MapThatCannotBeWrittenSaysSo) {
  TravelFolder folder;
  folder.Write("stick/hall.jpg", "hall");
  const std::string map = folder.Path("tour/tour.clm");
  test::SaveMap(map, MapOf({{"/gone/hall.jpg", "0"}}));
  test::OpenToAll(folder.Root());
  fs::permissions(folder.Path("tour"),
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  const std::string before = test::ReadAll(map);
  EXPECT_EQ(
      test::InChild(RLIM_INFINITY, [&] { return Relink(map, folder.Path("stick")).exitCode; }),
      kTravelMapNotWritten);
  EXPECT_EQ(test::ReadAll(map), before);
}

}  // namespace
}  // namespace mw
