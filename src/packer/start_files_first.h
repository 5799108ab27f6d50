#pragma once
// The order of a package's files in its archive: what the player starts with comes first,
// so that the package can start its player while the other clips still unpack.

#include <string>
#include <vector>

#include "packer/directive_file.h"

namespace mw::packer {

// Moves to the front, in this order, the launched program, the start picture, the start clip
// (the clip of the data file's first mark) and the data file last of them: the package starts
// its player once the data file is in place. The other files keep their order. A data file
// that cannot be read names no start clip.
void PutStartFilesFirst(std::vector<SourceFile>& files, const std::string& program,
                        const std::string& start_picture);

}  // namespace mw::packer
