#pragma once
// Decodes the photo targets of the clip on screen ahead of the click, on one background
// thread at a low priority, into a byte-bounded cache.

#include <QSize>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "media/jpeg_decoder.h"
#include "media/photo_cache.h"

namespace mw {

// Runs the background decodes and answers the click. The thread starts with the first
// Prefetch; every public function is called from the thread that owns the clip area.
class PhotoPrefetcher {
 public:
  struct Options {
    std::size_t byte_bound = 256u * 1024 * 1024;
    JpegLimits limits;
  };

  explicit PhotoPrefetcher(Options options);
  PhotoPrefetcher() : PhotoPrefetcher(Options{}) {}
  // Cancels what is queued, waits for a decode under way and ends the thread.
  ~PhotoPrefetcher();
  PhotoPrefetcher(const PhotoPrefetcher&) = delete;
  PhotoPrefetcher& operator=(const PhotoPrefetcher&) = delete;

  // The clip `on_screen` (a photo path, or empty) is shown in an area whose photos decode
  // at `size`; `targets` are the photo paths its marks open, in map order. Work for the
  // clip before is cancelled (a decode under way is thrown away when it ends, unless its
  // photo is wanted again), entries of another size are dropped, then the targets not yet
  // cached are decoded in that order. An empty list only cancels.
  void Prefetch(std::vector<std::string> targets, QSize size, std::string on_screen);
  // The picture of `path` decoded at `size`, when it is cached and its file has not changed
  // since. It becomes the pinned clip on screen.
  std::optional<CachedPhoto> Take(const std::string& path, QSize size);

  // Blocks until no work is queued or under way, or `limit` has passed; true when idle.
  bool WaitUntilIdle(std::chrono::milliseconds limit);
  std::size_t CachedBytes() const;
  std::size_t CachedCount() const;
  // Decodes the thread has finished, whether their picture was kept or not.
  std::size_t DecodesDone() const;

 private:
  // Pixels taken out of the cache under the lock and freed after it, declared before the
  // lock so that they outlive it.
  using Released = std::vector<std::shared_ptr<const PixelBuffer>>;
  struct Job {
    std::string path;
    QSize size;
  };

  void StartThread();
  void Run();
  std::optional<Job> NextJob(std::unique_lock<std::mutex>& lock);
  void DoJob(const Job& job);
  bool IsCached(const Job& job, const FileStamp& stamp);
  void Keep(const Job& job, CachedPhoto photo, const std::optional<FileStamp>& after);

  const Options options_;
  mutable std::mutex mutex_;
  std::condition_variable work_ready_;
  std::condition_variable idle_;
  PhotoCache cache_;
  std::deque<std::string> queue_;
  std::set<std::string> wanted_;
  QSize size_;
  bool busy_ = false;
  bool stopping_ = false;
  std::size_t decodes_done_ = 0;
  std::thread thread_;
};

}  // namespace mw
