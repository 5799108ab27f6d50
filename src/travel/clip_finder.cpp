#include "travel/clip_finder.h"

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <system_error>

namespace fs = std::filesystem;

namespace mw {

namespace {

// The names of a path's folders and file, without empty and "." parts.
std::vector<std::string_view> PartsOf(std::string_view path) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view part = path.substr(start, end - start);
    if (!part.empty() && part != ".") parts.push_back(part);
    start = end + 1;
  }
  return parts;
}

// How many names at the end of two paths are the same.
std::size_t CommonTail(const std::vector<std::string_view>& a,
                       const std::vector<std::string_view>& b) {
  std::size_t count = 0;
  while (count < a.size() && count < b.size() &&
         a[a.size() - 1 - count] == b[b.size() - 1 - count]) {
    ++count;
  }
  return count;
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
  if (!realRoot_.empty()) ScanFolder({}, 0);
}

std::string ClipFinder::FullPath(const std::string& relative) const {
  return root_ == "/" ? "/" + relative : root_ + "/" + relative;
}

void ClipFinder::ScanFolder(const std::string& relative, int depth) {
  std::error_code error;
  const std::string folder = relative.empty() ? root_ : FullPath(relative);
  fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, error);
  for (; !error && it != fs::directory_iterator(); it.increment(error)) {
    if (++entries_ > limits_.maxEntries) {
      truncated_ = true;
      return;
    }
    const fs::directory_entry& entry = *it;
    const std::string name = entry.path().filename().string();
    const std::string path = relative.empty() ? name : relative + "/" + name;
    std::error_code typeError;
    if (entry.is_symlink(typeError)) {
      if (LinkStaysInside(path)) AddFile(path, name);
    } else if (entry.is_directory(typeError)) {
      if (depth < limits_.maxDepth) ScanFolder(path, depth + 1);
      if (truncated_) return;
    } else if (entry.is_regular_file(typeError)) {
      AddFile(path, name);
    }
  }
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

void ClipFinder::AddFile(const std::string& relative, std::string_view name) {
  if (!FitsOnMapLine(relative) || !FitsOnMapLine(root_)) return;
  byName_[std::string(name)].push_back(files_.size());
  files_.push_back(relative);
}

ClipMatch ClipFinder::Find(std::string_view oldPath) const {
  const std::vector<std::string_view> oldParts = PartsOf(oldPath);
  if (oldParts.empty()) return {};
  const auto named = byName_.find(std::string(oldParts.back()));
  if (named == byName_.end()) return {};
  std::size_t best = 0;
  std::vector<std::size_t> bestFiles;
  for (std::size_t file : named->second) {
    const std::string full = FullPath(files_[file]);
    const std::size_t tail = CommonTail(oldParts, PartsOf(full));
    if (tail > best) bestFiles.clear();
    if (tail >= best) {
      best = tail;
      bestFiles.push_back(file);
    }
  }
  ClipMatch match;
  if (bestFiles.size() == 1) {
    match.kind = ClipMatch::Kind::Found;
    match.path = FullPath(files_[bestFiles.front()]);
    return match;
  }
  match.kind = ClipMatch::Kind::Ambiguous;
  for (std::size_t file : bestFiles) match.candidates.push_back(FullPath(files_[file]));
  return match;
}

}  // namespace mw
