#pragma once
// The clips of a map and the marks between them, as a directed graph.

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "map/clip_map.h"

namespace mw {

// One mark as a link from the clip it sits on to its target.
struct ClipLink {
  std::size_t from = 0;       // node of the mark's clip
  std::size_t to = 0;         // node of its target
  std::size_t markIndex = 0;  // the mark in the map
};

// Every distinct clip text of a map (a mark's clip, or a target that names a file) is one
// node, in the order it first appears; every mark with a target is a link.
class ClipGraph {
 public:
  explicit ClipGraph(const ClipMap& map);

  const std::vector<std::string>& Clips() const { return clips_; }
  const std::vector<ClipLink>& Links() const { return links_; }
  // The node of the start clip; meaningless for a map without marks.
  std::size_t StartNode() const { return 0; }
  // Per node: whether it is reached from the start clip by following links.
  std::vector<bool> Reachable() const;

 private:
  std::size_t NodeOf(const std::string& clip);

  std::vector<std::string> clips_;
  std::unordered_map<std::string, std::size_t> nodes_;
  std::vector<ClipLink> links_;
};

}  // namespace mw
