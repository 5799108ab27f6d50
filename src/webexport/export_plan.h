#pragma once
// What a web export of a map holds: each clip once with its name and treatment in the
// export, and the marks pointing at them.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "map/clip_map.h"
#include "map/map_file.h"

namespace mw {

class MovieConverter;

enum class WebClipKind { Photo, Movie, Missing };
// What the export does with a movie: copy it as it is, or convert it for browsers.
enum class MovieWork { None, Copy, Convert };

// One distinct clip of the map, in the order the map first names it.
struct WebClip {
  std::string text;    // the clip's text in the map
  std::string source;  // its absolute path; empty when it names no file
  std::string name;    // its bare file name, for texts shown
  WebClipKind kind = WebClipKind::Missing;
  MovieWork work = MovieWork::None;
  bool hasPoster = false;  // a movie with a picture gets a poster frame
  std::string id;          // its unique, URL-safe name in the export, also when missing
  std::string exportName;  // its file under clips/ (the id); empty for a missing clip
  std::string posterName;  // a movie's poster frame under clips/; empty for none
  int width = 0;           // as shown upright; 0 when unknown
  int height = 0;
  double seconds = 0;       // a movie's length
  std::uint64_t bytes = 0;  // the source's size
};

// One mark, its clips given by their place in ExportPlan::clips.
struct WebMark {
  std::size_t clip = 0;
  std::size_t target = 0;
  float x = 0;
  float y = 0;
  int size = 0;
  int areaWidth = 0;  // 0 when not recorded
  int areaHeight = 0;
  std::string message;
};

// The whole export of one map; the start clip is clips[0].
struct ExportPlan {
  std::vector<WebClip> clips;
  std::vector<WebMark> marks;
  WindowSize stage;
  std::string reason;  // why no export can be made of the map; empty when one can
};

// Looks at every clip of `map` (paths read from the current directory, as the editor
// reads them) and plans its export: photos copied, movies that browsers play copied,
// others converted, each movie with a poster; a clip that is missing or cannot be read
// is planned as missing. A movie the converter cannot read stops the plan with a
// reason naming it. `looking` is told each clip's text before it is looked at.
ExportPlan PlanExport(const ClipMap& map, WindowSize stage, MovieConverter& converter,
                      const std::function<void(const std::string&)>& looking = {});

// The MIME type of a clip's file in the export.
const char* MimeTypeOf(const WebClip& clip);

}  // namespace mw
