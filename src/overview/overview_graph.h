#pragma once
// The map overview's graph: each clip a node, each mark an arrow, with their states.

#include <atomic>
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

// The marks from one clip to one target: one arrow, however many marks it stands for.
struct OverviewEdge {
  std::size_t from = 0;
  std::size_t to = 0;
  std::size_t markIndex = 0;  // the first of its marks
  std::string hint;           // the first mark's message
  bool broken = false;        // its target is missing or broken
  std::size_t count = 1;      // how many marks lead from `from` to `to`
  // What the arrow's hint shows: the first mark's message, and how many marks it stands
  // for when more than one.
  std::string Text() const;
};

// The whole graph of a map.
struct OverviewGraph {
  std::vector<OverviewNode> nodes;
  std::vector<OverviewEdge> edges;
};

// The graph of `map`, every file probed through `prober`: one node per clip, one arrow per
// clip and target that marks link.
OverviewGraph BuildOverviewGraph(const ClipMap& map, ClipProber& prober);
// The same without looking at the files: every clip counts as fine.
OverviewGraph BuildOverviewGraph(const ClipMap& map);
// Gives each clip of `graph` the state of its file, and each arrow whether its target is
// broken; stops early, leaving the rest as they are, once `stop` is set.
void ProbeClips(OverviewGraph& graph, ClipProber& prober, const std::atomic<bool>* stop = nullptr);

// The text after the last "/" of a path.
std::string BareName(const std::string& path);

}  // namespace mw
