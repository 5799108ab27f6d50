#pragma once
// The panel that shows one mark of the clip on screen while edit mode is on.

#include <QColor>
#include <QFont>
#include <QFrame>
#include <QString>

namespace mw {

// The system desktop colour that the hover square and the mark hatching use.
inline const QColor kDesktopColour{0, 128, 128};

// A raised panel in the button colour, hatched in the desktop colour, with a
// caption in "Arial Narrow". It has no mouse handlers: the pointer over it is not
// tracked, and a click on it does nothing.
class MarkPanel : public QFrame {
 public:
  MarkPanel(const QString& caption, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  // The caption's font, made smaller where the caption is wider than the panel.
  QFont CaptionFont() const;

  QString caption_;
};

}  // namespace mw
