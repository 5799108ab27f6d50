#include "check/clip_graph.h"

#include "check/clip_probe.h"

namespace mw {

ClipGraph::ClipGraph(const ClipMap& map) {
  links_.reserve(map.Count());
  for (std::size_t index = 0; index < map.Count(); ++index) {
    const ClickerMark& mark = map.At(index);
    const std::size_t from = NodeOf(mark.Clip.str());
    const std::string target = mark.NextClip.str();
    if (NamesNoFile(target)) continue;
    links_.push_back({from, NodeOf(target), index});
  }
}

std::size_t ClipGraph::NodeOf(const std::string& clip) {
  auto [found, added] = nodes_.emplace(clip, clips_.size());
  if (added) clips_.push_back(clip);
  return found->second;
}

std::vector<bool> ClipGraph::Reachable() const {
  std::vector<bool> reached(clips_.size(), false);
  if (clips_.empty()) return reached;
  std::vector<std::vector<std::size_t>> next(clips_.size());
  for (const ClipLink& link : links_) next[link.from].push_back(link.to);
  std::vector<std::size_t> waiting{StartNode()};
  reached[StartNode()] = true;
  while (!waiting.empty()) {
    const std::size_t node = waiting.back();
    waiting.pop_back();
    for (std::size_t to : next[node]) {
      if (!reached[to]) {
        reached[to] = true;
        waiting.push_back(to);
      }
    }
  }
  return reached;
}

}  // namespace mw
