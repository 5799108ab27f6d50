#pragma once
// Relink: points the clips of a map that are missing at files found under a folder.

#include <string>
#include <vector>

#include "map/clip_map.h"
#include "travel/clip_finder.h"
#include "travel/clip_paths.h"

namespace mw {

// One missing clip that matched several files equally well: listed, never guessed.
struct AmbiguousClip {
  std::string clip;
  std::vector<std::string> candidates;
};

// What a search found for the missing clips of a map.
struct RelinkPlan {
  ClipRenames renames;                   // missing clip text -> the file found for it
  std::vector<std::string> relinked;     // the clips in `renames`, in map order
  std::vector<std::string> notFound;     // missing clips with no matching file
  std::vector<AmbiguousClip> ambiguous;  // missing clips with several matching files
  bool searchTruncated = false;          // a search limit stopped the search early
  // True when no clip is missing once the plan is applied.
  bool Complete() const { return notFound.empty() && ambiguous.empty(); }
};

// Finds a file under `searchFolder` for each clip of `map` that is missing, reading
// relative clip texts from `baseFolder`. Changes nothing; the folder is only listed
// when a clip is missing.
RelinkPlan PlanRelink(const ClipMap& map, const std::string& baseFolder,
                      const std::string& searchFolder, SearchLimits limits = {});

// The lines that tell what a relink did or would do: "Relinked: OLD -> NEW", "Ambiguous:
// OLD (N files: ...)", "Still missing: OLD", a search stopped early.
std::vector<std::string> RelinkReportLines(const RelinkPlan& plan);

}  // namespace mw
