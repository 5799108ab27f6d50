#include "travel/safe_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "map/safe_file.h"

namespace mw {

namespace {

constexpr std::size_t kChunk = 1 << 16;

// Closes a descriptor when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int Get() const { return fd_; }
  // Closes now; false when the close reported an error.
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return fd < 0 || ::close(fd) == 0;
  }

 private:
  int fd_;
};

std::string SystemReason() {
  return std::strerror(errno);
}

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

// Copies every byte of `from` to `to`; false with errno set on the first failure.
bool CopyBytes(int from, int to) {
  std::vector<char> buffer(kChunk);
  for (;;) {
    const ssize_t got = ::read(from, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return true;
    if (!WriteAll(to, buffer.data(), static_cast<std::size_t>(got))) {
      if (errno == 0) errno = ENOSPC;
      return false;
    }
  }
}

// Gives the finished temporary file the target's name, never replacing a file.
CopyResult PutInPlace(const std::string& temporary, const std::string& target,
                      std::string& reason) {
  if (::link(temporary.c_str(), target.c_str()) == 0) {
    ::unlink(temporary.c_str());
    return CopyResult::Copied;
  }
  if (errno == EEXIST) return CopyResult::TargetExists;
  // Folders that take no hard links (a memory stick's file system): rename without
  // replacing, where the system can.
  if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
    return CopyResult::Copied;
  if (errno == EEXIST) return CopyResult::TargetExists;
  if (errno == EINVAL || errno == ENOSYS) {
    if (!NothingAt(target)) return CopyResult::TargetExists;
    if (::rename(temporary.c_str(), target.c_str()) == 0) return CopyResult::Copied;
  }
  reason = SystemReason();
  return CopyResult::Failed;
}

std::string TemporaryPattern(const std::string& target) {
  const std::size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  return folder + ".mw-copy-XXXXXX";
}

}  // namespace

CopyResult CopyToNewFile(const std::string& source, const std::string& target,
                         std::string& reason) {
  if (!NothingAt(target)) return CopyResult::TargetExists;
  Descriptor from(OpenRegularFile(source));
  if (from.Get() < 0) {
    reason = SystemReason();
    return CopyResult::Failed;
  }
  std::string temporary = TemporaryPattern(target);
  Descriptor to(::mkstemp(temporary.data()));
  if (to.Get() < 0) {
    reason = SystemReason();
    return CopyResult::Failed;
  }
  struct stat info {};
  errno = 0;
  bool ok = ::fstat(from.Get(), &info) == 0 && ::fchmod(to.Get(), info.st_mode & 0777) == 0 &&
            CopyBytes(from.Get(), to.Get()) && ::fsync(to.Get()) == 0;
  if (!ok) reason = SystemReason();
  if (!to.Close() && ok) {
    ok = false;
    reason = SystemReason();
  }
  const CopyResult result = ok ? PutInPlace(temporary, target, reason) : CopyResult::Failed;
  ::unlink(temporary.c_str());
  return result;
}

bool SameFileContent(const std::string& a, const std::string& b) {
  struct stat infoA {
  }, infoB{};
  if (::stat(a.c_str(), &infoA) != 0 || ::stat(b.c_str(), &infoB) != 0) return false;
  if (!S_ISREG(infoA.st_mode) || !S_ISREG(infoB.st_mode) || infoA.st_size != infoB.st_size)
    return false;
  Descriptor first(OpenRegularFile(a));
  Descriptor second(OpenRegularFile(b));
  if (first.Get() < 0 || second.Get() < 0) return false;
  std::vector<char> one(kChunk), two(kChunk);
  for (;;) {
    const ssize_t gotOne = ::read(first.Get(), one.data(), one.size());
    if (gotOne < 0) return false;
    if (gotOne == 0) return true;
    std::size_t gotTwo = 0;
    while (gotTwo < static_cast<std::size_t>(gotOne)) {
      const ssize_t got = ::read(second.Get(), two.data() + gotTwo, gotOne - gotTwo);
      if (got <= 0) return false;
      gotTwo += static_cast<std::size_t>(got);
    }
    if (std::memcmp(one.data(), two.data(), gotTwo) != 0) return false;
  }
}

}  // namespace mw
