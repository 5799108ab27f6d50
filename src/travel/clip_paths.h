#pragma once
// The clip texts of a map as files: which file a text means, and which texts are missing.

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "map/clip_map.h"

namespace mw {

// A clip text that names no file: "" or the single digit "0".
bool NamesNoClipFile(const std::string& text);

// The file a clip text means: itself when absolute, else the text read from `baseFolder`
// (the folder clips are read from: the map's folder).
std::string ClipFileOf(const std::string& text, const std::string& baseFolder);

// The distinct clip texts of `map` (each mark's clip, then its target), in map order,
// without the texts that name no file.
std::vector<std::string> DistinctClipTexts(const ClipMap& map);

// The distinct clip texts of `map` with no file at all behind them, in map order.
std::vector<std::string> MissingClipTexts(const ClipMap& map, const std::string& baseFolder);

// Old clip text -> new clip text.
using ClipRenames = std::map<std::string, std::string, std::less<>>;

// Replaces in every mark each clip and target named in `renames`; gives how many marks
// changed.
std::size_t ApplyClipRenames(ClipMap& map, const ClipRenames& renames);

// The folder of `mapPath` as a full path without a trailing "/".
std::string FolderOfMap(const std::string& mapPath);

}  // namespace mw
