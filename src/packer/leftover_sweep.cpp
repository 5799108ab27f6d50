#include "packer/leftover_sweep.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "packer/program_folder.h"
#include "packer/runtime_cache.h"
#include "packer/temp_folder.h"

namespace mw::packer {
namespace {

bool StartsWithAny(const std::string& name, const std::vector<std::string>& prefixes) {
  return std::any_of(prefixes.begin(), prefixes.end(),
                     [&](const std::string& prefix) { return name.starts_with(prefix); });
}

// The folder's entry names that start with one of prefixes.
std::vector<std::string> Candidates(const std::string& parent,
                                    const std::vector<std::string>& prefixes) {
  std::vector<std::string> names;
  DIR* dir = opendir(parent.c_str());
  if (!dir) return names;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (StartsWithAny(name, prefixes)) names.push_back(name);
  }
  closedir(dir);
  return names;
}

// Whether path is an old enough folder of ours that no one holds locked. The lock taken to
// find out is held (on the returned descriptor) until the folder is removed.
int LockIfAbandoned(const std::string& path, int min_age_seconds) {
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != geteuid()) {
    return -1;
  }
  if (time(nullptr) - info.st_mtime < min_age_seconds) return -1;
  const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return -1;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

void AddBase(std::vector<std::string>& bases, const char* variable, const char* fallback) {
  const char* value = std::getenv(variable);
  if (value && value[0] == '/') {
    bases.emplace_back(value);
  } else if (fallback) {
    bases.emplace_back(fallback);
  }
}

}  // namespace

FolderLock::FolderLock(const std::string& folder, bool inherited)
    : fd_(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | (inherited ? 0 : O_CLOEXEC))) {
  if (fd_ >= 0) flock(fd_, LOCK_EX | LOCK_NB);
}

FolderLock::~FolderLock() {
  if (fd_ >= 0) close(fd_);
}

int SweepLeftovers(const std::string& parent, const std::vector<std::string>& prefixes,
                   int min_age_seconds) {
  int removed = 0;
  for (const std::string& name : Candidates(parent, prefixes)) {
    const std::string path = JoinPath(parent, name);
    const int lock = LockIfAbandoned(path, min_age_seconds);
    if (lock < 0) continue;
    if (RemoveTree(path)) ++removed;
    close(lock);
  }
  return removed;
}

void SweepPackageLeftovers() {
  std::vector<std::string> bases;
  AddBase(bases, "TMPDIR", "/tmp");
  AddBase(bases, "XDG_RUNTIME_DIR", nullptr);
  for (const std::string& base : bases) SweepLeftovers(base, {"mwpkg-"});
  if (const std::string cache = RuntimeCacheFolder(); !cache.empty()) {
    SweepLeftovers(cache, {"mwpkg-", ".part-", ".damaged-"});
  }
}

}  // namespace mw::packer
