#pragma once
// The widget that shows a map's overview: the wheel zooms, a drag pans.

#include <QFutureWatcher>
#include <QPointF>
#include <QWidget>
#include <atomic>
#include <memory>
#include <optional>
#include <string>

#include "overview/overview_picture.h"

class QHelpEvent;

namespace mw {

// Shows an OverviewPicture scaled and moved; a double click on a node asks for its clip,
// the pointer resting on an arrow shows the mark's message. The picture is built on a
// worker thread, so a map that takes long to lay out never freezes the window.
class OverviewView : public QWidget {
  Q_OBJECT

 public:
  explicit OverviewView(QWidget* parent = nullptr);
  ~OverviewView() override;

  // Builds the picture of `map` anew, keeping the zoom and the view's place; the new
  // picture replaces the one on show when it is ready. A picture still being built for an
  // earlier map is given up.
  void ShowMap(const ClipMap& map);
  // Whether a picture is being built.
  bool Busy() const { return building_ != nullptr; }
  const OverviewPicture& Picture() const { return picture_; }
  double Zoom() const { return zoom_; }
  QPointF Offset() const { return offset_; }
  // The picture point under a point of the widget.
  QPointF ToPicture(QPointF widgetPoint) const;
  // Zooms by `factor` keeping the picture point under `anchor` in place.
  void ZoomAt(QPointF anchor, double factor);
  // Scales the picture to fit the widget.
  void FitToWindow();

 signals:
  // A node was double-clicked: show this clip in the editor.
  void clipChosen(const QString& clip);
  // A new picture is on show.
  void pictureShown();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  bool event(QEvent* event) override;

 private:
  bool ShowHint(QHelpEvent* event);
  void StartBuild(std::shared_ptr<ClipMap> map);
  void BuildFinished();

  OverviewPicture picture_;
  bool built_ = false;
  bool everBuilt_ = false;
  // The picture being built on the worker, and the map to build next once it is done.
  std::shared_ptr<OverviewPicture> building_;
  std::shared_ptr<std::atomic<bool>> stop_;  // set to give up the picture being built
  std::shared_ptr<ClipMap> waiting_;
  QFutureWatcher<bool> watcher_;
  double zoom_ = 1.0;
  QPointF offset_;  // widget position of the picture's top-left corner
  std::optional<QPointF> dragFrom_;
};

}  // namespace mw
