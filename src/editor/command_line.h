#pragma once
// The editor's command line: what to do at start, read from the program's arguments
// without a display, and the texts of --help and --version.

#include <optional>
#include <string>
#include <vector>

namespace mw {

// What the program was asked to do.
enum class CommandKind {
  Edit,
  Help,
  Version,
  MakePackage,
  Check,
  Overview,
  ExportWeb,
  Relink,
  Gather
};

// A command line that was understood.
struct CommandLine {
  CommandKind kind = CommandKind::Edit;
  std::optional<std::string> map = std::nullopt;      // MAP: opened at start, or the command's map
  std::optional<std::string> output = std::nullopt;   // --output FILE
  std::optional<std::string> message = std::nullopt;  // --message TEXT
  std::optional<std::string> title = std::nullopt;    // --title TEXT
  std::optional<std::string> search = std::nullopt;   // --search DIR
};

// The outcome of reading the arguments: a command, or the reason they make none.
struct ParsedCommandLine {
  std::optional<CommandLine> command = std::nullopt;
  std::string error = {};  // one line, without the program's name; set when no command
};

// The exit code for a command line that was not understood.
inline constexpr int kBadCommandLineExit = 2;

// Reads the arguments after the program's name. "--name VALUE" and "--name=VALUE" are
// the same; "--" ends the options, so a map may begin with "-".
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The text of --help: every form of the command line and each option, line by line.
std::string HelpText();

// Why the map named for editing cannot be opened, as one line naming the path ("" when
// it can be, or when it does not exist yet and will be made by Save Map): a folder, or
// a file that cannot be read.
std::string StartMapRefusal(const std::string& path);

// The text of --version: the product's name and version, one line.
std::string VersionText();

}  // namespace mw
