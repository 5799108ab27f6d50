#pragma once
// The head of a package: the self-extractor, the player's runtime parts and their index.
// Its layout follows from the files' sizes alone, so the archive can be written behind it
// while the head itself is copied in.

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "packer/runtime_parts.h"

namespace mw::packer {

// Where each file of the head goes.
struct HeadPlan {
  std::string extractor;
  off_t extractor_size = 0;
  std::vector<std::string> part_paths;
  std::vector<RuntimePart> parts;  // offsets and sizes; hashes are found while copying
  std::uint64_t size = 0;          // the whole head, index included: where the archive starts
};

// Lays out the head from the sizes of the extractor and the runtime parts. Throws
// PackerError for a file that cannot be read or an empty runtime part.
HeadPlan PlanHead(const std::string& extractor, const std::vector<std::string>& part_paths);

// Writes the head at the offset of fd (the package's start): each file copied as cp copies
// it, each part's hash, then the index. Throws PackerError when a file cannot be read or
// has changed its size since it was planned, or when fd cannot be written.
void WriteHead(int fd, HeadPlan plan);

}  // namespace mw::packer
