#pragma once

#include <string>

namespace mw::packer {

// The full path of the running program's own file (/proc/self/exe). Throws PackerError.
std::string OwnProgramPath();

// The folder of the running program's own file, with a trailing "/". Throws PackerError.
std::string ProgramFolder();

// The folder part of path with a trailing "/" ("./" for a bare name).
std::string FolderOf(const std::string& path);

// folder and name joined with one "/" between them (name alone when folder is empty).
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace mw::packer
