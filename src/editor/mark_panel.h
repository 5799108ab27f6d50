#pragma once
// The panel that shows one mark of the clip on screen while edit mode is on.

#include <QColor>
#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QString>

namespace mw {

// The system desktop colour that the hover square and the mark hatching use.
inline const QColor kDesktopColour{0, 128, 128};

// A raised panel in the button colour, hatched in the desktop colour, with a
// caption in "Arial Narrow". It has no mouse handlers of its own: the editor window
// watches its events as the clip area's. A caption too wide for the panel even at
// the smallest readable size is shown whole on a tag just below (or above) the panel.
class MarkPanel : public QFrame {
  Q_OBJECT

 public:
  MarkPanel(const QString& caption, QWidget* parent);
  ~MarkPanel() override;

  // The tag beside the panel that carries a caption too wide for it, if one is needed.
  const QLabel* CaptionTag() const { return tag_; }
  // A selected panel is drawn with a frame in the highlight colour.
  void SetSelected(bool selected);
  bool Selected() const { return selected_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  // The caption's font, made smaller where the caption is wider than the panel.
  QFont CaptionFont() const;
  // Whether the caption fits inside the panel at a readable size.
  bool CaptionFits() const;
  // Shows, places or hides the caption tag to match the panel.
  void UpdateCaptionTag();

  QString caption_;
  QPointer<QLabel> tag_;  // a sibling of the panel, owned by this panel
  bool selected_ = false;
};

}  // namespace mw
