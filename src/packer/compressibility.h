#pragma once
// Whether files are worth compressing, judged from samples of them: photos and movies are
// compressed already, and searching them for repeats costs more time than it saves room.

#include <string>
#include <vector>

namespace mw::packer {

// True when compressing the files would save at least a twentieth of their bytes, judged
// from samples at the start, middle and end of each, compressed at zstd's fast level 1.
// A file that cannot be read counts as not compressible (packing it reports the problem).
bool WorthCompressing(const std::vector<std::string>& paths);

}  // namespace mw::packer
