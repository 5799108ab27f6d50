#pragma once
// Photos the size and weight of a camera's, for timing the player's start.

#include <string>

namespace mw::bench {

// Writes a JPEG of width x height whose fine texture keeps it as large on disk as a camera
// photo of that size (a few megabytes for 12 megapixels). `seed` varies the content.
void WriteCameraLikePhoto(const std::string& path, int width, int height, unsigned seed);

}  // namespace mw::bench
