#pragma once
// The font configuration read on a thread of its own while the toolkit starts. The first
// paint needs a font (the package message is laid out with the clip area), and reading
// the system's font configuration is several milliseconds of the player's start; done
// beside the toolkit's own start, the window finds it ready.

#include <future>

namespace mw {

class FontSetupAhead {
 public:
  // Starts reading the configuration; when no thread can be started, the toolkit reads it
  // itself as before.
  FontSetupAhead();

  // Waits until the configuration is read: called before the first window is built, so
  // that the toolkit does not read it a second time at once.
  void Wait();

 private:
  std::future<void> reading_;  // from std::async, whose future waits for it when dropped
};

}  // namespace mw
