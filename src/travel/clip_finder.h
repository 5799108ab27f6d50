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
// one is not entered; after `maxEntries` files and folders the search stops. Either
// leaves the search incomplete.
struct SearchLimits {
  int maxDepth = 16;
  std::size_t maxEntries = 100000;
};

// What the search found for one old path.
struct ClipMatch {
  enum class Kind { NotFound, Found, Ambiguous };
  Kind kind = Kind::NotFound;
  std::string path;  // Found: the file to use, a full path
  // Ambiguous: the files that match equally well, or the one file of that name that a
  // search which did not see everything found (there may be more).
  std::vector<std::string> candidates;
};

// The regular files under one folder. Links to folders are not entered, and a link to
// a file counts only when the file lies inside the folder, so the search never leaves
// it. Hidden folders (names starting with ".") below the folder are not entered. Files
// whose names a map line cannot hold (a control character, a trailing space) are left
// out.
class ClipFinder {
 public:
  // Lists the files under `folder` (made absolute).
  explicit ClipFinder(const std::string& folder, SearchLimits limits = {});

  // The file that matches `oldPath` by the longest tail of its folder names and file
  // name; a match by the bare name alone counts only when one file has that name and
  // the search was complete. The old path's names are parted by "/" or "\". A name
  // that differs only in ASCII case counts only when no file has the exact name, one
  // file has that name, and the search was complete.
  ClipMatch Find(std::string_view oldPath) const;

  // The searched folder, absolute, without a trailing "/".
  const std::string& Folder() const { return root_; }
  std::size_t FileCount() const { return files_.size(); }
  // True when the search did not see everything: it stopped at the entry limit or left
  // out folders deeper than the depth limit.
  bool Truncated() const { return stoppedEarly_ || leftOutDeep_; }

 private:
  void ScanFolder(int folderFd, const std::string& relative, int depth);
  void AddFile(std::string relative, std::string_view name);
  bool LinkStaysInside(const std::string& relative) const;
  std::string FullPath(const std::string& relative) const;
  ClipMatch BestByTail(const std::vector<std::string_view>& oldParts,
                       const std::vector<std::size_t>& named) const;
  ClipMatch FoundAt(std::size_t file) const;
  ClipMatch Listed(const std::vector<std::size_t>& files) const;

  std::string root_;
  std::string realRoot_;
  SearchLimits limits_;
  std::size_t entries_ = 0;
  bool stoppedEarly_ = false;       // the entry limit was reached
  bool leftOutDeep_ = false;        // a folder deeper than the depth limit was not entered
  std::vector<std::string> files_;  // paths relative to root_
  std::unordered_map<std::string, std::vector<std::size_t>> byName_;
  std::unordered_map<std::string, std::vector<std::size_t>> byFoldedName_;  // ASCII lower case
};

// True when `text` can stand on a line of a map file and read back the same.
bool FitsOnMapLine(std::string_view text);

}  // namespace mw
