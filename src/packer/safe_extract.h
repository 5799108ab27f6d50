#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "packer/printable_text.h"

namespace mw::packer {

// What an archive may hold at most.
struct ExtractLimits {
  std::uint64_t max_entries = 10000;
  std::uint64_t max_total_bytes = std::uint64_t{16} << 30;  // 16 GiB
};

// One file of an archive.
struct PackedFile {
  std::string name;
  std::uint64_t size = 0;
  mode_t permissions = 0;  // as packed, set-id and sticky bits removed
};

// Where an archive lies inside an open file.
struct ArchiveSpan {
  int fd = -1;
  std::uint64_t offset = 0;
  std::uint64_t size = 0;
  std::optional<std::uint64_t> hash;  // what its bytes must hash to, when known
};

// What a caller of ReadArchive hears, and may decide, while the archive unpacks.
struct ExtractHooks {
  // Called between entries on the reading thread; may throw to stop.
  std::function<void()> poll;
  // Asked on the reading thread once a file's content is all read (and queued for writing):
  // true to have the reading wait until that file and every one before it are in place
  // (written, or their failure thrown), before read is called.
  std::function<bool(const PackedFile&)> settle_after;
  // Called on the reading thread once a file's content is all read; may wait, which holds
  // the unpacking there, or throw to stop.
  std::function<void(const PackedFile&)> read;
  // Called on the writing thread once a file is completely in place: written, given its size
  // and permission bits, and closed. A throw stops the unpacking.
  std::function<void(const PackedFile&)> written;
};

// Reads the zstd tar archive in span and checks every entry before its content is used: a
// regular file (no link, device or folder) with a bare name (no "/", not "." or ".."), each
// name once, within limits on the count and on the total declared size, every block of
// content inside its file's declared size. With dir_fd >= 0 each file is written into that
// folder (new files only) with its permission bits less set-id bits, and the package is
// refused as soon as its declared sizes exceed the folder's free space; with -1 the content
// is only checked. hooks are called on the way (written only when files are written).
// Throws PackerError naming the first broken rule; files written so far stay
// for the caller to remove.
std::vector<PackedFile> ReadArchive(const ArchiveSpan& span, int dir_fd,
                                    const ExtractLimits& limits = {},
                                    const ExtractHooks& hooks = {});

// Reads the whole span and throws PackerError, as ReadArchive names damage, when its bytes do
// not match span.hash.
void CheckArchiveHash(const ArchiveSpan& span);

}  // namespace mw::packer
