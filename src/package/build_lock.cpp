#include "package/build_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace mw {

BuildLock::BuildLock(const std::string& folder) {
  fd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd_ < 0) return;
  if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
    held_ = true;
  } else {
    busy_ = errno == EWOULDBLOCK;
  }
}

BuildLock::~BuildLock() {
  if (fd_ >= 0) ::close(fd_);  // closing ends the lock
}

bool BuildLock::Wait() {
  if (held_) return true;
  if (fd_ < 0) return false;
  int result = 0;
  do {
    result = ::flock(fd_, LOCK_EX);
  } while (result != 0 && errno == EINTR);
  held_ = result == 0;
  busy_ = !held_;
  return held_;
}

}  // namespace mw
