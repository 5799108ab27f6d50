#pragma once
// The window's hint switch: while hints are off, no tool tip of the window's
// controls is shown, except for the controls that always show theirs.

#include <QObject>
#include <QSet>

class QWidget;

namespace mw {

class HintSwitch : public QObject {
  Q_OBJECT
 public:
  // Watches the tool tips of `window` and all its children.
  explicit HintSwitch(QWidget* window);
  void SetHintsOn(bool on) { hintsOn_ = on; }
  bool HintsOn() const { return hintsOn_; }
  // `control` shows its tool tip whatever the switch says.
  void AlwaysShow(const QWidget* control) { alwaysShown_.insert(control); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* window_;
  QSet<const QWidget*> alwaysShown_;
  bool hintsOn_ = true;
};

}  // namespace mw
