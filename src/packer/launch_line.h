#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace mw::packer {

// The program a package starts after unpacking, and its arguments.
struct LaunchCommand {
  std::string program;                 // bare file name inside the package
  std::vector<std::string> arguments;  // without the program name itself
};

// The longest single argument the system passes to a program (Linux MAX_ARG_STRLEN less
// the closing NUL).
inline constexpr std::size_t kMaxArgumentBytes = 128 * 1024 - 1;

// Splits a launch line "program message": the program is the text up to the first blank
// (or a double-quoted name), the message is all the rest as one argument, with one pair of
// enclosing double quotes removed; an empty rest gives no argument. Nothing in the message
// is interpreted. Throws PackerError when the program is not a bare file name or the
// message is longer than kMaxArgumentBytes.
LaunchCommand ParseLaunchLine(std::string_view line);

}  // namespace mw::packer
