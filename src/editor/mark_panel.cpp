#include "editor/mark_panel.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>

namespace mw {

MarkPanel::MarkPanel(const QString& caption, QWidget* parent) : QFrame(parent), caption_(caption) {
  setFrameStyle(QFrame::Panel | QFrame::Raised);
  setLineWidth(1);
  QFont narrow = font();
  narrow.setFamily("Arial Narrow");
  setFont(narrow);
}

QFont MarkPanel::CaptionFont() const {
  // Small marks get a smaller caption, down to a size that can still be read, so that
  // the target's name is not cut off at both sides of the panel.
  constexpr int kSmallestPixels = 7;
  QFont caption = font();
  const int room = contentsRect().width() - 2;
  int pixels = QFontInfo(caption).pixelSize();
  while (pixels > kSmallestPixels && QFontMetrics(caption).horizontalAdvance(caption_) > room) {
    --pixels;
    caption.setPixelSize(pixels);
  }
  return caption;
}

void MarkPanel::paintEvent(QPaintEvent* event) {
  {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Button));
    painter.fillRect(rect(), QBrush(kDesktopColour, Qt::FDiagPattern));
    if (!caption_.isEmpty()) {
      // The caption sits on a strip of the face colour, so the hatching does not run
      // through the letters.
      const QFont captionFont = CaptionFont();
      painter.setFont(captionFont);
      const QRect area = contentsRect();
      QRect text = QFontMetrics(captionFont).boundingRect(area, Qt::AlignCenter, caption_);
      painter.fillRect(text.adjusted(-1, 0, 1, 0) & area, palette().color(QPalette::Button));
      painter.setPen(palette().color(QPalette::ButtonText));
      painter.drawText(area, Qt::AlignCenter, caption_);
    }
  }
  QFrame::paintEvent(event);
}

}  // namespace mw
