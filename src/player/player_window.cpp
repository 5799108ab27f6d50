// The player window: building the clip area, starting the package, showing clips and
// moving between them.
#include "player/player_window.h"

#include <QScreen>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>

#include "media/clip_kind.h"
#include "media/movie_library.h"
#include "media/start_picture.h"
#include "player/clip_overlays.h"
#include "player/unpack_gate_watch.h"

namespace mw {
namespace {

constexpr int kMovieStepMs = 30;

bool IsRegularFile(const std::string& path) {
  std::error_code error;
  return !path.empty() && std::filesystem::is_regular_file(path, error);
}

// Why a clip that is there cannot be opened as one: empty when nothing is there or it
// is a plain file.
std::string NotAPlainFileReason(const std::string& path) {
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  if (path.empty() || error || !std::filesystem::exists(status) ||
      std::filesystem::is_regular_file(status))
    return {};
  if (std::filesystem::is_directory(status)) return "It is a folder, not a plain file.";
  return "It is not a plain file.";
}

QString Local(const std::string& text) {
  return QString::fromLocal8Bit(text);
}

}  // namespace

PlayerWindow::PlayerWindow(PlayerSetup setup, QWidget* parent)
    : QWidget(parent), setup_(std::move(setup)) {
  setObjectName("PlayerWindow");
  setWindowTitle("MarkWeaver");
  setFocusPolicy(Qt::StrongFocus);
  BuildClipArea(setup_.movie);
  ConnectClipArea();
  WatchUnpacking();
  StartPackage();
}

PlayerWindow::~PlayerWindow() {
  movie_timer_.stop();
}

// The clip area fills the window. The movie controls are kept hidden: the marks are the
// only controls the person needs, and Space pauses a movie.
void PlayerWindow::BuildClipArea(const MoviePlayer::Options& movie) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  panel1_ = new ClipPanel(this);
  QFont captionFont = panel1_->font();
  captionFont.setPointSize(14);
  panel1_->setFont(captionFont);
  layout->addWidget(panel1_);
  media_player1_ = new MovieControlBar(this);
  media_player1_->hide();
  track_bar1_ = new QSlider(Qt::Horizontal, this);
  track_bar1_->hide();
  clips_ = new ClipDisplay(panel1_, media_player1_, track_bar1_, movie, this);
  message_banner_ = new ClipBanner(ClipBanner::Kind::Message, panel1_);
  problem_notice_ = new ClipBanner(ClipBanner::Kind::Problem, panel1_);
  hint_bubble_ = new HintBubble(panel1_);
  focus_ring_ = new FocusRing(panel1_);
}

void PlayerWindow::ConnectClipArea() {
  connect(clips_, &ClipDisplay::RefreshMarkPanels, this, &PlayerWindow::RefreshOverlays);
  connect(panel1_, &ClipPanel::MouseMoved, this,
          [this](QPoint position) { TrackPointer(position); });
  connect(panel1_, &ClipPanel::MousePressed, this,
          [this](QPoint position, Qt::MouseButton button) { OnMousePressed(position, button); });
  panel1_->installEventFilter(this);
  panel1_->Image1()->installEventFilter(this);
  movie_timer_.setInterval(kMovieStepMs);
  connect(&movie_timer_, &QTimer::timeout, this, [this] { clips_->MovieStep(); });
}

// Reads the map, takes its window size and shows its start clip and the message.
void PlayerWindow::StartPackage() {
  package_ = ReadPackageContent(setup_.folder, setup_.dataFileName);
  walk_ = MapWalk(package_.map);
  // The outer size never outgrows the screen the window opens on.
  const QSize screenSize = screen()->availableGeometry().size();
  package_.windowSize = FitWithin(package_.windowSize, {screenSize.width(), screenSize.height()});
  resize(package_.windowSize.width, package_.windowSize.height);
  layout()->activate();
  if (package_.problem == PackageProblem::Usable) {
    ShowStartClip();
  } else {
    panel1_->SetCaption(Local(PackageProblemText(package_.problem, setup_.dataFileName)));
  }
  if (!setup_.message.empty()) message_banner_->ShowText(Local(setup_.message));
  start_shown_ = true;
}

// The map keeps the editor's outer window size (frame included), so the frame comes off
// the inner size.
void PlayerWindow::FitOuterSize() {
  fitted_frame_ = FrameExtent();
  fitted_inner_ = QSize(std::max(1, package_.windowSize.width - fitted_frame_.width()),
                        std::max(1, package_.windowSize.height - fitted_frame_.height()));
  resize(fitted_inner_);
}

QSize PlayerWindow::FrameExtent() const { return frameGeometry().size() - geometry().size(); }

// The start clip becomes the clip on screen even when it cannot be shown, so that its
// marks can still be found and followed. Nothing is on screen yet, so its file may be
// waited for: a package puts it in place before it starts the player.
void PlayerWindow::ShowStartClip() {
  const std::string start = walk_.StartClip();
  walk_.Enter(start);
  if (const std::string name = GateName(start); !name.empty()) gate_->WaitFor(name);
  const Outcome outcome = TryShow(start, true);
  if (outcome == Outcome::Shown) {
    AfterShown();
  } else {
    panel1_->SetCaption(ProblemText(outcome, start));
  }
}

// The start clip may have a start picture beside the data file, painted while the photo
// itself decodes.
PlayerWindow::Outcome PlayerWindow::TryShow(const std::string& clip, bool startClip) {
  const std::string path = ClipFilePath(setup_.folder, clip);
  if (!IsRegularFile(path)) return Outcome::Missing;
  const ClipKind kind = startClip ? ShowStartPhoto(path, clip) : clips_->ShowClip(path);
  if (kind == ClipKind::NoClip) {
    const bool movie = ClipKindOfPath(path) == ClipKind::MovieClip;
    return movie && !MovieLibraryProblem().empty() ? Outcome::NoMovieLibrary
                                                   : Outcome::CannotShow;
  }
  kind_ = kind;
  return Outcome::Shown;
}

// The start clip through its start picture, when the one beside the data file is in place
// and was made for it; decoded ahead when the program's start began that.
ClipKind PlayerWindow::ShowStartPhoto(const std::string& path, const std::string& clip) {
  const std::string pictureName = StartPictureName(setup_.dataFileName);
  const std::string picture = ClipFilePath(setup_.folder, pictureName);
  if (!gate_->InPlace(pictureName) || !IsStartPictureOf(picture, path, clip))
    return clips_->ShowClip(path);
  const bool ahead = setup_.startPicture.valid() && setup_.startPicture.get().path == picture;
  return clips_->ShowPhotoWithStandIn(
      path, ahead ? setup_.startPicture.get() : DecodeStartPicture(picture));
}

// A movie starts at once; the position is followed while one is open.
void PlayerWindow::AfterShown() {
  movie_paused_ = false;
  if (kind_ == ClipKind::MovieClip) {
    clips_->Player().Play();
    movie_timer_.start();
  } else {
    movie_timer_.stop();
  }
  problem_notice_->Dismiss();
  RefreshOverlays();
  PrefetchTargets();
  emit ClipShown();
}

// The photos the marks on screen open are decoded ahead, so that a click shows one at once;
// before the start clip's first paint they wait for it, which has the machine to itself,
// and while the package still unpacks they wait for every clip to be in place.
void PlayerWindow::PrefetchTargets() {
  if (!start_painted_ || !gate_->AllInPlace()) return;
  std::vector<std::string> paths = MarkTargetsOn(walk_.Map(), walk_.ClipOnScreen());
  for (std::string& path : paths) path = ClipFilePath(setup_.folder, path);
  clips_->PrefetchTargets(std::move(paths));
}

void PlayerWindow::GoTo(const std::string& clip) {
  const bool moviePlayed = clips_->Player().IsPlaying();
  const int moviePosition = clips_->Player().Position();
  const Outcome outcome = TryShow(clip);
  if (outcome != Outcome::Shown) {
    RestoreAfterFailure(moviePlayed, moviePosition);
    TellProblem(outcome, clip);
    return;
  }
  walk_.Enter(clip);
  message_banner_->Dismiss();
  AfterShown();
}

void PlayerWindow::GoBack() {
  if (!walk_.Back()) return;
  const bool moviePlayed = clips_->Player().IsPlaying();
  const int moviePosition = clips_->Player().Position();
  const std::string clip = walk_.ClipOnScreen();
  const Outcome outcome = TryShow(clip);
  if (outcome != Outcome::Shown) {
    walk_.UndoBack();
    RestoreAfterFailure(moviePlayed, moviePosition);
    // The step back cleared the keyboard choice: its ring goes too.
    focus_ring_->hide();
    TellProblem(outcome, clip);
    return;
  }
  AfterShown();
}

// A movie that failed to open closes the movie on screen: open the clip on screen again
// where it stood, playing when it played.
void PlayerWindow::RestoreAfterFailure(bool moviePlayed, int moviePosition) {
  if (kind_ != ClipKind::MovieClip || clips_->Player().IsOpen()) return;
  const std::string path = ClipFilePath(setup_.folder, walk_.ClipOnScreen());
  if (clips_->ShowClip(path) == ClipKind::NoClip) {
    kind_ = ClipKind::NoClip;
    movie_timer_.stop();
    return;
  }
  clips_->Player().Seek(moviePosition);
  PrefetchTargets();
  if (moviePlayed) clips_->Player().Play();
}

void PlayerWindow::TellProblem(Outcome outcome, const std::string& clip) {
  problem_notice_->ShowText(ProblemText(outcome, clip));
}

QString PlayerWindow::ProblemText(Outcome outcome, const std::string& clip) const {
  const QString name = Local(clip);
  if (outcome == Outcome::Missing) {
    QString text = QString("The clip \"%1\" is missing from this package.").arg(name);
    const std::string reason = NotAPlainFileReason(ClipFilePath(setup_.folder, clip));
    if (!reason.empty()) text += "\n" + Local(reason);
    return text;
  }
  if (outcome == Outcome::NoMovieLibrary) {
    return QString(
               "The clip \"%1\" cannot be played: this player's movie library could not be "
               "loaded.\n%2")
        .arg(name, Local(MovieLibraryProblem()));
  }
  return QString(
             "The clip \"%1\" cannot be shown: it is damaged or of a kind this player "
             "cannot play.")
      .arg(name);
}

QString PlayerWindow::PackageMessageShown() const {
  return message_banner_->isVisible() ? message_banner_->Text() : QString();
}

QString PlayerWindow::MarkMessageShown() const {
  return hint_bubble_->isVisible() ? hint_bubble_->text() : QString();
}

QString PlayerWindow::ProblemShown() const {
  return problem_notice_->isVisible() ? problem_notice_->Text() : QString();
}

QString PlayerWindow::CaptionShown() const {
  return panel1_->Image1()->HasPicture() ? QString() : panel1_->Caption();
}

QRect PlayerWindow::FocusRingRect() const {
  return focus_ring_->isVisible() ? focus_ring_->geometry() : QRect();
}

}  // namespace mw
