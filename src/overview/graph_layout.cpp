#include "overview/graph_layout.h"

#include <graphviz/gvc.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace mw {

namespace {

constexpr double kPointsPerInch = 72.0;
constexpr double kArrowHeadLength = 9.0;

// Maps up to this many clips, with at most kLayeredArrowsPerClip arrows a clip on average,
// are laid out in layers (dot); larger or denser ones, which dot can take minutes over, by
// the spring layout (sfdp), which takes a fraction of a second even for a thousand clips.
constexpr std::size_t kLayeredClips = 50;
constexpr double kLayeredArrowsPerClip = 2.5;

bool LaidOutInLayers(const OverviewGraph& graph) {
  return graph.nodes.size() <= kLayeredClips &&
         double(graph.edges.size()) <= kLayeredArrowsPerClip * double(graph.nodes.size());
}

// Graphviz wants writable C strings for names and attribute texts.
char* Text(const char* text) {
  return const_cast<char*>(text);
}

void SetGraphAttributes(Agraph_t* g, double nodeWidth, double nodeHeight) {
  agattr(g, AGRAPH, Text("nodesep"), Text("0.35"));
  agattr(g, AGRAPH, Text("ranksep"), Text("0.6"));
  agattr(g, AGNODE, Text("shape"), Text("box"));
  agattr(g, AGNODE, Text("fixedsize"), Text("true"));
  agattr(g, AGNODE, Text("label"), Text(""));
  agattr(g, AGNODE, Text("width"), Text(std::to_string(nodeWidth / kPointsPerInch).c_str()));
  agattr(g, AGNODE, Text("height"), Text(std::to_string(nodeHeight / kPointsPerInch).c_str()));
}

// The spring layout keeps the boxes apart by a margin; its arrows are straight lines,
// drawn here (routing thousands of them around the boxes is what takes dot so long).
void SetSpringAttributes(Agraph_t* g) {
  agattr(g, AGRAPH, Text("overlap"), Text("prism"));
  agattr(g, AGRAPH, Text("sep"), Text("+14"));
  agattr(g, AGRAPH, Text("splines"), Text("false"));
}

// The Graphviz context and graph of one layout, freed whatever way it ends.
class LayoutSession {
 public:
  LayoutSession() : gvc_(gvContext()) {
    if (gvc_) graph_ = agopen(Text("map"), Agdirected, nullptr);
  }
  ~LayoutSession() {
    if (laidOut_) gvFreeLayout(gvc_, graph_);
    if (graph_) agclose(graph_);
    if (gvc_) gvFreeContext(gvc_);
  }
  LayoutSession(const LayoutSession&) = delete;
  LayoutSession& operator=(const LayoutSession&) = delete;

  Agraph_t* Graph() const { return graph_; }
  bool Layout(const char* engine) {
    laidOut_ = gvLayout(gvc_, graph_, engine) == 0;
    return laidOut_;
  }

 private:
  GVC_t* gvc_ = nullptr;
  Agraph_t* graph_ = nullptr;
  bool laidOut_ = false;
};

// Graphviz's y runs upwards from the bottom of the bounding box.
LayoutPoint Flip(pointf p, const boxf& box) {
  return {p.x - box.LL.x, box.UR.y - p.y};
}

// Where the line from the centre of a node box towards `towards` leaves the box.
LayoutPoint BoxBorder(LayoutPoint centre, LayoutPoint towards, double width, double height) {
  const double dx = towards.x - centre.x;
  const double dy = towards.y - centre.y;
  const double scaleX = dx == 0 ? 1e300 : (width / 2) / std::fabs(dx);
  const double scaleY = dy == 0 ? 1e300 : (height / 2) / std::fabs(dy);
  const double t = std::min({scaleX, scaleY, 1.0});
  return {centre.x + dx * t, centre.y + dy * t};
}

// A straight arrow between the borders of two node boxes, as a Bezier piece.
EdgePath StraightPath(LayoutPoint from, LayoutPoint to, double width, double height) {
  const LayoutPoint start = BoxBorder(from, to, width, height);
  const LayoutPoint tip = BoxBorder(to, from, width, height);
  // The line ends a little before the tip, where the arrowhead begins.
  const double length = std::hypot(tip.x - start.x, tip.y - start.y);
  const double shorten = length > kArrowHeadLength ? kArrowHeadLength / length : 0;
  const LayoutPoint end{tip.x - (tip.x - start.x) * shorten, tip.y - (tip.y - start.y) * shorten};
  EdgePath path;
  path.points = {start, start, end, end};
  path.tip = tip;
  return path;
}

EdgePath PathOf(Agedge_t* edge, const boxf& box) {
  EdgePath path;
  const splines* spline = ED_spl(edge);
  if (!spline || spline->size == 0) return path;
  const bezier& piece = spline->list[0];
  for (int k = 0; k < piece.size; ++k) path.points.push_back(Flip(piece.list[k], box));
  if (piece.eflag) path.tip = Flip(piece.ep, box);
  return path;
}

}  // namespace

std::string TooManyClipsMessage(std::size_t clips) {
  return "The map has " + std::to_string(clips) +
         " clips: too many to draw (the overview draws at most " +
         std::to_string(kMaxOverviewClips) + ").";
}

std::optional<GraphLayout> LayOutGraph(const OverviewGraph& graph, double nodeWidth,
                                       double nodeHeight, std::string& error) {
  if (graph.nodes.size() > kMaxOverviewClips) {
    error = TooManyClipsMessage(graph.nodes.size());
    return std::nullopt;
  }
  LayoutSession session;
  Agraph_t* g = session.Graph();
  if (!g) {
    error = "Graphviz could not be started";
    return std::nullopt;
  }
  SetGraphAttributes(g, nodeWidth, nodeHeight);
  std::vector<Agnode_t*> nodes;
  nodes.reserve(graph.nodes.size());
  for (std::size_t k = 0; k < graph.nodes.size(); ++k)
    nodes.push_back(agnode(g, Text(("n" + std::to_string(k)).c_str()), 1));
  std::vector<Agedge_t*> edges;
  edges.reserve(graph.edges.size());
  for (std::size_t k = 0; k < graph.edges.size(); ++k) {
    const OverviewEdge& e = graph.edges[k];
    edges.push_back(
        agedge(g, nodes[e.from], nodes[e.to], Text(("e" + std::to_string(k)).c_str()), 1));
  }
  const bool layered = LaidOutInLayers(graph);
  if (!layered) SetSpringAttributes(g);
  if (!session.Layout(layered ? "dot" : "sfdp")) {
    error = "Graphviz could not lay the map out";
    return std::nullopt;
  }
  const boxf box = GD_bb(g);
  GraphLayout layout;
  layout.width = box.UR.x - box.LL.x;
  layout.height = box.UR.y - box.LL.y;
  layout.nodeWidth = nodeWidth;
  layout.nodeHeight = nodeHeight;
  layout.layered = layered;
  for (Agnode_t* node : nodes) layout.nodes.push_back({Flip(ND_coord(node), box)});
  for (std::size_t k = 0; k < edges.size(); ++k) {
    EdgePath path = PathOf(edges[k], box);
    if (path.points.empty()) {
      const OverviewEdge& e = graph.edges[k];
      path = StraightPath(layout.nodes[e.from].centre, layout.nodes[e.to].centre, nodeWidth,
                          nodeHeight);
    }
    layout.edges.push_back(std::move(path));
  }
  return layout;
}

}  // namespace mw
