#pragma once
// The web export from the command line: `markweaver --export-web MAP --output DEST`.

#include <optional>
#include <ostream>
#include <string>

namespace mw {

// What the command line asks for.
struct CommandLineWebExport {
  std::string mapPath;               // relative to the current directory
  std::string outputPath;            // a folder, or a page ending in .html
  std::optional<std::string> title;  // default: the map's file name without ".clm"
  std::string message;               // shown when the page opens; may be empty
};

// Exports the map without any window or display: the map check first (a missing or
// unreadable clip stops it with the check's text), then the export, its steps and
// progress written to `log`. Gives 0 only for a complete export; otherwise 1 with a
// last line giving the reason, and nothing left behind. SIGINT and SIGTERM cancel it
// cleanly.
int ExportWebFromCommandLine(const CommandLineWebExport& request, std::ostream& log);

}  // namespace mw
