#include "webexport/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace mw {

namespace {

constexpr std::size_t kBufferBytes = std::size_t{1} << 20;
// Input pieces of the base64 writer: a multiple of 3, so no piece but the last pads.
constexpr std::size_t kBase64PieceBytes = 3 * (std::size_t{1} << 18);
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The base64 characters of every 12-bit value, two by two, so that three bytes take
// two look-ups.
struct PairTable {
  char pairs[4096][2];
  constexpr PairTable() : pairs() {
    for (int k = 0; k < 4096; ++k) {
      pairs[k][0] = kAlphabet[k >> 6];
      pairs[k][1] = kAlphabet[k & 63];
    }
  }
};
constexpr PairTable kPairs;

// Encodes `size` bytes at `in` into `out` (room for 4 * ceil(size / 3) characters).
std::size_t EncodeBase64(const unsigned char* in, std::size_t size, char* out) {
  char* start = out;
  std::size_t k = 0;
  for (; k + 3 <= size; k += 3) {
    const unsigned value = (unsigned{in[k]} << 16) | (unsigned{in[k + 1]} << 8) | in[k + 2];
    std::memcpy(out, kPairs.pairs[value >> 12], 2);
    std::memcpy(out + 2, kPairs.pairs[value & 4095], 2);
    out += 4;
  }
  if (k < size) {
    const unsigned value = (unsigned{in[k]} << 16) | (k + 1 < size ? unsigned{in[k + 1]} << 8 : 0u);
    out[0] = kAlphabet[value >> 18];
    out[1] = kAlphabet[(value >> 12) & 63];
    out[2] = k + 1 < size ? kAlphabet[(value >> 6) & 63] : '=';
    out[3] = '=';
    out += 4;
  }
  return static_cast<std::size_t>(out - start);
}

std::string SystemReason() {
  return std::strerror(errno);
}

// Reads up to `size` bytes, going on after short reads; -1 on failure.
ssize_t ReadFully(int fd, unsigned char* into, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t count = ::read(fd, into + done, size - done);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) return -1;
    if (count == 0) break;
    done += static_cast<std::size_t>(count);
  }
  return static_cast<ssize_t>(done);
}

bool WriteFully(int fd, const char* bytes, std::size_t size) {
  while (size > 0) {
    const ssize_t count = ::write(fd, bytes, size);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return false;
    bytes += count;
    size -= static_cast<std::size_t>(count);
  }
  return true;
}

// Copies the rest of `in` to `out` with copy_file_range, or by reading and writing
// where the kernel cannot copy between the two.
bool CopyContent(int in, int out) {
  for (;;) {
    const ssize_t count = ::copy_file_range(in, nullptr, out, nullptr, std::size_t{1} << 30, 0);
    if (count == 0) return true;
    if (count > 0) continue;
    if (errno == EINTR) continue;
    if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP) return false;
    break;
  }
  std::vector<unsigned char> buffer(kBufferBytes);
  for (;;) {
    const ssize_t count = ReadFully(in, buffer.data(), buffer.size());
    if (count < 0) return false;
    if (count == 0) return true;
    if (!WriteFully(out, reinterpret_cast<const char*>(buffer.data()),
                    static_cast<std::size_t>(count)))
      return false;
  }
}

int CreateNew(const std::string& path) {
  return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}

}  // namespace

OutputFile::OutputFile(const std::string& path) : path_(path), buffer_(kBufferBytes) {
  fd_ = CreateNew(path);
  if (fd_ < 0) Fail("cannot create");
}

OutputFile::~OutputFile() {
  if (fd_ >= 0) ::close(fd_);
}

void OutputFile::Fail(const std::string& what) {
  if (error_.empty()) error_ = what + " " + path_ + ": " + SystemReason();
}

void OutputFile::Flush() {
  if (Failed() || used_ == 0) return;
  if (!WriteFully(fd_, buffer_.data(), used_)) Fail("cannot write");
  used_ = 0;
}

void OutputFile::Write(std::string_view bytes) {
  if (Failed()) return;
  if (used_ + bytes.size() > buffer_.size()) Flush();
  if (bytes.size() >= buffer_.size()) {
    if (!Failed() && !WriteFully(fd_, bytes.data(), bytes.size())) Fail("cannot write");
    return;
  }
  std::memcpy(buffer_.data() + used_, bytes.data(), bytes.size());
  used_ += bytes.size();
}

// Writes the next `size` bytes of `in` as base64, in chunks that are each a multiple of
// 3 bytes but the last; false when it stopped early or failed.
bool OutputFile::WriteBase64Piece(int in, const std::string& path, std::uint64_t size,
                                  std::vector<unsigned char>& chunk,
                                  const std::function<bool()>& cancelled) {
  while (size > 0) {
    if (Failed() || (cancelled && cancelled())) return false;
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), size));
    const ssize_t count = ReadFully(in, chunk.data(), want);
    if (count < 0) error_ = "cannot read " + path + ": " + SystemReason();
    if (count >= 0 && static_cast<std::size_t>(count) < want)
      error_ = "cannot read " + path + ": it became shorter while it was being written";
    if (Failed()) return false;
    const std::size_t encoded = 4 * ((want + 2) / 3);
    if (used_ + encoded > buffer_.size()) Flush();
    if (Failed()) return false;
    used_ += EncodeBase64(chunk.data(), want, buffer_.data() + used_);
    size -= want;
  }
  return true;
}

void OutputFile::WriteBase64Blocks(const std::string& path, const Base64Blocks& blocks,
                                   const std::function<bool()>& cancelled) {
  if (Failed()) return;
  const int in = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat info {};
  if (in < 0 || ::fstat(in, &info) != 0) {
    error_ = "cannot read " + path + ": " + SystemReason();
    if (in >= 0) ::close(in);
    return;
  }
  const std::uint64_t size = static_cast<std::uint64_t>(info.st_size);
  const std::uint64_t piece = std::max<std::uint64_t>(blocks.pieceBytes, 1);
  const std::uint64_t count = size == 0 ? 1 : (size + piece - 1) / piece;
  std::vector<unsigned char> chunk(kBase64PieceBytes);
  bool whole = true;
  for (std::uint64_t k = 0; k < count && whole; ++k) {
    blocks.open(k, count);
    whole = WriteBase64Piece(in, path, std::min(piece, size - k * piece), chunk, cancelled);
    if (whole) Write(blocks.close);
  }
  const ssize_t more = whole ? ReadFully(in, chunk.data(), 1) : 0;
  if (more < 0) error_ = "cannot read " + path + ": " + SystemReason();
  if (more > 0) error_ = "cannot read " + path + ": it became longer while it was being written";
  ::close(in);
}

bool OutputFile::Close() {
  Flush();
  if (fd_ >= 0) {
    if (::close(fd_) != 0) Fail("cannot write");
    fd_ = -1;
  }
  return !Failed();
}

std::string CopyClipFile(const std::string& from, const std::string& to) {
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return "cannot read " + from + ": " + SystemReason();
  const int out = CreateNew(to);
  if (out < 0) {
    std::string reason = "cannot create " + to + ": " + SystemReason();
    ::close(in);
    return reason;
  }
  std::string reason;
  if (!CopyContent(in, out)) reason = "cannot copy " + from + ": " + SystemReason();
  if (::close(out) != 0 && reason.empty()) reason = "cannot write " + to + ": " + SystemReason();
  ::close(in);
  if (!reason.empty()) ::unlink(to.c_str());
  return reason;
}

std::string WriteNewFile(const std::string& path, std::string_view bytes) {
  OutputFile file(path);
  file.Write(bytes);
  if (file.Close()) return {};
  ::unlink(path.c_str());
  return file.Error();
}

std::string Base64(std::string_view bytes) {
  std::string out(4 * ((bytes.size() + 2) / 3), '\0');
  EncodeBase64(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), out.data());
  return out;
}

}  // namespace mw
