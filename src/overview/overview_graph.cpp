#include "overview/overview_graph.h"

#include <map>
#include <utility>

#include "check/clip_graph.h"

namespace mw {

std::string BareName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string OverviewEdge::Text() const {
  if (count == 1) return hint;
  return std::to_string(count) + " marks: " + (hint.empty() ? "(no message)" : hint) + ", ...";
}

OverviewGraph BuildOverviewGraph(const ClipMap& map, ClipProber& prober) {
  OverviewGraph graph = BuildOverviewGraph(map);
  ProbeClips(graph, prober);
  return graph;
}

void ProbeClips(OverviewGraph& graph, ClipProber& prober, const std::atomic<bool>* stop) {
  for (OverviewNode& node : graph.nodes) {
    if (stop && *stop) return;
    node.state = prober.Probe(node.clip).state;
  }
  for (OverviewEdge& edge : graph.edges) edge.broken = graph.nodes[edge.to].Broken();
}

OverviewGraph BuildOverviewGraph(const ClipMap& map) {
  OverviewGraph graph;
  const ClipGraph clips(map);
  const std::vector<bool> reached = clips.Reachable();
  graph.nodes.reserve(clips.Clips().size());
  for (std::size_t k = 0; k < clips.Clips().size(); ++k) {
    OverviewNode node;
    node.clip = clips.Clips()[k];
    node.name = BareName(node.clip);
    node.start = k == clips.StartNode();
    node.reachable = reached[k];
    graph.nodes.push_back(std::move(node));
  }
  // Marks from one clip to the same target share an arrow, which counts them.
  std::map<std::pair<std::size_t, std::size_t>, std::size_t> arrows;
  for (const ClipLink& link : clips.Links()) {
    auto [arrow, added] = arrows.emplace(std::make_pair(link.from, link.to), graph.edges.size());
    if (!added) {
      ++graph.edges[arrow->second].count;
      continue;
    }
    graph.edges.push_back({link.from, link.to, link.markIndex, map.At(link.markIndex).Hint.str()});
  }
  return graph;
}

}  // namespace mw
