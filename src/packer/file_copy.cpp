#include "packer/file_copy.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <vector>

#include "packer/packer_error.h"

namespace mw::packer {
namespace {

constexpr std::size_t kReadStep = std::size_t(1) << 20;
constexpr std::size_t kKernelStep = std::size_t(1) << 30;

void CopyByReading(int from, int to, off_t left, const std::string& from_path,
                   const std::string& to_what) {
  const auto buffer = std::make_unique_for_overwrite<char[]>(kReadStep);
  while (left > 0) {
    const std::size_t step = std::min(kReadStep, static_cast<std::size_t>(left));
    const ssize_t got = read(from, buffer.get(), step);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw PackerError(ErrnoText("cannot read " + from_path, errno));
    if (got == 0) throw PackerError(from_path + " changed while it was packed");
    WriteAllBytes(to, std::string_view(buffer.get(), static_cast<std::size_t>(got)), to_what);
    left -= got;
  }
}

}  // namespace

void WriteAllBytes(int fd, std::string_view bytes, const std::string& what) {
  while (!bytes.empty()) {
    const ssize_t written = write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) ThrowWriteError("cannot write " + what, errno);
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

void CopyFileBytes(int from, int to, off_t size, const std::string& from_path,
                   const std::string& to_what) {
  off_t left = size;
  while (left > 0) {
    const std::size_t step = std::min(kKernelStep, static_cast<std::size_t>(left));
    const ssize_t copied = copy_file_range(from, nullptr, to, nullptr, step, 0);
    if (copied < 0 && errno == EINTR) continue;
    // Whatever stops the kernel's copy, the plain copy goes on or says why it cannot.
    if (copied < 0) return CopyByReading(from, to, left, from_path, to_what);
    if (copied == 0) throw PackerError(from_path + " changed while it was packed");
    left -= copied;
  }
}

void HashFileBytes(int fd, std::uint64_t size, const std::string& path, ContentHash& hash) {
  if (size == 0) return;
  void* map = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  if (map != MAP_FAILED) {
    madvise(map, size, MADV_SEQUENTIAL);
    hash.Add(map, size);
    munmap(map, size);
    return;
  }
  std::vector<char> buffer(kReadStep);
  for (std::uint64_t done = 0; done < size;) {
    const ssize_t got = pread(fd, buffer.data(), std::min<std::uint64_t>(buffer.size(), size - done),
                              static_cast<off_t>(done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw PackerError(ErrnoText("cannot read " + path, errno));
    if (got == 0) throw PackerError(path + " changed while the package was built");
    hash.Add(buffer.data(), static_cast<std::size_t>(got));
    done += static_cast<std::uint64_t>(got);
  }
}

}  // namespace mw::packer
