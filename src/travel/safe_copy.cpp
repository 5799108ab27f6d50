#include "travel/safe_copy.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string_view>
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

constexpr std::string_view kHalfCopyPrefix = ".mw-copy-";
constexpr std::size_t kHalfCopyRandomLength = 6;  // the letters mkstemp chooses

// Where the file system takes no locks, a half copy this old is no running copy's.
constexpr time_t kUnlockedLeftoverSeconds = 10 * 60;

std::string TemporaryPattern(const std::string& target) {
  const std::size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  return folder + std::string(kHalfCopyPrefix) + "XXXXXX";
}

bool IsHalfCopyName(std::string_view name) {
  if (name.size() != kHalfCopyPrefix.size() + kHalfCopyRandomLength ||
      name.substr(0, kHalfCopyPrefix.size()) != kHalfCopyPrefix)
    return false;
  for (char c : name.substr(kHalfCopyPrefix.size()))
    if (!std::isalnum(static_cast<unsigned char>(c))) return false;
  return true;
}

// True when `path` still names the file open at `fd` (a gather clearing leftovers may
// have removed it before it was locked).
bool StillNamed(int fd, const std::string& path) {
  struct stat opened {
  }, named{};
  return ::fstat(fd, &opened) == 0 && ::lstat(path.c_str(), &named) == 0 &&
         opened.st_ino == named.st_ino && opened.st_dev == named.st_dev;
}

// Makes the half copy for `target` and locks it for as long as the copy runs, so that a
// gather clearing leftovers meanwhile leaves it alone. A name whose lock another process
// holds (one clearing leftovers) is given up for a new one. -1 when none can be made.
int MakeLockedHalfCopy(const std::string& target, std::string& temporary) {
  for (;;) {
    temporary = TemporaryPattern(target);
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return fd;
    const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (!locked && errno != EWOULDBLOCK) return fd;  // a file system without locks
    if (locked && StillNamed(fd, temporary)) return fd;
    ::close(fd);
  }
}

// True when the half copy open at `fd` belongs to no running copy: its lock is free, or,
// where the file system takes no locks, it is old.
bool OwnedByNoCopy(int fd, const struct stat& info) {
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
  if (errno == EWOULDBLOCK) return false;
  return std::time(nullptr) - info.st_mtime > kUnlockedLeftoverSeconds;
}

// Removes the half copy `name` in the folder open at `folderFd` when no copy owns it.
void RemoveIfLeftOver(int folderFd, const char* name) {
  Descriptor file(::openat(folderFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat info {
  }, named{};
  if (file.Get() < 0 || ::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode)) return;
  if (!OwnedByNoCopy(file.Get(), info)) return;
  // The name must still be the file just checked.
  if (::fstatat(folderFd, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_ino == info.st_ino &&
      named.st_dev == info.st_dev)
    ::unlinkat(folderFd, name, 0);
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
  std::string temporary;
  Descriptor to(MakeLockedHalfCopy(target, temporary));
  if (to.Get() < 0) {
    reason = SystemReason();
    return CopyResult::Failed;
  }
  // Keeps the lock until the half copy has its name or is gone.
  const Descriptor lock(::dup(to.Get()));
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

void RemoveLeftoverCopies(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  while (const dirent* entry = ::readdir(dir)) {
    if (IsHalfCopyName(entry->d_name)) RemoveIfLeftOver(::dirfd(dir), entry->d_name);
  }
  ::closedir(dir);
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
