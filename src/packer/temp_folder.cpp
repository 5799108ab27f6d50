#include "packer/temp_folder.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <system_error>
#include <vector>

#include "packer/packer_error.h"
#include "packer/runtime_cache.h"

namespace mw::packer {
namespace {

std::string TrimmedFolder(std::string base) {
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  return base;
}

std::string TempBase() {
  const char* tmpdir = std::getenv("TMPDIR");
  return TrimmedFolder((tmpdir && *tmpdir) ? tmpdir : "/tmp");
}

// Whether a program could be started from a folder made in base: base is a folder we may
// write in, on a mount that allows running programs.
bool CanRunProgramsIn(const std::string& base) {
  struct stat info {};
  struct statvfs mount {};
  return stat(base.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
         access(base.c_str(), W_OK | X_OK) == 0 && statvfs(base.c_str(), &mount) == 0 &&
         (mount.f_flag & ST_NOEXEC) == 0;
}

// Bytes free to an ordinary user in the folder; unknown counts as plenty.
std::uint64_t FreeBytesIn(const std::string& base) {
  struct statvfs mount {};
  if (statvfs(base.c_str(), &mount) != 0) return UINT64_MAX;
  return static_cast<std::uint64_t>(mount.f_bavail) * mount.f_frsize;
}

std::string MakeFolderIn(const std::string& base) {
  std::string path = base + "/mwpkg-XXXXXX";
  std::vector<char> name(path.begin(), path.end());
  name.push_back('\0');
  if (!mkdtemp(name.data())) return "";
  // An absolute path, so that a program started inside it can be named by this path.
  std::error_code error;
  const auto absolute = std::filesystem::absolute(name.data(), error);
  return error ? std::string(name.data()) : absolute.string();
}

// Gives the owner full rights on every folder below path, so that folders a program made
// read-only can still be emptied.
void OpenUpFolders(const std::filesystem::path& path) {
  namespace fs = std::filesystem;
  std::error_code error;
  if (!fs::is_directory(fs::symlink_status(path, error))) return;
  chmod(path.c_str(), S_IRWXU);
  for (fs::directory_iterator it(path, error), end; !error && it != end; it.increment(error)) {
    OpenUpFolders(it->path());
  }
}

}  // namespace

std::string MakePrivateTempFolder(std::uint64_t room_needed) {
  std::vector<std::string> bases{TempBase()};
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && runtime[0] == '/') {
    bases.push_back(TrimmedFolder(runtime));
  }
  if (const std::string cache = RuntimeCacheFolder(); !cache.empty()) {
    std::error_code error;
    std::filesystem::create_directories(cache, error);
    bases.push_back(cache);
  }
  std::vector<std::string> runnable;
  for (const std::string& base : bases) {
    if (CanRunProgramsIn(base)) runnable.push_back(base);
  }
  for (const std::string& base : runnable) {
    if (FreeBytesIn(base) < room_needed) continue;
    if (std::string folder = MakeFolderIn(base); !folder.empty()) return folder;
  }
  for (const std::string& base : runnable) {
    if (std::string folder = MakeFolderIn(base); !folder.empty()) return folder;
  }
  throw PackerError("no temporary folder can run the player: " + TempBase() +
                    " is not writable or does not allow running programs, and neither does "
                    "$XDG_RUNTIME_DIR or the cache folder");
}

bool RemoveTree(const std::string& path, std::string* error_text) {
  std::error_code error;
  std::filesystem::remove_all(path, error);
  if (error) {
    OpenUpFolders(path);
    error.clear();
    std::filesystem::remove_all(path, error);
  }
  if (error && error_text) *error_text = error.message();
  return !error;
}

OwnedFolder::~OwnedFolder() {
  if (path_.empty()) return;
  std::string error;
  if (!RemoveTree(path_, &error)) {
    std::cerr << "warning: cannot remove the folder " << path_ << ": " << error << "\n";
  }
}

}  // namespace mw::packer
