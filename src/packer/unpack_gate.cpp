#include "packer/unpack_gate.h"

#include <fcntl.h>
#include <unistd.h>

#include <climits>
#include <cerrno>

#include "packer/packer_error.h"

namespace mw::packer {

UnpackGateWriter::UnpackGateWriter() {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) throw PackerError(ErrnoText("cannot make a pipe", errno));
  read_end_ = ends[0];
  write_end_ = ends[1];
  // Our own read end stays open while names are written, so a player that ended early never
  // turns a name into a broken pipe; a full pipe only stops the naming.
  fcntl(write_end_, F_SETFL, fcntl(write_end_, F_GETFL) | O_NONBLOCK);
}

UnpackGateWriter::~UnpackGateWriter() { Close(); }

void UnpackGateWriter::Name(const std::string& file) {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (write_end_ < 0 || full_) return;
  const std::string record = file + '\0';
  // Up to PIPE_BUF bytes are written whole or not at all; no file has a longer name.
  if (record.size() > PIPE_BUF) {
    full_ = true;
    return;
  }
  ssize_t written;
  while ((written = write(write_end_, record.data(), record.size())) < 0 && errno == EINTR) {
  }
  if (written != static_cast<ssize_t>(record.size())) full_ = true;
}

void UnpackGateWriter::Close() {
  const std::lock_guard<std::mutex> lock(mutex_);
  for (int* end : {&write_end_, &read_end_}) {
    if (*end >= 0) close(*end);
    *end = -1;
  }
}

}  // namespace mw::packer
