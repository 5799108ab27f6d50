#pragma once
// Gather: copies every clip of a map into one folder beside the map, so the map's folder
// alone holds the whole tour.

#include <string>
#include <utility>
#include <vector>

#include "map/clip_map.h"
#include "travel/clip_paths.h"

namespace mw {

// What gathering the clips of a map did.
struct GatherOutcome {
  bool failed = false;  // a copy failed: nothing was changed, `failure` says why
  std::string failure;  // which clip could not be gathered, and why
  std::string folder;   // the folder the clips go to, a full path
  ClipRenames renames;  // clip text -> the copy the marks now name
  std::vector<std::pair<std::string, std::string>> gathered;  // old -> copy, in map order
  std::vector<std::string> missing;  // clips with no file to copy, left as they are
  std::vector<std::string> made;     // the copies this gather made (not files reused)
  bool folderMade = false;           // this gather made `folder`
};

// The folder the clips of the map at `mapPath` are gathered in: beside the map, named
// after it (its name without ".clm") followed by " clips". A map opened through a link
// has its clips gathered beside the file the link points to.
std::string GatherFolderFor(const std::string& mapPath);

// Copies each clip of `map` that lies outside the map's folder into GatherFolderFor
// (`mapPath`), reading relative clip texts from `baseFolder`. A clip keeps its name; one
// whose name is taken by a different file gets a suffix ("hall-2.jpg"), and a file with
// the same content already there is used as it is. On a failure every copy made so far
// is taken back. Half copies that an earlier gather into that folder left behind when it
// was cut off are removed first (never those of a copy still running). The map itself is
// not changed: the caller applies `renames`.
GatherOutcome GatherClips(const ClipMap& map, const std::string& mapPath,
                          const std::string& baseFolder);

// Takes back the copies `outcome` made, except those in `keep` (full paths of files
// that a map names), and the gather folder when the gather made it and it is left empty.
void TakeBackCopies(const GatherOutcome& outcome, const std::vector<std::string>& keep);

// The lines that tell what a gather did: "Gathered: OLD -> NEW", "Still missing: OLD",
// or the failure.
std::vector<std::string> GatherReportLines(const GatherOutcome& outcome);

}  // namespace mw
