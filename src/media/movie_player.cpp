#include "media/movie_player.h"

#include <sys/stat.h>

#include <mpv/client.h>
#include <mpv/render.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

namespace mw {

namespace {

std::string SecondsText(int ms) {
  char text[32];
  const auto end =
      std::to_chars(text, text + sizeof text, ms / 1000.0, std::chars_format::fixed, 3);
  return std::string(text, end.ptr);
}

// The demuxer reads plain files only, and knows only the container formats of movies;
// formats that name other files or addresses (HLS, DASH, concat lists) are not among them.
constexpr const char* kLocalDemuxerOptions =
    "protocol_whitelist=file,format_whitelist=[mpeg,mpegts,mpegvideo,avi,mov,matroska,asf,"
    "ogg,flv,mjpeg,mpjpeg,m4v,h264,hevc,dv]";

int ClampToInt(double ms) {
  if (!(ms > 0)) return 0;
  return ms >= INT_MAX ? INT_MAX : static_cast<int>(std::lround(ms));
}

// A clip is a local movie file and nothing more: no edit list, playlist or reference in it
// is followed, no other file is loaded beside it, and the demuxer reads only plain files.
// A clip that names a web address or a pipe then fails to open at once instead of
// reaching the network or waiting for the pipe.
bool LocalMediaOnly(mpv_handle* mpv) {
  const std::pair<const char*, const char*> settings[] = {
      // Only the general demuxer: the player's own edit-list, playlist and disc readers
      // are never tried.
      {"demuxer", "lavf"},
      {"demuxer-lavf-o", kLocalDemuxerOptions},
      {"access-references", "no"},
      {"load-unsafe-playlists", "no"},
      {"ordered-chapters", "no"},
      {"autoload-files", "no"},
      {"cover-art-auto", "no"}};
  for (const auto& [name, value] : settings) {
    if (mpv_set_option_string(mpv, name, value) < 0) return false;
  }
  return true;
}

}  // namespace

MoviePlayer::MoviePlayer(QObject* parent) : MoviePlayer(Options(), parent) {}

// The back-end starts at the first movie (or question whether it can), so that a map of
// photos alone never loads the movie library.
MoviePlayer::MoviePlayer(Options options, QObject* parent) : QObject(parent), options_(options) {}

bool MoviePlayer::IsUsable() const {
  auto* self = const_cast<MoviePlayer*>(this);
  if (!self->started_) {
    self->started_ = true;
    self->Start(options_);
  }
  return mpv_ != nullptr;
}

MoviePlayer::~MoviePlayer() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
  if (render_thread_.joinable()) render_thread_.join();
  if (render_) {
    mpv_render_context_set_update_callback(render_, nullptr, nullptr);
    mpv_render_context_free(render_);
  }
  if (mpv_) mpv_terminate_destroy(mpv_);
}

void MoviePlayer::Start(const Options& options) {
  // libmpv refuses to start under a locale whose numbers use a decimal comma.
  std::setlocale(LC_NUMERIC, "C");
  mpv_ = mpv_create();
  if (!mpv_) return;
  const std::pair<const char*, const char*> settings[] = {
      {"config", "no"},
      {"vo", "libmpv"},
      {"hwdec", "no"},
      {"keep-open", "yes"},
      {"pause", "yes"},
      {"idle", "yes"},
      {"hr-seek", "yes"},
      {"hr-seek-demuxer-offset", "1"},
      {"keepaspect", "no"},
      {"osd-level", "0"},
      {"osd-on-seek", "no"},
      {"terminal", "no"},
      {"input-default-bindings", "no"},
      {"input-vo-keyboard", "no"},
      {"load-scripts", "no"},
      {"ytdl", "no"},
      {"sub-auto", "no"},
      {"audio-file-auto", "no"},
      {"video-timing-offset", "0"},
      {"ao", options.audio ? "pulse,alsa,null" : "null"}};
  for (const auto& [name, value] : settings) mpv_set_option_string(mpv_, name, value);
  if (!LocalMediaOnly(mpv_) || mpv_initialize(mpv_) < 0) {
    mpv_terminate_destroy(mpv_);
    mpv_ = nullptr;
    return;
  }
  int no_advanced_control = 0;
  mpv_render_param params[] = {
      {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_SW)},
      {MPV_RENDER_PARAM_ADVANCED_CONTROL, &no_advanced_control},
      {MPV_RENDER_PARAM_INVALID, nullptr}};
  if (mpv_render_context_create(&render_, mpv_, params) < 0) {
    render_ = nullptr;
    mpv_terminate_destroy(mpv_);
    mpv_ = nullptr;
    return;
  }
  mpv_render_context_set_update_callback(render_, &MoviePlayer::OnRenderUpdate, this);
  render_thread_ = std::thread([this] { RenderLoop(); });
}

namespace {

// How long an open waits, once the file is loaded, for its first frame.
constexpr int kSettleMs = 2000;

// Only a regular file is handed to the movie back-end: a FIFO or device could hold the
// open for its whole time limit.
bool IsRegularFile(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The path as the movie back-end must see it: absolute, so that no clip text is taken
// for a web address ("http://..."), standard input ("-") or another kind of source.
std::string LocalFilePath(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return error ? std::string() : absolute.string();
}

}  // namespace

void MoviePlayer::Command(std::initializer_list<const char*> args) {
  std::vector<const char*> list(args);
  list.push_back(nullptr);
  mpv_command(mpv_, list.data());
}

bool MoviePlayer::Open(const std::string& path) {
  Close();
  if (!IsRegularFile(path) || !IsUsable()) return false;
  const std::string local = LocalFilePath(path);
  if (local.empty()) return false;
  const char* args[] = {"loadfile", local.c_str(), "replace", nullptr};
  mpv_node result;
  if (mpv_command_ret(mpv_, args, &result) < 0) return false;
  std::int64_t entry_id = -1;
  if (result.format == MPV_FORMAT_NODE_MAP) {
    for (int i = 0; i < result.u.list->num; ++i) {
      if (std::string(result.u.list->keys[i]) == "playlist_entry_id" &&
          result.u.list->values[i].format == MPV_FORMAT_INT64)
        entry_id = result.u.list->values[i].u.int64;
    }
  }
  mpv_free_node_contents(&result);
  if (!WaitUntilLoaded(entry_id)) {
    Command({"stop"});
    Close();
    return false;
  }
  AfterLoad();
  {
    // Frames from now on are this movie's; anything rendered before is dropped.
    std::lock_guard lock(mutex_);
    ++generation_;
    picture_wanted_ = has_video_;
    redraw_ = true;
  }
  wake_.notify_all();
  return true;
}

// Waits for the file-loaded or end-file event of this open. An end-file event of the movie
// that was open before can arrive first; it carries another playlist entry id. Once loaded,
// it waits a little more for playback to start, so that the first frame is the new movie's.
bool MoviePlayer::WaitUntilLoaded(std::int64_t entry_id) {
  using Clock = std::chrono::steady_clock;
  auto deadline = Clock::now() + std::chrono::milliseconds(options_.open_timeout_ms);
  bool started = false;
  bool loaded = false;
  while (Clock::now() < deadline) {
    const double wait_s = std::chrono::duration<double>(deadline - Clock::now()).count();
    mpv_event* event = mpv_wait_event(mpv_, std::max(0.0, wait_s));
    if (event->event_id == MPV_EVENT_START_FILE) {
      const auto* start = static_cast<mpv_event_start_file*>(event->data);
      if (entry_id < 0) entry_id = start->playlist_entry_id;
      started = started || start->playlist_entry_id == entry_id;
    } else if (event->event_id == MPV_EVENT_END_FILE) {
      const auto* end = static_cast<mpv_event_end_file*>(event->data);
      if (end->playlist_entry_id == entry_id) return false;
    } else if (event->event_id == MPV_EVENT_FILE_LOADED && started && !loaded) {
      entry_id_ = entry_id;
      loaded = true;
      const auto settle = Clock::now() + std::chrono::milliseconds(kSettleMs);
      deadline = std::min(deadline, settle);
    } else if (event->event_id == MPV_EVENT_PLAYBACK_RESTART && loaded) {
      return true;
    }
  }
  return loaded;
}

void MoviePlayer::AfterLoad() {
  double duration = 0;
  mpv_get_property(mpv_, "duration", MPV_FORMAT_DOUBLE, &duration);
  length_ms_ = ClampToInt(duration * 1000.0);
  char* video = mpv_get_property_string(mpv_, "vid");
  has_video_ = video && std::string(video) != "no";
  mpv_free(video);
  open_ = true;
  mode_ = Mode::Stopped;
  seek_pending_ = false;
}

void MoviePlayer::Close() {
  PumpEvents();
  // The pause flag outlives the file: the next movie must open stopped.
  if (mpv_) SetPause(true);
  if (open_) Command({"stop"});
  open_ = false;
  has_video_ = false;
  length_ms_ = 0;
  seek_pending_ = false;
  mode_ = Mode::Stopped;
  std::lock_guard lock(mutex_);
  ++generation_;
  picture_wanted_ = false;
  got_frame_ = false;
  frame_ = QImage();
}

void MoviePlayer::SetDisplayRect(const QRect& rect) {
  display_rect_ = rect;
  {
    std::lock_guard lock(mutex_);
    target_size_ = rect.size();
    redraw_ = true;
  }
  wake_.notify_all();
}

// Events are read whenever the caller asks the player something, so no event loop is
// needed; only the end of a seek matters here.
void MoviePlayer::PumpEvents() {
  if (!mpv_) return;
  for (;;) {
    mpv_event* event = mpv_wait_event(mpv_, 0);
    if (event->event_id == MPV_EVENT_NONE) return;
    HandleEvent(*event);
  }
}

void MoviePlayer::HandleEvent(const mpv_event& event) {
  const int event_id = event.event_id;
  const std::uint64_t reply_id = event.reply_userdata;
  const int error = event.error;
  void* data = event.data;
  if (event_id == MPV_EVENT_COMMAND_REPLY && reply_id == seek_serial_) {
    seek_replied_ = true;
    if (error < 0) seek_pending_ = false;
  } else if (event_id == MPV_EVENT_PLAYBACK_RESTART) {
    if (seek_replied_) seek_pending_ = false;
  } else if (event_id == MPV_EVENT_END_FILE) {
    const auto* end = static_cast<mpv_event_end_file*>(data);
    if (end->playlist_entry_id == entry_id_ && open_) {
      open_ = false;
      mode_ = Mode::Stopped;
    }
  }
}

int MoviePlayer::Position() {
  PumpEvents();
  if (!open_) return 0;
  if (seek_pending_) return seek_target_ms_;
  double seconds = 0;
  if (mpv_get_property(mpv_, "time-pos", MPV_FORMAT_DOUBLE, &seconds) < 0) return 0;
  return std::min(ClampToInt(seconds * 1000.0), length_ms_ > 0 ? length_ms_ : INT_MAX);
}

void MoviePlayer::Seek(int position_ms) {
  PumpEvents();
  if (!open_) return;
  const int target = std::clamp(position_ms, 0, std::max(length_ms_, 0));
  const std::string seconds = SecondsText(target);
  // Sent without waiting so that its reply marks where in the event stream it ran: only a
  // playback restart after that reply ends this seek, not one left from an earlier seek.
  const char* args[] = {"seek", seconds.c_str(), "absolute+exact", nullptr};
  ++seek_serial_;
  seek_replied_ = false;
  mpv_command_async(mpv_, seek_serial_, args);
  seek_pending_ = true;
  seek_target_ms_ = target;
  ++seeks_requested_;
}

bool MoviePlayer::EndReached() {
  PumpEvents();
  // The end flag is stale while a seek (such as the rewind of Play) has not landed yet.
  if (seek_pending_) return false;
  int eof = 0;
  mpv_get_property(mpv_, "eof-reached", MPV_FORMAT_FLAG, &eof);
  return eof != 0;
}

bool MoviePlayer::AtEnd() {
  constexpr int kFrameMs = 50;
  return length_ms_ > 0 && Position() >= length_ms_ - kFrameMs;
}

void MoviePlayer::SetPause(bool pause) {
  int flag = pause ? 1 : 0;
  mpv_set_property(mpv_, "pause", MPV_FORMAT_FLAG, &flag);
}

void MoviePlayer::Play() {
  PumpEvents();
  if (!open_) return;
  if (EndReached() || AtEnd()) Seek(0);
  SetPause(false);
  mode_ = Mode::Playing;
}

void MoviePlayer::PauseOrResume() {
  PumpEvents();
  if (!open_) return;
  if (IsPlaying()) {
    SetPause(true);
    mode_ = Mode::Paused;
  } else if (mode_ == Mode::Paused) {
    Play();
  }
}

void MoviePlayer::Stop() {
  PumpEvents();
  if (!open_) return;
  SetPause(true);
  mode_ = Mode::Stopped;
}

bool MoviePlayer::IsPlaying() {
  if (!open_ || mode_ != Mode::Playing) return false;
  if (EndReached()) {
    mode_ = Mode::Stopped;
    return false;
  }
  return true;
}

}  // namespace mw
