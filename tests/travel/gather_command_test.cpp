// The command-line gather against another program saving the same map while the clips
// are copied: the map saved meanwhile is never overwritten.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>

#include "travel/travel_command.h"
#include "travel_folder.h"

namespace fs = std::filesystem;

namespace mw {
namespace {

using test::MapOf;
using test::ReadAll;
using test::TravelFolder;

// Runs the gather of `map` in a child process and, the moment it makes the clips folder
// in `mapFolder`, holds it while `meanwhile` runs; gives the child's exit code.
int GatherWhile(const std::string& map, const std::string& mapFolder, const std::string& errPath,
                const std::function<void()>& meanwhile) {
  const int watch = inotify_init1(IN_CLOEXEC);
  if (watch < 0 || inotify_add_watch(watch, mapFolder.c_str(), IN_CREATE) < 0) return -1;
  const pid_t child = fork();
  if (child == 0) {
    std::FILE* err = std::fopen(errPath.c_str(), "w");
    const int code = RunGatherCommand(map, stdout, err);
    std::fclose(err);
    _exit(code);
  }
  alignas(inotify_event) char events[4096];
  const bool seen = read(watch, events, sizeof events) > 0;
  kill(child, SIGSTOP);
  if (seen) meanwhile();
  kill(child, SIGCONT);
  close(watch);
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(GatherCommand, AMapSavedMeanwhileIsNotOverwrittenAndCopiesItDoesNotNameGoBack) {
  TravelFolder folder;
  const std::string hall = folder.Write("cam/hall.jpg", "hall");
  // Big enough that copying it takes far longer than the save meanwhile.
  const std::string movie = folder.Write("cam/walk.mpg", std::string(32 << 20, 'm'));
  const std::string map = folder.Path("tour/tour.clm");
  test::SaveMap(map, MapOf({{hall, movie}}));
  const std::string clips = folder.Path("tour/tour clips");
  // The editor saves the map with a new mark, its hall already pointing at the copy.
  const ClipMap saved = MapOf({{clips + "/hall.jpg", movie}, {movie, hall}});
  const std::string errPath = folder.Path("err.txt");

  const int code =
      GatherWhile(map, folder.Path("tour"), errPath, [&] { test::SaveMap(map, saved); });
  EXPECT_EQ(code, kTravelMapNotWritten);
  const MapFileContent now = ReadMapFile(map);
  ASSERT_EQ(now.marks.Count(), 2u);
  EXPECT_EQ(now.marks.At(0).Clip, clips + "/hall.jpg");
  EXPECT_EQ(now.marks.At(1).NextClip, hall);
  EXPECT_EQ(ReadAll(clips + "/hall.jpg"), "hall");  // named by the map saved meanwhile
  EXPECT_FALSE(fs::exists(clips + "/walk.mpg"));
  EXPECT_EQ(ReadAll(errPath),
            "The map was not saved: it was changed by another program while the clips were "
            "copied\nThe copies that the map does not name were taken back.\n");
}

}  // namespace
}  // namespace mw
