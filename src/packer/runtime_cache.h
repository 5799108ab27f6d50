#pragma once

#include <string>
#include <vector>

#include "packer/runtime_parts.h"

namespace mw::packer {

// Unpacks the runtime part that lies in the open package fd into the folder dir (which
// exists): regular files and folders only, relative names without "." or "..", no link.
// Throws PackerError naming the first broken rule.
void UnpackRuntimePart(int fd, const RuntimePart& part, const std::string& dir);

// The folder that holds unpacked runtime parts for this user: $XDG_CACHE_HOME/markweaver,
// by default ~/.cache/markweaver. Empty when neither variable is set.
std::string RuntimeCacheFolder();

// Gives the folder holding the part unpacked: the cache folder of its hash, made when
// missing or damaged (under a temporary name, then renamed, so packages starting at once
// are safe). When the cache cannot be used (unwritable, on a mount that cannot run
// programs) the part is unpacked into fallback instead, which is returned. Throws
// PackerError when neither works.
std::string ProvideRuntimePart(int fd, const RuntimePart& part, const std::string& fallback);

// Whether the folder is a complete unpacked part: its list of files is there and every file
// in it has the size the list gives.
bool IsCompleteRuntimeFolder(const std::string& folder);

// Links every top-level entry of the runtime folder (mwRun.lib, mwRun.plugins, ...) into
// the folder dir, where the player finds them beside itself. Throws PackerError.
void LinkRuntimeInto(const std::string& runtime_folder, const std::string& dir);

}  // namespace mw::packer
