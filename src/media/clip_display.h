#pragma once
// The clip display: shows a photo or movie in a clip area and keeps the position control in
// step with the movie. Shared by the editor window and the player.
//
// How a window wires it:
//   auto* panel1 = new mw::ClipPanel(basePanel);           // the clip area, in the layout
//   auto* mediaPlayer1 = new mw::MovieControlBar(toolbar);  // Play Pause Stop Next Prev
//   auto* trackBar1 = new QSlider(Qt::Horizontal, panel2);  // the position control
//   clips_ = new mw::ClipDisplay(panel1, mediaPlayer1, trackBar1, {}, this);
//   connect(clips_, &mw::ClipDisplay::RefreshMarkPanels, this, &TForm1::RefreshMarkPanels);
//   connect(panel1, &mw::ClipPanel::MousePressed, this, &TForm1::Panel1MouseDown);
//   mw::ClipKind kind = clips_->ShowClip(edit1Text);        // in ShowClip / GoToClip
//   clips_->MovieStep();                                   // in every Timer1 tick
//   if (kind == mw::ClipKind::MovieClip) clips_->Player().Play();   // Play, mark click
//   clips_->Player().Close();                              // Play button: close the movie

#include <QObject>
#include <QPointer>
#include <QSlider>
#include <string>
#include <vector>

#include "media/clip_kind.h"
#include "media/clip_panel.h"
#include "media/movie_control_bar.h"
#include "media/movie_player.h"
#include "media/photo_image.h"
#include "media/photo_prefetcher.h"

namespace mw {

// Owns the photo object, the movie player and the ClipShown / SyncingPosition state of a
// clip area. It does itself what showing a clip does to the movie controls: it enables or
// disables MediaPlayer1 and TrackBar1, sets TrackBar1's range, acts on the bar's buttons,
// seeks on TrackBar1's moves and arrow keys, and follows Panel1's size. The owner keeps the
// three widgets in its layout, calls MovieStep from its timer, and redraws its mark overlay
// on RefreshMarkPanels. The widgets must outlive this object or be destroyed with it.
class ClipDisplay : public QObject {
  Q_OBJECT

 public:
  ClipDisplay(ClipPanel* panel1, MovieControlBar* media_player1, QSlider* track_bar1,
              MoviePlayer::Options movie_options = {}, QObject* parent = nullptr);

  // Shows the clip at `path`: a photo ("jpg", "jpeg" in any case) or else a movie, opened
  // at position 1 and stopped. NoClip for an empty path (nothing touched) and for a clip
  // that cannot be shown: a failed photo leaves the area as it was, a failed movie leaves
  // no movie open.
  ClipKind ShowClip(const std::string& path);
  // Shows the photo at `path` as ShowClip does, painting the small copy `stand_in` in its
  // place until CompletePhoto; a stand-in that did not decode is passed over.
  ClipKind ShowPhotoWithStandIn(const std::string& path, const CachedPhoto& stand_in);
  // Puts the photo on screen in place of its stand-in; nothing when no stand-in shows.
  void CompletePhoto();
  // True while the last ShowClip succeeded.
  bool ClipShown() const { return clip_shown_; }
  // True only while MovieStep writes the position into TrackBar1.
  bool SyncingPosition() const { return syncing_position_; }

  // The timer's movie step: copies the movie position into TrackBar1 without seeking.
  void MovieStep();
  // TrackBar1 moved to `position`: seeks the movie there unless the timer moved it.
  void TrackBar1Change(int position);
  // A key on TrackBar1: Left seeks one step back, Right one step on. The key is left to
  // TrackBar1, which then steps too. Connected to TrackBar1's key presses already.
  void TrackBar1KeyDown(int key);
  // Re-fits the movie to Panel1 and decodes the photo again when the area outgrew it, then
  // asks for the mark overlay. Runs by itself when Panel1 changes size or comes onto a
  // screen with another device pixel ratio. Photos and movies are made at the area's size
  // in device pixels (PhotoTargetSize, MovieTargetRect); marks stay in logical pixels.
  void FormResize();

  // The owner names the clips the marks on screen open, in map order, after a clip was
  // shown; the photos among them are decoded ahead so that a click on one shows it at once.
  // Called again with the new size whenever Panel1 changes size.
  void PrefetchTargets(std::vector<std::string> paths);
  // The size photos are decoded at for Panel1, on screen and ahead alike: its size in the
  // device pixels of its screen.
  QSize PhotoDecodeSize() const;

  // Closes the movie and removes its picture from Panel1.
  void CloseMovie();

  MoviePlayer& Player() { return player_; }
  PhotoImage& Photo() { return photo_; }
  PhotoPrefetcher& Prefetcher() { return prefetcher_; }
  ClipPanel* Panel1() const { return panel1_; }

 signals:
  // The marks of the clip on screen must be redrawn (the clip or the area changed).
  void RefreshMarkPanels();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  ClipKind ShowPhoto(const std::string& path);
  ClipKind ShowMovie(const std::string& path);
  void SetMovieControlsEnabled(bool enabled);
  void SetTrackBarQuietly(int maximum, int value);
  void ConnectControls();
  void ShowNewFrame();
  bool LoadPhoto(const std::string& path);
  ClipKind PhotoLoaded();
  void RestartPrefetch();

  QPointer<ClipPanel> panel1_;
  QPointer<MovieControlBar> media_player1_;
  QPointer<QSlider> track_bar1_;
  PhotoImage photo_;
  MoviePlayer player_;
  PhotoPrefetcher prefetcher_;
  std::vector<std::string> prefetch_targets_;
  bool clip_shown_ = false;
  bool syncing_position_ = false;
};

}  // namespace mw
