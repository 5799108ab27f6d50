// MarkWeaverL.dll, the package build tool: MarkWeaverL.dll /N /Q DIRECTIVE-FILE
#include <iostream>
#include <optional>
#include <string>

#include "packer/directive_file.h"
#include "packer/package_builder.h"
#include "packer/program_folder.h"

namespace {

constexpr const char* kUsage = "usage: MarkWeaverL.dll [/N] [/Q] DIRECTIVE-FILE";

// The directive file named by the arguments; nullopt on wrong arguments. /N (build now) and
// /Q (quiet) are accepted and change nothing: the tool always builds and never asks.
std::optional<std::string> DirectiveFileArgument(int argc, char** argv) {
  std::optional<std::string> file;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.size() == 2 && arg[0] == '/') {
      if (arg != "/N" && arg != "/n" && arg != "/Q" && arg != "/q") return std::nullopt;
    } else if (file || arg.empty()) {
      return std::nullopt;
    } else {
      file = arg;
    }
  }
  return file;
}

}  // namespace

int main(int argc, char** argv) {
  const auto directive_file = DirectiveFileArgument(argc, argv);
  if (!directive_file) {
    std::cerr << kUsage << "\n";
    return 2;
  }
  try {
    const auto directive = mw::packer::ReadDirectiveFile(*directive_file);
    const auto helpers = mw::packer::FindHelperPrograms(mw::packer::ProgramFolder());
    mw::packer::BuildPackage(directive, helpers);
    return 0;
  } catch (const std::exception& e) {
    std::cerr << "MarkWeaverL.dll: " << e.what() << "\n";
    return 1;
  }
}
