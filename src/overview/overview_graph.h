#pragma once
// The map overview's graph: each clip a node, each mark an arrow, with their states.

#include <cstddef>
#include <string>
#include <vector>

#include "check/clip_probe.h"
#include "map/clip_map.h"

namespace mw {

// One clip of the overview.
struct OverviewNode {
  std::string clip;                   // the clip text of the map
  std::string name;                   // its bare file name
  bool start = false;                 // the map's start clip
  bool reachable = true;              // reached from the start clip by following marks
  FileState state = FileState::Fine;  // what its file is
  // The file is missing or does not read as a clip.
  bool Broken() const { return state != FileState::Fine && state != FileState::NoFile; }
};

// One mark of the overview: an arrow from its clip to its target.
struct OverviewEdge {
  std::size_t from = 0;
  std::size_t to = 0;
  std::size_t markIndex = 0;
  std::string hint;     // the mark's message
  bool broken = false;  // its target is missing or broken
};

// The whole graph of a map.
struct OverviewGraph {
  std::vector<OverviewNode> nodes;
  std::vector<OverviewEdge> edges;
};

// The graph of `map`, every file probed through `prober`.
OverviewGraph BuildOverviewGraph(const ClipMap& map, ClipProber& prober);

// The text after the last "/" of a path.
std::string BareName(const std::string& path);

}  // namespace mw
