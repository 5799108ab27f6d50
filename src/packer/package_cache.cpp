#include "packer/package_cache.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string_view>
#include <utility>

#include "packer/file_copy.h"
#include "packer/packer_error.h"
#include "packer/program_folder.h"
#include "packer/runtime_cache.h"

namespace mw::packer {
namespace {

constexpr const char* kEntryPrefix = "pkg-";
// The package's own records inside its folder, apart from its files.
constexpr const char* kRecords = ".package";
// Written last into an unpacked package: one line per file, see StampLine.
constexpr const char* kStamp = ".package/stamp";
// The package files found to match the unpacked package, one line each (FileIdentity).
constexpr const char* kVerified = ".package/verified";
constexpr std::size_t kMaxStampBytes = 4 << 20;
constexpr off_t kMaxVerifiedBytes = 4096;

// An open descriptor of a folder, closed at the end unless released.
class FolderFd {
 public:
  // Without CLOEXEC: programs started meanwhile inherit it, and with it any lock on it.
  explicit FolderFd(const std::string& path)
      : fd_(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW)) {}
  ~FolderFd() {
    if (fd_ >= 0) close(fd_);
  }
  FolderFd(const FolderFd&) = delete;
  FolderFd& operator=(const FolderFd&) = delete;
  int get() const { return fd_; }
  int Release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

// What the stamp records of one file: anything that writing, cutting or replacing it changes.
std::string StampLine(const struct stat& info, std::string_view name) {
  char numbers[160];
  std::snprintf(numbers, sizeof numbers,
                "%llu %llu %lld %ld %lld %ld %zu:", static_cast<unsigned long long>(info.st_ino),
                static_cast<unsigned long long>(info.st_size),
                static_cast<long long>(info.st_mtim.tv_sec), info.st_mtim.tv_nsec,
                static_cast<long long>(info.st_ctim.tv_sec), info.st_ctim.tv_nsec, name.size());
  return std::string(numbers).append(name).append("\n");
}

// The whole of a small record file of the folder; empty when it is missing or implausibly
// large.
std::string ReadRecord(int dir_fd, const char* name) {
  const int fd = openat(dir_fd, name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return "";
  std::string text;
  char buffer[16384];
  for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) != 0;) {
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 || text.size() + static_cast<std::size_t>(got) > kMaxStampBytes) {
      text.clear();
      break;
    }
    text.append(buffer, static_cast<std::size_t>(got));
  }
  close(fd);
  return text;
}

// Whether the stamp line at the front of text names a file that is still as recorded; the
// line is taken off text.
bool NextFileMatches(int dir_fd, std::string_view& text) {
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos) return false;
  const std::string numbers(text.substr(0, colon));
  std::size_t name_size = 0;
  if (std::sscanf(numbers.c_str(), "%*u %*u %*d %*d %*d %*d %zu", &name_size) != 1 ||
      name_size == 0 || text.size() < colon + 2 + name_size ||
      text[colon + 1 + name_size] != '\n') {
    return false;
  }
  const std::string name(text.substr(colon + 1, name_size));
  text.remove_prefix(colon + 2 + name_size);
  struct stat info {};
  return fstatat(dir_fd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode) &&
         StampLine(info, name) == numbers + ":" + name + "\n";
}

bool MatchesStamp(int dir_fd) {
  const std::string stamp = ReadRecord(dir_fd, kStamp);
  std::string_view text(stamp);
  if (text.empty()) return false;
  while (!text.empty()) {
    if (!NextFileMatches(dir_fd, text)) return false;
  }
  return true;
}

// The package file by what writing to it or replacing it changes.
std::string FileIdentity(int fd) {
  struct stat info {};
  if (fstat(fd, &info) != 0) return "";
  return std::to_string(info.st_dev) + " " + StampLine(info, "package");
}

// Adds the package file to those found to match the folder's package (starting the list
// afresh when it grew long).
void RecordVerified(int dir_fd, const std::string& identity) {
  struct stat info {};
  const bool full = fstatat(dir_fd, kVerified, &info, 0) == 0 && info.st_size > kMaxVerifiedBytes;
  const int fd =
      openat(dir_fd, kVerified,
             O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | (full ? O_TRUNC : O_APPEND), 0600);
  if (fd < 0) return;  // checked again at the next start
  if (write(fd, identity.data(), identity.size()) < 0) ftruncate(fd, 0);
  close(fd);
}

// Whether the package file is the one unpacked into the folder: known to match, or its
// archive checked now (which throws when it does not match).
void CheckPackageFile(int dir_fd, const PackageFile& package) {
  const std::string identity = FileIdentity(package.fd);
  const std::string verified = ReadRecord(dir_fd, kVerified);
  if (!identity.empty() && ("\n" + verified).find("\n" + identity) != std::string::npos) return;
  package.verify();
  if (!identity.empty()) RecordVerified(dir_fd, identity);
}

// The folder at path when it is the sound unpacked package, marked in use and as started now.
std::unique_ptr<PackageEntry> OpenEntry(const std::string& path, const PackageFile& package) {
  FolderFd folder(path);
  struct stat held {
  }, named{};
  if (folder.get() < 0 || flock(folder.get(), LOCK_SH | LOCK_NB) != 0 ||
      fstat(folder.get(), &held) != 0 || stat(path.c_str(), &named) != 0 ||
      held.st_ino != named.st_ino || held.st_dev != named.st_dev || !MatchesStamp(folder.get())) {
    return nullptr;
  }
  CheckPackageFile(folder.get(), package);
  futimens(folder.get(), nullptr);  // the order in which the cache keeps packages
  return std::make_unique<PackageEntry>(path, folder.Release());
}

// Which folders DiscardIfUnused removes: any (an old one the cache makes room from), or only
// one still damaged once it is held.
enum class Discard { Any, OnlyDamaged };

// Moves the folder aside and removes it unless someone holds it in use. Returns whether it
// was removed.
bool DiscardIfUnused(const std::string& path, Discard which) {
  const FolderFd folder(path);
  if (folder.get() < 0 || flock(folder.get(), LOCK_EX | LOCK_NB) != 0) return false;
  // Stamped by now, it was filled by another start in the moment its lock changed hands.
  if (which == Discard::OnlyDamaged && MatchesStamp(folder.get())) return false;
  std::string aside = JoinPath(FolderOf(path), ".damaged-XXXXXX");
  if (!mkdtemp(aside.data())) return RemoveTree(path);
  const bool moved = rename(path.c_str(), JoinPath(aside, "package").c_str()) == 0;
  RemoveTree(aside);
  return moved || RemoveTree(path);
}

std::uint64_t FreeBytesIn(const std::string& folder) {
  struct statvfs info {};
  if (statvfs(folder.c_str(), &info) != 0) return UINT64_MAX;  // unknown: the writes will tell
  return static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
}

// Why no folder could be filled in the cache's place for the package.
enum class FillOutcome { Filled, PlaceTaken, NoRoom };

// Whether the open folder is the one at path (and not one that replaced it meanwhile).
bool IsFolderAt(int fd, const std::string& path) {
  struct stat held {
  }, named{};
  return fstat(fd, &held) == 0 && stat(path.c_str(), &named) == 0 && held.st_ino == named.st_ino &&
         held.st_dev == named.st_dev;
}

// Fills folder (made and locked by the caller) and stamps it; its player may start there
// while it fills, so it is filled where it stays. Throws on refusals.
FillOutcome FillAndStamp(const std::string& folder, int lock_fd, const PackageFile& package) {
  auto abandon = [&package] {
    if (package.abandon) package.abandon();
  };
  try {
    package.fill(folder);  // checks the archive on the way
    WriteFolderStamp(folder);
  } catch (const NoRoomError&) {
    abandon();
    return FillOutcome::NoRoom;  // the package is unpacked elsewhere, quietly: nothing is lost
  } catch (...) {
    abandon();
    throw;
  }
  RecordVerified(lock_fd, FileIdentity(package.fd));
  flock(lock_fd, LOCK_SH);
  return FillOutcome::Filled;
}

// Makes the package's folder in its place and fills it there, held locked while it fills
// (a start that finds it then sees no stamp and cannot discard it); gives the entry on
// success. PlaceTaken when another start made it first.
FillOutcome FillInPlace(const std::string& final_path, const PackageFile& package,
                        std::unique_ptr<PackageEntry>& entry) {
  if (mkdir(final_path.c_str(), S_IRWXU) != 0) return FillOutcome::PlaceTaken;
  FolderFd lock(final_path);
  // A start that found the new folder before it was locked may have discarded it.
  if (lock.get() < 0 || flock(lock.get(), LOCK_EX | LOCK_NB) != 0 ||
      !IsFolderAt(lock.get(), final_path)) {
    return FillOutcome::PlaceTaken;
  }
  OwnedFolder owned(final_path);
  const FillOutcome outcome = FillAndStamp(final_path, lock.get(), package);
  if (outcome != FillOutcome::Filled) return outcome;
  owned.Keep();
  entry = std::make_unique<PackageEntry>(final_path, lock.Release());
  return outcome;
}

// Fills a folder for this start only, beside the place another start holds.
std::unique_ptr<PackageEntry> FillAside(const std::string& cache, const std::string& name,
                                        const PackageFile& package) {
  std::string partial = JoinPath(cache, ".part-" + (kEntryPrefix + name) + "-XXXXXX");
  if (!mkdtemp(partial.data())) return nullptr;
  OwnedFolder owned(partial);
  FolderFd lock(partial);
  if (lock.get() >= 0) flock(lock.get(), LOCK_EX | LOCK_NB);  // not swept while it fills
  if (FillAndStamp(partial, lock.get(), package) != FillOutcome::Filled) return nullptr;
  owned.Keep();
  return std::make_unique<PackageEntry>(partial, lock.Release(), partial);
}

// Fills a new folder in the cache as name's folder; see ProvidePackageEntry.
std::unique_ptr<PackageEntry> MakeEntry(const std::string& cache, const std::string& final_path,
                                        const std::string& name, const PackageFile& package) {
  if (access(final_path.c_str(), F_OK) == 0) DiscardIfUnused(final_path, Discard::OnlyDamaged);
  std::unique_ptr<PackageEntry> entry;
  switch (FillInPlace(final_path, package, entry)) {
    case FillOutcome::Filled:
      return entry;
    case FillOutcome::NoRoom:
      return nullptr;
    case FillOutcome::PlaceTaken:
      return FillAside(cache, name, package);
  }
  return nullptr;
}

}  // namespace

std::string PackageEntryName(const PackageLayout& layout, const std::vector<RuntimePart>& runtime) {
  ContentHash hash;
  std::string record = "MarkWeaver package cache 1";
  unsigned char word[8];
  auto put = [&](std::uint64_t value) {
    PutU64(word, value);
    record.append(reinterpret_cast<const char*>(word), sizeof word);
  };
  put(layout.archive_size);
  put(layout.archive_hash);
  put(HashOfBytes(layout.launch_line));
  put(runtime.size());
  for (const RuntimePart& part : runtime) {
    put(part.size);
    put(part.hash);
  }
  hash.Add(record.data(), record.size());
  return HashName(hash.Value());
}

void WriteFolderStamp(const std::string& folder) {
  std::string stamp;
  DIR* dir = opendir(folder.c_str());
  if (!dir) throw PackerError(ErrnoText("cannot read the folder " + folder, errno));
  while (const dirent* entry = readdir(dir)) {
    struct stat info {};
    if (fstatat(dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(info.st_mode)) {
      stamp += StampLine(info, entry->d_name);
    }
  }
  closedir(dir);
  const std::string records = JoinPath(folder, kRecords);
  // A full disk is no room, so that the package plays from another folder.
  if (mkdir(records.c_str(), S_IRWXU) != 0 && errno != EEXIST) {
    ThrowWriteError("cannot make the folder " + records, errno);
  }
  const std::string path = JoinPath(folder, kStamp);
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) ThrowWriteError("cannot write " + path, errno);
  try {
    WriteAllBytes(fd, stamp, path);
  } catch (...) {
    close(fd);
    throw;
  }
  if (close(fd) != 0) ThrowWriteError("cannot write " + path, errno);
}

bool FolderMatchesStamp(const std::string& folder) {
  const FolderFd dir(folder);
  return dir.get() >= 0 && MatchesStamp(dir.get());
}

PackageEntry::PackageEntry(std::string path, int lock_fd, std::string owned)
    : path_(std::move(path)), lock_fd_(lock_fd), owned_(std::move(owned)) {}

PackageEntry::~PackageEntry() {
  if (lock_fd_ >= 0) close(lock_fd_);
}

std::unique_ptr<PackageEntry> ProvidePackageEntry(const std::string& name,
                                                  const PackageFile& package) {
  const std::string cache = UsableCacheFolder();
  if (cache.empty()) return nullptr;
  const std::string final_path = JoinPath(cache, kEntryPrefix + name);
  if (auto entry = OpenEntry(final_path, package)) return entry;
  if (FreeBytesIn(cache) < package.room) return nullptr;
  return MakeEntry(cache, final_path, name, package);
}

int TrimPackageCache(const std::string& cache) {
  std::vector<std::pair<timespec, std::string>> entries;
  DIR* dir = opendir(cache.c_str());
  if (!dir) return 0;
  while (const dirent* entry = readdir(dir)) {
    struct stat info {};
    if (std::string_view(entry->d_name).starts_with(kEntryPrefix) &&
        fstatat(dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISDIR(info.st_mode) && info.st_uid == geteuid()) {
      entries.emplace_back(info.st_mtim, entry->d_name);
    }
  }
  closedir(dir);
  std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
    return std::pair(a.first.tv_sec, a.first.tv_nsec) > std::pair(b.first.tv_sec, b.first.tv_nsec);
  });
  int removed = 0;
  for (std::size_t i = kKeptPackages; i < entries.size(); ++i) {
    if (DiscardIfUnused(JoinPath(cache, entries[i].second), Discard::Any)) ++removed;
  }
  return removed;
}

}  // namespace mw::packer
