#pragma once
// Text from a package made safe to print on a terminal.

#include <cstddef>
#include <string>
#include <string_view>

namespace mw::packer {

// `text` safe to print on a terminal: control characters (also the 8-bit ones) and bytes
// that are no UTF-8 become "\xNN", and bidirectional controls "\uNNNN", so a name in a
// hostile package can neither move the cursor, set the window title, turn the line
// around nor fake a line of its own.
std::string Printable(std::string_view text);

// The most characters of a name that a message prints.
inline constexpr std::size_t kMaxPrintedName = 200;

// A name from a package as a message prints it: Printable, and cut to kMaxPrintedName
// characters followed by "..." when longer.
std::string PrintableName(std::string_view name);

}  // namespace mw::packer
