#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mw::packer {

// How the archiver compresses.
enum class Compression {
  kAlways,          // zstd
  kNever,           // a plain tar, for content that does not compress
  kWhenWorthwhile,  // zstd only when samples of the files show a saving
};

struct PackOptions {
  int zstd_level = 1;  // fast: photos and movies barely compress
  int threads = 0;     // compression threads; 0: as libarchive chooses
  Compression compression = Compression::kAlways;
};

// Writes one tar archive (zstd-compressed unless options say otherwise) of the regular files at
// paths to out_fd, each stored under its bare name (the text after its last "/") with its
// permission bits. Throws PackerError for a missing or non-regular file, two files with the same
// bare name, a file that changes size while it is packed, or a failed write. Returns the
// content hash of the archive's bytes, computed while they were written; zstd frames carry
// their own checksums too.
std::uint64_t PackFiles(int out_fd, const std::vector<std::string>& paths,
                        const PackOptions& options);

// The bare name of path: the text after its last "/".
std::string BareName(const std::string& path);

}  // namespace mw::packer
