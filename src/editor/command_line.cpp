#include "editor/command_line.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>

namespace mw {

namespace {

// One command that runs without a window, besides editing a map. A new command is
// one more line in kCommands.
struct CommandForm {
  std::string_view option;
  CommandKind kind;
  bool needsOutput;   // --output FILE is required
  bool takesMessage;  // --message TEXT is allowed
  bool takesTitle;    // --title TEXT is allowed
  bool takesSearch;   // --search DIR is allowed
  std::string_view usage;
  std::string_view summary;
};

constexpr CommandForm kCommands[] = {
    {"--make-package", CommandKind::MakePackage, true, true, false, false,
     "--make-package MAP --output FILE [--message TEXT]",
     "Makes the package of MAP as FILE (a name ending in .exe) without any window,\n"
     "      with TEXT as the message the package shows when it starts. Step texts and\n"
     "      progress go to stderr; the exit code is 0 only for a complete package."},
    {"--check", CommandKind::Check, false, false, false, false, "--check MAP",
     "Prints the problems of MAP, one a line, naming the file at fault in each.\n"
     "      Exit code 0: no problem, 1: problems, 2: MAP cannot be read."},
    {"--overview", CommandKind::Overview, true, false, false, false,
     "--overview MAP --output FILE",
     "Draws MAP as a graph of its clips and marks to FILE (ending in .png or .svg)\n"
     "      without any window."},
    {"--export-web", CommandKind::ExportWeb, true, true, true, false,
     "--export-web MAP --output DIR|FILE.html [--title TEXT] [--message TEXT]",
     "Exports MAP for web browsers without any window: a folder DIR with index.html,\n"
     "      or one self-contained FILE.html. TEXT is the page's title (default: the\n"
     "      map's name) and the message shown when the page opens. The exit code is\n"
     "      0 only for a complete export."},
    {"--relink", CommandKind::Relink, false, false, false, true, "--relink MAP [--search DIR]",
     "Points the clips of MAP that are missing at the files found under DIR (default:\n"
     "      the map's folder) and saves MAP. Exit code 0: no clip missing afterwards,\n"
     "      1: some still missing or ambiguous, 2: MAP or DIR cannot be used,\n"
     "      3: MAP could not be written."},
    {"--gather", CommandKind::Gather, false, false, false, false, "--gather MAP",
     "Copies every clip of MAP into the folder \"MAP clips\" beside it and saves MAP\n"
     "      pointing at the copies. Exit code 0: all gathered, 1: a clip failed or is\n"
     "      missing, 2: MAP cannot be read, 3: MAP could not be written (or was changed\n"
     "      by another program meanwhile): the copies it does not name are taken back."},
};

const CommandForm* FindCommand(std::string_view option) {
  for (const CommandForm& form : kCommands) {
    if (form.option == option) return &form;
  }
  return nullptr;
}

const CommandForm* FindCommand(CommandKind kind) {
  for (const CommandForm& form : kCommands) {
    if (form.kind == kind) return &form;
  }
  return nullptr;
}

// Reads the arguments one by one into a command line; the first error stops it.
class Reader {
 public:
  explicit Reader(const std::vector<std::string>& arguments) : arguments_(arguments) {}

  ParsedCommandLine Read() {
    while (error_.empty() && next_ < arguments_.size()) ReadOne(arguments_[next_++]);
    if (error_.empty()) CheckWhole();
    if (!error_.empty()) return {std::nullopt, error_};
    return {command_, {}};
  }

 private:
  static bool IsPlain(const std::string& argument) {
    return argument.empty() || argument == "-" || argument[0] != '-';
  }

  void ReadOne(const std::string& argument) {
    if (optionsEnded_ || IsPlain(argument)) {
      AddMap(argument);
      return;
    }
    if (argument == "--") {
      optionsEnded_ = true;
      return;
    }
    std::string name = argument;
    std::optional<std::string> inlineValue;
    const std::size_t equals = argument.find('=');
    if (argument.rfind("--", 0) == 0 && equals != std::string::npos) {
      name = argument.substr(0, equals);
      inlineValue = argument.substr(equals + 1);
    }
    ReadOption(name, inlineValue);
  }

  void ReadOption(const std::string& name, const std::optional<std::string>& inlineValue) {
    if (name == "--help" || name == "-h") {
      SetKind(CommandKind::Help, name, inlineValue);
    } else if (name == "--version") {
      SetKind(CommandKind::Version, name, inlineValue);
    } else if (name == "--output") {
      SetValue(command_.output, name, inlineValue);
    } else if (name == "--message") {
      SetValue(command_.message, name, inlineValue);
    } else if (name == "--title") {
      SetValue(command_.title, name, inlineValue);
    } else if (name == "--search") {
      SetValue(command_.search, name, inlineValue);
    } else if (const CommandForm* form = FindCommand(name)) {
      SetKind(form->kind, name, inlineValue);
      // The map follows the command, or comes later as a plain argument.
      if (error_.empty() && inlineValue) {
        AddMap(*inlineValue);
      } else if (error_.empty() && next_ < arguments_.size() && IsPlain(arguments_[next_])) {
        AddMap(arguments_[next_++]);
      }
    } else {
      error_ = "unknown option '" + name + "'";
    }
  }

  void SetKind(CommandKind kind, const std::string& name,
               const std::optional<std::string>& inlineValue) {
    if (inlineValue && (kind == CommandKind::Help || kind == CommandKind::Version)) {
      error_ = "option '" + name + "' takes no value";
    } else if (kindGiven_) {
      error_ = "option '" + name + "' cannot be combined with '" + kindOption_ + "'";
    } else {
      command_.kind = kind;
      kindGiven_ = true;
      kindOption_ = name;
    }
  }

  void SetValue(std::optional<std::string>& slot, const std::string& name,
                const std::optional<std::string>& inlineValue) {
    if (slot) {
      error_ = "option '" + name + "' is given twice";
      return;
    }
    slot = inlineValue ? inlineValue : TakeValue(name);
    if (slot && slot->empty()) error_ = "option '" + name + "' needs a non-empty value";
  }

  // A file name and a package's message go on one line of the package's directive
  // file; a web page keeps its message's line breaks, as its data holds them safely.
  void CheckOneLine() {
    const auto holdsBreak = [](const std::optional<std::string>& value) {
      return value && value->find_first_of("\r\n") != std::string::npos;
    };
    if (holdsBreak(command_.output)) {
      error_ = "option '--output' must be one line: its value holds a line break";
    } else if (command_.kind != CommandKind::ExportWeb && holdsBreak(command_.message)) {
      error_ = "option '--message' must be one line: its value holds a line break";
    }
  }

  std::optional<std::string> TakeValue(const std::string& name) {
    if (next_ >= arguments_.size()) {
      error_ = "option '" + name + "' needs a value";
      return std::nullopt;
    }
    return arguments_[next_++];
  }

  void AddMap(const std::string& map) {
    if (map.empty()) {
      error_ = "the map's name is empty";
    } else if (command_.map) {
      error_ = "more than one map given: '" + *command_.map + "' and '" + map + "'";
    } else {
      command_.map = map;
    }
  }

  // The rules that concern the whole line: each option belongs to its command.
  void CheckWhole() {
    const CommandForm* form = FindCommand(command_.kind);
    const bool standalone =
        command_.kind == CommandKind::Help || command_.kind == CommandKind::Version;
    if (standalone && (command_.map || command_.output || command_.message || command_.title ||
                       command_.search)) {
      error_ = "option '" + kindOption_ + "' takes no other arguments";
    } else if (command_.output && (form == nullptr || !form->needsOutput)) {
      error_ = "option '--output' belongs to " + CommandsTaking(&CommandForm::needsOutput);
    } else if (command_.message && (form == nullptr || !form->takesMessage)) {
      error_ = "option '--message' belongs to " + CommandsTaking(&CommandForm::takesMessage);
    } else if (command_.title && (form == nullptr || !form->takesTitle)) {
      error_ = "option '--title' belongs to " + CommandsTaking(&CommandForm::takesTitle);
    } else if (command_.search && (form == nullptr || !form->takesSearch)) {
      error_ = "option '--search' belongs to " + CommandsTaking(&CommandForm::takesSearch);
    } else if (form != nullptr && !command_.map) {
      error_ = "option '" + std::string(form->option) + "' needs a map";
    } else if (form != nullptr && form->needsOutput && !command_.output) {
      error_ = "option '" + std::string(form->option) + "' needs '--output FILE'";
    } else {
      CheckOneLine();
    }
  }

  static std::string CommandsTaking(bool CommandForm::*property) {
    std::string names;
    for (const CommandForm& form : kCommands) {
      if (!(form.*property)) continue;
      if (!names.empty()) names += " or ";
      names += "'" + std::string(form.option) + "'";
    }
    return names;
  }

  const std::vector<std::string>& arguments_;
  std::size_t next_ = 0;
  bool optionsEnded_ = false;
  bool kindGiven_ = false;
  std::string kindOption_;
  CommandLine command_;
  std::string error_;
};

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  return Reader(arguments).Read();
}

std::string HelpText() {
  std::string text = "Usage: markweaver [MAP]\n";
  for (const CommandForm& form : kCommands)
    text += "       markweaver " + std::string(form.usage) + "\n";
  text +=
      "       markweaver --help | --version\n"
      "\n"
      "MarkWeaver edits maps of clickable photos and movie clips and makes packages\n"
      "that play them on another machine.\n"
      "\n"
      "  MAP\n"
      "      Opens the map file MAP (.clm) at start, in place of the last map; its\n"
      "      folder becomes the current folder, where the settings file is kept.\n";
  for (const CommandForm& form : kCommands)
    text += "  " + std::string(form.usage) + "\n      " + std::string(form.summary) + "\n";
  text +=
      "  --help\n      Prints this text.\n"
      "  --version\n      Prints the version.\n"
      "\n"
      "A command line that is not understood gives exit code 2.\n";
  return text;
}

std::string VersionText() {
  return std::string("MarkWeaver ") + MW_VERSION + "\n";
}

}  // namespace mw

namespace mw {

std::string StartMapRefusal(const std::string& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) {
    if (errno == ENOENT) return {};
    return "cannot open map '" + path + "': " + std::strerror(errno);
  }
  if (S_ISDIR(status.st_mode)) return "cannot open map '" + path + "': Is a directory";
  const int file = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (file == -1) return "cannot open map '" + path + "': " + std::strerror(errno);
  close(file);
  return {};
}

}  // namespace mw
