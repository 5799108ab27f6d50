#include "editor/hint_switch.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

namespace mw {

HintSwitch::HintSwitch(QWidget* window) : QObject(window), window_(window) {
  qApp->installEventFilter(this);
}

bool HintSwitch::eventFilter(QObject* watched, QEvent* event) {
  if (hintsOn_ || event->type() != QEvent::ToolTip || !watched->isWidgetType()) return false;
  auto* widget = static_cast<QWidget*>(watched);
  if (widget != window_ && !window_->isAncestorOf(widget)) return false;
  return !alwaysShown_.contains(widget);
}

}  // namespace mw
