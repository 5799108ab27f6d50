#pragma once
// The map's data as the web player reads it: the JSON of the page's #mw-map block.

#include <cstddef>
#include <string>
#include <vector>

#include "webexport/export_plan.h"

namespace mw {

// The two shapes of an export: a folder with index.html, or one self-contained page.
enum class ExportForm { Folder, SingleFile };

// One file carried inside a single-file page: a clip's file or a movie's poster.
struct ClipBlock {
  std::size_t clip = 0;  // its place in ExportPlan::clips
  bool poster = false;
  std::string id;  // the element's id in the page, "mw-clip-N"
};

// The blocks of a single-file page, in page order: each clip that is not missing, each
// followed by its poster.
std::vector<ClipBlock> ClipBlocksOf(const ExportPlan& plan);

// The JSON of the map: format 1, the title and start message, the stage, the clips and
// marks, with each clip's source as a path under clips/ (folder) or "#mw-clip-N"
// (single file). Escaped to stand inside a script block; valid UTF-8.
std::string MapDataJson(const ExportPlan& plan, const std::string& title,
                        const std::string& message, ExportForm form);

}  // namespace mw
