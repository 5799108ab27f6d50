#include "packer/runtime_cache.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <climits>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>

#include "packer/packer_error.h"
#include "packer/leftover_sweep.h"
#include "packer/program_folder.h"
#include "packer/temp_folder.h"

namespace mw::packer {
namespace {

bool OnNoexecMount(const std::string& path) {
  struct statvfs info {};
  return statvfs(path.c_str(), &info) == 0 && (info.f_flag & ST_NOEXEC) != 0;
}

// Makes folder and its parents with mode 0700 where they are missing.
bool MakeFolders(const std::string& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) return false;
  chmod(folder.c_str(), S_IRWXU);
  return std::filesystem::is_directory(folder, error);
}

// Unpacks the part under a temporary name in cache and renames it to final_path once it
// matched its hash. Returns false when no folder can be made in the cache.
bool MakeCacheFolder(int fd, const RuntimePart& part, const std::string& cache,
                     const std::string& final_path) {
  std::string pattern = JoinPath(cache, ".part-" + HashName(part.hash) + "-XXXXXX");
  if (!mkdtemp(pattern.data())) return false;
  OwnedFolder partial(pattern);
  const FolderLock lock(partial.path());
  UnpackRuntimePart(fd, part, partial.path());
  if (rename(partial.path().c_str(), final_path.c_str()) == 0) {
    partial.Keep();
    return true;
  }
  // Another package made it meanwhile: ours is removed, theirs is used.
  if ((errno == EEXIST || errno == ENOTEMPTY) && IsCompleteRuntimeFolder(final_path)) return true;
  throw PackerError(ErrnoText("cannot finish the runtime folder " + final_path, errno));
}

// Moves a damaged folder out of the way (another package may still use it) and removes it.
void DiscardDamaged(const std::string& folder) {
  std::string aside = JoinPath(FolderOf(folder), ".damaged-XXXXXX");
  if (!mkdtemp(aside.data())) {
    RemoveTree(folder);
    return;
  }
  const std::string target = JoinPath(aside, "part");
  if (rename(folder.c_str(), target.c_str()) != 0) RemoveTree(folder);
  RemoveTree(aside);
}

// Unpacks the part into a new folder inside fallback, for this start only.
std::string UnpackPrivately(int fd, const RuntimePart& part, const std::string& fallback) {
  std::string pattern = JoinPath(fallback, ".runtime-XXXXXX");
  if (!mkdtemp(pattern.data())) {
    throw PackerError(ErrnoText("cannot make a folder in " + fallback, errno));
  }
  try {
    UnpackRuntimePart(fd, part, pattern);
  } catch (const RuntimeWriteError& e) {
    throw RuntimeWriteError(std::string("there is not enough room to unpack the player's "
                                        "runtime, neither in the cache folder nor in ") +
                            fallback + ": " + e.what());
  }
  return pattern;
}

// Makes link point to target. A link there already is replaced in one step (a player
// starting meanwhile from the same folder finds one or the other, never none), and one
// that points there already is left alone.
void LinkOnce(const std::string& target, const std::string& link) {
  std::string current(PATH_MAX, '\0');
  const ssize_t size = readlink(link.c_str(), current.data(), current.size());
  if (size >= 0 && current.compare(0, static_cast<std::size_t>(size), target) == 0 &&
      static_cast<std::size_t>(size) == target.size()) {
    return;
  }
  const std::string fresh = link + ".new-" + std::to_string(getpid());
  unlink(fresh.c_str());
  if (symlink(target.c_str(), fresh.c_str()) != 0 || rename(fresh.c_str(), link.c_str()) != 0) {
    const int error = errno;
    unlink(fresh.c_str());
    throw PackerError(ErrnoText("cannot link the runtime into " + link, error));
  }
}

}  // namespace

std::string RuntimeCacheFolder() {
  const char* xdg = std::getenv("XDG_CACHE_HOME");
  if (xdg && xdg[0] == '/') return JoinPath(xdg, "markweaver");
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') return JoinPath(JoinPath(home, ".cache"), "markweaver");
  return "";
}

std::string UsableCacheFolder() {
  const std::string cache = RuntimeCacheFolder();
  if (cache.empty() || !MakeFolders(cache) || access(cache.c_str(), W_OK | X_OK) != 0 ||
      OnNoexecMount(cache)) {
    return "";
  }
  return cache;
}

std::string ProvideRuntimePart(int fd, const RuntimePart& part, const std::string& fallback) {
  if (const std::string cache = UsableCacheFolder(); !cache.empty()) {
    const std::string final_path = JoinPath(cache, HashName(part.hash));
    if (IsCompleteRuntimeFolder(final_path)) return final_path;
    if (access(final_path.c_str(), F_OK) == 0) DiscardDamaged(final_path);
    try {
      if (MakeCacheFolder(fd, part, cache, final_path)) return final_path;
    } catch (const RuntimeWriteError& e) {
      // A full home folder: the package still plays, from its own folder.
      std::cerr << "package: the runtime cache " << cache << " has no room ("
                << e.what() << "); the runtime is unpacked for this start only\n";
    }
  }
  return UnpackPrivately(fd, part, fallback);
}

std::uint64_t RuntimeRoomOutsideCache(const std::vector<RuntimePart>& parts) {
  constexpr std::uint64_t kUnpackedPerPacked = 5;
  const std::string cache = UsableCacheFolder();
  std::uint64_t missing = 0;
  for (const RuntimePart& part : parts) {
    if (cache.empty() || !IsCompleteRuntimeFolder(JoinPath(cache, HashName(part.hash)))) {
      missing += part.size * kUnpackedPerPacked;
    }
  }
  struct statvfs info {};
  const bool cache_has_room = !cache.empty() && statvfs(cache.c_str(), &info) == 0 &&
                              static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize >= missing;
  return cache_has_room ? 0 : missing;
}

std::string ReplaceRuntimePart(int fd, const RuntimePart& part, const std::string& damaged,
                               const std::string& fallback) {
  DiscardDamaged(damaged);
  return ProvideRuntimePart(fd, part, fallback);
}

void LinkRuntimeInto(const std::string& runtime_folder, const std::string& dir) {
  std::error_code error;
  for (std::filesystem::directory_iterator it(runtime_folder, error), end; !error && it != end;
       it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.starts_with(".")) continue;
    LinkOnce(it->path().string(), JoinPath(dir, name));
  }
  if (error) throw PackerError("cannot read the runtime folder " + runtime_folder);
}

}  // namespace mw::packer
