#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "packer/runtime_parts.h"
#include "packer/runtime_unpack.h"

namespace mw::packer {

// The folder that holds unpacked runtime parts for this user: $XDG_CACHE_HOME/markweaver,
// by default ~/.cache/markweaver. Empty when neither variable is set.
std::string RuntimeCacheFolder();

// The cache folder, made when missing, when this user may unpack and run programs there;
// else empty.
std::string UsableCacheFolder();

// Gives the folder holding the part unpacked: the cache folder of its hash, made when
// missing or incomplete (under a temporary name, renamed into place only when the part
// matched its hash, so packages starting at once are safe). When the cache cannot be used
// (unwritable, full, on a mount that cannot run programs) the part is unpacked into a new
// folder inside fallback instead, which is returned, and the reason is printed on standard
// error. Throws PackerError when neither works or the part is damaged.
std::string ProvideRuntimePart(int fd, const RuntimePart& part, const std::string& fallback);

// Room the parts will take outside the cache: none when each is in the cache already or the
// cache has room for it, else an estimate of their unpacked size (their packed size times
// what the runtime's libraries compress by, at most).
std::uint64_t RuntimeRoomOutsideCache(const std::vector<RuntimePart>& parts);

// Gives a new folder holding the part unpacked, after the one at damaged (given earlier by
// ProvideRuntimePart) was found damaged: that folder is moved aside and removed. Throws
// PackerError.
std::string ReplaceRuntimePart(int fd, const RuntimePart& part, const std::string& damaged,
                               const std::string& fallback);

// Links every top-level entry of the runtime folder (mwRun.lib, mwRun.plugins, ...) into
// the folder dir, where the player finds them beside itself; links of the same name that
// point elsewhere are replaced in one step. Throws PackerError.
void LinkRuntimeInto(const std::string& runtime_folder, const std::string& dir);

}  // namespace mw::packer
