#pragma once
// Unpacking one runtime part of a package into a folder, and checking such a folder later.

#include <string>

#include "packer/packer_error.h"
#include "packer/runtime_parts.h"

namespace mw::packer {

// A runtime part could not be written where it was to go (no space left, say): the package
// itself is sound, and another folder may do.
class RuntimeWriteError : public PackerError {
 public:
  using PackerError::PackerError;
};

// Unpacks the runtime part that lies in the open package fd into the folder dir (which
// exists): regular files and folders only, relative names without "." or "..", no link.
// The part's bytes are hashed on the way and must match its hash in the package's index;
// each file's own hash is kept in the folder's list of files. A part of several zstd frames,
// each a tar stream of its own, is unpacked on two threads, one run of frames each, with the
// rules and limits held over the whole part; no thread outlives the call. Throws PackerError
// naming the first broken rule or the damage, RuntimeWriteError when dir cannot take the files.
void UnpackRuntimePart(int fd, const RuntimePart& part, const std::string& dir);

// Whether the folder is a complete unpacked part: its list of files is there and every file
// in it has the size the list gives. Quick: reads no file's content.
bool IsCompleteRuntimeFolder(const std::string& folder);

// The first file of the unpacked part in folder whose content no longer matches the hash
// kept when it was unpacked (or that is missing); empty when every file matches.
std::string FindDamagedRuntimeFile(const std::string& folder);

}  // namespace mw::packer
