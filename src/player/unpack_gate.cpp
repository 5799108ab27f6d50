#include "player/unpack_gate.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "packer/unpack_gate.h"

namespace mw {
namespace {

// Bytes read at most by one TakeAvailable, so that a package naming files without pause
// cannot keep the player from its other work.
constexpr std::size_t kMostBytesAtOnce = 1 << 20;
constexpr std::size_t kBlockBytes = 4096;

// The descriptor the text names: a decimal number only, above the standard streams.
int DescriptorNamed(const char* text) {
  if (text == nullptr || *text == '\0') return -1;
  const char* end = text + std::strlen(text);
  int descriptor = -1;
  const auto [stop, error] = std::from_chars(text, end, descriptor);
  if (error != std::errc() || stop != end || descriptor <= STDERR_FILENO) return -1;
  return descriptor;
}

// An open pipe or fifo that this process can read from.
bool IsReadablePipe(int descriptor) {
  struct stat status {};
  if (fstat(descriptor, &status) != 0 || !S_ISFIFO(status.st_mode)) return false;
  const int flags = fcntl(descriptor, F_GETFL);
  return flags >= 0 && (flags & O_ACCMODE) != O_WRONLY;
}

// A bare file name of the folder: not empty, no "/", not "." or "..".
bool IsBareName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

}  // namespace

UnpackGate::UnpackGate(int descriptor) : descriptor_(descriptor < 0 ? -1 : descriptor) {}

UnpackGate::~UnpackGate() {
  if (descriptor_ >= 0) close(descriptor_);
}

UnpackGate::UnpackGate(UnpackGate&& other) noexcept
    : descriptor_(std::exchange(other.descriptor_, -1)),
      partial_(std::move(other.partial_)),
      overlong_(other.overlong_),
      names_(std::move(other.names_)) {}

UnpackGate& UnpackGate::operator=(UnpackGate&& other) noexcept {
  if (this != &other) {
    if (descriptor_ >= 0) close(descriptor_);
    descriptor_ = std::exchange(other.descriptor_, -1);
    partial_ = std::move(other.partial_);
    overlong_ = other.overlong_;
    names_ = std::move(other.names_);
  }
  return *this;
}

UnpackGate UnpackGate::FromEnvironment() {
  const char* value = std::getenv(packer::kUnpackGateVariable);
  const int descriptor = DescriptorNamed(value);
  if (value != nullptr) unsetenv(packer::kUnpackGateVariable);
  if (descriptor < 0 || !IsReadablePipe(descriptor)) return UnpackGate();
  fcntl(descriptor, F_SETFD, fcntl(descriptor, F_GETFD) | FD_CLOEXEC);
  return UnpackGate(descriptor);
}

bool UnpackGate::InPlace(const std::string& name) const {
  return AllInPlace() || names_.contains(name);
}

void UnpackGate::TakeAvailable() {
  for (std::size_t blocks = 0; blocks < kMostBytesAtOnce / kBlockBytes; ++blocks) {
    if (!ReadBlock(false)) return;
  }
}

void UnpackGate::WaitFor(const std::string& name) {
  while (!InPlace(name)) ReadBlock(true);
}

bool UnpackGate::ReadBlock(bool wait) {
  if (AllInPlace()) return false;
  pollfd ready{descriptor_, POLLIN, 0};
  const int polled = poll(&ready, 1, wait ? -1 : 0);
  if (polled < 0) return errno == EINTR;
  if (polled == 0) return false;
  char block[kBlockBytes];
  const ssize_t got = read(descriptor_, block, sizeof block);
  if (got < 0 && (errno == EINTR || errno == EAGAIN)) return true;
  // The end, or a pipe that can no longer be read: nothing more will come either way.
  if (got <= 0) {
    Close();
    return false;
  }
  Take(block, static_cast<std::size_t>(got));
  return true;
}

void UnpackGate::Take(const char* bytes, std::size_t count) {
  const char* const end = bytes + count;
  while (bytes < end) {
    const char* nul = static_cast<const char*>(std::memchr(bytes, '\0', end - bytes));
    const char* stop = nul ? nul : end;
    const std::size_t length = static_cast<std::size_t>(stop - bytes);
    if (!overlong_ && partial_.size() + length <= kLongestName) {
      partial_.append(bytes, length);
    } else {
      overlong_ = true;
      partial_.clear();
    }
    if (!nul) return;
    if (!overlong_) KeepName(std::move(partial_));
    partial_.clear();
    overlong_ = false;
    bytes = nul + 1;
  }
}

void UnpackGate::KeepName(std::string name) {
  if (names_.size() < kMostNames && IsBareName(name)) names_.insert(std::move(name));
}

void UnpackGate::Close() {
  close(descriptor_);
  descriptor_ = -1;
  partial_.clear();
  partial_.shrink_to_fit();
  names_.clear();
}

}  // namespace mw
