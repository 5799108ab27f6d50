#include "player/clip_overlays.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cmath>

#include "media/device_pixels.h"

namespace mw {
namespace {

constexpr int kBannerMargin = 12;
// A band never covers more than this share of the clip area's height.
constexpr double kBannerLargestShare = 0.4;
// Long problem notices are cut to this many characters so the band stays readable; the
// package message is shown whole.
constexpr int kLongestBannerText = 2000;

const char* BannerStyle(ClipBanner::Kind kind) {
  if (kind == ClipBanner::Kind::Message)
    return "mw--ClipBanner { background: rgba(16, 32, 64, 225); border-radius: 6px; }"
           "QLabel { color: white; font-size: 15pt; }"
           "QScrollArea, QScrollArea > QWidget > QWidget { background: transparent; }"
           "QToolButton { color: white; border: none; font-size: 14pt; }";
  return "mw--ClipBanner { background: rgba(120, 20, 20, 230); border-radius: 6px; }"
         "QLabel { color: white; font-size: 13pt; }";
}

QString CutToReadableLength(const QString& text) {
  if (text.size() <= kLongestBannerText) return text;
  return text.left(kLongestBannerText) + QChar(0x2026);
}

}  // namespace

ClipBanner::ClipBanner(Kind kind, QWidget* clipArea) : QFrame(clipArea), kind_(kind) {
  setObjectName(kind == Kind::Message ? "MessageBanner" : "ProblemNotice");
  setStyleSheet(BannerStyle(kind));
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(14, 10, 8, 10);
  label_ = new QLabel(this);
  label_->setTextFormat(Qt::PlainText);
  label_->setWordWrap(true);
  label_->setAlignment(Qt::AlignCenter);
  if (kind == Kind::Message) {
    scroll_ = new QScrollArea(this);
    scroll_->setObjectName("MessageScroller");
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setWidgetResizable(true);
    scroll_->setFocusPolicy(Qt::NoFocus);
    scroll_->setWidget(label_);
    layout->addWidget(scroll_, 1);
  } else {
    layout->addWidget(label_, 1);
  }
  if (kind == Kind::Message) {
    close_ = new QToolButton(this);
    close_->setObjectName("DismissMessage");
    close_->setText(QString(QChar(0x2715)));
    close_->setToolTip("Hide this message");
    close_->setFocusPolicy(Qt::NoFocus);
    close_->setCursor(Qt::PointingHandCursor);
    layout->addWidget(close_, 0, Qt::AlignTop);
    connect(close_, &QToolButton::clicked, this, &ClipBanner::Dismiss);
  } else {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    fade_.setSingleShot(true);
    fade_.setInterval(kProblemShownMs);
    connect(&fade_, &QTimer::timeout, this, &ClipBanner::Dismiss);
  }
  hide();
}

void ClipBanner::ShowText(const QString& text) {
  label_->setText(kind_ == Kind::Message ? text : CutToReadableLength(text));
  FitToArea();
  show();
  raise();
  if (kind_ == Kind::Problem) fade_.start();
}

void ClipBanner::Dismiss() {
  if (isHidden()) return;
  fade_.stop();
  hide();
  emit Dismissed();
}

void ClipBanner::FitToArea() {
  const QWidget* area = parentWidget();
  const int width = std::max(area->width() - 2 * kBannerMargin, 40);
  const int largest = std::max(int(area->height() * kBannerLargestShare), 30);
  const int height = std::min(WantedHeight(width), largest);
  const int top = kind_ == Kind::Message ? kBannerMargin : area->height() - kBannerMargin - height;
  setGeometry(kBannerMargin, top, width, std::max(height, 1));
}

int ClipBanner::WantedHeight(int width) const {
  if (!scroll_) {
    const int wanted = heightForWidth(width);
    return wanted > 0 ? wanted : sizeHint().height();
  }
  const QMargins margins = layout()->contentsMargins();
  const int beside = margins.left() + margins.right() + layout()->spacing() +
                     close_->sizeHint().width() + scroll_->verticalScrollBar()->sizeHint().width();
  const int text = label_->heightForWidth(std::max(width - beside, 20));
  return std::max(text, label_->sizeHint().height()) + margins.top() + margins.bottom() + 2;
}

void ClipBanner::mousePressEvent(QMouseEvent*) {
  Dismiss();
}

HintBubble::HintBubble(QWidget* clipArea) : QLabel(clipArea) {
  setObjectName("MarkMessage");
  setTextFormat(Qt::PlainText);
  setWordWrap(true);
  setMaximumWidth(360);
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setStyleSheet(
      "QLabel { background: #ffffe1; color: black; border: 1px solid #767676;"
      " padding: 4px 6px; font-size: 11pt; }");
  hide();
}

void HintBubble::ShowNear(const QString& text, QPoint anchor) {
  if (text.isEmpty()) {
    hide();
    return;
  }
  setText(text);
  ensurePolished();  // the style sheet's font decides the width
  const QWidget* area = parentWidget();
  // The text on one line when it fits; wrapped only beyond the largest width.
  setWordWrap(false);
  QSize size = sizeHint();
  if (size.width() > maximumWidth()) {
    setWordWrap(true);
    size = QSize(maximumWidth(), heightForWidth(maximumWidth()));
  }
  QPoint place = anchor + QPoint(16, 20);
  if (place.x() + size.width() > area->width()) place.setX(area->width() - size.width());
  if (place.y() + size.height() > area->height()) place.setY(anchor.y() - size.height() - 8);
  place.setX(std::max(place.x(), 0));
  place.setY(std::max(place.y(), 0));
  setGeometry(QRect(place, size));
  show();
  raise();
}

FocusRing::FocusRing(QWidget* clipArea) : QWidget(clipArea) {
  setObjectName("FocusRing");
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setAttribute(Qt::WA_NoSystemBackground);
  hide();
}

void FocusRing::Surround(const QRect& markRect) {
  const int grow = kRingWidth + 1;
  setGeometry(markRect.adjusted(-grow, -grow, grow, grow));
  show();
  raise();
}

// A bright ring between two dark lines, so that it shows on light and dark pictures alike.
// Drawn in device pixels, each band a whole number of them, so that it stays sharp and even
// on screens of any ratio.
void FocusRing::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const qreal ratio = devicePixelRatioF();
  PaintInDevicePixels(painter, ratio);
  const int line = std::max(1, static_cast<int>(std::lround(ratio)));
  const int ring = std::max(1, static_cast<int>(std::lround(kRingWidth * ratio)));
  const QColor dark(20, 20, 20);
  QRect band(QPoint(0, 0), DeviceSize(size(), ratio));
  FillFrame(painter, band, line, dark);
  band.adjust(line, line, -line, -line);
  FillFrame(painter, band, ring, QColor(255, 200, 0));
  band.adjust(ring, ring, -ring, -ring);
  FillFrame(painter, band, line, dark);
}

}  // namespace mw
