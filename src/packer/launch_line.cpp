#include "packer/launch_line.h"

#include "packer/packer_error.h"
#include "packer/printable_text.h"

namespace mw::packer {
namespace {

// Splits off the program name; returns the rest after the one separating blank.
std::string_view TakeProgram(std::string_view line, std::string& program) {
  if (line.starts_with('"')) {
    const auto close = line.find('"', 1);
    if (close == std::string_view::npos) throw PackerError("the launch line has an open quote");
    program = line.substr(1, close - 1);
    line.remove_prefix(close + 1);
  } else {
    const auto blank = line.find(' ');
    program = line.substr(0, blank);
    line.remove_prefix(blank == std::string_view::npos ? line.size() : blank);
  }
  if (line.starts_with(' ')) line.remove_prefix(1);
  return line;
}

std::string_view StripEnclosingQuotes(std::string_view text) {
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
    return text.substr(1, text.size() - 2);
  }
  return text;
}

}  // namespace

LaunchCommand ParseLaunchLine(std::string_view line) {
  while (line.starts_with(' ')) line.remove_prefix(1);
  LaunchCommand command;
  const std::string_view rest = TakeProgram(line, command.program);
  if (command.program.empty() || command.program == "." || command.program == ".." ||
      command.program.find('/') != std::string::npos) {
    throw PackerError("the launch line does not start with a program of the package: \"" +
                      PrintableName(line) + "\"");
  }
  if (!rest.empty()) {
    const std::string_view message = StripEnclosingQuotes(rest);
    if (message.size() > kMaxArgumentBytes) {
      throw PackerError("the package message is too long (" + std::to_string(message.size()) +
                        " bytes; at most " + std::to_string(kMaxArgumentBytes) + ")");
    }
    if (message.find('\0') != std::string_view::npos) {
      throw PackerError("the package message holds a NUL character");
    }
    command.arguments.emplace_back(message);
  }
  return command;
}

}  // namespace mw::packer
