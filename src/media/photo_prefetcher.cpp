#include "media/photo_prefetcher.h"

#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <new>

namespace mw {
namespace {

// The decodes yield to the clip on screen and the pointer: the lowest ordinary priority,
// for this thread only.
void LowerThisThreadsPriority() {
  pthread_setname_np(pthread_self(), "mw-prefetch");
  setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 19);
}

}  // namespace

PhotoPrefetcher::PhotoPrefetcher(Options options) : options_(options), cache_(options.byte_bound) {}

PhotoPrefetcher::~PhotoPrefetcher() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    queue_.clear();
  }
  work_ready_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void PhotoPrefetcher::Prefetch(std::vector<std::string> targets, QSize size,
                               std::string on_screen) {
  bool has_work = false;
  {
    Released released;
    std::lock_guard lock(mutex_);
    size_ = size;
    cache_.Pin(std::move(on_screen));
    cache_.DropOtherSizes(size);
    queue_.clear();
    wanted_.clear();
    for (std::string& target : targets) {
      if (!wanted_.insert(target).second) continue;
      queue_.push_back(std::move(target));
    }
    has_work = !queue_.empty();
    released = cache_.TakeRemoved();
  }
  if (!has_work) return;
  StartThread();
  work_ready_.notify_one();
}

std::optional<CachedPhoto> PhotoPrefetcher::Take(const std::string& path, QSize size) {
  const std::optional<FileStamp> stamp = StampOf(path);
  Released released;
  std::lock_guard lock(mutex_);
  if (stamp) {
    if (const CachedPhoto* found = cache_.Find(path, size, *stamp)) {
      cache_.Pin(path);
      return *found;
    }
  } else {
    cache_.Erase(path);
  }
  released = cache_.TakeRemoved();
  return std::nullopt;
}

bool PhotoPrefetcher::WaitUntilIdle(std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  return idle_.wait_for(lock, limit, [this] { return queue_.empty() && !busy_; });
}

std::size_t PhotoPrefetcher::CachedBytes() const {
  std::lock_guard lock(mutex_);
  return cache_.Bytes();
}

std::size_t PhotoPrefetcher::CachedCount() const {
  std::lock_guard lock(mutex_);
  return cache_.Count();
}

std::size_t PhotoPrefetcher::DecodesDone() const {
  std::lock_guard lock(mutex_);
  return decodes_done_;
}

void PhotoPrefetcher::StartThread() {
  if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
}

void PhotoPrefetcher::Run() {
  LowerThisThreadsPriority();
  std::unique_lock lock(mutex_);
  while (true) {
    std::optional<Job> job = NextJob(lock);
    if (!job) return;
    busy_ = true;
    lock.unlock();
    DoJob(*job);
    lock.lock();
    busy_ = false;
    if (queue_.empty()) idle_.notify_all();
  }
}

// Waits for the next queued target; none once the prefetcher is stopping.
std::optional<PhotoPrefetcher::Job> PhotoPrefetcher::NextJob(std::unique_lock<std::mutex>& lock) {
  work_ready_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
  if (stopping_) return std::nullopt;
  Job job{std::move(queue_.front()), size_};
  queue_.pop_front();
  return job;
}

// Decodes one target outside the lock, unless its picture is cached and still fresh.
void PhotoPrefetcher::DoJob(const Job& job) {
  const std::optional<FileStamp> before = StampOf(job.path);
  if (!before || IsCached(job, *before)) return;
  auto pixels = std::make_shared<PixelBuffer>();
  CachedPhoto photo{job.path, job.size, *before, nullptr, {}};
  photo.result =
      DecodeJpeg(job.path, job.size.width(), job.size.height(), options_.limits, *pixels);
  photo.pixels = std::move(pixels);
  Keep(job, std::move(photo), StampOf(job.path));
}

bool PhotoPrefetcher::IsCached(const Job& job, const FileStamp& stamp) {
  Released released;
  std::lock_guard lock(mutex_);
  const bool cached = cache_.Find(job.path, job.size, stamp) != nullptr;
  released = cache_.TakeRemoved();
  return cached;
}

// Keeps a decode that is still wanted at the current size and whose file did not change while it
// ran. A photo that failed is not kept: the click decodes it again and reports it as it always
// does.
void PhotoPrefetcher::Keep(const Job& job, CachedPhoto photo,
                           const std::optional<FileStamp>& after) {
  Released released;
  std::lock_guard lock(mutex_);
  ++decodes_done_;
  if (job.size != size_ || !wanted_.contains(job.path) || !photo.result.ok) return;
  if (!after || *after != photo.stamp) return;
  // No room left beside the targets before it: the later ones would not fit either. A
  // photo larger than the whole cache (a panorama) says nothing of the ones after it.
  const bool fits_alone = photo.Bytes() <= cache_.ByteBound();
  if (!cache_.Insert(std::move(photo), wanted_) && fits_alone) queue_.clear();
  released = cache_.TakeRemoved();
}

}  // namespace mw
