#pragma once
// The map of a package folder as the player reads it, and where its clips lie.

#include <string>

#include "map/clip_map.h"
#include "map/map_file.h"

namespace mw {

// Why a package's map could not be used; Usable when it can be played.
enum class PackageProblem { Usable, DataFileMissing, DataFileUnreadable, DataFileDamaged, NoMarks };

// What the player found in its folder.
struct PackageContent {
  PackageProblem problem = PackageProblem::Usable;
  ClipMap map;
  WindowSize windowSize;  // the window size the map asks for, already kept within bounds
};

// Window size used when the map names none.
inline constexpr WindowSize kDefaultWindowSize{800, 600};

// Reads the data file `dataFileName` in `folder`. A file that is not a map, a size line
// that is no number or a file far too large for a map counts as damaged.
PackageContent ReadPackageContent(const std::string& folder, const std::string& dataFileName);

// The sentence shown to the person for a problem; empty for Usable.
std::string PackageProblemText(PackageProblem problem, const std::string& dataFileName);

// The file of a clip named in the map: its bare name (the text after the last "/") in
// `folder`, so that every clip is looked up in the package folder only. Empty for an
// empty name or one that ends in "/".
std::string ClipFilePath(const std::string& folder, const std::string& clipName);

// The window size to use for the size the map carries: at least 200 by 150 and at most
// 8192 by 8192, the default when the map carries none.
WindowSize UsableWindowSize(const std::optional<WindowSize>& wanted);

// `size` made small enough to fit within `bounds` (the screen), keeping its aspect ratio;
// a size that fits already, or empty bounds, leave it as it is.
WindowSize FitWithin(WindowSize size, WindowSize bounds);

}  // namespace mw
