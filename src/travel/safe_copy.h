#pragma once
// Copying a clip file without ever replacing another file or leaving half a copy.

#include <string>

namespace mw {

enum class CopyResult { Copied, TargetExists, Failed };

// Copies the regular file `source` to `target`, which must not exist yet: the bytes go
// to a temporary file in the target's folder, are flushed to disk, and the file then
// takes the target's name only if nothing has that name. On failure nothing is left
// behind and `reason` says why in the system's words.
CopyResult CopyToNewFile(const std::string& source, const std::string& target, std::string& reason);

// Removes from `folder` the half copies (".mw-copy-" and six letters or digits) that
// copies cut off by a kill or a crash left behind. A copy still running, here or in
// another process, holds a lock on its half copy, which is then left alone; where the
// file system takes no locks, only half copies older than ten minutes are removed.
void RemoveLeftoverCopies(const std::string& folder);

// True when both paths are regular files with the same bytes.
bool SameFileContent(const std::string& a, const std::string& b);

}  // namespace mw
