#pragma once
// Fixed names of a package's files and the bare-name rule for clip paths.

#include <string>
#include <string_view>

#include "map/package_data_file.h"

namespace mw {
// The player program inside a package: "mwRun" + ".exe".
inline constexpr std::string_view kPlayerFileName = "mwRun.exe";

// The file name of a path: the text after its last "/"; a text without "/" is its own
// bare name.
std::string BareFileName(std::string_view path);

// The folder part of a path: up to and including its last "/"; empty without "/".
std::string FolderPart(std::string_view path);

// True for a clip text that names no file and is passed over by the package steps:
// the empty text and the single digit "0".
bool IsSkippedClip(std::string_view text);

}  // namespace mw
