#pragma once
// Replacing a file's content without ever losing the old content.

#include <cstddef>
#include <string>
#include <string_view>

#include "map/file_bytes.h"

namespace mw {

// Outcome of a file replacement; `error` says what went wrong in plain words.
struct WriteOutcome {
  bool ok = false;
  std::string error;
  // The system's reason alone (such as "No space left on device"), for the user.
  std::string reason;
};

// Replaces the content of the file at `path` with `content`: writes a temporary file
// in the same folder, checks every write, flushes and fsyncs it, then renames it over
// the target. A symbolic link stays a link (the file it points to is replaced) and an
// existing file keeps its permission bits. On any failure the old file is untouched
// and no temporary file is left behind. A successful replacement also removes
// temporary files of earlier replacements of the same file that were cut off (by a kill
// or a crash) and are older than ten minutes.
WriteOutcome ReplaceFileContent(const std::string& path, std::string_view content);

// The same for an output file that must not be a symbolic link: a link at `path` is
// refused, and the new file is renamed onto `path` itself, so a link made there meanwhile
// is replaced, never the file it points to.
WriteOutcome ReplaceOutputFile(const std::string& path, std::string_view content);

// Opens `path` for reading without waiting on it (a pipe without a writer, a device)
// and gives its descriptor only when it is a regular file; -1 otherwise, with errno
// saying why (EINVAL for a file that is not a regular one). The descriptor blocks again
// once open and is the caller's to close.
int OpenRegularFile(const std::string& path);

// True when `path` is a regular file that can be opened for reading.
bool CanOpenForReading(const std::string& path);
// True when `path` is a symbolic link (also one that points nowhere).
bool IsSymbolicLink(const std::string& path);
// True when nothing at all exists at `path` (a dangling link counts as nothing).
bool NothingAt(const std::string& path);

// Most a file read may take: more than this is no file of ours.
inline constexpr std::size_t kMaxReadBytes = std::size_t{1} << 30;

enum class FileReadStatus { Read, CannotRead, TooLarge };

// Reads a whole regular file of at most `maxBytes` into `content`.
FileReadStatus ReadRegularFile(const std::string& path, std::size_t maxBytes, FileBytes& content);

// Reads a whole regular file of at most kMaxReadBytes into `content`; false when it
// cannot be opened or read, is no regular file or is larger.
bool ReadWholeFile(const std::string& path, FileBytes& content);
bool ReadWholeFile(const std::string& path, std::string& content);

}  // namespace mw
