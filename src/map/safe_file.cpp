#include "map/safe_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <future>
#include <system_error>

namespace mw {
namespace {

std::string ErrnoText(const std::string& what) { return what + ": " + std::strerror(errno); }

// Records a failure with the system's reason of the moment.
void Fail(WriteOutcome& outcome, const std::string& what) {
  outcome.reason = std::strerror(errno);
  outcome.error = what + ": " + outcome.reason;
}

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

// True for the name of one of our temporary files for `bare`: "." + bare + "." and six
// characters of those mkstemp chooses from.
bool IsTemporaryName(std::string_view name, std::string_view bare) {
  const std::size_t prefix = bare.size() + 2;
  if (name.size() != prefix + 6 || name[0] != '.' || name.substr(1, bare.size()) != bare ||
      name[prefix - 1] != '.')
    return false;
  for (char c : name.substr(prefix))
    if (!std::isalnum(static_cast<unsigned char>(c))) return false;
  return true;
}

// How old a temporary file must be before it counts as left behind by a cut-off save
// (a save in progress elsewhere is never that slow).
constexpr time_t kStaleTemporarySeconds = 10 * 60;

// Removes temporary files of `bare` in `folder` that a cut-off save left behind.
void RemoveStaleTemporaries(const std::string& folder, const std::string& bare) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return;
  const time_t now = time(nullptr);
  while (const dirent* entry = readdir(dir)) {
    if (!IsTemporaryName(entry->d_name, bare)) continue;
    struct stat info {};
    if (fstatat(dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISREG(info.st_mode) && now - info.st_mtime > kStaleTemporarySeconds)
      unlinkat(dirfd(dir), entry->d_name, 0);
  }
  closedir(dir);
}

}  // namespace

namespace {

WriteOutcome ReplaceTarget(const std::string& target, std::string_view content);

}  // namespace

WriteOutcome ReplaceFileContent(const std::string& path, std::string_view content) {
  WriteOutcome outcome;
  std::string target;
  if (!ResolveLinks(path, target, outcome.error)) {
    outcome.reason = outcome.error;
    return outcome;
  }
  return ReplaceTarget(target, content);
}

bool IsSymbolicLink(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

WriteOutcome ReplaceOutputFile(const std::string& path, std::string_view content) {
  if (IsSymbolicLink(path)) {
    WriteOutcome outcome;
    outcome.reason = "it is a symbolic link";
    outcome.error = path + " is a symbolic link";
    return outcome;
  }
  return ReplaceTarget(path, content);
}

namespace {

// Replaces the file `target` itself (no links are followed from here on).
WriteOutcome ReplaceTarget(const std::string& target, std::string_view content) {
  WriteOutcome outcome;
  struct stat info {};
  if (lstat(target.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode)) {
    outcome.reason = "Not a regular file";
    outcome.error = target + " is not a regular file";
    return outcome;
  }
  const std::string folder = FolderOf(target);
  auto slash = target.rfind('/');
  std::string bare = slash == std::string::npos ? target : target.substr(slash + 1);
  std::string temp = folder + "/." + bare + ".XXXXXX";
  int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) {
    Fail(outcome, "cannot create a file in " + folder);
    return outcome;
  }
  CopyAttributes(fd, target);
  bool written = WriteAll(fd, content);
  if (!written) Fail(outcome, "cannot write " + temp);
  if (written && fsync(fd) != 0) {
    written = false;
    Fail(outcome, "cannot flush " + temp);
  }
  if (close(fd) != 0 && written) {
    written = false;
    Fail(outcome, "cannot close " + temp);
  }
  if (written && rename(temp.c_str(), target.c_str()) != 0) {
    written = false;
    Fail(outcome, "cannot replace " + target);
  }
  if (!written) {
    unlink(temp.c_str());
    return outcome;
  }
  SyncFolder(folder);
  RemoveStaleTemporaries(folder, bare);
  outcome.ok = true;
  return outcome;
}

}  // namespace

int OpenRegularFile(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
      fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    const int reason = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    close(fd);
    errno = reason;
    return -1;
  }
  return fd;
}

bool CanOpenForReading(const std::string& path) {
  int fd = OpenRegularFile(path);
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

FileReadStatus ReadRegularFile(const std::string& path, std::size_t maxBytes, FileBytes& content) {
  content.Clear();
  int fd = OpenRegularFile(path);
  if (fd < 0) return FileReadStatus::CannotRead;
  struct stat info {};
  fstat(fd, &info);
  const auto expected = static_cast<std::size_t>(info.st_size);
  if (expected > maxBytes) {
    close(fd);
    return FileReadStatus::TooLarge;
  }
  // Read straight into the buffer; a file that grows meanwhile is read on, up to the limit.
  content.Reserve(expected + 1);
  if (expected >= kTwoThreadReadBytes) ReadKnownBytesInHalves(fd, expected, content);
  FileReadStatus status = FileReadStatus::Read;
  for (;;) {
    if (content.Size() > maxBytes) status = FileReadStatus::TooLarge;
    if (status != FileReadStatus::Read) break;
    if (content.Room() == 0) content.Reserve(std::min(content.Size() * 2, maxBytes + 1));
    ssize_t got = read(fd, content.End(), content.Room());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) status = FileReadStatus::CannotRead;
    if (got <= 0) break;
    content.Commit(static_cast<std::size_t>(got));
  }
  close(fd);
  if (status != FileReadStatus::Read) content.Clear();
  return status;
}

bool ReadWholeFile(const std::string& path, FileBytes& content) {
  return ReadRegularFile(path, kMaxReadBytes, content) == FileReadStatus::Read;
}

bool ReadWholeFile(const std::string& path, std::string& content) {
  FileBytes bytes;
  if (!ReadWholeFile(path, bytes)) return false;
  content.assign(bytes.View());
  return true;
}

}  // namespace mw
