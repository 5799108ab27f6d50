// Opening a movie to its first frame: the clip area's MoviePlayer against a bare libmpv
// open of the same file in the same run (the same options, a software render context, the
// first frame rendered at the same size). Standard-definition clips with sound, MPEG-1 and
// H.264, made by ffmpeg at the start. Counters: player_ms, bare_ms and their ratio.
#include <benchmark/benchmark.h>
#include <mpv/client.h>
#include <mpv/render.h>

#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "media/movie_player.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kWidth = 720, kHeight = 576;

// Makes the clip `name` in `folder` with ffmpeg; false when it cannot.
bool MakeClip(const QString& folder, const std::string& name, const std::string& codecs) {
  const std::string command =
      "ffmpeg -hide_banner -loglevel error -y -f lavfi -i testsrc2=s=720x576:r=25:d=4 "
      "-f lavfi -i sine=frequency=440:duration=4 -pix_fmt yuv420p " +
      codecs + " '" + folder.toStdString() + "/" + name + "'";
  return std::system(command.c_str()) == 0;
}

// A libmpv of its own with the player's options, rendering by software.
class BareMovieOpen {
 public:
  BareMovieOpen() {
    mpv_ = mpv_create();
    const char* settings[][2] = {{"config", "no"},      {"vo", "libmpv"},   {"hwdec", "no"},
                                 {"keep-open", "yes"},  {"pause", "yes"},   {"idle", "yes"},
                                 {"hr-seek", "yes"},    {"terminal", "no"}, {"ao", "null"},
                                 {"load-scripts", "no"}, {"ytdl", "no"}};
    for (auto& [name, value] : settings) mpv_set_option_string(mpv_, name, value);
    mpv_initialize(mpv_);
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_SW)},
        {MPV_RENDER_PARAM_INVALID, nullptr}};
    mpv_render_context_create(&render_, mpv_, params);
    mpv_render_context_set_update_callback(render_, &BareMovieOpen::OnUpdate, this);
    pixels_.resize(static_cast<std::size_t>(kWidth) * kHeight * 4);
  }
  ~BareMovieOpen() {
    mpv_render_context_free(render_);
    mpv_terminate_destroy(mpv_);
  }

  // Opens `path` and renders its first frame; the time this took.
  double OpenToFirstFrameMs(const std::string& path) {
    const auto start = Clock::now();
    const char* load[] = {"loadfile", path.c_str(), "replace", nullptr};
    mpv_command(mpv_, load);
    // Every announced frame is rendered at once, as the render API asks of its user; the
    // open ends with the first one that shows the movie.
    bool loaded = false, shown = false;
    while (!loaded || !shown) {
      mpv_event* event = mpv_wait_event(mpv_, 0.001);
      if (event->event_id == MPV_EVENT_FILE_LOADED) loaded = true;
      if (RenderedAFrame()) shown = true;
    }
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    // Closed until idle, its frames still taken, so that the next open starts afresh.
    const char* stop[] = {"stop", nullptr};
    mpv_command(mpv_, stop);
    while (mpv_wait_event(mpv_, 0.001)->event_id != MPV_EVENT_IDLE) RenderedAFrame();
    return ms;
  }

 private:
  static void OnUpdate(void* self) { static_cast<BareMovieOpen*>(self)->update_ = true; }

  bool RenderedAFrame() {
    if (!update_.exchange(false)) return false;
    if ((mpv_render_context_update(render_) & MPV_RENDER_UPDATE_FRAME) == 0) return false;
    int size[2] = {kWidth, kHeight};
    std::size_t stride = kWidth * 4;
    mpv_render_param params[] = {{MPV_RENDER_PARAM_SW_SIZE, size},
                                 {MPV_RENDER_PARAM_SW_FORMAT, const_cast<char*>("bgr0")},
                                 {MPV_RENDER_PARAM_SW_STRIDE, &stride},
                                 {MPV_RENDER_PARAM_SW_POINTER, pixels_.data()},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    std::fill(pixels_.begin(), pixels_.end(), 0);
    if (mpv_render_context_render(render_, params) < 0) return false;
    // A picture of the movie, not the blank the output shows before it.
    return std::any_of(pixels_.begin(), pixels_.end(), [](unsigned char v) { return v > 16; });
  }

  mpv_handle* mpv_ = nullptr;
  mpv_render_context* render_ = nullptr;
  std::atomic<bool> update_{false};
  std::vector<unsigned char> pixels_;
};

// The clip area's movie back-end, opened as the player opens a clip, until its first frame.
class PlayerMovieOpen {
 public:
  PlayerMovieOpen() : player_(Silent()) {
    QObject::connect(&player_, &mw::MoviePlayer::FrameReady, &player_, [this] {
      std::lock_guard lock(mutex_);
      framed_ = true;
      ready_.notify_all();
    }, Qt::DirectConnection);
    player_.SetDisplayRect(QRect(0, 0, kWidth, kHeight));
    player_.IsUsable();
  }

  double OpenToFirstFrameMs(const std::string& path) {
    {
      std::lock_guard lock(mutex_);
      framed_ = false;
    }
    const auto start = Clock::now();
    if (!player_.Open(path)) return -1;

    std::unique_lock lock(mutex_);
    if (!ready_.wait_for(lock, std::chrono::seconds(10), [this] { return framed_; })) return -1;
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    lock.unlock();
    player_.Close();
    return ms;
  }

 private:
  static mw::MoviePlayer::Options Silent() {
    mw::MoviePlayer::Options options;
    options.audio = false;
    return options;
  }
  mw::MoviePlayer player_;
  std::mutex mutex_;
  std::condition_variable ready_;
  bool framed_ = false;
};

void RunOpen(benchmark::State& state, const std::string& name, const std::string& codecs) {
  QTemporaryDir folder;
  if (!MakeClip(folder.path(), name, codecs)) {
    state.SkipWithError("ffmpeg could not make the clip");
    return;
  }
  const std::string path = folder.path().toStdString() + "/" + name;
  PlayerMovieOpen player;
  BareMovieOpen bare;
  player.OpenToFirstFrameMs(path);  // both warmed once: the decoders' first start is not timed
  bare.OpenToFirstFrameMs(path);
  double player_total = 0, bare_total = 0;
  int runs = 0;
  for (auto _ : state) {
    const double player_ms = player.OpenToFirstFrameMs(path);
    const double bare_ms = bare.OpenToFirstFrameMs(path);
    if (player_ms < 0) {
      state.SkipWithError("the player did not show the first frame");
      return;
    }
    player_total += player_ms;
    bare_total += bare_ms;
    ++runs;
    state.SetIterationTime(player_ms / 1000.0);
  }
  state.counters["player_ms"] = player_total / runs;
  state.counters["bare_ms"] = bare_total / runs;
  state.counters["ratio"] = player_total / bare_total;
}

void BM_MovieOpenMpeg1(benchmark::State& state) {
  RunOpen(state, "sd.mpg", "-c:v mpeg1video -b:v 2M -c:a mp2 -f mpeg");
}
void BM_MovieOpenH264(benchmark::State& state) {
  RunOpen(state, "sd.mp4", "-c:v libx264 -preset veryfast -c:a aac -movflags +faststart");
}

BENCHMARK(BM_MovieOpenMpeg1)->Iterations(15)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MovieOpenH264)->Iterations(15)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
