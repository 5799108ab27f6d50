#include "overview/overview_graph.h"

#include "check/clip_graph.h"

namespace mw {

std::string BareName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

OverviewGraph BuildOverviewGraph(const ClipMap& map, ClipProber& prober) {
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
    node.state = prober.Probe(node.clip).state;
    graph.nodes.push_back(std::move(node));
  }
  graph.edges.reserve(clips.Links().size());
  for (const ClipLink& link : clips.Links()) {
    graph.edges.push_back({link.from, link.to, link.markIndex, map.At(link.markIndex).Hint.str(),
                           graph.nodes[link.to].Broken()});
  }
  return graph;
}

}  // namespace mw
