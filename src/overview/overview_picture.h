#pragma once
// The drawn overview of a map: its graph laid out, with thumbnails, ready to paint.

#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <atomic>
#include <optional>
#include <string>
#include <utility>

#include "map/clip_map.h"
#include "overview/graph_layout.h"
#include "overview/overview_graph.h"
#include "overview/thumbnails.h"

class QPainter;

namespace mw {

// The map's graph, its layout and its thumbnails. Paints itself in picture pixels (the
// layout with a margin around it); tells which node or arrow lies at a point.
class OverviewPicture {
 public:
  OverviewPicture();

  // Builds the graph of `map`, probes its files, lays it out and fetches the thumbnails.
  // False, with Error() set, when the layout failed or the map has too many clips; false
  // also when `stop` was set meanwhile, which ends the work at its next step.
  bool Build(const ClipMap& map, const std::atomic<bool>* stop = nullptr);
  // Thumbnails are made at this many device pixels to one picture pixel (2 on a screen of
  // twice the density), so they stay sharp when the picture is shown there.
  void SetThumbnailScale(double scale) { thumbnailScale_ = scale; }
  const std::string& Error() const { return error_; }
  // Takes over the thumbnails that `other` has decoded, so they are not decoded again.
  void TakeThumbnails(OverviewPicture& other) { std::swap(cache_, other.cache_); }
  const OverviewGraph& Graph() const { return graph_; }
  const GraphLayout& Layout() const { return layout_; }
  // The size of the whole picture.
  QSizeF Size() const;

  // Draws the whole picture with its top-left corner at the painter's origin.
  void Paint(QPainter& painter) const;
  // The box of a node in picture pixels.
  QRectF NodeBox(std::size_t node) const;
  // The node at `point` of the picture, if any.
  std::optional<std::size_t> NodeAt(QPointF point) const;
  // The arrow passing within `reach` pixels of `point`, if any.
  std::optional<std::size_t> EdgeAt(QPointF point, double reach) const;

  // The picture as an image, one picture pixel to one image pixel, or smaller where it
  // would exceed 16384 pixels a side or 50 million in all.
  QImage ToImage() const;
  // The picture as an SVG document, thumbnails embedded, each arrow's message its title.
  std::string ToSvg() const;

 private:
  void PaintEdge(QPainter& painter, std::size_t edge) const;
  void PaintNode(QPainter& painter, std::size_t node) const;
  std::string SvgEdge(std::size_t edge) const;
  std::string SvgNode(std::size_t node) const;
  // The node's bare name, shortened in the middle to fit its box.
  QString ShownName(std::size_t node) const;
  QPointF ToPicture(const LayoutPoint& point) const;
  const QImage& ThumbnailOf(std::size_t node) const;

  OverviewGraph graph_;
  GraphLayout layout_;
  std::vector<QImage> thumbnails_;
  Thumbnails cache_;
  double thumbnailScale_ = 1.0;
  std::string error_;
};

// Whether `outputPath` names a kind of file the overview is written as (".png", ".svg").
bool IsOverviewFileName(const std::string& outputPath);

// Writes the overview of `map` to `outputPath`, a ".png" or ".svg" file that is not a
// symbolic link; the file there is kept on any failure. Gives an empty text on success,
// otherwise what went wrong.
std::string WriteOverviewFile(const ClipMap& map, const std::string& outputPath);

}  // namespace mw
