#include "editor/mark_panel.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QPainter>
#include <algorithm>

namespace mw {
namespace {

// The smallest caption size in pixels that can still be read.
constexpr int kSmallestPixels = 9;

}  // namespace

MarkPanel::MarkPanel(const QString& caption, QWidget* parent) : QFrame(parent), caption_(caption) {
  setFrameStyle(QFrame::Panel | QFrame::Raised);
  setLineWidth(1);
  QFont narrow = font();
  narrow.setFamily("Arial Narrow");
  setFont(narrow);
}

MarkPanel::~MarkPanel() {
  delete tag_;
}

void MarkPanel::SetSelected(bool selected) {
  selected_ = selected;
  update();
}

QFont MarkPanel::CaptionFont() const {
  // Small marks get a smaller caption, down to a size that can still be read, so that
  // the target's name is not cut off at both sides of the panel.
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
    if (!caption_.isEmpty() && CaptionFits()) {
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
  if (selected_) {
    QPainter painter(this);
    painter.setPen(QPen(palette().color(QPalette::Highlight), 3));
    painter.drawRect(rect().adjusted(1, 1, -2, -2));
  }
}

bool MarkPanel::CaptionFits() const {
  return QFontMetrics(CaptionFont()).horizontalAdvance(caption_) <= contentsRect().width() - 2;
}

void MarkPanel::UpdateCaptionTag() {
  if (caption_.isEmpty() || CaptionFits() || !parentWidget()) {
    if (tag_) tag_->hide();
    return;
  }
  if (!tag_) {
    tag_ = new QLabel(parentWidget());
    tag_->setObjectName("MarkCaptionTag");
    tag_->setFont(font());
    tag_->setFrameStyle(QFrame::Box | QFrame::Plain);
    tag_->setAutoFillBackground(true);
    tag_->setBackgroundRole(QPalette::Button);
    tag_->setForegroundRole(QPalette::ButtonText);
    tag_->setMargin(1);
    // The pointer over the tag still moves over the clip below it.
    tag_->setAttribute(Qt::WA_TransparentForMouseEvents);
  }
  // The whole name where the area has room for it, else elided in the middle.
  const int extra = tag_->width() - tag_->contentsRect().width() + 2 * tag_->margin() + 2;
  const int room = std::max(0, parentWidget()->width() - extra);
  tag_->setText(tag_->fontMetrics().elidedText(caption_, Qt::ElideMiddle, room));
  tag_->adjustSize();
  // Centred below the panel, or above it where the clip area ends below; within the area.
  int left = x() + (width() - tag_->width()) / 2;
  left = std::max(0, std::min(left, parentWidget()->width() - tag_->width()));
  int top = y() + height();
  if (top + tag_->height() > parentWidget()->height()) top = y() - tag_->height();
  tag_->move(left, top);
  tag_->setVisible(isVisible());
  if (isVisible()) tag_->raise();
}

void MarkPanel::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  UpdateCaptionTag();
}

void MarkPanel::moveEvent(QMoveEvent* event) {
  QFrame::moveEvent(event);
  UpdateCaptionTag();
}

void MarkPanel::showEvent(QShowEvent* event) {
  QFrame::showEvent(event);
  UpdateCaptionTag();
}

void MarkPanel::hideEvent(QHideEvent* event) {
  QFrame::hideEvent(event);
  if (tag_) tag_->hide();
}

}  // namespace mw
