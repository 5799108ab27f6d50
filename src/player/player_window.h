#pragma once
// The player's one window: plays the map of a package folder.

#include <QPoint>
#include <QTimer>
#include <QWidget>
#include <future>
#include <optional>
#include <string>

#include "media/clip_display.h"
#include "player/map_walk.h"
#include "player/package_content.h"
#include "player/unpack_gate.h"

class QSlider;

namespace mw {

class ClipBanner;
class HintBubble;
class FocusRing;
class UnpackGateWatch;

// What the window is to play.
struct PlayerSetup {
  std::string folder;  // holds the data file and the clips
  std::string dataFileName = "mwRun";
  std::string message;         // the package message; empty for none
  MoviePlayer::Options movie;  // movie back-end options (tests play silently)
  // The start picture decoded ahead by the program's start; not valid when it was not.
  std::shared_future<CachedPhoto> startPicture;
  // Which files of the folder the package has put in place while it still unpacks; no gate
  // when every file is in place.
  UnpackGate gate;
};

// Plays a map as the editor's play mode does, for the person who got a package: the
// pointer shows the message of the mark under it, a left click follows the mark (a movie
// starts at once), Tab and Shift+Tab choose a mark with a visible ring and Enter follows
// it, Backspace and Alt+Left go back, Space pauses or resumes a movie, Escape ends. Every
// problem (no map, a clip that is missing or cannot be shown) is told in the window and
// the window stays usable. While the package still unpacks, only the start clip is opened:
// a mark followed or a step back is held, with a wait cursor, until every clip is in place.
class PlayerWindow : public QWidget {
  Q_OBJECT

 public:
  explicit PlayerWindow(PlayerSetup setup, QWidget* parent = nullptr);
  ~PlayerWindow() override;

  // The clip on screen, as the map names it; empty when the map gave none.
  std::string ClipOnScreen() const { return walk_.ClipOnScreen(); }
  // What the clip on screen is; NoClip when it could not be shown.
  ClipKind KindOnScreen() const { return kind_; }
  // What the map asked for: its window size and whether it could be played at all.
  const PackageContent& Package() const { return package_; }
  // The texts on show: the package message, a mark's message, the problem notice, and the
  // text of the clip area while no picture covers it. Empty when not on show.
  QString PackageMessageShown() const;
  QString MarkMessageShown() const;
  QString ProblemShown() const;
  QString CaptionShown() const;
  // The ring round the chosen mark, in clip-area pixels; empty when no ring shows.
  QRect FocusRingRect() const;
  // True once the start clip (or, failing it, the text in its place) was painted.
  bool StartPainted() const { return start_painted_; }
  // The screen position of the centre of the first mark of the clip on screen; none when
  // the clip has no marks.
  std::optional<QPoint> FirstMarkOnScreen() const;

  // True while a follow or a step back waits for every clip to be in place.
  bool MoveHeld() const { return held_move_.has_value(); }

  // The folder the data file and the clips are read from.
  const std::string& Folder() const { return setup_.folder; }
  ClipPanel* ClipArea() const { return panel1_; }
  ClipDisplay& Display() { return *clips_; }

 signals:
  // The start clip, or the text told in its place, has been painted once.
  void StartClipPainted();
  // A clip has been shown: the start clip, one a mark led to, or one stepped back to.
  void ClipShown();

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void moveEvent(QMoveEvent* event) override;

 private:
  enum class Outcome { Shown, Missing, CannotShow, NoMovieLibrary };
  // A move asked for while the package still unpacks: a mark's target, or a step back.
  struct HeldMove {
    bool back = false;
    std::string target;
  };

  void BuildClipArea(const MoviePlayer::Options& movie);
  void ConnectClipArea();
  void WatchUnpacking();
  void StartPackage();
  void FitOuterSize();
  QSize FrameExtent() const;
  void ShowStartClip();
  Outcome TryShow(const std::string& clip, bool startClip = false);
  ClipKind ShowStartPhoto(const std::string& path, const std::string& clip);
  void AfterShown();
  void PrefetchTargets();
  void GoTo(const std::string& clip);
  void GoBack();
  void StepBack();
  bool HoldUntilAllInPlace(HeldMove move);
  void AllClipsInPlace();
  std::string GateName(const std::string& clip) const;
  void RestoreAfterFailure(bool moviePlayed, int moviePosition);
  void TellProblem(Outcome outcome, const std::string& clip);
  QString ProblemText(Outcome outcome, const std::string& clip) const;
  void TrackPointer(QPoint position);
  void ShowPointerCursor(std::optional<std::size_t> mark);
  void OnMousePressed(QPoint position, Qt::MouseButton button);
  void DropInputMadeMeanwhile();
  void FollowMark(std::size_t index);
  void MoveChoice(bool forward);
  void FollowChoice();
  void TogglePause();
  void ReplayMovie();
  void RefreshOverlays();
  QRect MarkRect(std::size_t index) const;
  AreaSize Area() const;
  void NoteStartPainted();

  PlayerSetup setup_;
  PackageContent package_;
  MapWalk walk_{ClipMap()};
  ClipKind kind_ = ClipKind::NoClip;
  ClipPanel* panel1_ = nullptr;
  MovieControlBar* media_player1_ = nullptr;
  QSlider* track_bar1_ = nullptr;
  ClipDisplay* clips_ = nullptr;
  UnpackGateWatch* gate_ = nullptr;
  std::optional<HeldMove> held_move_;
  ClipBanner* message_banner_ = nullptr;
  ClipBanner* problem_notice_ = nullptr;
  HintBubble* hint_bubble_ = nullptr;
  FocusRing* focus_ring_ = nullptr;
  QTimer movie_timer_;
  QPoint last_pointer_{-1, -1};
  bool movie_paused_ = false;  // paused with Space, as opposed to ended
  bool dropping_input_ = false;  // see DropInputMadeMeanwhile
  bool start_shown_ = false;
  bool start_painted_ = false;
  bool outer_size_fitted_ = false;
  // The frame the outer size was last fitted with, and the inner size that gave; a window
  // of another inner size has been sized by the person and keeps that size.
  QSize fitted_frame_;
  QSize fitted_inner_;
};

}  // namespace mw
