// Gather on real folders: same-named clips from two folders, clips already beside the
// map, an identical file already there, a disk that fills up and a folder that cannot be
// written, each leaving the map as it was.
#include "travel/gather.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>

#include "travel/clip_paths.h"
#include "travel/relink.h"
#include "travel/travel_command.h"
#include "travel_folder.h"

namespace fs = std::filesystem;

namespace mw {
namespace {

using test::MapOf;
using test::ReadAll;
using test::TravelFolder;

int Gather(const std::string& map) {
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  const int code = RunGatherCommand(map, out, err);
  std::fclose(out);
  std::fclose(err);
  return code;
}

// Runs `attempt` in a child process with files limited to `fileSizeLimit` bytes and,
// for root, as an ordinary user (so folder permissions count); gives its exit code.
int InChild(rlim_t fileSizeLimit, const std::function<int()>& attempt) {
  const pid_t child = fork();
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{fileSizeLimit, fileSizeLimit};
    setrlimit(RLIMIT_FSIZE, &limit);
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(99);
    _exit(attempt());
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Everything under `folder` may be read and written by anybody, so a child that gave up
// root can work there.
void OpenToAll(const std::string& folder) {
  fs::permissions(folder, fs::perms::all);
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    fs::permissions(entry.path(), fs::perms::all);
}

class GatherTest : public ::testing::Test {
 protected:
  std::string MapPath() const { return folder.Path("tour/tour.clm"); }
  std::string Gathered(const std::string& name) const {
    return folder.Path("tour/tour clips/" + name);
  }

  TravelFolder folder;
};

TEST_F(GatherTest, SameNamesFromTwoFoldersBothArriveAndTheMapPointsAtThem) {
  const std::string a = folder.Write("cam1/hall.jpg", "first hall");
  const std::string b = folder.Write("cam2/hall.jpg", "second hall");
  const std::string beside = folder.Write("tour/rooms/bath.jpg", "bath");
  test::SaveMap(MapPath(), MapOf({{a, b}, {b, beside}, {beside, "0"}, {"", a}}));

  ASSERT_EQ(Gather(MapPath()), kTravelNothingMissing);
  EXPECT_EQ(ReadAll(Gathered("hall.jpg")), "first hall");
  EXPECT_EQ(ReadAll(Gathered("hall-2.jpg")), "second hall");
  // No temporary file is left among the copies.
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.Path("tour/tour clips")),
                          fs::directory_iterator()),
            2);
  const MapFileContent saved = ReadMapFile(MapPath());
  EXPECT_EQ(saved.marks.At(0).Clip, Gathered("hall.jpg"));
  EXPECT_EQ(saved.marks.At(0).NextClip, Gathered("hall-2.jpg"));
  // A clip already beside the map stays where it is; texts that name no file too.
  EXPECT_EQ(saved.marks.At(1).NextClip, beside);
  EXPECT_EQ(saved.marks.At(2).NextClip, "0");
  EXPECT_EQ(saved.marks.At(3).Clip, "");
  EXPECT_EQ(saved.marks.At(3).NextClip, Gathered("hall.jpg"));
  // The originals are untouched.
  EXPECT_EQ(ReadAll(a), "first hall");
}

TEST_F(GatherTest, GatheredTourTravelsAsOneFolder) {
  const std::string a = folder.Write("cam1/hall.jpg", "hall");
  const std::string b = folder.Write("cam2/kitchen.jpg", "kitchen");
  test::SaveMap(MapPath(), MapOf({{a, b}, {b, a}}));
  ASSERT_EQ(Gather(MapPath()), kTravelNothingMissing);
  fs::remove_all(folder.Path("cam1"));
  fs::remove_all(folder.Path("cam2"));
  fs::rename(folder.Path("tour"), folder.Path("elsewhere"));
  std::FILE* out = std::tmpfile();
  EXPECT_EQ(RunRelinkCommand(folder.Path("elsewhere/tour.clm"), std::nullopt, out, out),
            kTravelNothingMissing);
  std::fclose(out);
  const MapFileContent saved = ReadMapFile(folder.Path("elsewhere/tour.clm"));
  EXPECT_EQ(saved.marks.At(0).Clip, folder.Path("elsewhere/tour clips/hall.jpg"));
  EXPECT_EQ(saved.marks.At(0).NextClip, folder.Path("elsewhere/tour clips/kitchen.jpg"));
}

TEST_F(GatherTest, IdenticalFileIsReusedAndADifferentOneIsNeverOverwritten) {
  const std::string hall = folder.Write("cam/hall.jpg", "hall");
  const std::string door = folder.Write("cam/door.jpg", "new door");
  folder.Write("tour/tour clips/hall.jpg", "hall");
  folder.Write("tour/tour clips/door.jpg", "old door, someone else's");
  test::SaveMap(MapPath(), MapOf({{hall, door}}));
  ASSERT_EQ(Gather(MapPath()), kTravelNothingMissing);
  const MapFileContent saved = ReadMapFile(MapPath());
  EXPECT_EQ(saved.marks.At(0).Clip, Gathered("hall.jpg"));
  EXPECT_EQ(saved.marks.At(0).NextClip, Gathered("door-2.jpg"));
  EXPECT_EQ(ReadAll(Gathered("door.jpg")), "old door, someone else's");
  EXPECT_EQ(ReadAll(Gathered("door-2.jpg")), "new door");
  EXPECT_FALSE(fs::exists(Gathered("hall-2.jpg")));
}

TEST_F(GatherTest, MissingClipIsListedAndTheRestGathered) {
  const std::string hall = folder.Write("cam/hall.jpg", "hall");
  test::SaveMap(MapPath(), MapOf({{hall, "/gone/kitchen.jpg"}}));
  const GatherOutcome outcome =
      GatherClips(ReadMapFile(MapPath()).marks, MapPath(), FolderOfMap(MapPath()));
  EXPECT_FALSE(outcome.failed);
  EXPECT_EQ(outcome.missing, std::vector<std::string>{"/gone/kitchen.jpg"});
  EXPECT_EQ(GatherReportLines(outcome),
            (std::vector<std::string>{"Gathered: " + hall + " -> " + Gathered("hall.jpg"),
                                      "Still missing: /gone/kitchen.jpg"}));
  EXPECT_EQ(Gather(MapPath()), kTravelSomethingMissing);
  EXPECT_EQ(ReadMapFile(MapPath()).marks.At(0).Clip, Gathered("hall.jpg"));
}

TEST_F(GatherTest, FullDiskLeavesTheMapAndTheFolderAsTheyWere) {
  const std::string small = folder.Write("cam/a-small.jpg", "small");
  const std::string big = folder.Write("cam/b-big.jpg", std::string(100000, 'x'));
  test::SaveMap(MapPath(), MapOf({{small, big}}));
  OpenToAll(folder.Root());
  const std::string before = ReadAll(MapPath());
  // Every file is cut at 1000 bytes: the small clip is copied, the big one fails.
  EXPECT_EQ(InChild(1000, [&] { return Gather(MapPath()); }), kTravelSomethingMissing);
  EXPECT_EQ(ReadAll(MapPath()), before);
  EXPECT_FALSE(fs::exists(folder.Path("tour/tour clips")));

  const GatherOutcome outcome = GatherClips(ReadMapFile(MapPath()).marks, MapPath(), "");
  EXPECT_FALSE(outcome.failed);  // without the limit it works
}

TEST_F(GatherTest, ReadOnlyMapFolderSaysWhichClipAndChangesNothing) {
  const std::string hall = folder.Write("cam/hall.jpg", "hall");
  test::SaveMap(MapPath(), MapOf({{hall, hall}}));
  OpenToAll(folder.Root());
  fs::permissions(folder.Path("tour"),
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  const std::string before = ReadAll(MapPath());
  EXPECT_EQ(InChild(RLIM_INFINITY,
                    [&] {
                      const GatherOutcome outcome = GatherClips(ReadMapFile(MapPath()).marks,
                                                                MapPath(), FolderOfMap(MapPath()));
                      const bool told = outcome.failure.rfind("Cannot gather " + hall, 0) == 0;
                      return outcome.failed && told && outcome.renames.empty() ? 0 : 1;
                    }),
            0);
  EXPECT_EQ(InChild(RLIM_INFINITY, [&] { return Gather(MapPath()); }), kTravelSomethingMissing);
  EXPECT_EQ(ReadAll(MapPath()), before);
  EXPECT_FALSE(fs::exists(folder.Path("tour/tour clips")));
}

TEST(GatherFolder, IsNamedAfterTheMap) {
  EXPECT_EQ(GatherFolderFor("/a/b/tour.clm"), "/a/b/tour clips");
  EXPECT_EQ(GatherFolderFor("/a/b/tour"), "/a/b/tour clips");
  EXPECT_EQ(GatherFolderFor("/a/b/.clm"), "/a/b/.clm clips");
}

}  // namespace
}  // namespace mw
