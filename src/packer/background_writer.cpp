#include "packer/background_writer.h"

#include <chrono>
#include <utility>

namespace mw::packer {
namespace {

// Jobs waiting at most: enough to ride over a slow write, few enough to stay in the caches.
constexpr std::size_t kMaxQueued = 8;
// How long the writer looks out for the next job before it sleeps: the next block mostly
// comes sooner, and waking a sleeping thread costs more (most of all on a virtual machine).
constexpr auto kLookOut = std::chrono::microseconds(200);

}  // namespace

BackgroundWriter::BackgroundWriter() : thread_([this] { Run(); }) {}

BackgroundWriter::~BackgroundWriter() {
  std::deque<Job> dropped;
  {
    const std::lock_guard lock(mutex_);
    dropped.swap(queue_);
    stopping_ = true;
  }
  work_.notify_one();
  thread_.join();
}

void BackgroundWriter::Write(const void* data, std::size_t size, WriteStep write) {
  std::vector<char> bytes = TakeBuffer();
  const char* begin = static_cast<const char*>(data);
  bytes.assign(begin, begin + size);
  Push({std::move(bytes), std::move(write), {}});
}

void BackgroundWriter::Then(Step step) {
  Push({{}, {}, std::move(step)});
}

void BackgroundWriter::Finish() {
  std::unique_lock lock(mutex_);
  WaitForRoom(lock, [&] { return queue_.empty() && !running_job_; });
  ThrowFailure();
}

// A buffer for the next job, once the queue has room.
std::vector<char> BackgroundWriter::TakeBuffer() {
  std::unique_lock lock(mutex_);
  WaitForRoom(lock, [&] { return queue_.size() < kMaxQueued; });
  ThrowFailure();
  if (spare_.empty()) return {};
  std::vector<char> buffer = std::move(spare_.back());
  spare_.pop_back();
  return buffer;
}

void BackgroundWriter::Push(Job job) {
  bool wake = false;
  {
    std::unique_lock lock(mutex_);
    WaitForRoom(lock, [&] { return queue_.size() < kMaxQueued; });
    ThrowFailure();
    queue_.push_back(std::move(job));
    queued_ = queue_.size();
    wake = writer_waits_;
  }
  if (wake) work_.notify_one();
}

// Waits until ready() holds or a step has failed. The writer wakes this thread only while it
// waits, which spares a system call for most jobs.
template <typename Ready>
void BackgroundWriter::WaitForRoom(std::unique_lock<std::mutex>& lock, Ready ready) {
  while (!failure_ && !ready()) {
    caller_waits_ = true;
    room_.wait(lock);
    caller_waits_ = false;
  }
}

void BackgroundWriter::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    if (queue_.empty() && !stopping_) LookOutForWork(lock);
    while (!stopping_ && queue_.empty()) {
      writer_waits_ = true;
      work_.wait(lock);
      writer_waits_ = false;
    }
    if (queue_.empty()) return;
    Job job = std::move(queue_.front());
    queue_.pop_front();
    queued_ = queue_.size();
    running_job_ = true;
    lock.unlock();
    RunJob(job);
    job.write = nullptr;  // lets go of what the steps hold before the lock is taken
    job.step = nullptr;
    lock.lock();
    running_job_ = false;
    if (job.bytes.capacity() > 0 && spare_.size() < kMaxQueued) {
      spare_.push_back(std::move(job.bytes));
    }
    if (caller_waits_) room_.notify_one();
  }
}

// Gives the caller a moment to queue the next job before the writer goes to sleep.
void BackgroundWriter::LookOutForWork(std::unique_lock<std::mutex>& lock) {
  lock.unlock();
  const auto until = std::chrono::steady_clock::now() + kLookOut;
  while (queued_ == 0 && !stopping_ && std::chrono::steady_clock::now() < until) {
    std::this_thread::yield();
  }
  lock.lock();
}

// Runs one job; its failure drops the rest of the queue.
void BackgroundWriter::RunJob(Job& job) {
  try {
    if (job.write) job.write(std::string_view(job.bytes.data(), job.bytes.size()));
    if (job.step) job.step();
  } catch (...) {
    std::deque<Job> dropped;
    const std::lock_guard lock(mutex_);
    if (!failure_) failure_ = std::current_exception();
    dropped.swap(queue_);
    queued_ = 0;
  }
}

void BackgroundWriter::ThrowFailure() const {
  if (failure_) std::rethrow_exception(failure_);
}

}  // namespace mw::packer
