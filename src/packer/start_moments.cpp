#include "packer/start_moments.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string_view>

namespace mw::packer {

StartMoments::StartMoments() {
  const char* path = std::getenv(kPackageStartReportVariable);
  if (path && *path) path_ = path;
}

void StartMoments::Mark(const char* moment) {
  if (path_.empty()) return;
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
  const std::lock_guard<std::mutex> lock(mutex_);
  lines_.append(moment).append("_ns=").append(std::to_string(ns)).append("\n");
}

void StartMoments::Write() {
  if (path_.empty()) return;
  const std::lock_guard<std::mutex> lock(mutex_);
  const int fd = open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return;
  std::string_view left(lines_);
  while (!left.empty()) {
    const ssize_t written = write(fd, left.data(), left.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) break;
    left.remove_prefix(static_cast<std::size_t>(written));
  }
  close(fd);
}

}  // namespace mw::packer
