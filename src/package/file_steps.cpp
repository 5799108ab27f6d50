#include "package/file_steps.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace mw {

bool CopyFileReplacing(const std::string& from, const std::string& to) {
  std::error_code error;
  if (!fs::is_regular_file(from, error)) return false;
  // A clip that already lies where its copy goes is its own copy: never delete it.
  if (fs::equivalent(from, to, error)) return true;
  if (fs::exists(fs::symlink_status(to, error))) {
    ClearAttributes(to);
    fs::remove(to, error);
  }
  return fs::copy_file(from, to, fs::copy_options::overwrite_existing, error) && !error;
}

void ClearAttributes(const std::string& path) {
  std::error_code error;
  if (!fs::is_regular_file(fs::symlink_status(path, error))) return;
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add,
                  error);
}

bool DeleteFile(const std::string& path) {
  std::error_code error;
  // Only a file: a folder of the same name is left alone, and the deletion fails.
  if (fs::is_directory(fs::symlink_status(path, error))) return false;
  fs::remove(path, error);
  return !error;
}

bool RenameFile(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
    return true;
  }
  if (errno != EINVAL && errno != ENOSYS) return false;
  // A file system without no-replace renames: look first.
  if (PathExists(to)) return false;
  return ::rename(from.c_str(), to.c_str()) == 0;
}

std::uint64_t FileSizeOrZero(const std::string& path) {
  std::error_code error;
  if (!fs::is_regular_file(path, error)) return 0;
  std::uintmax_t size = fs::file_size(path, error);
  return error ? 0 : static_cast<std::uint64_t>(size);
}

bool PathExists(const std::string& path) {
  std::error_code error;
  return fs::exists(fs::symlink_status(path, error));
}

bool FolderExists(const std::string& path) {
  std::error_code error;
  return fs::is_directory(path, error);
}

bool MakeFolder(const std::string& path) {
  std::error_code error;
  fs::create_directory(path, error);
  return FolderExists(path);
}

PathStamp PathStampOf(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return {};
  return {true, info.st_dev, info.st_ino, info.st_size, info.st_mtim};
}

bool CanBeReplaced(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return errno == ENOENT;
  if (S_ISDIR(info.st_mode)) return false;
  const fs::path folder = fs::path(path).parent_path();
  return ::access(folder.empty() ? "." : folder.c_str(), W_OK | X_OK) == 0;
}

}  // namespace mw
