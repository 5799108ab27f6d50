// lower-version-needs: a build step that lowers the symbol-version needs of the player and
// its runtime libraries to what the oldest supported systems offer (see elf_version_needs.h).
// Prints one line per lowered symbol; a file it cannot lower stops it with a message.
// usage: lower-version-needs [--provider-list LIST] FILE...
//   LIST gets the path of each file that now needs the provider library, one a line.

#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "buildtools/elf_version_needs.h"

namespace {

int Usage() {
  std::cerr << "usage: lower-version-needs [--provider-list LIST] FILE...\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace mw::buildtools;
  std::vector<std::string> files;
  std::string provider_list;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--provider-list") {
      if (++i == argc) return Usage();
      provider_list = argv[i];
    } else {
      files.push_back(arg);
    }
  }
  if (files.empty()) return Usage();
  std::ofstream list;
  if (!provider_list.empty()) {
    list.open(provider_list, std::ios::app);
    if (!list) {
      std::cerr << "lower-version-needs: " << provider_list << ": cannot be written\n";
      return 1;
    }
  }
  int status = 0;
  for (const std::string& file : files) {
    try {
      const LoweringResult result = LowerVersionNeedsInFile(file);
      for (const LoweredNeed& need : result.lowered) {
        std::cout << file << ": " << need.symbol << " " << need.newer << " of " << need.library
                  << " -> "
                  << (need.older.empty() ? "weak need, unversioned, also from " + std::string(kProviderLibrary)
                                         : need.older)
                  << "\n";
      }
      if (result.needs_provider && list.is_open()) list << file << "\n";
    } catch (const std::exception& error) {
      std::cerr << "lower-version-needs: " << error.what() << "\n";
      status = 1;
    }
  }
  list.flush();
  if (list.is_open() && !list) {
    std::cerr << "lower-version-needs: " << provider_list << ": cannot be written\n";
    status = 1;
  }
  return status;
}
