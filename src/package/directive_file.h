#pragma once
// The directive file that tells the package build tool what to pack and what to make.

#include <optional>
#include <string>
#include <vector>

namespace mw {

// Name of the directive file in the program folder.
inline constexpr const char* kDirectiveFileName = "mwdat.dat";

// What one package build packs and produces.
struct PackageDirective {
  std::string packagePath;    // the package executable to make, as the dialog's texts join it
  std::string userMessage;    // shown by the player when the package is played; may be empty
  std::string stagingFolder;  // folder of all packed files, with its trailing "/"
  // One per clip set entry, in set order: its package file name, or nothing for a
  // skipped entry (it writes no file line but keeps its number).
  std::vector<std::optional<std::string>> clipNames;
};

// The lines of the directive file, in order, without line ends.
std::vector<std::string> DirectiveLines(const PackageDirective& directive);

// True when every text of `directive` fits on its line: none holds a CR or LF.
bool DirectiveTextsFit(const PackageDirective& directive);

// The whole directive file: its lines, each ended by CR LF.
std::string FormatDirectiveFile(const PackageDirective& directive);

// The player's launch line value: "mwRun.exe", a blank, and the message in double
// quotes as typed, or nothing after the blank when the message is empty.
std::string LaunchLine(const std::string& userMessage);

}  // namespace mw
