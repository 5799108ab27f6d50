#include "travel/clip_finder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <system_error>

namespace fs = std::filesystem;

namespace mw {

namespace {

// The characters that part the names of a clip's old path: "/", and "\" as in maps made
// on Windows ("C:\clips\hall.jpg").
constexpr std::string_view kOldPathSeparators = "/\\";

// The names of a clip's old path, its folders and file, without empty and "." parts.
std::vector<std::string_view> PartsOf(std::string_view path) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find_first_of(kOldPathSeparators, start);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view part = path.substr(start, end - start);
    if (!part.empty() && part != ".") parts.push_back(part);
    start = end + 1;
  }
  return parts;
}

// Walks the names of a path from its last one back, skipping empty and "." parts.
class BackwardParts {
 public:
  explicit BackwardParts(std::string_view path) : path_(path), end_(path.size()) {}
  // The next name from the end; false when none is left.
  bool Next(std::string_view& part) {
    while (end_ > 0) {
      const std::size_t slash = path_.rfind('/', end_ - 1);
      const std::size_t start = slash == std::string_view::npos ? 0 : slash + 1;
      part = path_.substr(start, end_ - start);
      end_ = slash == std::string_view::npos ? 0 : slash;
      if (!part.empty() && part != ".") return true;
    }
    return false;
  }

 private:
  std::string_view path_;
  std::size_t end_;
};

// How many names at the end of `old` and of `folder` + "/" + `relative` are the same.
std::size_t CommonTail(const std::vector<std::string_view>& old, std::string_view relative,
                       std::string_view folder) {
  std::size_t count = 0;
  std::string_view part;
  for (std::string_view path : {relative, folder}) {
    BackwardParts parts(path);
    while (parts.Next(part)) {
      if (count == old.size() || old[old.size() - 1 - count] != part) return count;
      ++count;
    }
  }
  return count;
}

// `name` with ASCII capitals made small, so "HALL.JPG" and "hall.jpg" meet.
std::string AsciiLower(std::string_view name) {
  std::string lower(name);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

std::string RealPath(const std::string& path) {
  std::unique_ptr<char, decltype(&std::free)> real(realpath(path.c_str(), nullptr), &std::free);
  return real ? std::string(real.get()) : std::string();
}

std::string AbsoluteFolder(const std::string& folder) {
  std::error_code error;
  std::string absolute = fs::absolute(folder, error).lexically_normal().string();
  while (absolute.size() > 1 && absolute.back() == '/') absolute.pop_back();
  return absolute;
}

}  // namespace

bool FitsOnMapLine(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) < 32) return false;
  }
  return text.empty() || text.back() != ' ';
}

ClipFinder::ClipFinder(const std::string& folder, SearchLimits limits)
    : root_(AbsoluteFolder(folder)), realRoot_(RealPath(root_)), limits_(limits) {
  if (realRoot_.empty() || !FitsOnMapLine(root_)) return;
  const int fd = ::open(root_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) ScanFolder(fd, {}, 0);
}

std::string ClipFinder::FullPath(const std::string& relative) const {
  return root_ == "/" ? "/" + relative : root_ + "/" + relative;
}

namespace {

// The kind of a folder entry, asking the file system only when the listing does not say.
unsigned char EntryType(DIR* dir, const dirent& entry) {
  if (entry.d_type != DT_UNKNOWN) return entry.d_type;
  struct stat info {};
  if (::fstatat(::dirfd(dir), entry.d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) return DT_UNKNOWN;
  if (S_ISDIR(info.st_mode)) return DT_DIR;
  if (S_ISLNK(info.st_mode)) return DT_LNK;
  return S_ISREG(info.st_mode) ? DT_REG : DT_UNKNOWN;
}

}  // namespace

// Lists the folder open at `folderFd` (which it closes) and the folders below it.
void ClipFinder::ScanFolder(int folderFd, const std::string& relative, int depth) {
  DIR* dir = ::fdopendir(folderFd);
  if (dir == nullptr) {
    ::close(folderFd);
    return;
  }
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (++entries_ > limits_.maxEntries) {
      stoppedEarly_ = true;
      break;
    }
    const unsigned char type = EntryType(dir, *entry);
    if (type != DT_LNK && type != DT_DIR && type != DT_REG) continue;
    // Hidden folders (the trash, caches, settings) hold no clips of a tour, only old
    // copies that must not be taken for it.
    if (type == DT_DIR && name.front() == '.') continue;
    std::string path = relative.empty() ? std::string(name) : relative + "/" + entry->d_name;
    if (type == DT_DIR) {
      if (depth >= limits_.maxDepth) {
        leftOutDeep_ = true;
        continue;
      }
      const int fd =
          ::openat(::dirfd(dir), entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (fd >= 0) ScanFolder(fd, path, depth + 1);
      if (stoppedEarly_) break;
    } else if (type == DT_REG || LinkStaysInside(path)) {
      AddFile(std::move(path), name);
    }
  }
  ::closedir(dir);
}

// A link counts as a file only when it ends at a regular file inside the folder.
bool ClipFinder::LinkStaysInside(const std::string& relative) const {
  const std::string real = RealPath(FullPath(relative));
  if (real.empty() || real.compare(0, realRoot_.size(), realRoot_) != 0) return false;
  if (realRoot_ != "/" && real.size() > realRoot_.size() && real[realRoot_.size()] != '/')
    return false;
  std::error_code error;
  return fs::is_regular_file(real, error);
}

void ClipFinder::AddFile(std::string relative, std::string_view name) {
  if (!FitsOnMapLine(relative)) return;
  byName_[std::string(name)].push_back(files_.size());
  byFoldedName_[AsciiLower(name)].push_back(files_.size());
  files_.push_back(std::move(relative));
}

ClipMatch ClipFinder::Find(std::string_view oldPath) const {
  const std::vector<std::string_view> oldParts = PartsOf(oldPath);
  if (oldParts.empty()) return {};
  const std::string name(oldParts.back());
  if (const auto named = byName_.find(name); named != byName_.end())
    return BestByTail(oldParts, named->second);
  // No file has the exact name: one that differs only in ASCII case (a map from Windows)
  // is taken when it is the only one and the search saw everything.
  const auto folded = byFoldedName_.find(AsciiLower(name));
  if (folded == byFoldedName_.end()) return {};
  if (folded->second.size() == 1 && !Truncated()) return FoundAt(folded->second.front());
  return Listed(folded->second);
}

// Of the files named as the clip, the one whose folders match the old path furthest up.
ClipMatch ClipFinder::BestByTail(const std::vector<std::string_view>& oldParts,
                                 const std::vector<std::size_t>& named) const {
  std::size_t best = 0;
  std::vector<std::size_t> bestFiles;
  for (std::size_t file : named) {
    const std::size_t tail = CommonTail(oldParts, files_[file], root_);
    if (tail > best) bestFiles.clear();
    if (tail >= best) {
      best = tail;
      bestFiles.push_back(file);
    }
  }
  // A name seen once, in a search that did not see everything, may be one of many.
  const bool byNameAlone = best <= 1;
  if (bestFiles.size() == 1 && !(byNameAlone && Truncated())) return FoundAt(bestFiles.front());
  return Listed(bestFiles);
}

ClipMatch ClipFinder::FoundAt(std::size_t file) const {
  ClipMatch match;
  match.kind = ClipMatch::Kind::Found;
  match.path = FullPath(files_[file]);
  return match;
}

ClipMatch ClipFinder::Listed(const std::vector<std::size_t>& files) const {
  ClipMatch match;
  match.kind = ClipMatch::Kind::Ambiguous;
  for (std::size_t file : files) match.candidates.push_back(FullPath(files_[file]));
  return match;
}

}  // namespace mw
