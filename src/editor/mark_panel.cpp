#include "editor/mark_panel.h"

#include <QPainter>

namespace mw {

MarkPanel::MarkPanel(const QString& caption, QWidget* parent) : QFrame(parent), caption_(caption) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFrameStyle(QFrame::Panel | QFrame::Raised);
  setLineWidth(1);
  QFont narrow = font();
  narrow.setFamily("Arial Narrow");
  setFont(narrow);
}

void MarkPanel::paintEvent(QPaintEvent* event) {
  {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Button));
    painter.fillRect(rect(), QBrush(kDesktopColour, Qt::FDiagPattern));
    if (!caption_.isEmpty()) {
      painter.setPen(palette().color(QPalette::ButtonText));
      painter.drawText(rect(), Qt::AlignCenter, caption_);
    }
  }
  QFrame::paintEvent(event);
}

}  // namespace mw
