#include "media/device_pixels.h"

#include <QTransform>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace mw {

QSize DeviceSize(QSize logical, qreal ratio) {
  return QSize(static_cast<int>(std::lround(logical.width() * ratio)),
               static_cast<int>(std::lround(logical.height() * ratio)));
}

QSize PhotoTargetSize(const QWidget& clip_area) {
  return DeviceSize(clip_area.size(), clip_area.devicePixelRatioF());
}

QRect MovieTargetRect(const QWidget& clip_area) {
  return QRect(QPoint(0, 0), DeviceSize(clip_area.size(), clip_area.devicePixelRatioF()));
}

void PaintInDevicePixels(QPainter& painter, qreal ratio) {
  if (ratio == 1.0 || ratio <= 0.0) return;
  // The painter scales by the device's ratio beneath the world transform; undoing that
  // scale in the world transform leaves device pixels.
  QTransform world = painter.worldTransform();
  world.scale(1.0 / ratio, 1.0 / ratio);
  painter.setWorldTransform(world);
}

void FillFrame(QPainter& painter, const QRect& outer, int width, const QColor& colour) {
  const int side = std::min(width, std::min(outer.width(), outer.height()) / 2);
  if (side <= 0) return;
  const int rows = outer.height() - 2 * side;
  painter.fillRect(QRect(outer.left(), outer.top(), outer.width(), side), colour);
  painter.fillRect(QRect(outer.left(), outer.bottom() - side + 1, outer.width(), side), colour);
  painter.fillRect(QRect(outer.left(), outer.top() + side, side, rows), colour);
  painter.fillRect(QRect(outer.right() - side + 1, outer.top() + side, side, rows), colour);
}

}  // namespace mw
