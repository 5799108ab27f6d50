#include "editor/map_overview_form.h"

#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

#include "overview/overview_view.h"

namespace mw {

namespace {

// Edits come in bursts; the graph is laid out once a burst has ended.
constexpr int kRedrawDelayMs = 150;

constexpr const char* kLegend =
    "Wheel: zoom. Drag: move. Double click on a clip: show it in the editor. "
    "Blue frame: start clip. Red: missing or broken. Pale: cannot be reached.";

}  // namespace

TMapOverviewForm::TMapOverviewForm(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName("MapOverviewForm");
  setWindowTitle("Map Overview");
  resize(900, 640);
  auto* layout = new QVBoxLayout(this);
  view_ = new OverviewView(this);
  auto* legend = new QLabel(kLegend, this);
  legend->setWordWrap(true);
  layout->addWidget(view_, 1);
  layout->addWidget(legend);
  redraw_ = new QTimer(this);
  redraw_->setSingleShot(true);
  redraw_->setInterval(kRedrawDelayMs);
  connect(redraw_, &QTimer::timeout, this, [this] {
    if (pending_ && isVisible() && pending_->Marks() != shown_.Marks()) ShowMap(*pending_);
  });
  connect(view_, &OverviewView::clipChosen, this, &TMapOverviewForm::clipChosen);
}

void TMapOverviewForm::ShowMap(const ClipMap& map) {
  pending_ = &map;
  redraw_->stop();
  shown_ = map;
  view_->ShowMap(map);
}

void TMapOverviewForm::FollowMap(const ClipMap& map) {
  pending_ = &map;
  if (isVisible()) redraw_->start();
}

}  // namespace mw
