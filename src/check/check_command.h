#pragma once
// `markweaver --check MAP`: the map check on the command line, with no display.

#include <cstdio>
#include <string>

#include "map/map_file.h"

namespace mw {

// Exit codes of the check command.
inline constexpr int kCheckFoundNothing = 0;
inline constexpr int kCheckFoundProblems = 1;
inline constexpr int kCheckMapUnreadable = 2;
inline constexpr int kCheckListUnwritten = 2;

// Checks the map file at `mapPath` and prints one line per problem to `out`, with control
// characters and bytes that are no text shown as codes (why the map cannot be read goes
// to stderr). Gives 0 without problems, 1 with problems and 2 when the map cannot be read
// or the list cannot be written.
int RunCheckCommand(const std::string& mapPath, std::FILE* out);

// Why a map file could not be read, in a line naming the file; empty when it was read.
std::string MapReadFailureLine(const std::string& mapPath, MapReadStatus status);

}  // namespace mw
