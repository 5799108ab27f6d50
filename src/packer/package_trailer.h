#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace mw::packer {

// A package file is the self-extractor, then the archive, then the launch line, then a
// fixed-size trailer that says where the archive and the launch line lie and how to check
// them:
//   8 bytes  magic "MWPKG\x02\r\n"
//   8 bytes  offset of the archive from the start of the file (little endian)
//   8 bytes  size of the archive
//   8 bytes  size of the launch line
//   8 bytes  content hash (ContentHash) of the archive's bytes as they lie in the file
//   8 bytes  content hash of the launch line
struct PackageTrailer {
  std::uint64_t archive_offset = 0;
  std::uint64_t archive_size = 0;
  std::uint64_t launch_line_size = 0;
  std::uint64_t archive_hash = 0;
  std::uint64_t launch_line_hash = 0;
};

inline constexpr std::size_t kTrailerSize = 48;
inline constexpr std::uint64_t kMaxLaunchLineSize = 256 * 1024;

// The trailer as bytes, ready to append.
std::array<unsigned char, kTrailerSize> EncodeTrailer(const PackageTrailer& trailer);

// Where a package's parts lie, read from the package file itself.
struct PackageLayout {
  std::uint64_t archive_offset = 0;
  std::uint64_t archive_size = 0;
  std::uint64_t archive_hash = 0;  // what the archive's bytes must hash to
  std::string launch_line;
};

// The content hash of bytes held in memory (a launch line, say).
std::uint64_t HashOfBytes(const std::string& bytes);

// Eight bytes little endian, as the package's records hold numbers.
void PutU64(unsigned char* out, std::uint64_t value);
std::uint64_t GetU64(const unsigned char* in);

// Reads exactly size bytes at offset of the open package fd. Throws PackerError.
void ReadExactly(int fd, void* buffer, std::size_t size, std::uint64_t offset);

// Reads and checks the trailer of the open package file fd: the parts must fill the file
// exactly behind a non-empty head, and the launch line must match its hash. Throws
// PackerError when the file carries no package or a damaged one.
PackageLayout ReadPackageLayout(int fd);

}  // namespace mw::packer
