#pragma once
// The movie back-end of a clip area: libmpv with its software renderer.

#include <QImage>
#include <QObject>
#include <QRect>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

struct mpv_handle;
struct mpv_event;
struct mpv_render_context;

namespace mw {

// Opens, shows and plays one movie at a time. Every call is synchronous to its caller on
// the user-interface thread; positions and the length are whole milliseconds. Frames are
// rendered on a thread of the player's own at the size of the display rectangle and
// announced by FrameReady; the clip widget paints them.
class MoviePlayer : public QObject {
  Q_OBJECT

 public:
  struct Options {
    bool audio = true;            // false plays without sound (ao=null), for tests
    int open_timeout_ms = 10000;  // longest wait for a movie to open
  };

  explicit MoviePlayer(QObject* parent = nullptr);
  explicit MoviePlayer(Options options, QObject* parent = nullptr);
  ~MoviePlayer() override;
  MoviePlayer(const MoviePlayer&) = delete;
  MoviePlayer& operator=(const MoviePlayer&) = delete;

  // Closes any open movie, then opens `path`, stopped at its start. False when the file
  // cannot be opened as a movie (then no movie is open).
  bool Open(const std::string& path);
  // Closes the movie and removes its picture; nothing happens when none is open.
  void Close();
  bool IsOpen() const { return open_; }
  // Whether the open movie has a picture.
  bool HasVideo() const { return open_ && has_video_; }

  // The movie is drawn scaled to this rectangle of the clip area; ignored without a movie
  // with a picture.
  void SetDisplayRect(const QRect& rect);
  QRect DisplayRect() const { return display_rect_; }

  // Length of the open movie; 0 when none is open or the length is unknown.
  int Length() const { return length_ms_; }
  // Current position; 0 when no movie is open. Right after a seek it is the seek target.
  int Position();
  // Moves to `position_ms`, clamped to 0..Length(). A stopped movie shows the frame there.
  void Seek(int position_ms);

  // Plays from the current position; a movie standing at its end is rewound first.
  void Play();
  // Pauses a playing movie, resumes a paused one; a stopped movie stays stopped.
  void PauseOrResume();
  // Stops playing; the position stays where it is.
  void Stop();
  bool IsPlaying();

  // The last frame rendered for the open movie; a null image when there is none.
  QImage Frame() const;

  // How many seeks were sent to the movie since the player was made; for diagnostics.
  int SeeksRequested() const { return seeks_requested_; }
  // Whether libmpv can be started at all; starts it when no movie was opened yet.
  bool IsUsable() const;

 signals:
  // A new frame is ready in Frame(). Emitted from the render thread.
  void FrameReady();

 private:
  enum class Mode { Stopped, Playing, Paused };

  void Start(const Options& options);
  bool WaitUntilLoaded(std::int64_t entry_id);
  void PumpEvents();
  void HandleEvent(const mpv_event& event);
  void AfterLoad();
  void SetPause(bool pause);
  bool EndReached();
  // True when the position stands at (or within a frame of) the movie's end.
  bool AtEnd();
  void Command(std::initializer_list<const char*> args);

  void RenderLoop();
  void RenderFrame(QSize size, std::uint64_t generation);
  static void OnRenderUpdate(void* self);

  Options options_;
  bool started_ = false;  // whether Start ran (at the first movie)
  mpv_handle* mpv_ = nullptr;
  mpv_render_context* render_ = nullptr;
  bool open_ = false;
  bool has_video_ = false;
  std::int64_t entry_id_ = -1;
  int length_ms_ = 0;
  bool seek_pending_ = false;
  int seek_target_ms_ = 0;
  int seeks_requested_ = 0;
  std::uint64_t seek_serial_ = 0;
  bool seek_replied_ = false;
  Mode mode_ = Mode::Stopped;
  QRect display_rect_;

  // Shared with the render thread, under mutex_.
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool quit_ = false;
  bool update_ = false;
  bool redraw_ = false;
  bool picture_wanted_ = false;
  // Counts the movies opened and closed: a frame rendered for an earlier one is dropped.
  std::uint64_t generation_ = 0;
  bool got_frame_ = false;
  QSize target_size_;
  QImage frame_;
  QImage spare_;
  std::thread render_thread_;
};

}  // namespace mw
