#pragma once
// Make Package from the command line: the same build as the editor's, without a window.

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace mw {

class ClipMap;

// What `markweaver --make-package MAP --output FILE [--message TEXT]` asks for.
struct CommandLinePackageRequest {
  std::string mapPath;        // the map file; relative to the current directory
  std::string outputPath;     // the package file to make, ending in ".exe"
  std::string message;        // shown by the package when it starts; may be empty
  std::string programFolder;  // the editor's program folder, ending with "/"
  // The reason a clip of the map stops the package (missing or unreadable), empty when
  // none does; when unset, each clip is only tried for reading.
  std::function<std::string(const ClipMap&)> clipProblem = {};
  // One line for each file of the map that is neither a photo nor a movie the player can
  // open; such files are packed all the same, with a warning. Unset: no warnings.
  std::function<std::vector<std::string>(const ClipMap&)> clipsNotShown = {};
};

// Runs Make Package's pipeline on the map with every question answered with its
// default, writing step texts, an overall percentage and messages to `log`. Gives 0 only
// when FILE is a complete package; otherwise 1, with a last line giving the reason (the
// clip or tool at fault), no staged file left, and FILE as it was before. A symbolic
// link as FILE is refused. Needs a
// QApplication (any platform, also "offscreen"); shows no window.
int MakePackageFromCommandLine(const CommandLinePackageRequest& request, std::ostream& log);

// True when `path` is a whole package file: the self-extractor, the archive and the
// launch line in full, as the trailer at its end describes them.
bool IsCompletePackage(const std::string& path);

}  // namespace mw
