#include "media/device_pixels.h"

#include <QTransform>
#include <QWidget>
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

}  // namespace mw
