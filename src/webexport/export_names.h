#pragma once
// The names clips get inside a web export: bare, safe in a URL and unique.

#include <set>
#include <string>
#include <string_view>

namespace mw {

// `bare` made safe in a URL: letters, digits, ".", "-" and "_" kept, every other
// character (a whole UTF-8 sequence, or a byte that is none) "_"; never empty, never a
// name of dots only, and short enough for a numbered form with a poster's ending.
std::string UrlSafeName(std::string_view bare);

// The name of a movie's poster frame beside the movie in the export.
std::string PosterName(std::string_view clipName);

// Hands out the clips' names in the export, first come first served: a name already
// taken, in any letter case (the export may be copied to a file system that ignores
// case), gets "-2", "-3", ... before its extension. A movie's name keeps its poster's
// name free too.
class ExportNames {
 public:
  // The name for a clip with the bare file name `bare`; `extension` (".mp4") replaces
  // its own when not empty.
  std::string Take(std::string_view bare, std::string_view extension, bool withPoster);

 private:
  bool Free(const std::string& name, bool withPoster) const;
  void Hold(const std::string& name);

  std::set<std::string> taken_;  // in lower case
};

}  // namespace mw
