// Feeds arbitrary bytes to the package trailer reader (as a whole package file) and to
// the launch line parser: each either refuses with a PackerError or gives parts that
// fit the file and a program that is a bare name of the package.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "memory_file.h"
#include "packer/launch_line.h"
#include "packer/package_trailer.h"
#include "packer/packer_error.h"

namespace {

void CheckLaunchLine(std::string_view line) {
  mw::packer::LaunchCommand command;
  try {
    command = mw::packer::ParseLaunchLine(line);
  } catch (const mw::packer::PackerError&) {
    return;
  }
  const std::string& program = command.program;
  if (program.empty() || program == "." || program == ".." ||
      program.find('/') != std::string::npos)
    std::abort();
  if (command.arguments.size() > 1) std::abort();
  for (const std::string& argument : command.arguments)
    if (argument.size() > mw::packer::kMaxArgumentBytes || argument.find('\0') != std::string::npos)
      std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CheckLaunchLine({reinterpret_cast<const char*>(data), size});
  const mw::fuzz::MemoryFile file(data, size);
  mw::packer::PackageLayout layout;
  try {
    layout = mw::packer::ReadPackageLayout(file.Fd());
  } catch (const mw::packer::PackerError&) {
    return 0;
  }
  if (layout.archive_offset == 0 || layout.launch_line.size() > mw::packer::kMaxLaunchLineSize)
    std::abort();
  if (layout.archive_offset + layout.archive_size + layout.launch_line.size() +
          mw::packer::kTrailerSize !=
      size)
    std::abort();
  CheckLaunchLine(layout.launch_line);
  return 0;
}
