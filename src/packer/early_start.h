#pragma once
// A package's player started while the package still unpacks its clips: the unpacking tells
// when the files the player starts with are in place, the package's start starts the player
// then, and unpacking that fails or gives up its folder ends that player before anything is
// told to the person.

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "packer/process.h"

namespace mw::packer {

class EarlyStart {
 public:
  // From the runtime's unpacking: the runtime is in place, or could not be.
  void RuntimeOver();
  // From the clips' unpacking: the player's program and data file are in place in folder,
  // and with them every file the player starts with.
  void StartFilesInPlace(const std::string& folder);
  // From the clips' unpacking, with the start files in place: holds the clips after them
  // while the runtime still unpacks (which then has the machine to itself) and until the
  // player was started or the start went without it. Throws PackerError on an interrupt.
  void HoldClipsUntilPlayerStarts();
  // From the clips' unpacking, when it fails or moves to another folder: a player started
  // early is ended and waited for, and none is started early from now on.
  void Cancel();
  // From the clips' unpacking, when it ended (either way).
  void ClipsOver();

  // Waits until the runtime is over and the start files are in place (the clips may be all
  // in place by then too), and gives their folder; empty when the clips' unpacking was
  // cancelled, or ended without them.
  std::string WaitForStartFolder();
  // Starts the player unless the start was cancelled meanwhile; returns whether it started.
  // Throws as RunningProcess does.
  bool Start(const ProcessRequest& request);
  // The held clips go on: the player started, or will not start early. Called however the
  // attempt went.
  void ReleaseClips();
  // Whether Cancel was called.
  bool Cancelled();
  // After the clips' unpacking ended: waits for the end of the player started early; none
  // when none was started or Cancel ended it.
  std::optional<ProcessResult> Wait();

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool runtime_over_ = false;
  bool clips_over_ = false;
  bool cancelled_ = false;
  bool released_ = false;
  std::string folder_;  // where the start files are in place; empty until they are
  std::unique_ptr<RunningProcess> player_;
};

// Gives one of an early start's signals (RuntimeOver, ClipsOver, ReleaseClips) when dropped,
// however its scope is left.
class SignalAtEnd {
 public:
  SignalAtEnd(EarlyStart& early, void (EarlyStart::*signal)()) : early_(early), signal_(signal) {}
  ~SignalAtEnd() { (early_.*signal_)(); }
  SignalAtEnd(const SignalAtEnd&) = delete;
  SignalAtEnd& operator=(const SignalAtEnd&) = delete;

 private:
  EarlyStart& early_;
  void (EarlyStart::*signal_)();
};

}  // namespace mw::packer
