#include "player/launch_options.h"

#include <filesystem>
#include <string_view>

namespace mw {
namespace {

namespace fs = std::filesystem;

std::string JoinWithBlanks(const std::vector<std::string>& parts, std::size_t from) {
  std::string joined;
  for (std::size_t i = from; i < parts.size(); ++i) {
    if (i > from) joined += ' ';
    joined += parts[i];
  }
  return joined;
}

// Started by a package: the data file shares the program's name, less ".exe".
LaunchOptions PackageStart(const fs::path& program, const std::vector<std::string>& arguments) {
  LaunchOptions options;
  options.folder = program.parent_path().string();
  options.dataFileName = DataFileOfProgram(program.filename().string());
  options.message = JoinWithBlanks(arguments, 0);
  return options;
}

// Started by hand or by a test under the program folder's name.
LaunchOptions HandStart(const std::string& currentFolder,
                        const std::vector<std::string>& arguments) {
  LaunchOptions options;
  options.folder = currentFolder;
  options.dataFileName = std::string(kRunnerBaseName);
  std::size_t i = 0;
  for (; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--") {
      ++i;
      break;
    }
    if (argument == "--help" || argument == "-h") {
      options.showHelp = true;
    } else if (argument == "--folder") {
      if (i + 1 == arguments.size()) {
        options.error = "--folder needs a folder";
        return options;
      }
      options.folder = arguments[++i];
    } else if (argument.starts_with("-")) {
      options.error = "unknown option " + argument;
      return options;
    } else {
      break;
    }
  }
  options.message = JoinWithBlanks(arguments, i);
  return options;
}

}  // namespace

LaunchOptions ReadLaunchOptions(const std::string& programPath, const std::string& currentFolder,
                                const std::vector<std::string>& arguments) {
  const fs::path program(programPath);
  if (IsPackageProgramName(program.filename().string())) return PackageStart(program, arguments);
  return HandStart(currentFolder, arguments);
}

std::string LaunchUsage() {
  return "Usage: runner.dll [--folder DIR] [--] [MESSAGE]\n"
         "Plays the map in the file \"mwRun\" of DIR (default: the current folder), with\n"
         "the clips it names looked up in the same folder. MESSAGE is shown once at start.\n"
         "Inside a package the player runs as mwRun.exe: its map is the file of its own name\n"
         "without \".exe\" beside it, and its one argument is the package message; no\n"
         "options are read then.\n"
         "Keys: Tab / Shift+Tab choose a mark, Enter follows it, Backspace or Alt+Left goes\n"
         "back, Space pauses or resumes a movie, Escape ends the player.\n";
}

}  // namespace mw
