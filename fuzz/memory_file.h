#pragma once
// The fuzz input as a real, regular file in memory, for readers that take a descriptor
// or a path.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace mw::fuzz {

class MemoryFile {
 public:
  MemoryFile(const std::uint8_t* data, std::size_t size) : fd_(memfd_create("input", MFD_CLOEXEC)) {
    if (fd_ < 0) std::abort();
    for (std::size_t done = 0; done < size;) {
      const ssize_t written = write(fd_, data + done, size - done);
      if (written <= 0) std::abort();
      done += static_cast<std::size_t>(written);
    }
  }
  ~MemoryFile() { close(fd_); }
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;

  int Fd() const { return fd_; }
  std::string Path() const { return "/proc/self/fd/" + std::to_string(fd_); }

 private:
  int fd_;
};

}  // namespace mw::fuzz
