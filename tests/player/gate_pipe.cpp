#include "gate_pipe.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace mw::test {

GatePipe::GatePipe() {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) == 0) {
    read_ = ends[0];
    write_ = ends[1];
  }
}

GatePipe::~GatePipe() {
  if (read_ >= 0) close(read_);
  End();
}

int GatePipe::TakeReadEnd() {
  return std::exchange(read_, -1);
}

bool GatePipe::Write(const std::string& bytes) {
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t now = write(write_, bytes.data() + written, bytes.size() - written);
    if (now < 0 && errno == EINTR) continue;
    if (now <= 0) return false;
    written += static_cast<std::size_t>(now);
  }
  return true;
}

void GatePipe::End() {
  if (write_ >= 0) close(write_);
  write_ = -1;
}

}  // namespace mw::test
