#pragma once
// The map as a package carries it: the editor's marks with package file names, and
// the data file that holds them.

#include <string>
#include <vector>

#include "map/clip_map.h"
#include "map/map_file.h"
#include "package/clip_set.h"

namespace mw {

// A copy of `map` in the same order, every Clip and NextClip replaced by its file
// name in the package (its bare name unless two clips share one). The editor's map
// is not changed.
std::vector<ClickerMark> BuildPackageMap(const ClipMap& map, const ClipSet& clips);

// Writes the package data file at `path` through the map writer, with the editor
// window's outer size. Gives false when the file could not be written.
MapWriteOutcome WritePackageDataFile(const std::string& path, WindowSize windowSize,
                          const std::vector<ClickerMark>& packageMap);

}  // namespace mw
