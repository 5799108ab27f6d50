#pragma once

#include <string>

#include "packer/directive_file.h"

namespace mw::packer {

// The two programs the package build tool works with.
struct HelperPrograms {
  std::string archiver;   // packs the files (makecab.exe)
  std::string extractor;  // the head of every package (wextract.exe)
};

// Finds makecab.exe and wextract.exe in folder, or else their names at rest, kecab.dll and
// tract.dll. Throws PackerError naming the missing program.
HelperPrograms FindHelperPrograms(const std::string& folder);

// Writes the package that directive asks for: the extractor, the archive the archiver makes
// of the listed files, the launch line and the trailer, under a temporary name beside the
// target that is renamed to the target at the end; the package gets the run bit. Checks
// everything it can before it writes. Throws PackerError; then no package and no temporary
// file is left.
void BuildPackage(const PackageDirective& directive, const HelperPrograms& helpers);

}  // namespace mw::packer
