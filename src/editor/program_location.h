#pragma once
// Where the running editor's own files lie.

#include <string>

namespace mw {

// The program folder: the folder of the running executable's real path, with a
// trailing "/". A link to the editor (such as bin/markweaver) leads to the folder of
// the file it points to. Empty when the path cannot be found.
std::string ProgramFolderOfThisProcess();

}  // namespace mw
