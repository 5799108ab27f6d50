#include "media/clip_panel.h"

#include <QChildEvent>
#include <QMouseEvent>
#include <QPainter>

#include "media/device_pixels.h"

namespace mw {

ClipImage::ClipImage(QWidget* parent) : QWidget(parent) {
  setObjectName("Image1");
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setAttribute(Qt::WA_OpaquePaintEvent);
  hide();
}

void ClipImage::SetPhoto(const QImage& photo) {
  photo_ = photo;
  UpdateVisibility();
}

void ClipImage::SetMovieFrame(const QImage& frame) {
  movie_frame_ = frame;
  UpdateVisibility();
}

void ClipImage::UpdateVisibility() {
  setVisible(HasPicture());
  update();
}

// Paints in device pixels: a picture made at the area's device size is copied pixel for
// pixel; any other is stretched to the whole area.
void ClipImage::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const qreal ratio = devicePixelRatioF();
  PaintInDevicePixels(painter, ratio);
  const QImage& picture = movie_frame_.isNull() ? photo_ : movie_frame_;
  const QRect device(QPoint(0, 0), DeviceSize(size(), ratio));
  if (picture.size() != device.size()) painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(device, picture);
}

ClipPanel::ClipPanel(QWidget* parent) : QWidget(parent) {
  image_ = new ClipImage(this);
  setObjectName("Panel1");
  setMouseTracking(true);
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Button);
  device_ratio_ = devicePixelRatioF();
}

void ClipPanel::SetCaption(const QString& caption) {
  caption_ = caption;
  update();
}

// Children added later (the mark overlays) stack above Image1; Image1 stays at the bottom.
bool ClipPanel::event(QEvent* event) {
  if (image_ && (event->type() == QEvent::ChildAdded || event->type() == QEvent::ChildPolished))
    image_->lower();
  const bool handled = QWidget::event(event);
  if (event->type() == QEvent::ScreenChangeInternal || event->type() == QEvent::Show)
    CheckDeviceRatio();
#if QT_VERSION >= QT_VERSION_CHECK(6, 6, 0)
  if (event->type() == QEvent::DevicePixelRatioChange) CheckDeviceRatio();
#endif
  return handled;
}

void ClipPanel::CheckDeviceRatio() {
  const qreal ratio = devicePixelRatioF();
  if (ratio == device_ratio_) return;
  device_ratio_ = ratio;
  emit DeviceRatioChanged(ratio);
}

void ClipPanel::paintEvent(QPaintEvent*) {
  if (image_->HasPicture()) return;
  QPainter painter(this);
  painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, caption_);
}

void ClipPanel::resizeEvent(QResizeEvent* event) {
  image_->setGeometry(rect());
  QWidget::resizeEvent(event);
  emit Resized(size());
}

void ClipPanel::mouseMoveEvent(QMouseEvent* event) {
  emit MouseMoved(event->position().toPoint(), event->buttons(), event->modifiers());
}

void ClipPanel::mousePressEvent(QMouseEvent* event) {
  emit MousePressed(event->position().toPoint(), event->button(), event->modifiers());
}

void ClipPanel::mouseReleaseEvent(QMouseEvent* event) {
  emit MouseReleased(event->position().toPoint(), event->button(), event->modifiers());
}

}  // namespace mw
