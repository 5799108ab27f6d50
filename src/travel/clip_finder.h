#pragma once
// Finding a clip that moved: the files under one folder, indexed by name, and the one
// that best matches a clip's old path.

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace mw {

// How far a search for clips goes. A folder deeper than `maxDepth` below the searched
// one is not entered; after `maxEntries` files and folders the search stops.
struct SearchLimits {
  int maxDepth = 16;
  std::size_t maxEntries = 100000;
};

// What the search found for one old path.
struct ClipMatch {
  enum class Kind { NotFound, Found, Ambiguous };
  Kind kind = Kind::NotFound;
  std::string path;                     // Found: the file to use, a full path
  std::vector<std::string> candidates;  // Ambiguous: the files that match equally well
};

// The regular files under one folder. Links to folders are not entered, and a link to
// a file counts only when the file lies inside the folder, so the search never leaves
// it. Files whose names a map line cannot hold (a control character, a trailing space)
// are left out.
class ClipFinder {
 public:
  // Lists the files under `folder` (made absolute).
  explicit ClipFinder(const std::string& folder, SearchLimits limits = {});

  // The file that matches `oldPath` by the longest tail of its folder names and file
  // name; a match by the bare name alone counts only when one file has that name.
  ClipMatch Find(std::string_view oldPath) const;

  // The searched folder, absolute, without a trailing "/".
  const std::string& Folder() const { return root_; }
  std::size_t FileCount() const { return files_.size(); }
  // True when a limit stopped the search before it saw everything.
  bool Truncated() const { return truncated_; }

 private:
  void ScanFolder(int folderFd, const std::string& relative, int depth);
  void AddFile(std::string relative, std::string_view name);
  bool LinkStaysInside(const std::string& relative) const;
  std::string FullPath(const std::string& relative) const;

  std::string root_;
  std::string realRoot_;
  SearchLimits limits_;
  std::size_t entries_ = 0;
  bool truncated_ = false;
  std::vector<std::string> files_;  // paths relative to root_
  std::unordered_map<std::string, std::vector<std::size_t>> byName_;
};

// True when `text` can stand on a line of a map file and read back the same.
bool FitsOnMapLine(std::string_view text);

}  // namespace mw
