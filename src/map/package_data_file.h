#pragma once
// The data file that a package's player plays: one rule for the player, which reads it, and
// for the package tools, which put it in place before they start the player.

#include <string>
#include <string_view>

namespace mw {

// The player's base name inside a package, and so the name of its data file.
inline constexpr std::string_view kRunnerBaseName = "mwRun";

// Whether a player started under this file name was started by a package: the name ends in
// ".exe", as written, after at least one character.
inline bool IsPackageProgramName(std::string_view name) {
  constexpr std::string_view suffix = ".exe";
  return name.size() > suffix.size() && name.ends_with(suffix);
}

// The data file of the player started under this file name: its own name less ".exe"
// ("mwRun.exe" plays "mwRun"); under any other name (runner.dll) it plays "mwRun".
inline std::string DataFileOfProgram(std::string_view name) {
  return std::string(IsPackageProgramName(name) ? name.substr(0, name.size() - 4)
                                                : kRunnerBaseName);
}

}  // namespace mw
