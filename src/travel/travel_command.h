#pragma once
// The command-line forms of Relink and Gather: read the map, do the work, save the map
// safely, and print what was done, one line each.

#include <cstdio>
#include <optional>
#include <string>

#include "map/map_file.h"

namespace mw {

// Exit codes of --relink and --gather.
inline constexpr int kTravelNothingMissing = 0;
inline constexpr int kTravelSomethingMissing = 1;  // or a clip could not be gathered
inline constexpr int kTravelCannotStart = 2;       // the map or the folder cannot be used
inline constexpr int kTravelMapNotWritten = 3;     // the changed map could not be written

// Points the missing clips of the map at `mapPath` at the files found under
// `searchFolder` (default: the map's folder) and saves the map when any was relinked.
// Prints one line per clip to `out`, failures to `err`.
int RunRelinkCommand(const std::string& mapPath, const std::optional<std::string>& searchFolder,
                     std::FILE* out, std::FILE* err);

// Gathers the clips of the map at `mapPath` into the folder beside it and saves the map
// pointing at the copies. The map is written only when its file still holds the bytes
// read at the start (another program may save it while the clips are copied); when it
// is not written, the copies that the map file does not name are taken back. Prints one
// line per clip to `out`, failures to `err`.
int RunGatherCommand(const std::string& mapPath, std::FILE* out, std::FILE* err);

// Rewrites the map file at `path` with `marks`, keeping the window size it had (and
// keeping it without one when it had none). Empty on success, else what went wrong.
std::string RewriteMapFile(const std::string& path, const MapFileContent& before,
                           const ClipMap& marks);

}  // namespace mw
