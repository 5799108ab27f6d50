#include "map/safe_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <future>
#include <system_error>

namespace mw {
namespace {

std::string ErrnoText(const std::string& what) { return what + ": " + std::strerror(errno); }

std::string FolderOf(const std::string& path) {
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Follows symbolic links from `path` to the file that is really to be replaced.
// A dangling link gives the path it points to, so that file is created.
bool ResolveLinks(std::string path, std::string& resolved, std::string& error) {
  for (int depth = 0; depth < 40; ++depth) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
      resolved = path;
      return true;
    }
    std::string target(PATH_MAX, '\0');
    ssize_t length = readlink(path.c_str(), target.data(), target.size());
    if (length < 0) {
      error = ErrnoText("cannot read link " + path);
      return false;
    }
    target.resize(static_cast<std::size_t>(length));
    path = (!target.empty() && target[0] == '/') ? target : FolderOf(path) + "/" + target;
  }
  error = "too many levels of symbolic links: " + path;
  return false;
}

bool WriteAll(int fd, std::string_view content) {
  while (!content.empty()) {
    ssize_t written = write(fd, content.data(), content.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    content.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

mode_t NewFileMode() {
  mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

// Gives the temporary file the mode (and, where allowed, the owner) of the file it replaces.
void CopyAttributes(int fd, const std::string& target) {
  struct stat info {};
  if (stat(target.c_str(), &info) == 0) {
    fchmod(fd, info.st_mode & 07777);
    if (fchown(fd, info.st_uid, info.st_gid) != 0) { /* not ours to give away: keep ours */ }
  } else {
    fchmod(fd, NewFileMode());
  }
}

void SyncFolder(const std::string& folder) {
  int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    fsync(fd);
    close(fd);
  }
}

}  // namespace

WriteOutcome ReplaceFileContent(const std::string& path, std::string_view content) {
  WriteOutcome outcome;
  std::string target;
  if (!ResolveLinks(path, target, outcome.error)) return outcome;
  struct stat info {};
  if (stat(target.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
    outcome.error = target + " is not a regular file";
    return outcome;
  }
  const std::string folder = FolderOf(target);
  auto slash = target.rfind('/');
  std::string bare = slash == std::string::npos ? target : target.substr(slash + 1);
  std::string temp = folder + "/." + bare + ".XXXXXX";
  int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) {
    outcome.error = ErrnoText("cannot create a file in " + folder);
    return outcome;
  }
  CopyAttributes(fd, target);
  bool written = WriteAll(fd, content);
  if (!written) outcome.error = ErrnoText("cannot write " + temp);
  if (written && fsync(fd) != 0) {
    written = false;
    outcome.error = ErrnoText("cannot flush " + temp);
  }
  if (close(fd) != 0 && written) {
    written = false;
    outcome.error = ErrnoText("cannot close " + temp);
  }
  if (written && rename(temp.c_str(), target.c_str()) != 0) {
    written = false;
    outcome.error = ErrnoText("cannot replace " + target);
  }
  if (!written) {
    unlink(temp.c_str());
    return outcome;
  }
  SyncFolder(folder);
  outcome.ok = true;
  return outcome;
}

bool CanOpenForReading(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  close(fd);
  return true;
}

bool NothingAt(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) != 0 && errno == ENOENT;
}

namespace {

// Reads `count` bytes at `offset`; false when the file ends before them or fails.
bool ReadFullyAt(int fd, char* into, std::size_t count, std::size_t offset) {
  while (count > 0) {
    ssize_t got = pread(fd, into, count, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    into += got;
    offset += static_cast<std::size_t>(got);
    count -= static_cast<std::size_t>(got);
  }
  return true;
}

// From this size on, a file is read on two threads, a half each: copying it out of
// the page cache then takes about half the time.
constexpr std::size_t kTwoThreadReadBytes = std::size_t{4} << 20;

// Reads the first `size` bytes of the file into `into`, on two threads when there
// is a second one to be had. False when the file gave fewer bytes.
bool ReadStartInHalves(int fd, std::size_t size, char* into) {
  const std::size_t half = size / 2;
  std::future<bool> secondHalf;
  try {
    secondHalf = std::async(std::launch::async,
                            [=] { return ReadFullyAt(fd, into + half, size - half, half); });
  } catch (const std::system_error&) {
    return ReadFullyAt(fd, into, size, 0);
  }
  const bool firstRead = ReadFullyAt(fd, into, half, 0);
  return secondHalf.get() && firstRead;
}

// Reads the `size` bytes a large file has by its status, in halves. A file that gave
// fewer (it shrank meanwhile) leaves `content` empty, to be read again from its start.
void ReadKnownBytesInHalves(int fd, std::size_t size, FileBytes& content) {
  if (ReadStartInHalves(fd, size, content.End()) &&
      lseek(fd, static_cast<off_t>(size), SEEK_SET) == static_cast<off_t>(size))
    content.Commit(size);
}

}  // namespace

bool ReadWholeFile(const std::string& path, FileBytes& content) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info {};
  if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    close(fd);
    return false;
  }
  // Read straight into the buffer; a file that grows meanwhile (or a pipe) is read on.
  content.Clear();
  const bool regular = S_ISREG(info.st_mode);
  const auto expected = static_cast<std::size_t>(info.st_size);
  content.Reserve(regular ? expected + 1 : 1 << 16);
  if (regular && expected >= kTwoThreadReadBytes) ReadKnownBytesInHalves(fd, expected, content);
  bool ok = true;
  for (;;) {
    if (content.Room() == 0) content.Reserve(content.Size() * 2);
    ssize_t got = read(fd, content.End(), content.Room());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) ok = false;
    if (got <= 0) break;
    content.Commit(static_cast<std::size_t>(got));
  }
  close(fd);
  return ok;
}

bool ReadWholeFile(const std::string& path, std::string& content) {
  FileBytes bytes;
  if (!ReadWholeFile(path, bytes)) return false;
  content.assign(bytes.View());
  return true;
}

}  // namespace mw
