#include "packer/package_trailer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "packer/packer_error.h"
#include "packer/runtime_parts.h"

namespace mw::packer {

namespace {

// A truncated package lost its trailer too.
constexpr const char* kNoTrailer =
    "this program carries no package, or its package is cut short (no package trailer found)";
constexpr char kMagic[8] = {'M', 'W', 'P', 'K', 'G', '\x02', '\r', '\n'};

}  // namespace

void PutU64(unsigned char* out, std::uint64_t value) {
  for (int i = 0; i < 8; ++i) out[i] = static_cast<unsigned char>(value >> (8 * i));
}

std::uint64_t GetU64(const unsigned char* in) {
  std::uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = (value << 8) | in[i];
  return value;
}

void ReadExactly(int fd, void* buffer, std::size_t size, std::uint64_t offset) {
  auto* out = static_cast<char*>(buffer);
  while (size > 0) {
    const ssize_t got = pread(fd, out, size, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw PackerError(ErrnoText("cannot read the package", errno));
    if (got == 0) throw PackerError("the package file is truncated");
    out += got;
    offset += static_cast<std::uint64_t>(got);
    size -= static_cast<std::size_t>(got);
  }
}

namespace {

PackageTrailer DecodeTrailer(const unsigned char* bytes) {
  if (std::memcmp(bytes, kMagic, sizeof kMagic) != 0) {
    throw PackerError(kNoTrailer);
  }
  return {GetU64(bytes + 8), GetU64(bytes + 16), GetU64(bytes + 24), GetU64(bytes + 32),
          GetU64(bytes + 40)};
}

void CheckFitsFile(const PackageTrailer& t, std::uint64_t file_size) {
  const std::uint64_t parts = file_size - kTrailerSize;
  const bool fits = t.archive_offset > 0 && t.archive_offset <= parts &&
                    t.archive_size <= parts - t.archive_offset &&
                    t.launch_line_size == parts - t.archive_offset - t.archive_size &&
                    t.launch_line_size <= kMaxLaunchLineSize;
  if (!fits) throw PackerError("the package trailer does not match the package file");
}

}  // namespace

std::string ErrnoText(const std::string& what, int error_number) {
  return what + ": " + std::strerror(error_number);
}

void ThrowWriteError(const std::string& what, int error_number) {
  const std::string text = ErrnoText(what, error_number);
  if (error_number == ENOSPC || error_number == EDQUOT || error_number == EFBIG)
    throw NoRoomError(text);
  throw PackerError(text);
}

std::uint64_t HashOfBytes(const std::string& bytes) {
  ContentHash hash;
  hash.Add(bytes.data(), bytes.size());
  return hash.Value();
}

std::array<unsigned char, kTrailerSize> EncodeTrailer(const PackageTrailer& trailer) {
  std::array<unsigned char, kTrailerSize> bytes{};
  std::memcpy(bytes.data(), kMagic, sizeof kMagic);
  PutU64(bytes.data() + 8, trailer.archive_offset);
  PutU64(bytes.data() + 16, trailer.archive_size);
  PutU64(bytes.data() + 24, trailer.launch_line_size);
  PutU64(bytes.data() + 32, trailer.archive_hash);
  PutU64(bytes.data() + 40, trailer.launch_line_hash);
  return bytes;
}

PackageLayout ReadPackageLayout(int fd) {
  struct stat info {};
  if (fstat(fd, &info) != 0) throw PackerError(ErrnoText("cannot read the package", errno));
  const auto file_size = static_cast<std::uint64_t>(info.st_size);
  if (!S_ISREG(info.st_mode) || file_size < kTrailerSize) {
    throw PackerError(kNoTrailer);
  }
  unsigned char bytes[kTrailerSize];
  ReadExactly(fd, bytes, kTrailerSize, file_size - kTrailerSize);
  const PackageTrailer trailer = DecodeTrailer(bytes);
  CheckFitsFile(trailer, file_size);
  PackageLayout layout{trailer.archive_offset, trailer.archive_size, trailer.archive_hash, {}};
  layout.launch_line.resize(trailer.launch_line_size);
  ReadExactly(fd, layout.launch_line.data(), layout.launch_line.size(),
              trailer.archive_offset + trailer.archive_size);
  if (HashOfBytes(layout.launch_line) != trailer.launch_line_hash) {
    throw PackerError("the package is refused: it is damaged (its launch line does not match "
                      "its check)");
  }
  return layout;
}

}  // namespace mw::packer
