// The editor window's map check and map overview, and the check before a package.
#include <QCheckBox>
#include <QTimer>

#include "check/map_check.h"
#include "desktop/desktop.h"
#include "editor/form1.h"
#include "editor/map_check_form.h"
#include "editor/map_history.h"
#include "editor/map_overview_form.h"
#include "editor/mark_panel.h"
#include "editor/window_placement.h"
#include "media/mark_geometry.h"

namespace mw {

namespace {

// Edits come in bursts (a drag, the wheel); the map is checked again once one has ended.
constexpr int kRecheckDelayMs = 150;

}  // namespace

void TForm1::CheckMapMenuItemClick() {
  if (!mapCheckForm_) {
    mapCheckForm_ = new TMapCheckForm(this);
    connect(mapCheckForm_, &TMapCheckForm::problemChosen, this, &TForm1::ShowChosenProblem);
    connect(mapCheckForm_, &TMapCheckForm::bringInsideChosen, this, &TForm1::BringMarkInside);
    recheck_ = new QTimer(this);
    recheck_->setSingleShot(true);
    recheck_->setInterval(kRecheckDelayMs);
    connect(recheck_, &QTimer::timeout, this, &TForm1::RecheckMap);
  }
  mapCheckForm_->ShowProblems(CheckMap(clipMap_, MapFileNameText()));
  if (!mapCheckForm_->isVisible()) PlaceOver(*mapCheckForm_, *this);
  mapCheckForm_->show();
  mapCheckForm_->raise();
}

void TForm1::RecheckMap() {
  if (mapCheckForm_ && mapCheckForm_->isVisible())
    mapCheckForm_->ShowProblems(CheckMap(clipMap_, MapFileNameText()));
}

void TForm1::ShowChosenProblem(int index) {
  if (!mapCheckForm_ || index < 0) return;
  const auto& problems = mapCheckForm_->Problems();
  if (static_cast<std::size_t>(index) >= problems.size()) return;
  const MapProblem& problem = problems[static_cast<std::size_t>(index)];
  if (problem.kind == ProblemKind::NoMarks) return;
  ShowMapPlace(problem.clip, problem.markIndex);
}

void TForm1::BringMarkInside(int index) {
  if (!mapCheckForm_ || index < 0) return;
  const auto& problems = mapCheckForm_->Problems();
  if (static_cast<std::size_t>(index) >= problems.size()) return;
  const MapProblem problem = problems[static_cast<std::size_t>(index)];
  // The list may be a moment behind the map: only a mark still outside its clip moves.
  const std::optional<std::size_t> mark = problem.markIndex;
  if (problem.kind != ProblemKind::OutsideClip || !mark || *mark >= clipMap_.Count() ||
      clipMap_.At(*mark).Clip.str() != problem.clip || !MarkOutsideClip(clipMap_.At(*mark))) {
    RecheckMap();
    return;
  }
  const MarkCentre centre = NearestCentreInside(clipMap_.At(*mark), ClipArea());
  mapHistory_->MoveMark(*mark, centre.x, centre.y, kBringInsideStep);
  ShowMapPlace(problem.clip, mark);
}

void TForm1::MapOverviewMenuItemClick() {
  if (!mapOverviewForm_) {
    mapOverviewForm_ = new TMapOverviewForm(this);
    connect(mapOverviewForm_, &TMapOverviewForm::clipChosen, this,
            [this](const QString& clip) { ShowMapPlace(clip.toLocal8Bit().toStdString(), {}); });
  }
  if (!mapOverviewForm_->isVisible()) PlaceOver(*mapOverviewForm_, *this);
  mapOverviewForm_->show();
  mapOverviewForm_->raise();
  mapOverviewForm_->ShowMap(clipMap_);
}

void TForm1::ShowMapPlace(const std::string& clip, std::optional<std::size_t> markIndex) {
  selectedMark_ = markIndex;
  EditMode->setChecked(true);
  GoToClip(clip);
  EditModeClick();
  UpdateClipButtons();
  raise();
  activateWindow();
}

bool TForm1::MarkPanelSelected(std::size_t k) const {
  const auto* panel =
      k < MarkPanels.size() ? dynamic_cast<const MarkPanel*>(MarkPanels[k]) : nullptr;
  return panel && panel->Selected();
}

bool TForm1::PackageProblemsAccepted() { return MapProblemsAccepted("Make the package anyway?"); }

bool TForm1::MapProblemsAccepted(const std::string& question) {
  // An empty map is refused by the package build and the web export themselves.
  if (clipMap_.Empty()) return true;
  const std::vector<MapProblem> problems = CheckMap(clipMap_, MapFileNameText());
  if (problems.empty()) return true;
  return AskYesNo(desktop_, ProblemsQuestion(problems, question), "Map check");
}

void TForm1::MapEdited() {
  // The mark indices of the selection may have moved.
  selectedMark_.reset();
  if (mapOverviewForm_) mapOverviewForm_->FollowMap(clipMap_);
  // The Check Map window follows the map as the overview does.
  if (recheck_ && mapCheckForm_->isVisible()) recheck_->start();
}

}  // namespace mw
