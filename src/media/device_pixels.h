#pragma once
// Sizes and painting in the screen's real pixels, so that a picture made for the screen is
// never scaled a second time on its way there.

#include <QPainter>
#include <QRect>
#include <QSize>

class QWidget;

namespace mw {

// The size of `logical` in device pixels at `ratio`: each side the rounded product.
QSize DeviceSize(QSize logical, qreal ratio);
// The size a photo is decoded for so that it fills `clip_area` pixel for pixel on the
// screen the area is shown on. The one measure of a photo's target size: the on-screen
// decode and any decode ahead of time use it alike.
QSize PhotoTargetSize(const QWidget& clip_area);
// The rectangle a movie is rendered into for `clip_area`, in device pixels.
QRect MovieTargetRect(const QWidget& clip_area);
// Makes one unit of `painter`'s coordinates one device pixel of a device at `ratio`, with
// the origin where it was: whole-number coordinates then fall on whole device pixels.
void PaintInDevicePixels(QPainter& painter, qreal ratio);
// Fills the band `width` wide along the inside of `outer`, in whole units of the painter.
void FillFrame(QPainter& painter, const QRect& outer, int width, const QColor& colour);

}  // namespace mw
