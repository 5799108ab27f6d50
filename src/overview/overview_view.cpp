#include "overview/overview_view.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <QWheelEvent>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <cmath>

namespace mw {

namespace {

constexpr double kMinZoom = 0.05;
constexpr double kMaxZoom = 8.0;
constexpr double kWheelStep = 1.15;  // zoom factor of one notch of the wheel
constexpr double kEdgeReach = 5.0;   // how near the pointer must be to an arrow, in pixels

}  // namespace

OverviewView::OverviewView(QWidget* parent) : QWidget(parent) {
  setObjectName("OverviewView");
  setMouseTracking(true);
  setMinimumSize(200, 150);
  connect(&watcher_, &QFutureWatcher<bool>::finished, this, &OverviewView::BuildFinished);
}

OverviewView::~OverviewView() {
  // A picture still being built is given up at its next step, so it holds up nothing.
  if (stop_) *stop_ = true;
}

void OverviewView::ShowMap(const ClipMap& map) {
  auto copy = std::make_shared<ClipMap>(map);
  if (Busy()) {
    // The picture being built is out of date: it stops, and this map follows it.
    *stop_ = true;
    waiting_ = std::move(copy);
    return;
  }
  StartBuild(std::move(copy));
}

void OverviewView::StartBuild(std::shared_ptr<ClipMap> map) {
  // The new picture takes over the thumbnails decoded so far; the one on show keeps its
  // own picture until the new one is ready.
  building_ = std::make_shared<OverviewPicture>();
  building_->TakeThumbnails(picture_);
  building_->SetThumbnailScale(devicePixelRatioF());
  stop_ = std::make_shared<std::atomic<bool>>(false);
  auto picture = building_;
  auto stop = stop_;
  watcher_.setFuture(
      QtConcurrent::run([picture, map, stop] { return picture->Build(*map, stop.get()); }));
  update();
}

void OverviewView::BuildFinished() {
  if (*stop_) {
    // Stopped for a newer map: the picture on show stays until that one is ready.
    picture_.TakeThumbnails(*building_);
    building_.reset();
    if (waiting_) StartBuild(std::exchange(waiting_, nullptr));
    return;
  }
  built_ = watcher_.result();
  picture_ = std::move(*building_);
  building_.reset();
  if (!everBuilt_ && built_) FitToWindow();
  everBuilt_ = everBuilt_ || built_;
  update();
  emit pictureShown();
  if (waiting_) StartBuild(std::exchange(waiting_, nullptr));
}

QPointF OverviewView::ToPicture(QPointF widgetPoint) const {
  return (widgetPoint - offset_) / zoom_;
}

void OverviewView::ZoomAt(QPointF anchor, double factor) {
  const QPointF fixed = ToPicture(anchor);
  zoom_ = std::clamp(zoom_ * factor, kMinZoom, kMaxZoom);
  offset_ = anchor - fixed * zoom_;
  update();
}

void OverviewView::FitToWindow() {
  const QSizeF size = picture_.Size();
  if (size.isEmpty()) return;
  zoom_ = std::clamp(std::min(width() / size.width(), height() / size.height()), kMinZoom, 1.0);
  offset_ = QPointF((width() - size.width() * zoom_) / 2, (height() - size.height() * zoom_) / 2);
  update();
}

void OverviewView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().window());
  if (!built_) {
    const QString text = Busy() ? QString("Laying out the map...")
                                : QString::fromLocal8Bit(picture_.Error().c_str());
    painter.drawText(rect(), Qt::AlignCenter, text);
    return;
  }
  painter.translate(offset_);
  painter.scale(zoom_, zoom_);
  picture_.Paint(painter);
}

void OverviewView::wheelEvent(QWheelEvent* event) {
  const double notches = event->angleDelta().y() / 120.0;
  if (notches != 0) ZoomAt(event->position(), std::pow(kWheelStep, notches));
  event->accept();
}

void OverviewView::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) dragFrom_ = event->position();
}

void OverviewView::mouseMoveEvent(QMouseEvent* event) {
  if (!dragFrom_ || !(event->buttons() & Qt::LeftButton)) return;
  offset_ += event->position() - *dragFrom_;
  dragFrom_ = event->position();
  update();
}

void OverviewView::mouseReleaseEvent(QMouseEvent*) {
  dragFrom_.reset();
}

void OverviewView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (!built_) return;
  const auto node = picture_.NodeAt(ToPicture(event->position()));
  if (node) emit clipChosen(QString::fromLocal8Bit(picture_.Graph().nodes[*node].clip.c_str()));
}

bool OverviewView::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) return ShowHint(static_cast<QHelpEvent*>(event));
  return QWidget::event(event);
}

bool OverviewView::ShowHint(QHelpEvent* event) {
  const QPointF at = ToPicture(event->pos());
  QString hint;
  if (built_) {
    if (auto node = picture_.NodeAt(at)) {
      hint = QString::fromLocal8Bit(picture_.Graph().nodes[*node].clip.c_str());
    } else if (auto edge = picture_.EdgeAt(at, kEdgeReach / zoom_)) {
      hint = QString::fromLocal8Bit(picture_.Graph().edges[*edge].Text().c_str());
    }
  }
  if (hint.isEmpty()) {
    QToolTip::hideText();
  } else {
    QToolTip::showText(event->globalPos(), hint, this);
  }
  return true;
}

}  // namespace mw
