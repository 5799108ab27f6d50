#pragma once
// Replacing a file's content without ever losing the old content.

#include <string>
#include <string_view>

#include "map/file_bytes.h"

namespace mw {

// Outcome of a file replacement; `error` says what went wrong in plain words.
struct WriteOutcome {
  bool ok = false;
  std::string error;
};

// Replaces the content of the file at `path` with `content`: writes a temporary file
// in the same folder, checks every write, flushes and fsyncs it, then renames it over
// the target. A symbolic link stays a link (the file it points to is replaced) and an
// existing file keeps its permission bits. On any failure the old file is untouched
// and no temporary file is left behind.
WriteOutcome ReplaceFileContent(const std::string& path, std::string_view content);

// True when the file at `path` can be opened for reading.
bool CanOpenForReading(const std::string& path);
// True when nothing at all exists at `path` (a dangling link counts as nothing).
bool NothingAt(const std::string& path);

// Reads a whole file into `content`; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, FileBytes& content);
bool ReadWholeFile(const std::string& path, std::string& content);

}  // namespace mw
