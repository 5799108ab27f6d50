// The editor window's direct editing of marks in edit mode: dragging a mark, resizing
// it with the wheel, and the Delete and arrow keys on the mark under the pointer.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "editor/form1.h"
#include "editor/map_history.h"
#include "editor/mark_size_box.h"
#include "media/clip_panel.h"

namespace mw {
namespace {

constexpr int kWheelNotch = 120;

}  // namespace

bool TForm1::EditModeOn() const {
  return EditMode->isChecked();
}

std::pair<float, float> TForm1::CentreAt(QPoint at) const {
  const AreaSize area = ClipArea();
  // A mark dragged or pushed past the edge stays on the clip area.
  const int x = std::clamp(at.x(), 0, std::max(0, area.width - 1));
  const int y = std::clamp(at.y(), 0, std::max(0, area.height - 1));
  return {FractionOf(x, area.width), FractionOf(y, area.height)};
}

std::optional<std::size_t> TForm1::MarkUnderPointer() const {
  if (!EditModeOn() || !pointerOnClip_) return std::nullopt;
  return FindMarkAt(clipMap_, ClipOnScreen(), ClipArea(), LastMouseX, LastMouseY);
}

// --- dragging ---

void TForm1::LeftPressOnClip(QPoint at) {
  if (!EditModeOn()) {
    FollowMarkAt(at.x(), at.y());
    return;
  }
  drag_.Press(at, FindMarkAt(clipMap_, ClipOnScreen(), ClipArea(), at.x(), at.y()));
}

void TForm1::LeftMoveOnClip(QPoint at) {
  if (!drag_.MoveTo(at, QApplication::startDragDistance())) return;
  CancelDragAction->setEnabled(true);
  ShowDraggedPanel(at);
}

void TForm1::LeftReleaseOnClip(QPoint at) {
  const MarkDrag::Release release = drag_.ReleaseAt(at);
  CancelDragAction->setEnabled(false);
  switch (release.outcome) {
    case MarkDrag::Outcome::None:
      return;
    case MarkDrag::Outcome::Click:
      FollowMarkAt(release.at.x(), release.at.y());
      return;
    case MarkDrag::Outcome::Place: {
      // A clip that changed during the drag takes the drag with it: the mark stays.
      if (release.mark >= clipMap_.Count() || clipMap_.At(release.mark).Clip != ClipOnScreen()) {
        RefreshMarkPanels();
        return;
      }
      const auto [x, y] = CentreAt(release.at);
      mapHistory_->MoveMark(release.mark, x, y);
      // A drag that ends where it began changes nothing: the panel goes back.
      RefreshMarkPanels();
      return;
    }
  }
}

void TForm1::CancelDrag() {
  CancelDragAction->setEnabled(false);
  if (drag_.Cancel()) RefreshMarkPanels();
}

void TForm1::ShowDraggedPanel(QPoint at) {
  auto shown = std::find(MarkPanelMarks.begin(), MarkPanelMarks.end(), drag_.Mark());
  if (shown == MarkPanelMarks.end()) return;
  QWidget* panel = MarkPanels[static_cast<std::size_t>(shown - MarkPanelMarks.begin())];
  ClickerMark moved = clipMap_.At(drag_.Mark());
  std::tie(moved.X, moved.Y) = CentreAt(at);
  const PanelRect rect = MarkPanelRect(moved, ClipArea());
  panel->setGeometry(
      QRect(ClipAreaOrigin() + QPoint(rect.left, rect.top), QSize(rect.width, rect.height)));
  panel->raise();
}

// --- the wheel ---

bool TForm1::WheelOnClip(QPoint at, int angleDelta, std::int64_t atMs) {
  if (!EditModeOn()) return false;
  auto found = FindMarkAt(clipMap_, ClipOnScreen(), ClipArea(), at.x(), at.y());
  if (!found) return false;
  wheelRemainder_ += angleDelta;
  const int notches = wheelRemainder_ / kWheelNotch;
  wheelRemainder_ %= kWheelNotch;
  if (notches == 0) return true;
  const long long size = static_cast<long long>(clipMap_.At(*found).Size) + notches;
  mapHistory_->ResizeMark(*found,
                          static_cast<std::int32_t>(std::clamp<long long>(
                              size, MarkSizeBox::kMinimum, MarkSizeBox::kMaximum)),
                          atMs);
  return true;
}

bool TForm1::WheelEventOn(QWidget* control, QEvent* event) {
  auto* wheel = static_cast<QWheelEvent*>(event);
  const QPoint at = OnClipArea(control, wheel->position().toPoint());
  // An event without a time of its own is timed here.
  static const QElapsedTimer sinceStart = [] {
    QElapsedTimer timer;
    timer.start();
    return timer;
  }();
  const std::int64_t atMs =
      wheel->timestamp() ? static_cast<std::int64_t>(wheel->timestamp()) : sinceStart.elapsed();
  return WheelOnClip(at, wheel->angleDelta().y(), atMs);
}

// --- keys ---

void TForm1::DeleteMarkUnderPointer() {
  if (auto found = MarkUnderPointer()) mapHistory_->DeleteMark(*found);
}

void TForm1::NudgeMark(int dx, int dy) {
  std::optional<std::size_t> index = keyedMark_ ? keyedMark_ : MarkUnderPointer();
  if (!EditModeOn() || !pointerOnClip_ || !index || *index >= clipMap_.Count()) return;
  const ClickerMark& mark = clipMap_.At(*index);
  if (mark.Clip != ClipOnScreen()) return;  // another clip came on screen meanwhile
  const AreaSize area = ClipArea();
  const QPoint centre(static_cast<int>(std::lround(static_cast<double>(mark.X) * area.width)),
                      static_cast<int>(std::lround(static_cast<double>(mark.Y) * area.height)));
  const auto [x, y] = CentreAt(centre + QPoint(dx, dy));
  mapHistory_->MoveMark(*index, x, y);
  // The keys go on moving this mark, also once it has left the pointer.
  keyedMark_ = index;
}

}  // namespace mw
