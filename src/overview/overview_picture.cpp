#include "overview/overview_picture.h"

#include <QBuffer>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <cmath>
#include <cstdio>
#include <functional>

#include "check/clip_probe.h"
#include "map/safe_file.h"
#include "media/clip_kind.h"

namespace mw {

namespace {

constexpr double kNodeWidth = 124;
constexpr double kNodeHeight = 104;
constexpr double kMargin = 16;
constexpr double kThumbnailTop = 6;
const QSize kThumbnailBox(112, 72);
constexpr double kArrowLength = 9;
constexpr double kUnreachableOpacity = 0.35;

const QColor kBackground(250, 250, 247);
const QColor kNodeFill(255, 255, 255);
const QColor kNodeBorder(96, 96, 96);
const QColor kStartBorder(31, 111, 208);
const QColor kBrokenFill(255, 214, 214);
const QColor kBroken(208, 0, 0);
const QColor kEdge(85, 85, 85);
const QColor kMovieFill(60, 60, 72);

QPainterPath PathOf(const EdgePath& edge, const std::function<QPointF(const LayoutPoint&)>& at) {
  QPainterPath path;
  if (edge.points.empty()) return path;
  path.moveTo(at(edge.points[0]));
  for (std::size_t k = 1; k + 2 < edge.points.size(); k += 3)
    path.cubicTo(at(edge.points[k]), at(edge.points[k + 1]), at(edge.points[k + 2]));
  if (edge.tip) path.lineTo(at(*edge.tip));
  return path;
}

// The three corners of an arrowhead pointing from `from` to `tip`.
QPolygonF ArrowHead(QPointF from, QPointF tip) {
  const QPointF d = tip - from;
  const double length = std::hypot(d.x(), d.y());
  if (length < 1e-6) return {};
  const QPointF unit = d / length;
  const QPointF side(-unit.y(), unit.x());
  const QPointF base = tip - unit * kArrowLength;
  return QPolygonF({tip, base + side * (kArrowLength / 2.5), base - side * (kArrowLength / 2.5)});
}

// The last point before the tip of an arrow, which gives its head's direction.
std::optional<std::pair<QPointF, QPointF>> HeadEnds(const QPainterPath& path) {
  const int count = path.elementCount();
  if (count < 2) return std::nullopt;
  const QPointF tip = path.elementAt(count - 1);
  const QPointF before = path.elementAt(count - 2);
  return std::make_pair(before, tip);
}

QFont NameFont() {
  QFont font = QGuiApplication::font();
  font.setPixelSize(11);
  return font;
}

std::string XmlEscaped(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        // Control characters are not allowed in XML 1.0.
        if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') out += c;
    }
  }
  return out;
}

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value);
  return text;
}

std::string ColourText(const QColor& colour) {
  return colour.name().toStdString();
}

std::string PngBase64(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes.toBase64().toStdString();
}

}  // namespace

OverviewPicture::OverviewPicture() : cache_(kThumbnailBox) {}

bool OverviewPicture::Build(const ClipMap& map) {
  ClipProber prober(ProbeDepth::Content);
  graph_ = BuildOverviewGraph(map, prober);
  error_.clear();
  std::optional<GraphLayout> layout = LayOutGraph(graph_, kNodeWidth, kNodeHeight, error_);
  if (!layout) {
    layout_ = GraphLayout{};
    thumbnails_.clear();
    return false;
  }
  layout_ = std::move(*layout);
  thumbnails_.clear();
  thumbnails_.reserve(graph_.nodes.size());
  for (const OverviewNode& node : graph_.nodes)
    thumbnails_.push_back(node.Broken() ? QImage() : cache_.Of(node.clip));
  return true;
}

QSizeF OverviewPicture::Size() const {
  return {layout_.width + 2 * kMargin, layout_.height + 2 * kMargin};
}

QPointF OverviewPicture::ToPicture(const LayoutPoint& point) const {
  return {point.x + kMargin, point.y + kMargin};
}

QRectF OverviewPicture::NodeBox(std::size_t node) const {
  const QPointF centre = ToPicture(layout_.nodes.at(node).centre);
  return {centre.x() - layout_.nodeWidth / 2, centre.y() - layout_.nodeHeight / 2,
          layout_.nodeWidth, layout_.nodeHeight};
}

const QImage& OverviewPicture::ThumbnailOf(std::size_t node) const {
  return thumbnails_.at(node);
}

std::optional<std::size_t> OverviewPicture::NodeAt(QPointF point) const {
  for (std::size_t k = 0; k < layout_.nodes.size(); ++k) {
    if (NodeBox(k).contains(point)) return k;
  }
  return std::nullopt;
}

std::optional<std::size_t> OverviewPicture::EdgeAt(QPointF point, double reach) const {
  QPainterPathStroker stroker;
  stroker.setWidth(2 * reach);
  const QRectF near(point.x() - reach, point.y() - reach, 2 * reach, 2 * reach);
  auto at = [this](const LayoutPoint& p) { return ToPicture(p); };
  for (std::size_t k = 0; k < layout_.edges.size(); ++k) {
    const QPainterPath path = PathOf(layout_.edges[k], at);
    if (!path.controlPointRect().adjusted(-reach, -reach, reach, reach).intersects(near)) continue;
    if (stroker.createStroke(path).contains(point)) return k;
  }
  return std::nullopt;
}

void OverviewPicture::Paint(QPainter& painter) const {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.fillRect(QRectF(QPointF(0, 0), Size()), kBackground);
  for (std::size_t k = 0; k < layout_.edges.size(); ++k) PaintEdge(painter, k);
  for (std::size_t k = 0; k < layout_.nodes.size(); ++k) PaintNode(painter, k);
  painter.restore();
}

void OverviewPicture::PaintEdge(QPainter& painter, std::size_t edge) const {
  const OverviewEdge& e = graph_.edges.at(edge);
  const bool dim = !graph_.nodes.at(e.from).reachable;
  painter.setOpacity(dim ? kUnreachableOpacity : 1.0);
  const QColor colour = e.broken ? kBroken : kEdge;
  const QPainterPath path =
      PathOf(layout_.edges.at(edge), [this](const LayoutPoint& p) { return ToPicture(p); });
  painter.setPen(QPen(colour, e.broken ? 2.0 : 1.3));
  painter.setBrush(Qt::NoBrush);
  painter.drawPath(path);
  if (auto ends = HeadEnds(path)) {
    painter.setBrush(colour);
    painter.drawPolygon(ArrowHead(ends->first, ends->second));
  }
}

void OverviewPicture::PaintNode(QPainter& painter, std::size_t node) const {
  const OverviewNode& n = graph_.nodes.at(node);
  const QRectF box = NodeBox(node);
  painter.setOpacity(n.reachable ? 1.0 : kUnreachableOpacity);
  const QColor border = n.Broken() ? kBroken : n.start ? kStartBorder : kNodeBorder;
  painter.setPen(QPen(border, n.start || n.Broken() ? 3.5 : 1.2));
  painter.setBrush(n.Broken() ? kBrokenFill : kNodeFill);
  painter.drawRoundedRect(box, 6, 6);
  const QRectF picture(box.left() + (box.width() - kThumbnailBox.width()) / 2,
                       box.top() + kThumbnailTop, kThumbnailBox.width(), kThumbnailBox.height());
  const QImage& thumbnail = ThumbnailOf(node);
  if (!thumbnail.isNull()) {
    const QSizeF size = thumbnail.size();
    const QPointF corner(picture.center().x() - size.width() / 2,
                         picture.center().y() - size.height() / 2);
    painter.drawImage(corner, thumbnail);
  } else if (n.Broken()) {
    painter.setPen(QPen(kBroken, 3));
    painter.drawLine(picture.topLeft() + QPointF(30, 10), picture.bottomRight() - QPointF(30, 10));
    painter.drawLine(picture.topRight() + QPointF(-30, 10),
                     picture.bottomLeft() + QPointF(30, -10));
  } else {
    painter.fillRect(picture, kMovieFill);
    painter.setBrush(Qt::white);
    painter.setPen(Qt::NoPen);
    const QPointF c = picture.center();
    painter.drawPolygon(
        QPolygonF({c + QPointF(-10, -14), c + QPointF(-10, 14), c + QPointF(14, 0)}));
  }
  painter.setPen(n.Broken() ? kBroken : Qt::black);
  painter.setFont(NameFont());
  const QRectF nameRect(box.left() + 4, picture.bottom() + 2, box.width() - 8,
                        box.bottom() - picture.bottom() - 4);
  painter.drawText(nameRect, Qt::AlignCenter, ShownName(node));
  painter.setOpacity(1.0);
}

QImage OverviewPicture::ToImage() const {
  const QSizeF size = Size();
  QImage image(int(std::ceil(size.width())), int(std::ceil(size.height())), QImage::Format_RGB32);
  image.fill(kBackground);
  QPainter painter(&image);
  Paint(painter);
  painter.end();
  return image;
}

std::string OverviewPicture::ToSvg() const {
  const QSizeF size = Size();
  std::string svg =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
      Number(size.width()) + "\" height=\"" + Number(size.height()) + "\">\n";
  svg += "<rect width=\"100%\" height=\"100%\" fill=\"" + ColourText(kBackground) + "\"/>\n";
  for (std::size_t k = 0; k < layout_.edges.size(); ++k) svg += SvgEdge(k);
  for (std::size_t k = 0; k < layout_.nodes.size(); ++k) svg += SvgNode(k);
  return svg + "</svg>\n";
}

std::string OverviewPicture::SvgEdge(std::size_t edge) const {
  const OverviewEdge& e = graph_.edges[edge];
  const QPainterPath path =
      PathOf(layout_.edges[edge], [this](const LayoutPoint& p) { return ToPicture(p); });
  std::string d;
  for (int i = 0; i < path.elementCount(); ++i) {
    const QPainterPath::Element el = path.elementAt(i);
    d += el.isMoveTo() ? "M" : el.isLineTo() ? "L" : el.isCurveTo() ? "C" : " ";
    d += Number(el.x) + " " + Number(el.y) + " ";
  }
  const std::string colour = ColourText(e.broken ? kBroken : kEdge);
  std::string svg = "<g class=\"mark\" opacity=\"" +
                    std::string(graph_.nodes[e.from].reachable ? "1" : "0.35") + "\"><title>" +
                    XmlEscaped(e.hint) + "</title><path d=\"" + d + "\" fill=\"none\" stroke=\"" +
                    colour + "\" stroke-width=\"" + (e.broken ? "2" : "1.3") + "\"/>";
  if (auto ends = HeadEnds(path)) {
    std::string points;
    for (const QPointF& p : ArrowHead(ends->first, ends->second))
      points += Number(p.x()) + "," + Number(p.y()) + " ";
    svg += "<polygon points=\"" + points + "\" fill=\"" + colour + "\"/>";
  }
  return svg + "</g>\n";
}

std::string OverviewPicture::SvgNode(std::size_t node) const {
  const OverviewNode& n = graph_.nodes[node];
  const QRectF box = NodeBox(node);
  const QColor border = n.Broken() ? kBroken : n.start ? kStartBorder : kNodeBorder;
  std::string svg = "<g class=\"clip" + std::string(n.start ? " start" : "") +
                    (n.Broken() ? " broken" : "") + "\" opacity=\"" + (n.reachable ? "1" : "0.35") +
                    "\"><title>" + XmlEscaped(n.clip) + "</title>";
  svg += "<rect x=\"" + Number(box.x()) + "\" y=\"" + Number(box.y()) + "\" width=\"" +
         Number(box.width()) + "\" height=\"" + Number(box.height()) + "\" rx=\"6\" fill=\"" +
         ColourText(n.Broken() ? kBrokenFill : kNodeFill) + "\" stroke=\"" + ColourText(border) +
         "\" stroke-width=\"" + (n.start || n.Broken() ? "3.5" : "1.2") + "\"/>";
  const QImage& thumbnail = ThumbnailOf(node);
  if (!thumbnail.isNull()) {
    const double x = box.center().x() - thumbnail.width() / 2.0;
    const double y =
        box.top() + kThumbnailTop + (kThumbnailBox.height() - thumbnail.height()) / 2.0;
    svg += "<image x=\"" + Number(x) + "\" y=\"" + Number(y) + "\" width=\"" +
           std::to_string(thumbnail.width()) + "\" height=\"" + std::to_string(thumbnail.height()) +
           "\" href=\"data:image/png;base64," + PngBase64(thumbnail) + "\"/>";
  }
  svg += "<text x=\"" + Number(box.center().x()) + "\" y=\"" +
         Number(box.top() + kThumbnailTop + kThumbnailBox.height() + 17) +
         "\" font-family=\"sans-serif\" font-size=\"11\" text-anchor=\"middle\" fill=\"" +
         ColourText(n.Broken() ? kBroken : QColor(Qt::black)) + "\">" +
         XmlEscaped(ShownName(node).toLocal8Bit().toStdString()) + "</text>";
  return svg + "</g>\n";
}

QString OverviewPicture::ShownName(std::size_t node) const {
  return QFontMetrics(NameFont())
      .elidedText(QString::fromLocal8Bit(graph_.nodes.at(node).name.c_str()), Qt::ElideMiddle,
                  int(layout_.nodeWidth - 8));
}

std::string WriteOverviewFile(const ClipMap& map, const std::string& outputPath) {
  const std::string extension = ClipExtension(outputPath);
  if (extension != "png" && extension != "svg")
    return "The output file must end in .png or .svg: " + outputPath;
  OverviewPicture picture;
  if (!picture.Build(map)) return picture.Error();
  std::string content;
  if (extension == "png") {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!picture.ToImage().save(&buffer, "PNG")) return "The picture could not be made.";
    content.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  } else {
    content = picture.ToSvg();
  }
  const WriteOutcome written = ReplaceFileContent(outputPath, content);
  if (!written.ok)
    return "The picture could not be written to " + outputPath + ": " + written.error;
  return {};
}

}  // namespace mw
