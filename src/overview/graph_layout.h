#pragma once
// The overview's graph laid out by Graphviz's dot layout. No Qt.

#include <optional>
#include <string>
#include <vector>

#include "overview/overview_graph.h"

namespace mw {

// A point of the layout, in pixels from its top-left corner, y downwards.
struct LayoutPoint {
  double x = 0;
  double y = 0;
};

// Where one node lies: its centre; every node has the box size of the layout.
struct NodePlace {
  LayoutPoint centre;
};

// The path of one arrow: cubic Bezier pieces (1 + 3n points) and the arrow's tip.
struct EdgePath {
  std::vector<LayoutPoint> points;
  std::optional<LayoutPoint> tip;  // where the arrowhead points, beyond the last point
};

// A laid-out graph: one place per node and one path per edge, in the graph's order.
struct GraphLayout {
  double width = 0;
  double height = 0;
  double nodeWidth = 0;
  double nodeHeight = 0;
  bool layered = false;  // laid out in layers from the start clip down; else by springs
  std::vector<NodePlace> nodes;
  std::vector<EdgePath> edges;
};

// The most clips an overview draws; a larger map gets a message instead.
inline constexpr std::size_t kMaxOverviewClips = 2000;
// What the overview says instead of a picture of a map of `clips` clips, too many.
std::string TooManyClipsMessage(std::size_t clips);

// Lays `graph` out with nodes of `nodeWidth` x `nodeHeight` pixels: a small map top to
// bottom in layers, a large or dense one by springs (which keeps the time to a fraction
// of a second). Gives nothing, with `error` set, when Graphviz cannot lay it out or the
// map has more than kMaxOverviewClips clips.
std::optional<GraphLayout> LayOutGraph(const OverviewGraph& graph, double nodeWidth,
                                       double nodeHeight, std::string& error);

}  // namespace mw
