#pragma once
// What kind of clip a path names, and what showing a clip gave.

#include <string>

namespace mw {

// Result of showing a clip; callers compare with these values.
enum class ClipKind { NoClip = 0, PhotoClip = 1, MovieClip = 2 };

// The extension of a clip path: the text after its last "." (the whole path when it has
// no "."), in lower case. A "." inside a folder name counts like any other.
std::string ClipExtension(const std::string& path);

// How a path is to be shown: PhotoClip for the extensions "jpg" and "jpeg", NoClip for an
// empty path, MovieClip (to be tried by the movie player) for everything else.
ClipKind ClipKindOfPath(const std::string& path);

}  // namespace mw
