// The editor program run as a real process with --relink and --gather: exit codes, what
// it prints, and the map it leaves.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "travel_folder.h"

namespace fs = std::filesystem;

namespace mw {
namespace {

using test::MapOf;
using test::ReadAll;
using test::TravelFolder;

struct ProgramRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Runs the editor program with `arguments`, its output kept in files under `folder`.
ProgramRun RunProgram(const TravelFolder& folder, const std::vector<std::string>& arguments) {
  const std::string program = std::string(MW_BIN_DIR) + "/markweaver";
  const std::string outPath = folder.Path(".out"), errPath = folder.Path(".err");
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(out, 1);
    ::dup2(err, 2);
    ::execv(program.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadAll(outPath), ReadAll(errPath)};
}

TEST(TravelCommandProcess, RelinkWithAndWithoutSearchThenGather) {
  TravelFolder folder;
  const std::string hall = folder.Write("old/rooms/hall.jpg", "hall");
  const std::string bath = folder.Write("old/rooms/bath.jpg", "bath");
  const std::string map = folder.Path("maps/tour.clm");
  test::SaveMap(map, MapOf({{hall, bath}, {bath, hall}}));
  fs::rename(folder.Path("old"), folder.Path("stick"));

  const ProgramRun beside = RunProgram(folder, {"--relink", map});
  EXPECT_EQ(beside.exitCode, 1);
  EXPECT_EQ(beside.out, "Still missing: " + hall + "\nStill missing: " + bath + "\n");

  const ProgramRun found = RunProgram(folder, {"--relink", map, "--search", folder.Path("stick")});
  EXPECT_EQ(found.exitCode, 0) << found.err;
  EXPECT_EQ(found.out, "Relinked: " + hall + " -> " + folder.Path("stick/rooms/hall.jpg") +
                           "\nRelinked: " + bath + " -> " + folder.Path("stick/rooms/bath.jpg") +
                           "\n");

  const ProgramRun gathered = RunProgram(folder, {"--gather=" + map});
  EXPECT_EQ(gathered.exitCode, 0) << gathered.err;
  EXPECT_EQ(ReadMapFile(map).marks.At(0).Clip, folder.Path("maps/tour clips/hall.jpg"));
  EXPECT_EQ(ReadAll(folder.Path("maps/tour clips/bath.jpg")), "bath");
}

TEST(TravelCommandProcess, UsageErrorsGiveTwo) {
  TravelFolder folder;
  EXPECT_EQ(RunProgram(folder, {"--relink"}).exitCode, 2);
  EXPECT_EQ(RunProgram(folder, {"--gather", "a.clm", "--search", "d"}).exitCode, 2);
  const ProgramRun unreadable = RunProgram(folder, {"--gather", folder.Path("none.clm")});
  EXPECT_EQ(unreadable.exitCode, 2);
  EXPECT_EQ(unreadable.err, "Map cannot be read: " + folder.Path("none.clm") + "\n");
}

}  // namespace
}  // namespace mw
