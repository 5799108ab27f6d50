#pragma once
// Where the editor's own tool windows (Check Map, Map Overview) open: over the editor
// window and within the screen.

#include <QRect>
#include <QSize>

class QWidget;

namespace mw {

// The geometry for a window of `wanted` size opened over `owner` (its outer frame) on a
// screen whose free area is `screen`: centred on the owner, made smaller where the
// screen is smaller, and moved inside the screen. `frame` is the room a window manager's
// frame takes around it.
QRect PlacedOver(QSize wanted, QRect owner, QRect screen, QSize frame);

// Moves and sizes `window` over `owner` as PlacedOver says, on the owner's screen.
void PlaceOver(QWidget& window, const QWidget& owner);

}  // namespace mw
