#include "overview/overview_picture.h"

#include <QBuffer>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string_view>

#include "check/clip_probe.h"
#include "map/safe_file.h"
#include "map/utf8_sequence.h"
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

// The count of marks an arrow stands for, written at its middle.
std::string CountText(const OverviewEdge& edge) {
  return "\u00d7" + std::to_string(edge.count);
}

QRectF CountBox(const QPainterPath& path) {
  const QPointF middle = path.pointAtPercent(0.5);
  return {middle.x() - 20, middle.y() - 8, 40, 16};
}

QFont NameFont() {
  QFont font = QGuiApplication::font();
  font.setPixelSize(11);
  return font;
}

// The characters XML 1.0 allows in a document.
bool XmlAllows(char32_t code) {
  return code == 0x9 || code == 0xa || code == 0xd || (code >= 0x20 && code <= 0xd7ff) ||
         (code >= 0xe000 && code <= 0xfffd) || (code >= 0x10000 && code <= 0x10ffff);
}

// `text` as XML character data or attribute text: markup characters escaped, and every
// byte that is no UTF-8 and every character XML does not allow (control characters,
// U+FFFE, U+FFFF) shown as the replacement character, so the document stays well-formed.
std::string XmlEscaped(std::string_view text) {
  static const char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    char32_t code = 0;
    const std::size_t length = Utf8Sequence(text, at, code);
    const bool blank = length == 1 && (code == '\t' || code == '\n' || code == '\r');
    if (length == 0 || !XmlAllows(code) || blank) {
      // Tabs and line breaks are blanks, as an attribute would read them anyway.
      out += blank ? " " : kReplacement;
      at += length == 0 ? 1 : length;
      continue;
    }
    switch (code) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out.append(text.substr(at, length));
    }
    at += length;
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

bool Stopped(const std::atomic<bool>* stop) {
  return stop && *stop;
}

// The largest image the picture is drawn as, in pixels a side and in all: a larger
// picture is drawn smaller.
constexpr double kMaxImageSide = 16384;
constexpr double kMaxImagePixels = 50e6;

// How much smaller than its own size a picture of `size` is drawn as an image.
double ImageScale(QSizeF size) {
  const double pixels = size.width() * size.height();
  double scale = std::min({1.0, kMaxImageSide / size.width(), kMaxImageSide / size.height()});
  if (pixels * scale * scale > kMaxImagePixels) scale = std::sqrt(kMaxImagePixels / pixels);
  return scale;
}

}  // namespace

OverviewPicture::OverviewPicture() : cache_(kThumbnailBox) {}

bool OverviewPicture::Build(const ClipMap& map, const std::atomic<bool>* stop) {
  graph_ = BuildOverviewGraph(map);
  error_.clear();
  layout_ = GraphLayout{};
  thumbnails_.clear();
  // A map too large to draw is told so before any of its files is looked at.
  if (graph_.nodes.size() > kMaxOverviewClips) {
    error_ = TooManyClipsMessage(graph_.nodes.size());
    return false;
  }
  ClipProber prober(ProbeDepth::Content);
  ProbeClips(graph_, prober, stop);
  if (Stopped(stop)) return false;
  std::optional<GraphLayout> layout = LayOutGraph(graph_, kNodeWidth, kNodeHeight, error_);
  if (!layout || Stopped(stop)) return false;
  layout_ = std::move(*layout);
  thumbnails_.reserve(graph_.nodes.size());
  for (const OverviewNode& node : graph_.nodes) {
    const bool wanted = !node.Broken() && !Stopped(stop);
    thumbnails_.push_back(wanted ? cache_.Of(node.clip, thumbnailScale_) : QImage());
  }
  return !Stopped(stop);
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
  if (e.count > 1) {
    painter.setPen(colour);
    painter.setFont(NameFont());
    painter.drawText(CountBox(path), Qt::AlignCenter, QString::fromStdString(CountText(e)));
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
    const QSizeF size = thumbnail.deviceIndependentSize();
    const QPointF corner(picture.center().x() - size.width() / 2,
                         picture.center().y() - size.height() / 2);
    painter.drawImage(QRectF(corner, size), thumbnail);
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
  const double scale = ImageScale(Size());
  const QSizeF size = Size() * scale;
  QImage image(int(std::ceil(size.width())), int(std::ceil(size.height())), QImage::Format_RGB32);
  if (image.isNull()) return image;
  image.fill(kBackground);
  QPainter painter(&image);
  painter.scale(scale, scale);
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
                    XmlEscaped(e.Text()) + "</title><path d=\"" + d + "\" fill=\"none\" stroke=\"" +
                    colour + "\" stroke-width=\"" + (e.broken ? "2" : "1.3") + "\"/>";
  if (auto ends = HeadEnds(path)) {
    std::string points;
    for (const QPointF& p : ArrowHead(ends->first, ends->second))
      points += Number(p.x()) + "," + Number(p.y()) + " ";
    svg += "<polygon points=\"" + points + "\" fill=\"" + colour + "\"/>";
  }
  if (e.count > 1) {
    const QPointF middle = CountBox(path).center();
    svg += "<text x=\"" + Number(middle.x()) + "\" y=\"" + Number(middle.y() + 4) +
           "\" font-family=\"sans-serif\" font-size=\"11\" text-anchor=\"middle\" fill=\"" +
           colour + "\">" + CountText(e) + "</text>";
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
    const QSizeF size = thumbnail.deviceIndependentSize();
    const double x = box.center().x() - size.width() / 2.0;
    const double y = box.top() + kThumbnailTop + (kThumbnailBox.height() - size.height()) / 2.0;
    svg += "<image x=\"" + Number(x) + "\" y=\"" + Number(y) + "\" width=\"" +
           Number(size.width()) + "\" height=\"" + Number(size.height()) +
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

bool IsOverviewFileName(const std::string& outputPath) {
  const std::string extension = ClipExtension(outputPath);
  return extension == "png" || extension == "svg";
}

std::string WriteOverviewFile(const ClipMap& map, const std::string& outputPath) {
  const std::string extension = ClipExtension(outputPath);
  if (!IsOverviewFileName(outputPath))
    return "The output file must end in .png or .svg: " + outputPath;
  if (IsSymbolicLink(outputPath))
    return "The picture is not written to " + outputPath + ": it is a symbolic link";
  OverviewPicture picture;
  if (!picture.Build(map)) return picture.Error();
  std::string content;
  if (extension == "png") {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const QImage image = picture.ToImage();
    if (image.isNull() || !image.save(&buffer, "PNG")) return "The picture could not be made.";
    content.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  } else {
    content = picture.ToSvg();
  }
  const WriteOutcome written = ReplaceOutputFile(outputPath, content);
  if (!written.ok)
    return "The picture could not be written to " + outputPath + ": " + written.error;
  return {};
}

}  // namespace mw
