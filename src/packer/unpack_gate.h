#pragma once
// The gate between a package still unpacking its clips and the player it has started
// already: the player's start overlaps the unpacking of the clips it does not need at once.
//
// The player inherits the read end of a pipe, named by the environment variable
// kUnpackGateVariable as a decimal descriptor number. The package writes on it the name of
// each file of the player's folder once that file is completely in place, in the order
// written, each name (a bare file name, as in the folder) ended by a NUL byte. It may stop
// naming files at any point (a pipe the player does not read fills up) while it goes on
// unpacking. The end of the pipe means that every file is in place: the package closes it
// when the last file is written. When unpacking fails the package ends the player first, so
// a player that sees the end does not play an incomplete folder unless its package died.
//
// When the player starts, its program and its data file are in place, and so is every file
// the archive holds before them: a package built here packs the start picture and the start
// clip there. A player started without the variable has every file in place.

#include <mutex>
#include <string>

namespace mw::packer {

inline constexpr const char* kUnpackGateVariable = "MW_UNPACK_GATE";

// The package's side of the gate. Names are written without ever waiting: once the pipe is
// full the files after are not named, and the player waits for the end instead.
class UnpackGateWriter {
 public:
  // Throws PackerError when no pipe can be made.
  UnpackGateWriter();
  ~UnpackGateWriter();
  UnpackGateWriter(const UnpackGateWriter&) = delete;
  UnpackGateWriter& operator=(const UnpackGateWriter&) = delete;

  // The end the player inherits; -1 once the gate is closed.
  int read_end() const { return read_end_; }
  // Names a file that is in place; from any thread.
  void Name(const std::string& file);
  // Every file is in place (or the player was ended): the player sees the end.
  void Close();

 private:
  std::mutex mutex_;
  int read_end_ = -1;
  int write_end_ = -1;
  bool full_ = false;
};

}  // namespace mw::packer
