// The player window's input: the pointer over the clip, clicks, keys, and what is drawn
// over the clip in answer.
#include <QCoreApplication>
#include <QKeyEvent>
#include <QScopedValueRollback>

#include "media/display_text.h"
#include "player/clip_overlays.h"
#include "player/player_window.h"

namespace mw {

AreaSize PlayerWindow::Area() const {
  return {panel1_->width(), panel1_->height()};
}

QRect PlayerWindow::MarkRect(std::size_t index) const {
  const PanelRect rect = MarkPanelRect(walk_.Map().At(index), Area());
  return QRect(rect.left, rect.top, rect.width, rect.height);
}

std::optional<QPoint> PlayerWindow::FirstMarkOnScreen() const {
  const std::vector<std::size_t> marks = walk_.MarksOnScreen();
  if (marks.empty()) return std::nullopt;
  return panel1_->mapToGlobal(MarkRect(marks.front()).center());
}

void PlayerWindow::TrackPointer(QPoint position) {
  if (position == last_pointer_) return;
  last_pointer_ = position;
  const std::optional<std::size_t> mark = walk_.MarkAt(Area(), position.x(), position.y());
  ShowPointerCursor(mark);
  if (!mark) {
    hint_bubble_->hide();
    return;
  }
  hint_bubble_->ShowNear(TextForDisplay(walk_.Map().At(*mark).Hint), position);
}

// A hand over a mark that leads somewhere; the wait cursor while a move is held.
void PlayerWindow::ShowPointerCursor(std::optional<std::size_t> mark) {
  if (held_move_) {
    panel1_->setCursor(Qt::WaitCursor);
    return;
  }
  const bool followable = mark && !walk_.Map().At(*mark).NextClip.empty();
  panel1_->setCursor(followable ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void PlayerWindow::OnMousePressed(QPoint position, Qt::MouseButton button) {
  if (button != Qt::LeftButton || dropping_input_) return;
  const std::optional<std::size_t> mark = walk_.MarkAt(Area(), position.x(), position.y());
  if (!mark) return;
  FollowMark(*mark);
  DropInputMadeMeanwhile();
}

// Clicks and keys made while the window was busy showing a clip (a large photo decoded on
// the spot, a movie opening) were aimed at the clip before it: they are dropped, so that
// none follows a mark of a clip the person has not seen yet.
void PlayerWindow::DropInputMadeMeanwhile() {
  const QScopedValueRollback<bool> dropping(dropping_input_, true);
  QCoreApplication::processEvents();
}

void PlayerWindow::FollowMark(std::size_t index) {
  const std::string target = walk_.Map().At(index).NextClip.str();
  if (target.empty()) return;
  hint_bubble_->hide();
  last_pointer_ = QPoint(-1, -1);
  if (HoldUntilAllInPlace({false, target})) return;
  GoTo(target);
}

void PlayerWindow::MoveChoice(bool forward) {
  const std::optional<std::size_t> mark = walk_.MoveChoice(forward);
  if (!mark) return;
  const QRect rect = MarkRect(*mark);
  focus_ring_->Surround(rect);
  hint_bubble_->ShowNear(TextForDisplay(walk_.Map().At(*mark).Hint), rect.bottomLeft());
}

void PlayerWindow::FollowChoice() {
  if (const std::optional<std::size_t> mark = walk_.ChosenMark()) FollowMark(*mark);
}

// Space pauses a playing movie, resumes a paused one and plays an ended one again.
void PlayerWindow::TogglePause() {
  if (kind_ != ClipKind::MovieClip) return;
  MoviePlayer& player = clips_->Player();
  if (player.IsPlaying()) {
    player.PauseOrResume();
    movie_paused_ = true;
  } else if (movie_paused_) {
    // Also a paused movie that was opened again where it stood.
    player.Play();
    movie_paused_ = false;
  } else {
    ReplayMovie();
  }
}

// Opens the ended movie afresh: the player then stands at its start, no longer at its end.
void PlayerWindow::ReplayMovie() {
  if (TryShow(walk_.ClipOnScreen()) == Outcome::Shown) {
    AfterShown();
  } else {
    kind_ = ClipKind::NoClip;
    movie_timer_.stop();
    TellProblem(Outcome::CannotShow, walk_.ClipOnScreen());
  }
}

// Redraws what belongs to the clip on screen after it or the clip area changed.
void PlayerWindow::RefreshOverlays() {
  message_banner_->FitToArea();
  problem_notice_->FitToArea();
  hint_bubble_->hide();
  last_pointer_ = QPoint(-1, -1);
  const std::optional<std::size_t> mark = walk_.ChosenMark();
  if (mark) {
    focus_ring_->Surround(MarkRect(*mark));
  } else {
    focus_ring_->hide();
  }
}

bool PlayerWindow::event(QEvent* event) {
  if (dropping_input_ && event->type() == QEvent::KeyPress) return true;
  if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
      const bool back = key->key() == Qt::Key_Backtab || key->modifiers() & Qt::ShiftModifier;
      MoveChoice(!back);
      return true;
    }
  }
  return QWidget::event(event);
}

void PlayerWindow::keyPressEvent(QKeyEvent* event) {
  const bool alt = event->modifiers() & Qt::AltModifier;
  switch (event->key()) {
    case Qt::Key_Escape:
      close();
      return;
    case Qt::Key_Backspace:
      StepBack();
      DropInputMadeMeanwhile();
      return;
    case Qt::Key_Left:
      if (alt) StepBack();
      DropInputMadeMeanwhile();
      return;
    case Qt::Key_Space:
      TogglePause();
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      FollowChoice();
      DropInputMadeMeanwhile();
      return;
    default:
      QWidget::keyPressEvent(event);
  }
}

bool PlayerWindow::eventFilter(QObject* watched, QEvent* event) {
  // The second press of a double click would follow a mark of the clip just reached.
  if (watched == panel1_ && event->type() == QEvent::MouseButtonDblClick) return true;
  if (watched == panel1_ && event->type() == QEvent::Leave) {
    hint_bubble_->hide();
    last_pointer_ = QPoint(-1, -1);
  }
  if (event->type() == QEvent::Paint && start_shown_ && !start_painted_) {
    const bool picture = watched == panel1_->Image1();
    const bool noPicture =
        watched == panel1_ && !panel1_->Image1()->HasPicture() && !clips_->Player().HasVideo();
    if (picture || noPicture) NoteStartPainted();
  }
  return QWidget::eventFilter(watched, event);
}

// Told after the paint has gone through, so the start clip is on screen by then. Then the
// targets of its marks are decoded ahead, and a start picture painted in place of the photo
// gives way to the photo itself.
void PlayerWindow::NoteStartPainted() {
  start_painted_ = true;
  QTimer::singleShot(0, this, [this] {
    emit StartClipPainted();
    PrefetchTargets();
    clips_->CompletePhoto();
  });
}

void PlayerWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  activateWindow();
  setFocus();
  if (outer_size_fitted_) return;
  outer_size_fitted_ = true;
  // The map's size is the outer size: fitted now for a frame known at once, and again
  // once a window manager has framed the window (see moveEvent).
  FitOuterSize();
}

// A window manager frames the window only after it is shown, and moves it into the frame
// then; the frame comes off the inner size at that move, unless the person has sized the
// window meanwhile.
void PlayerWindow::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  if (!outer_size_fitted_ || size() != fitted_inner_) return;
  if (FrameExtent() != fitted_frame_) FitOuterSize();
}

}  // namespace mw
