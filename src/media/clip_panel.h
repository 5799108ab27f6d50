#pragma once
// The clip area widget: Panel1 with the picture box Image1 inside it.

#include <QImage>
#include <QPoint>
#include <QString>
#include <QWidget>

namespace mw {

// Image1: fills Panel1 and paints the movie frame when there is one, otherwise the photo
// stretched to its whole size, in the screen's device pixels: a picture of the area's
// device size is shown pixel for pixel. Lets every mouse event through to Panel1. Hidden while it
// has nothing to paint, so that Panel1's caption shows.
class ClipImage : public QWidget {
  Q_OBJECT

 public:
  explicit ClipImage(QWidget* parent = nullptr);

  // The photo to show; a null image shows none. The image must stay valid until replaced.
  void SetPhoto(const QImage& photo);
  // The movie frame to show over the photo; a null image removes the movie picture.
  void SetMovieFrame(const QImage& frame);
  const QImage& Photo() const { return photo_; }
  const QImage& MovieFrame() const { return movie_frame_; }
  // Whether a picture covers the clip area.
  bool HasPicture() const { return !photo_.isNull() || !movie_frame_.isNull(); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void UpdateVisibility();

  QImage photo_;
  QImage movie_frame_;
};

// Panel1: the clip area. Paints its caption while no picture covers it, keeps Image1 below
// every other child (the mark overlays stay above the picture) and reports the mouse in
// clip-area coordinates.
class ClipPanel : public QWidget {
  Q_OBJECT

 public:
  explicit ClipPanel(QWidget* parent = nullptr);

  // The message shown while no picture covers the area ("Welcome", ...).
  void SetCaption(const QString& caption);
  QString Caption() const { return caption_; }
  ClipImage* Image1() const { return image_; }

 signals:
  // The pointer moved over the area (with or without a button held).
  void MouseMoved(QPoint position, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);
  void MousePressed(QPoint position, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
  void MouseReleased(QPoint position, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
  // The area has a new size.
  void Resized(QSize size);
  // The area came onto a screen with another device pixel ratio.
  void DeviceRatioChanged(qreal ratio);

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void CheckDeviceRatio();

  QString caption_;
  qreal device_ratio_ = 1.0;
  ClipImage* image_ = nullptr;
};

}  // namespace mw
