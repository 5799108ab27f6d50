#include "media/clip_panel.h"

#include <QChildEvent>
#include <QMouseEvent>
#include <QPainter>

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

void ClipImage::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QImage& picture = movie_frame_.isNull() ? photo_ : movie_frame_;
  if (picture.size() == size()) {
    painter.drawImage(0, 0, picture);
    return;
  }
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(rect(), picture);
}

ClipPanel::ClipPanel(QWidget* parent) : QWidget(parent) {
  image_ = new ClipImage(this);
  setObjectName("Panel1");
  setMouseTracking(true);
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Button);
}

void ClipPanel::SetCaption(const QString& caption) {
  caption_ = caption;
  update();
}

// Children added later (the mark overlays) stack above Image1; Image1 stays at the bottom.
bool ClipPanel::event(QEvent* event) {
  if (image_ && (event->type() == QEvent::ChildAdded || event->type() == QEvent::ChildPolished))
    image_->lower();
  return QWidget::event(event);
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
