#pragma once

#include <string>

#include "packer/directive_file.h"

namespace mw::packer {

// The two programs the package build tool works with, and the player's runtime it adds.
struct HelperPrograms {
  std::string archiver;       // packs the files (makecab.exe)
  std::string extractor;      // the head of every package (wextract.exe)
  std::string photo_runtime;  // player-runtime.tar.zst, in every package
  std::string movie_runtime;  // player-runtime-movie.tar.zst, in packages with a movie
};

// Finds makecab.exe and wextract.exe in folder, or else their names at rest, kecab.dll and
// tract.dll, and the two runtime parts. Throws PackerError naming the missing file.
HelperPrograms FindHelperPrograms(const std::string& folder);

// Writes the package that directive asks for: the extractor, the player's runtime parts
// (the movie part only when a file is neither a photo nor the player or its data file) with
// their index, the archive the archiver makes
// of the listed files (and of a start picture staged beside the launched program), the
// launch line and the trailer, under a temporary name beside the target that is renamed to
// the target at the end; the package gets the run bit. Checks everything it can before it
// writes. Throws PackerError; then no package and no temporary file is left.
void BuildPackage(PackageDirective directive, const HelperPrograms& helpers);

}  // namespace mw::packer
