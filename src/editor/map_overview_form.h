#pragma once
// The "Map Overview" window: the whole map drawn as a graph.

#include <QWidget>

#include "map/clip_map.h"

class QTimer;

namespace mw {

class OverviewView;

// Holds the overview of the editor's map; it is drawn again a moment after the map changes
// while the window is open.
class TMapOverviewForm : public QWidget {
  Q_OBJECT

 public:
  explicit TMapOverviewForm(QWidget* parent = nullptr);

  // Draws `map` now.
  void ShowMap(const ClipMap& map);
  // The map changed: `map` is drawn again shortly, when the window is open.
  void FollowMap(const ClipMap& map);
  OverviewView* View() const { return view_; }

 signals:
  // A node was double-clicked.
  void clipChosen(const QString& clip);

 private:
  OverviewView* view_ = nullptr;
  QTimer* redraw_ = nullptr;
  const ClipMap* pending_ = nullptr;  // the editor's map, which outlives this window
  ClipMap shown_;                     // a copy of the map as it was drawn
};

}  // namespace mw
