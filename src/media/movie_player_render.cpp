// The movie player's rendering thread: frames drawn by the movie back-end into buffers of
// our own, handed to the clip area whole.
#include <mpv/render.h>

#include <cstdlib>
#include <utility>

#include "media/movie_player.h"

namespace mw {

namespace {

// A frame buffer whose rows and start are aligned to 64 bytes, as the renderer likes.
QImage AlignedFrame(QSize size) {
  const std::size_t stride = (static_cast<std::size_t>(size.width()) * 4 + 63) & ~std::size_t{63};
  void* memory = std::aligned_alloc(64, stride * static_cast<std::size_t>(size.height()));
  if (!memory) return QImage();
  return QImage(
      static_cast<uchar*>(memory), size.width(), size.height(), static_cast<qsizetype>(stride),
      QImage::Format_RGB32, [](void* block) { std::free(block); }, memory);
}

// The size a frame is rendered at when it is taken before the clip area named one.
constexpr QSize kTakenFrameSize(16, 16);

}  // namespace

QImage MoviePlayer::Frame() const {
  std::lock_guard lock(mutex_);
  return frame_;
}

void MoviePlayer::OnRenderUpdate(void* self) {
  auto* player = static_cast<MoviePlayer*>(self);
  {
    std::lock_guard lock(player->mutex_);
    player->update_ = true;
  }
  player->wake_.notify_all();
}

void MoviePlayer::RenderLoop() {
  std::unique_lock lock(mutex_);
  while (!quit_) {
    wake_.wait(lock, [this] { return quit_ || update_ || redraw_; });
    if (quit_) break;
    const bool redraw = redraw_;
    update_ = redraw_ = false;
    lock.unlock();
    const std::uint64_t flags = mpv_render_context_update(render_);
    lock.lock();
    const bool new_frame = (flags & MPV_RENDER_UPDATE_FRAME) != 0;
    if (new_frame) got_frame_ = true;
    // A new frame is taken even while no picture is wanted yet (as a movie opens): the movie
    // library holds playback back until the frame it announced is rendered, for up to a
    // fifth of a second. Only a frame of the wanted size is shown.
    if ((new_frame && !picture_wanted_) ||
        ((new_frame || redraw) && got_frame_ && picture_wanted_ && !target_size_.isEmpty())) {
      const QSize size = target_size_.isEmpty() ? kTakenFrameSize : target_size_;
      const std::uint64_t generation = generation_;
      lock.unlock();
      RenderFrame(size, generation);
      lock.lock();
    }
  }
}

// Renders the current frame into the spare buffer and makes it the shown one.
void MoviePlayer::RenderFrame(QSize size, std::uint64_t generation) {
  if (spare_.size() != size || !spare_.isDetached()) spare_ = AlignedFrame(size);
  if (spare_.isNull()) return;
  int render_size[2] = {size.width(), size.height()};
  std::size_t stride = static_cast<std::size_t>(spare_.bytesPerLine());
  int block = 0;
  mpv_render_param params[] = {{MPV_RENDER_PARAM_SW_SIZE, render_size},
                               {MPV_RENDER_PARAM_SW_FORMAT, const_cast<char*>("bgr0")},
                               {MPV_RENDER_PARAM_SW_STRIDE, &stride},
                               {MPV_RENDER_PARAM_SW_POINTER, spare_.bits()},
                               {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
                               {MPV_RENDER_PARAM_INVALID, nullptr}};
  if (mpv_render_context_render(render_, params) < 0) return;
  {
    std::lock_guard lock(mutex_);
    if (!picture_wanted_ || generation != generation_ || size != target_size_) return;
    std::swap(frame_, spare_);
  }
  emit FrameReady();
}

}  // namespace mw
