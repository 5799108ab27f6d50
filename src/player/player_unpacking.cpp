// The player window while its package still unpacks the clips: only the start clip is
// opened, and a move asked for meanwhile waits until every clip is in place.
#include <QCursor>
#include <filesystem>

#include "player/player_window.h"
#include "player/unpack_gate_watch.h"

namespace mw {

// The gate goes to the watch, which reads on from the event loop.
void PlayerWindow::WatchUnpacking() {
  gate_ = new UnpackGateWatch(std::move(setup_.gate), this);
  connect(gate_, &UnpackGateWatch::AllArrived, this, &PlayerWindow::AllClipsInPlace);
}

// The file name the package names the clip's file by; empty for a clip without one.
std::string PlayerWindow::GateName(const std::string& clip) const {
  return std::filesystem::path(ClipFilePath(setup_.folder, clip)).filename().string();
}

// Keeps `move` in place of any move held before, when the clips are not all in place yet;
// false when they are and the move can be made now.
bool PlayerWindow::HoldUntilAllInPlace(HeldMove move) {
  if (gate_->AllInPlace()) return false;
  held_move_ = std::move(move);
  ShowPointerCursor(std::nullopt);
  return true;
}

void PlayerWindow::StepBack() {
  if (HoldUntilAllInPlace({true, {}})) return;
  GoBack();
}

// The targets of the marks on screen are decoded ahead now, and the move held is made.
void PlayerWindow::AllClipsInPlace() {
  PrefetchTargets();
  if (!held_move_) return;
  const HeldMove move = std::move(*held_move_);
  held_move_.reset();
  if (move.back) {
    GoBack();
  } else {
    GoTo(move.target);
  }
  // The cursor the pointer's place asks for, until the pointer moves again.
  const QPoint pointer = panel1_->mapFromGlobal(QCursor::pos());
  ShowPointerCursor(walk_.MarkAt(Area(), pointer.x(), pointer.y()));
}

}  // namespace mw
