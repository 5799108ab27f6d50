#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

namespace mw::packer {

// Runs the writing of a package tool on a thread of its own, so that reading and
// (de)compressing go on while the system copies the bytes into files. Steps run one after
// the other in the order they were queued. After the first step that throws, the steps still
// queued are dropped and that failure is thrown again by every later call.
class BackgroundWriter {
 public:
  // Writes bytes, a copy of those queued with it, somewhere.
  using WriteStep = std::function<void(std::string_view bytes)>;
  using Step = std::function<void()>;

  BackgroundWriter();
  // Drops the steps still queued and waits for the one that is running.
  ~BackgroundWriter();
  BackgroundWriter(const BackgroundWriter&) = delete;
  BackgroundWriter& operator=(const BackgroundWriter&) = delete;

  // Queues write with a copy of the size bytes at data; waits while the queue is full.
  void Write(const void* data, std::size_t size, WriteStep write);
  // Queues step behind everything queued so far.
  void Then(Step step);
  // Waits until every queued step has run; throws the first failure.
  void Finish();

 private:
  struct Job {
    std::vector<char> bytes;
    WriteStep write;
    Step step;
  };

  std::vector<char> TakeBuffer();
  void Push(Job job);
  template <typename Ready>
  void WaitForRoom(std::unique_lock<std::mutex>& lock, Ready ready);
  void Run();
  void LookOutForWork(std::unique_lock<std::mutex>& lock);
  void RunJob(Job& job);
  void ThrowFailure() const;

  std::mutex mutex_;
  std::condition_variable work_;  // the writer waits here for jobs
  std::condition_variable room_;  // callers wait here for room and for the end
  std::deque<Job> queue_;
  std::atomic<std::size_t> queued_ = 0;   // the size of queue_, also seen without the lock
  std::vector<std::vector<char>> spare_;  // buffers of finished jobs, for reuse
  bool running_job_ = false;
  bool writer_waits_ = false;
  bool caller_waits_ = false;
  std::atomic<bool> stopping_ = false;
  std::exception_ptr failure_;
  std::thread thread_;  // last: it starts once the members above exist
};

}  // namespace mw::packer
