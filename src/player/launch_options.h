#pragma once
// What the player is told when it starts: where its map is and the package message.

#include <string>
#include <vector>

#include "map/package_data_file.h"

namespace mw {

// The player's start, read from its own file name and its arguments.
struct LaunchOptions {
  std::string folder;        // the folder holding the data file and the clips
  std::string dataFileName;  // the data file's name inside `folder`
  std::string message;       // the package message; empty when none was given
  bool showHelp = false;     // --help was asked for
  std::string error;         // a wrong argument; empty when the arguments were fine
};

// Reads the start of the player. `programPath` is the player's own file. Started from a
// package (a name ending in ".exe"), the data file is the program's name without ".exe"
// beside it, and every argument is message text (a package passes exactly one). Under any
// other name (runner.dll) the data file is "mwRun" in `currentFolder`, and the options
// --folder DIR, --help and -- (the rest is the message) are understood.
LaunchOptions ReadLaunchOptions(const std::string& programPath, const std::string& currentFolder,
                                const std::vector<std::string>& arguments);

// The text printed for --help and after a wrong argument.
std::string LaunchUsage();

}  // namespace mw
