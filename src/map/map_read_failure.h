#pragma once
// Why a map file could not be read, in words for commands without a window.

#include <string>

#include "map/map_file.h"

namespace mw {

// Why the map at `mapPath` could not be read, in a few words naming it; empty when it
// was read.
std::string MapReadFailureText(const std::string& mapPath, const MapFileContent& content);

}  // namespace mw
