#pragma once
// What the player draws over the clip: the package message, problem notices, the message
// of a mark and the keyboard focus ring. None of them is a mark; the marks stay unseen.

#include <QFrame>
#include <QLabel>
#include <QScrollArea>
#include <QTimer>
#include <QToolButton>

namespace mw {

// A band of text across the top or bottom of the clip area. The top band carries the
// package message, whole: wrapped, and scrolling when it is taller than the band may be; it
// stays until the person dismisses it (its close button or a click on it). The bottom band
// tells of a problem, lets the mouse through and fades out by itself after a while.
class ClipBanner : public QFrame {
  Q_OBJECT

 public:
  enum class Kind { Message, Problem };

  ClipBanner(Kind kind, QWidget* clipArea);

  // Shows `text` (taken as plain text, never as markup) and places the band.
  void ShowText(const QString& text);
  // Hides the band.
  void Dismiss();
  // The text shown, also after the band was dismissed.
  QString Text() const { return label_->text(); }
  // Places the band along its edge of the clip area.
  void FitToArea();
  // The area that scrolls the package message; null for a problem notice.
  QScrollArea* Scroller() const { return scroll_; }

  // How long a problem notice stays.
  static constexpr int kProblemShownMs = 8000;

 signals:
  void Dismissed();

 protected:
  void mousePressEvent(QMouseEvent* event) override;

 private:
  // The height the band needs to show all of its text at this width.
  int WantedHeight(int width) const;

  Kind kind_;
  QLabel* label_;
  QScrollArea* scroll_ = nullptr;
  QToolButton* close_ = nullptr;
  QTimer fade_;
};

// The message of the mark under the pointer or chosen with the keyboard, in a small box
// beside it. Lets the mouse through.
class HintBubble : public QLabel {
  Q_OBJECT

 public:
  explicit HintBubble(QWidget* clipArea);

  // Shows `text` beside `anchor` (clip-area pixels), kept inside the clip area. An empty
  // text hides the bubble.
  void ShowNear(const QString& text, QPoint anchor);
};

// The ring drawn round the mark chosen with the keyboard. Lets the mouse through.
class FocusRing : public QWidget {
  Q_OBJECT

 public:
  explicit FocusRing(QWidget* clipArea);

  // Draws the ring round `markRect` (clip-area pixels).
  void Surround(const QRect& markRect);

  static constexpr int kRingWidth = 3;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace mw
