#pragma once
// The file operations of a package build, each on one path, reporting success
// instead of throwing.

#include <cstdint>
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

}  // namespace mw
