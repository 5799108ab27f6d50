#pragma once
// The clips' side of a package's start: unpacks the package's archive where its player will
// play it, and lets the player start while the clips after its start files still unpack.

#include <memory>
#include <string>

#include "packer/early_start.h"
#include "packer/opened_package.h"
#include "packer/package_cache.h"
#include "packer/unpack_gate.h"

namespace mw::packer {

// What the threads of one start share.
struct SharedStart {
  const Package& package;
  const ExtractLimits& limits;
  EarlyStart early;
  UnpackGateWriter gate;
};

// The folder the player plays: the package's folder in the cache, else the private folder.
struct PlayFolder {
  std::unique_ptr<PackageEntry> entry;
  std::string path;
};

// Unpacks the archive into the package's cache folder, filled now when it is not there yet,
// or where the cache cannot take it, into private_folder. On the way each file in place is
// named on the gate; once the program and the data file are in place the early start hears
// of it; after the data file the unpacking holds until the runtime is in place. A refusal ends
// an early player and is then shown to the person (the error thrown says so). Tells the early
// start that the clips are over at the end, however it ends.
PlayFolder UnpackClipsForPlaying(SharedStart& start, const std::string& private_folder);

}  // namespace mw::packer
