#pragma once
// The file operations of a package build, each on one path, reporting success
// instead of throwing.

#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <string>

namespace mw {

// Copies a regular file, replacing a file of that name already at `to`.
bool CopyFileReplacing(const std::string& from, const std::string& to);

// Makes a file writable by its owner again, so that a read-only copy can be deleted.
void ClearAttributes(const std::string& path);

// Deletes a file (or an empty folder); a missing file is no failure.
bool DeleteFile(const std::string& path);

// Renames a file, replacing nothing: fails when `to` exists.
bool RenameFile(const std::string& from, const std::string& to);

// The size of a regular file from the file system, without reading it; 0 when it
// cannot be sized.
std::uint64_t FileSizeOrZero(const std::string& path);

// True when anything (file, folder, link) exists at `path`.
bool PathExists(const std::string& path);

// True when `path` names an existing folder.
bool FolderExists(const std::string& path);

// Creates one folder; true when it exists afterwards.
bool MakeFolder(const std::string& path);

// What a path held at one moment (the link itself for a symbolic link): a later stamp
// that differs tells that the file there was replaced or changed.
struct PathStamp {
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  std::timespec modified{};
  friend bool operator==(const PathStamp& a, const PathStamp& b) {
    return a.exists == b.exists && a.device == b.device && a.inode == b.inode &&
           a.size == b.size && a.modified.tv_sec == b.modified.tv_sec &&
           a.modified.tv_nsec == b.modified.tv_nsec;
  }
};
PathStamp PathStampOf(const std::string& path);

// True when a new file can take the place of whatever is at `path`: nothing is there, or
// a file (not a folder) in a folder that can be written.
bool CanBeReplaced(const std::string& path);

}  // namespace mw
