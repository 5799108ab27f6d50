#pragma once
// A throw-away folder for the tests of maps that travel: clips, maps and links made in it
// as a person would lay out a tour.

#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "map/map_file.h"

namespace mw::test {

class TravelFolder {
 public:
  TravelFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "mw-travel-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
  }
  ~TravelFolder() {
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(root_, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, error);
    }
    std::filesystem::remove_all(root_, error);
  }
  TravelFolder(const TravelFolder&) = delete;
  TravelFolder& operator=(const TravelFolder&) = delete;

  // The folder's full path, without a trailing "/".
  const std::string& Root() const { return root_; }
  std::string Path(const std::string& relative) const { return root_ + "/" + relative; }

  // Writes a file under the folder, making its folders; gives its full path.
  std::string Write(const std::string& relative, const std::string& content) const {
    const std::string path = Path(relative);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
    return path;
  }

 private:
  std::string root_;
};

inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

// A mark on `clip` that opens `next`.
inline ClickerMark Mark(const std::string& clip, const std::string& next) {
  ClickerMark mark;
  mark.Clip = clip;
  mark.NextClip = next;
  mark.Hint = "to " + next;
  return mark;
}

// A map of marks, each a pair of clip and target.
inline ClipMap MapOf(const std::vector<std::pair<std::string, std::string>>& links) {
  ClipMap map;
  for (const auto& [clip, next] : links) map.Append(Mark(clip, next));
  return map;
}

// Saves `map` at `path` as the editor would.
inline void SaveMap(const std::string& path, const ClipMap& map) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  if (WriteMapFile(path, WindowSize{610, 545}, map.Marks()).status != MapWriteStatus::Written)
    throw std::runtime_error("cannot write " + path);
}

// Runs `attempt` in a child process with files limited to `fileSizeLimit` bytes and,
// for root, as an ordinary user (so folder permissions count); gives its exit code.
inline int InChild(rlim_t fileSizeLimit, const std::function<int()>& attempt) {
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
inline void OpenToAll(const std::string& folder) {
  std::filesystem::permissions(folder, std::filesystem::perms::all);
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
    std::filesystem::permissions(entry.path(), std::filesystem::perms::all);
}

}  // namespace mw::test
