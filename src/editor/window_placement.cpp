#include "editor/window_placement.h"

#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace mw {
namespace {

// The room a window manager's frame usually takes, for a window not framed yet.
constexpr QSize kUsualFrame(8, 34);

}  // namespace

QRect PlacedOver(QSize wanted, QRect owner, QRect screen, QSize frame) {
  const QSize room = (screen.size() - frame).expandedTo(QSize(1, 1));
  const QSize size = wanted.boundedTo(room);
  QRect placed(QPoint(0, 0), size + frame);
  placed.moveCenter(owner.center());
  placed.moveLeft(std::clamp(placed.left(), screen.left(),
                             std::max(screen.left(), screen.right() + 1 - placed.width())));
  placed.moveTop(std::clamp(placed.top(), screen.top(),
                            std::max(screen.top(), screen.bottom() + 1 - placed.height())));
  return {placed.topLeft(), size};
}

void PlaceOver(QWidget& window, const QWidget& owner) {
  const QScreen* screen = owner.screen();
  if (!screen) return;
  QSize frame = window.frameGeometry().size() - window.geometry().size();
  if (frame.isEmpty()) frame = owner.frameGeometry().size() - owner.geometry().size();
  if (frame.isEmpty() && owner.isVisible()) frame = kUsualFrame;
  const QRect placed =
      PlacedOver(window.size(), owner.frameGeometry(), screen->availableGeometry(), frame);
  window.resize(placed.size());
  // A top-level window's position is that of its frame.
  window.move(placed.topLeft());
}

}  // namespace mw
