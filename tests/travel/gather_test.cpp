// Gather on real folders: same-named clips from two folders, clips already beside the
// map, an identical file already there, a disk that fills up and a folder that cannot be
// written, each leaving the map as it was; half copies of a killed gather cleared, those
// of a running copy kept.
#include "travel/gather.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>

#include "travel/clip_paths.h"
#include "travel/relink.h"
#include "travel/safe_copy.h"
#include "travel/travel_command.h"
#include "travel_folder.h"

namespace fs = std::filesystem;

namespace mw {
namespace {

using test::InChild;
using test::MapOf;
using test::OpenToAll;
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

// A map that cannot be written (a read-only share): the command says so with its own
// exit code, takes back the copies nobody names, and leaves the map as it was.
TEST_F(GatherTest, MapThatCannotBeWrittenIsNoSuccessAndItsCopiesAreTakenBack) {
  const std::string hall = folder.Write("cam/hall.jpg", "hall");
  test::SaveMap(MapPath(), MapOf({{hall, "0"}}));
  fs::create_directories(folder.Path("tour/tour clips"));
  OpenToAll(folder.Root());
  fs::permissions(folder.Path("tour"),
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  const std::string before = ReadAll(MapPath());
  const std::string errPath = folder.Path("err.txt");
  EXPECT_EQ(InChild(RLIM_INFINITY,
                    [&] {
                      std::FILE* err = std::fopen(errPath.c_str(), "w");
                      const int code = RunGatherCommand(MapPath(), stdout, err);
                      std::fclose(err);
                      return code;
                    }),
            kTravelMapNotWritten);
  EXPECT_EQ(ReadAll(MapPath()), before);
  EXPECT_FALSE(fs::exists(Gathered("hall.jpg")));
  EXPECT_TRUE(fs::is_directory(folder.Path("tour/tour clips")));  // it was there before
  const std::string said = ReadAll(errPath);
  EXPECT_EQ(said.rfind("The map was not saved: ", 0), 0u) << said;
  EXPECT_NE(said.find("\nThe copies that the map does not name were taken back.\n"),
            std::string::npos)
      << said;
}

// A map opened through a link (from the desktop, say) keeps its clips beside the map
// itself, in the folder that travels with it; the link stays a link.
TEST_F(GatherTest, ClipsOfAMapOpenedThroughALinkGoBesideTheRealMap) {
  const std::string hall = folder.Write("cam/hall.jpg", "hall");
  test::SaveMap(MapPath(), MapOf({{hall, "0"}}));
  fs::create_directories(folder.Path("desk"));
  const std::string link = folder.Path("desk/my tour.clm");
  fs::create_symlink("../tour/tour.clm", link);
  EXPECT_EQ(GatherFolderFor(link), folder.Path("tour/tour clips"));

  EXPECT_EQ(Gather(link), kTravelNothingMissing);
  EXPECT_EQ(ReadAll(Gathered("hall.jpg")), "hall");
  EXPECT_FALSE(fs::exists(folder.Path("desk/my tour clips")));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadMapFile(MapPath()).marks.At(0).Clip, Gathered("hall.jpg"));
}

// The half copies (".mw-copy-" and six letters) in `folder`.
std::vector<std::string> HalfCopies(const std::string& folder) {
  std::vector<std::string> found;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(".mw-copy-", 0) == 0 && name.size() == 15) found.push_back(name);
  }
  return found;
}

void MakeOld(const std::string& path) {
  fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::hours(1));
}

// Runs `attempt` in a child process that is killed once it writes a file past
// `fileSizeLimit` bytes; gives the signal that ended it (0 when none did).
int KilledPastSize(rlim_t fileSizeLimit, const std::function<void()>& attempt) {
  const pid_t child = fork();
  if (child == 0) {
    signal(SIGXFSZ, SIG_DFL);
    rlimit noCore{0, 0}, limit{fileSizeLimit, fileSizeLimit};
    setrlimit(RLIMIT_CORE, &noCore);
    setrlimit(RLIMIT_FSIZE, &limit);
    attempt();
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
}

// Another process, standing for a copy still running, holding the lock of `path`.
class LockHolder {
 public:
  explicit LockHolder(const std::string& path) {
    int ready[2], release[2];
    if (pipe(ready) != 0 || pipe(release) != 0) return;
    child_ = fork();
    if (child_ == 0) {
      close(ready[0]);
      close(release[1]);
      const int fd = open(path.c_str(), O_RDONLY);
      char byte = fd >= 0 && flock(fd, LOCK_EX) == 0 ? 'y' : 'n';
      if (write(ready[1], &byte, 1) != 1 || read(release[0], &byte, 1) < 0) _exit(1);
      _exit(0);
    }
    close(ready[1]);
    close(release[0]);
    char byte = 'n';
    locked_ = read(ready[0], &byte, 1) == 1 && byte == 'y';
    close(ready[0]);
    release_ = release[1];
  }
  ~LockHolder() { Release(); }
  bool Locked() const { return locked_; }
  void Release() {
    if (release_ < 0) return;
    close(release_);
    release_ = -1;
    waitpid(child_, nullptr, 0);
  }

 private:
  pid_t child_ = -1;
  int release_ = -1;
  bool locked_ = false;
};

// A gather killed while it copies a movie leaves the half copy it was writing; the next
// gather into that folder clears it at once, so the hidden rest does not travel along.
TEST_F(GatherTest, HalfCopyOfAKilledGatherIsClearedByTheNext) {
  const std::string hall = folder.Write("cam/hall.jpg", "hall");
  const std::string movie = folder.Write("cam/walk.mpg", std::string(100000, 'm'));
  test::SaveMap(MapPath(), MapOf({{hall, movie}}));
  EXPECT_EQ(KilledPastSize(1000, [&] { GatherClips(ReadMapFile(MapPath()).marks, MapPath(), ""); }),
            SIGXFSZ);
  ASSERT_EQ(HalfCopies(folder.Path("tour/tour clips")).size(), 1u);

  EXPECT_EQ(Gather(MapPath()), kTravelNothingMissing);
  EXPECT_TRUE(HalfCopies(folder.Path("tour/tour clips")).empty());
  EXPECT_EQ(ReadAll(Gathered("walk.mpg")), ReadAll(movie));
}

// A copy running in another process keeps its half copy, however long it has run; other
// hidden files of the folder are never touched.
TEST_F(GatherTest, HalfCopyOfARunningCopyIsLeftAlone) {
  const std::string hall = folder.Write("cam/hall.jpg", "hall");
  test::SaveMap(MapPath(), MapOf({{hall, "0"}}));
  const std::string running = folder.Write("tour/tour clips/.mw-copy-Ab12Cd", "half a movie");
  const std::string notes = folder.Write("tour/tour clips/.mw-copy-notes", "the person's own");
  MakeOld(running);
  MakeOld(notes);
  LockHolder copy(running);
  ASSERT_TRUE(copy.Locked());
  EXPECT_EQ(Gather(MapPath()), kTravelNothingMissing);
  EXPECT_TRUE(fs::exists(running));

  copy.Release();
  EXPECT_EQ(Gather(MapPath()), kTravelNothingMissing);
  EXPECT_FALSE(fs::exists(running));
  EXPECT_TRUE(fs::exists(notes));
}

// Copies into a folder that another process clears of leftovers the whole time all
// arrive whole.
TEST(SafeCopy, ACopyIsNeverLostToLeftoversClearedMeanwhile) {
  TravelFolder folder;
  const std::string movie = folder.Write("cam/walk.mpg", std::string(4 << 20, 'm'));
  fs::create_directories(folder.Path("clips"));
  const pid_t clearer = fork();
  if (clearer == 0) {
    for (;;) RemoveLeftoverCopies(folder.Path("clips"));
  }
  for (int k = 0; k < 30; ++k) {
    const std::string target = folder.Path("clips/walk-" + std::to_string(k) + ".mpg");
    std::string reason;
    EXPECT_EQ(CopyToNewFile(movie, target, reason), CopyResult::Copied) << k << ": " << reason;
  }
  kill(clearer, SIGKILL);
  waitpid(clearer, nullptr, 0);
}

TEST(GatherFolder, IsNamedAfterTheMap) {
  EXPECT_EQ(GatherFolderFor("/a/b/tour.clm"), "/a/b/tour clips");
  EXPECT_EQ(GatherFolderFor("/a/b/tour"), "/a/b/tour clips");
  EXPECT_EQ(GatherFolderFor("/a/b/.clm"), "/a/b/.clm clips");
}

}  // namespace
}  // namespace mw
