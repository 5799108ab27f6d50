#include "package/package_names.h"

namespace mw {

std::string BareFileName(std::string_view path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return std::string(path);
  return std::string(path.substr(slash + 1));
}

std::string FolderPart(std::string_view path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return {};
  return std::string(path.substr(0, slash + 1));
}

bool IsSkippedClip(std::string_view text) {
  return text.empty() || text == "0";
}

}  // namespace mw
