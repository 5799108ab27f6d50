#pragma once
// The lock that keeps two package builds out of one folder.

#include <string>

namespace mw {

// Held by a package build for its whole run, so two builds (from two editor windows,
// or the editor and the command line) never share the staging folder, the directive
// file or the renamed tools. The lock is the kernel's, on the folder itself: no file
// is made for it, and it ends with the process.
class BuildLock {
 public:
  // Tries to take the lock of `folder` without waiting; Held() tells the outcome.
  explicit BuildLock(const std::string& folder);
  ~BuildLock();
  BuildLock(const BuildLock&) = delete;
  BuildLock& operator=(const BuildLock&) = delete;

  // True while this object holds the lock.
  bool Held() const { return held_; }
  // True when the lock could not be taken because another build holds it.
  bool Busy() const { return busy_; }
  // Waits until the other build ends and takes the lock; false when that fails.
  bool Wait();

 private:
  int fd_ = -1;
  bool held_ = false;
  bool busy_ = false;
};

}  // namespace mw
