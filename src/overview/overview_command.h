#pragma once
// `markweaver --overview MAP --output FILE`: the map overview written without a display.

#include <string>

namespace mw {

// The exit code for an output file of a kind the overview is not written as, a fault of
// the command line.
inline constexpr int kOverviewUsageError = 2;

// Writes the overview of the map file at `mapPath` to `outputPath` (".png" or ".svg").
// Needs a QGuiApplication (offscreen is enough). Gives 0 when written, 1 when the picture
// could not be made or written, 2 when the map cannot be read or FILE is of another kind;
// says why on stderr.
int RunOverviewCommand(const std::string& mapPath, const std::string& outputPath);

}  // namespace mw
