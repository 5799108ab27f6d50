#pragma once
// The package's end of the unpack gate, for tests: a real pipe whose write end names the
// files put in place and whose closing tells that every file is.

#include <string>

namespace mw::test {

class GatePipe {
 public:
  // A pipe whose both ends are kept from programs started meanwhile.
  GatePipe();
  ~GatePipe();
  GatePipe(const GatePipe&) = delete;
  GatePipe& operator=(const GatePipe&) = delete;

  // The read end, handed over (to an UnpackGate or a player started with it); -1 after.
  int TakeReadEnd();
  int ReadEnd() const { return read_; }

  // Writes `bytes` as they are; false when the write fails.
  bool Write(const std::string& bytes);
  // Names the file `name` as the package does: the name and a NUL.
  bool Name(const std::string& name) { return Write(name + std::string(1, '\0')); }
  // Closes the write end: every file is in place.
  void End();

 private:
  int read_ = -1;
  int write_ = -1;
};

}  // namespace mw::test
