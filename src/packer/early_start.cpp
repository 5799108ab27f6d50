#include "packer/early_start.h"

#include <chrono>

#include "packer/packer_error.h"

namespace mw::packer {

void EarlyStart::RuntimeOver() {
  const std::lock_guard<std::mutex> lock(mutex_);
  runtime_over_ = true;
  changed_.notify_all();
}

void EarlyStart::StartFilesInPlace(const std::string& folder) {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (cancelled_) return;
  folder_ = folder;
  changed_.notify_all();
}

void EarlyStart::HoldClipsUntilPlayerStarts() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!cancelled_ && !(runtime_over_ && released_)) {
    // Interrupts are looked at now and then: the signal handler cannot wake this wait.
    changed_.wait_for(lock, std::chrono::milliseconds(50));
    ThrowIfInterrupted();
  }
}

void EarlyStart::Cancel() {
  std::unique_ptr<RunningProcess> player;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    cancelled_ = true;
    folder_.clear();
    player = std::move(player_);
    changed_.notify_all();
  }
  if (player) player->Stop();
}

void EarlyStart::ClipsOver() {
  const std::lock_guard<std::mutex> lock(mutex_);
  clips_over_ = true;
  changed_.notify_all();
}

std::string EarlyStart::WaitForStartFolder() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] {
    return cancelled_ || (runtime_over_ && (clips_over_ || !folder_.empty()));
  });
  return cancelled_ ? std::string() : folder_;
}

bool EarlyStart::Start(const ProcessRequest& request) {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (cancelled_) return false;
  player_ = std::make_unique<RunningProcess>(request);
  return true;
}

void EarlyStart::ReleaseClips() {
  const std::lock_guard<std::mutex> lock(mutex_);
  released_ = true;
  changed_.notify_all();
}

bool EarlyStart::Cancelled() {
  const std::lock_guard<std::mutex> lock(mutex_);
  return cancelled_;
}

std::optional<ProcessResult> EarlyStart::Wait() {
  std::unique_ptr<RunningProcess> player;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    player = std::move(player_);
  }
  if (!player) return std::nullopt;
  return player->Wait();
}

}  // namespace mw::packer
