#include "webexport/export_target.h"

#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "webexport/export_record.h"
#include "webexport/page_writer.h"

namespace fs = std::filesystem;

namespace mw {

namespace {

constexpr const char* kStagingInfix = ".mw-export-";

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return text;
}

std::string SystemReason() {
  return std::strerror(errno);
}

// The destination without trailing slashes, so that "out/" and "out" are one folder.
std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string StagingPrefix(const fs::path& destination) {
  return "." + destination.filename().string() + kStagingInfix;
}

bool IsEarlierFolderExport(const std::string& folder) {
  struct stat info {};
  const std::string marker = folder + "/" + kExportMarkerName;
  return ::lstat(marker.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool IsEmptyFolder(const std::string& folder) {
  std::error_code error;
  return fs::is_empty(folder, error) && !error;
}

// True when the file ends with the marker line of a single-file page.
bool IsEarlierPageExport(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in.seekg(-static_cast<std::streamoff>(kSinglePageMarker.size()), std::ios::end))
    return false;
  std::string tail(kSinglePageMarker.size(), '\0');
  return in.read(tail.data(), static_cast<std::streamsize>(tail.size())) &&
         tail == kSinglePageMarker;
}

// The permission bits new files get, from the process's umask (read without changing it).
mode_t FolderMode() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("Umask:", 0) == 0)
      return 0777 & ~static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
  }
  return 0755;
}

void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// Removes staging folders of the same destination whose export no longer runs.
void RemoveAbandonedStaging(const fs::path& destination) {
  const std::string prefix = StagingPrefix(destination);
  std::error_code error;
  for (const fs::directory_entry& entry :
       fs::directory_iterator(destination.parent_path(), error)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(prefix, 0) != 0) continue;
    const long pid = std::atol(name.c_str() + prefix.size());
    if (pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM)) continue;
    fs::remove_all(entry.path(), error);
  }
}

}  // namespace

bool IsSingleFileDestination(const std::string& destination) {
  const std::string lower = Lower(WithoutTrailingSlash(destination));
  const auto endsWith = [&](const char* end) {
    const std::size_t n = std::strlen(end);
    return lower.size() > n && lower.compare(lower.size() - n, n, end) == 0 &&
           lower[lower.size() - n - 1] != '/';
  };
  return !destination.empty() && destination.back() != '/' &&
         (endsWith(".html") || endsWith(".htm"));
}

ExportTarget::ExportTarget(std::string destination) {
  std::error_code error;
  destination_ =
      fs::absolute(WithoutTrailingSlash(std::move(destination)), error).lexically_normal().string();
  destination_ = WithoutTrailingSlash(destination_);
}

ExportTarget::~ExportTarget() {
  Discard();
}

std::string ExportTarget::Refusal() const {
  const fs::path path(destination_);
  const std::string parent = path.parent_path().string();
  struct stat info {};
  if (::stat(parent.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
    return "there is no folder " + parent;
  if (::lstat(destination_.c_str(), &info) != 0) {
    return errno == ENOENT ? std::string()
                           : "cannot look at " + destination_ + ": " + SystemReason();
  }
  if (S_ISLNK(info.st_mode))
    return destination_ + " is a symbolic link; give the place of the export itself";
  if (IsSingleFileDestination(destination_)) {
    if (S_ISREG(info.st_mode) && IsEarlierPageExport(destination_)) return {};
    return destination_ + " already exists and is no earlier web export; it is left as it is";
  }
  if (!S_ISDIR(info.st_mode)) return destination_ + " already exists and is not a folder";
  if (IsEarlierFolderExport(destination_)) {
    const std::vector<std::string> added = EntriesNotMadeByExport(destination_);
    if (added.empty()) return {};
    return "the folder " + destination_ + " holds " + NamedEntries(added) +
           ", which no web export made; it is left as it is: move what you added elsewhere, "
           "or export to another folder";
  }
  if (IsEmptyFolder(destination_)) return {};
  return "the folder " + destination_ +
         " already exists and holds no earlier web export; it is left as it is";
}

std::string ExportTarget::Prepare() {
  const fs::path path(destination_);
  RemoveAbandonedStaging(path);
  std::string pattern =
      (path.parent_path() / StagingPrefix(path)).string() + std::to_string(::getpid()) + "-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr)
    return "cannot make a folder beside " + destination_ + ": " + SystemReason();
  staging_ = pattern;
  return {};
}

std::string ExportTarget::PlaceFolder() {
  if (::chmod(staging_.c_str(), FolderMode()) != 0)
    return "cannot set the folder's permissions: " + SystemReason();
  if (std::string refusal = Refusal(); !refusal.empty()) return refusal;
  struct stat info {};
  const bool replacing = ::lstat(destination_.c_str(), &info) == 0;
  const unsigned flags = replacing ? RENAME_EXCHANGE : RENAME_NOREPLACE;
  if (::renameat2(AT_FDCWD, staging_.c_str(), AT_FDCWD, destination_.c_str(), flags) != 0)
    return "cannot put the export in place as " + destination_ + ": " + SystemReason();
  if (!replacing) staging_.clear();
  SyncFolder(fs::path(destination_).parent_path().string());
  Discard();  // the earlier export, now under the staging name
  return {};
}

std::string ExportTarget::PlaceFile(const std::string& page) {
  if (std::string refusal = Refusal(); !refusal.empty()) return refusal;
  struct stat info {};
  const bool replacing = ::lstat(destination_.c_str(), &info) == 0;
  const int result = replacing ? ::rename(page.c_str(), destination_.c_str())
                               : ::renameat2(AT_FDCWD, page.c_str(), AT_FDCWD, destination_.c_str(),
                                             RENAME_NOREPLACE);
  if (result != 0)
    return "cannot put the export in place as " + destination_ + ": " + SystemReason();
  SyncFolder(fs::path(destination_).parent_path().string());
  Discard();
  return {};
}

void ExportTarget::Discard() {
  if (staging_.empty()) return;
  std::error_code error;
  fs::remove_all(staging_, error);
  staging_.clear();
}

}  // namespace mw
