#include "overview/graph_layout.h"

#include <graphviz/gvc.h>

#include <memory>

namespace mw {

namespace {

constexpr double kPointsPerInch = 72.0;

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
  bool Layout() {
    laidOut_ = gvLayout(gvc_, graph_, "dot") == 0;
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

std::optional<GraphLayout> LayOutGraph(const OverviewGraph& graph, double nodeWidth,
                                       double nodeHeight, std::string& error) {
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
  if (!session.Layout()) {
    error = "Graphviz could not lay the map out";
    return std::nullopt;
  }
  const boxf box = GD_bb(g);
  GraphLayout layout;
  layout.width = box.UR.x - box.LL.x;
  layout.height = box.UR.y - box.LL.y;
  layout.nodeWidth = nodeWidth;
  layout.nodeHeight = nodeHeight;
  for (Agnode_t* node : nodes) layout.nodes.push_back({Flip(ND_coord(node), box)});
  for (Agedge_t* edge : edges) layout.edges.push_back(PathOf(edge, box));
  return layout;
}

}  // namespace mw
