#pragma once
// Photos the size and weight of a camera's, for timing the player's start.

#include <string>

namespace mw::bench {

// Writes a JPEG of width x height whose fine texture keeps it as large on disk as a camera
// photo of that size (a few megabytes for 12 megapixels). `seed` varies the content;
// `grain` 0 gives a smooth photo, small on disk.
void WriteCameraLikePhoto(const std::string& path, int width, int height, unsigned seed,
                          unsigned grain = 48);

}  // namespace mw::bench
