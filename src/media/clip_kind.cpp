#include "media/clip_kind.h"

#include <algorithm>

namespace mw {

std::string ClipExtension(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  std::string extension = dot == std::string::npos ? path : path.substr(dot + 1);
  std::transform(extension.begin(), extension.end(), extension.begin(), [](unsigned char c) {
    return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  });
  return extension;
}

ClipKind ClipKindOfPath(const std::string& path) {
  const std::string extension = ClipExtension(path);
  if (extension == "jpg" || extension == "jpeg") return ClipKind::PhotoClip;
  if (path.empty()) return ClipKind::NoClip;
  return ClipKind::MovieClip;
}

}  // namespace mw
