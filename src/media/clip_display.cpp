#include "media/clip_display.h"

#include <QKeyEvent>
#include <optional>
#include <utility>

#include "media/device_pixels.h"

namespace mw {

ClipDisplay::ClipDisplay(ClipPanel* panel1, MovieControlBar* media_player1, QSlider* track_bar1,
                         MoviePlayer::Options movie_options, QObject* parent)
    : QObject(parent),
      panel1_(panel1),
      media_player1_(media_player1),
      track_bar1_(track_bar1),
      player_(movie_options) {
  ConnectControls();
}

void ClipDisplay::ConnectControls() {
  connect(&player_, &MoviePlayer::FrameReady, this, &ClipDisplay::ShowNewFrame,
          Qt::QueuedConnection);
  connect(panel1_, &ClipPanel::Resized, this, &ClipDisplay::FormResize);
  connect(panel1_, &ClipPanel::DeviceRatioChanged, this, &ClipDisplay::FormResize);
  connect(track_bar1_, &QSlider::valueChanged, this, &ClipDisplay::TrackBar1Change);
  track_bar1_->installEventFilter(this);
  connect(media_player1_, &MovieControlBar::PlayClicked, this, [this] { player_.Play(); });
  connect(media_player1_, &MovieControlBar::PauseClicked, this,
          [this] { player_.PauseOrResume(); });
  connect(media_player1_, &MovieControlBar::StopClicked, this, [this] { player_.Stop(); });
  connect(media_player1_, &MovieControlBar::NextClicked, this,
          [this] { player_.Seek(player_.Length()); });
  connect(media_player1_, &MovieControlBar::PrevClicked, this, [this] { player_.Seek(0); });
}

ClipKind ClipDisplay::ShowClip(const std::string& path) {
  clip_shown_ = false;
  ClipKind shown = ClipKind::NoClip;
  switch (ClipKindOfPath(path)) {
    case ClipKind::PhotoClip:
      shown = ShowPhoto(path);
      break;
    case ClipKind::MovieClip:
      shown = ShowMovie(path);
      break;
    case ClipKind::NoClip:
      break;
  }
  // The targets of the clip left behind are no longer worth decoding.
  if (shown != ClipKind::NoClip) PrefetchTargets({});
  return shown;
}

// A photo decoded ahead is taken as it is; any other is decoded now.
bool ClipDisplay::LoadPhoto(const std::string& path) {
  const QSize size = PhotoDecodeSize();
  if (std::optional<CachedPhoto> cached = prefetcher_.Take(path, size)) {
    photo_.Adopt(*cached, panel1_->devicePixelRatioF());
    return true;
  }
  return photo_.Load(path, size, panel1_->devicePixelRatioF());
}

QSize ClipDisplay::PhotoDecodeSize() const {
  return panel1_ ? PhotoTargetSize(*panel1_) : QSize();
}

void ClipDisplay::PrefetchTargets(std::vector<std::string> paths) {
  std::erase_if(
      paths, [](const std::string& path) { return ClipKindOfPath(path) != ClipKind::PhotoClip; });
  prefetch_targets_ = std::move(paths);
  RestartPrefetch();
}

// The clip on screen stays cached while it is shown, if it came from the cache.
void ClipDisplay::RestartPrefetch() {
  const bool photo_on_screen = clip_shown_ && !player_.IsOpen();
  prefetcher_.Prefetch(prefetch_targets_, PhotoDecodeSize(),
                       photo_on_screen ? photo_.Path() : std::string());
}

ClipKind ClipDisplay::ShowPhotoWithStandIn(const std::string& path, const CachedPhoto& stand_in) {
  if (ClipKindOfPath(path) != ClipKind::PhotoClip || !stand_in.result.ok || !stand_in.pixels)
    return ShowClip(path);
  photo_.AdoptStandIn(stand_in, path, panel1_->devicePixelRatioF());
  const ClipKind shown = PhotoLoaded();
  PrefetchTargets({});
  return shown;
}

void ClipDisplay::CompletePhoto() {
  if (!panel1_ || player_.IsOpen()) return;
  if (photo_.Complete(PhotoDecodeSize(), panel1_->devicePixelRatioF()))
    panel1_->Image1()->SetPhoto(photo_.Image());
}

ClipKind ClipDisplay::ShowPhoto(const std::string& path) {
  if (!LoadPhoto(path)) return ClipKind::NoClip;
  return PhotoLoaded();
}

// The photo object holds the new picture: it goes on screen in place of any movie.
ClipKind ClipDisplay::PhotoLoaded() {
  panel1_->Image1()->SetPhoto(photo_.Image());
  player_.Close();
  panel1_->Image1()->SetMovieFrame(QImage());
  emit RefreshMarkPanels();
  clip_shown_ = true;
  SetMovieControlsEnabled(false);
  return ClipKind::PhotoClip;
}

ClipKind ClipDisplay::ShowMovie(const std::string& path) {
  const bool opened = player_.Open(path);
  panel1_->Image1()->SetMovieFrame(QImage());
  if (!opened) return ClipKind::NoClip;
  player_.SetDisplayRect(MovieTargetRect(*panel1_));
  SetTrackBarQuietly(player_.Length(), 1);
  player_.Seek(1);
  emit RefreshMarkPanels();
  clip_shown_ = true;
  SetMovieControlsEnabled(true);
  return ClipKind::MovieClip;
}

void ClipDisplay::SetMovieControlsEnabled(bool enabled) {
  media_player1_->setEnabled(enabled);
  track_bar1_->setEnabled(enabled);
}

// Changes TrackBar1 the way the timer does, so that the change seeks nothing.
void ClipDisplay::SetTrackBarQuietly(int maximum, int value) {
  syncing_position_ = true;
  track_bar1_->setMaximum(maximum);
  track_bar1_->setValue(value);
  syncing_position_ = false;
}

void ClipDisplay::MovieStep() {
  syncing_position_ = true;
  track_bar1_->setValue(player_.Position());
  syncing_position_ = false;
}

void ClipDisplay::TrackBar1Change(int position) {
  if (!syncing_position_) player_.Seek(position);
}

void ClipDisplay::TrackBar1KeyDown(int key) {
  if (key == Qt::Key_Left) player_.Seek(player_.Position() - 1);
  if (key == Qt::Key_Right) player_.Seek(player_.Position() + 1);
}

bool ClipDisplay::eventFilter(QObject* watched, QEvent* event) {
  // Only key presses matter; other events (such as those of a slider being destroyed)
  // are not compared with the slider at all.
  if (event->type() == QEvent::KeyPress && watched == track_bar1_.get())
    TrackBar1KeyDown(static_cast<QKeyEvent*>(event)->key());
  return false;
}

void ClipDisplay::CloseMovie() {
  player_.Close();
  if (panel1_) panel1_->Image1()->SetMovieFrame(QImage());
}

void ClipDisplay::FormResize() {
  if (!panel1_) return;
  player_.SetDisplayRect(MovieTargetRect(*panel1_));
  // The photo is decoded again only while it is what the area shows.
  if (!player_.IsOpen() && photo_.Cover(PhotoDecodeSize(), panel1_->devicePixelRatioF()))
    panel1_->Image1()->SetPhoto(photo_.Image());
  if (!prefetch_targets_.empty()) RestartPrefetch();
  emit RefreshMarkPanels();
}

void ClipDisplay::ShowNewFrame() {
  if (panel1_ && player_.IsOpen()) panel1_->Image1()->SetMovieFrame(player_.Frame());
}

}  // namespace mw
