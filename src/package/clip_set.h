#pragma once
// The distinct clip paths of a map, in the order the package steps walk them, each
// with the file name it gets inside the package.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "map/clip_map.h"

namespace mw {

// One distinct clip text of a map.
struct ClipEntry {
  std::string path;         // the full text from the map
  std::string packageName;  // its file name in the package; for a skipped entry the text itself
  bool skipped = false;     // "" or "0": names no file, keeps its position
};

// The distinct clip texts of a map, ordered ascending by unsigned byte comparison
// (letter case significant; a text that begins another sorts before it). Every
// distinct full path gets its own package file name: the first in set order keeps
// its bare name, a later one with the same bare name gets a free name such as
// "hall-2.jpg". The names of the player and the data file are never given to a clip.
class ClipSet {
 public:
  ClipSet() = default;
  // Builds the set from any texts; duplicates are dropped by exact equality.
  explicit ClipSet(std::vector<std::string> texts);
  // The set of a map: each mark's Clip and NextClip, in map order.
  static ClipSet FromMap(const ClipMap& map);

  const std::vector<ClipEntry>& Entries() const { return entries_; }
  std::size_t Size() const { return entries_.size(); }
  bool Empty() const { return entries_.empty(); }
  // The package file name of `text`; a text not in the set gets its bare name.
  std::string PackageNameOf(std::string_view text) const;

 private:
  void AssignPackageNames();

  std::vector<ClipEntry> entries_;
};

// Unsigned byte order of two texts, as the clip set sorts them.
bool ClipTextLess(std::string_view a, std::string_view b);

}  // namespace mw
