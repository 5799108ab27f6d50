#pragma once
// The player's side of the gate between a package still unpacking its clips and the player
// it has started already: which files of the player's folder are in place so far. No Qt.

#include <cstddef>
#include <string>
#include <unordered_set>

namespace mw {

// The files a package has put in place so far, as it names them on the gate's pipe, and
// whether every file is in place (the pipe's end). Without a gate every file is in place.
// Used from one thread; the package writes from another process (or a test's thread).
class UnpackGate {
 public:
  // Longest name kept: a longer one is no file name here and is passed over whole.
  static constexpr std::size_t kLongestName = 255;
  // Most names kept, well above what a package holds; later names are passed over and
  // count as in place only once every file is.
  static constexpr std::size_t kMostNames = 20000;

  // No gate: every file is in place.
  UnpackGate() = default;
  // The gate on `descriptor`, the read end of a pipe, which the gate owns from now on and
  // closes at the pipe's end. A negative descriptor is no gate.
  explicit UnpackGate(int descriptor);
  ~UnpackGate();
  UnpackGate(UnpackGate&& other) noexcept;
  UnpackGate& operator=(UnpackGate&& other) noexcept;
  UnpackGate(const UnpackGate&) = delete;
  UnpackGate& operator=(const UnpackGate&) = delete;

  // The gate the package passed in the environment. The variable is taken out of the
  // environment and the descriptor kept from programs started later, so that no child
  // sees either. A value that names no pipe this process can read (not a decimal number, a
  // standard stream, closed, a plain file, a pipe's write end) is no gate.
  static UnpackGate FromEnvironment();

  // Whether every file is in place: the pipe's end was seen, or there is no gate.
  bool AllInPlace() const { return descriptor_ < 0; }
  // Whether the file `name` (a bare file name, as in the folder) is in place, as far as
  // what was read so far tells.
  bool InPlace(const std::string& name) const;
  // Reads what the pipe holds now, without waiting for more.
  void TakeAvailable();
  // Waits until the file `name` is in place or every file is.
  void WaitFor(const std::string& name);
  // The descriptor names arrive on; negative once every file is in place.
  int Descriptor() const { return descriptor_; }

 private:
  // Reads one block when one is there (or, with `wait`, once one comes); false when
  // nothing was there to read.
  bool ReadBlock(bool wait);
  // Takes the bytes read: names end at a NUL and may arrive in parts.
  void Take(const char* bytes, std::size_t count);
  void KeepName(std::string name);
  // The pipe's end: every file is in place, and a name begun and not ended is none.
  void Close();

  int descriptor_ = -1;
  std::string partial_;    // the name being read, not yet ended
  bool overlong_ = false;  // the name being read is too long and is passed over
  std::unordered_set<std::string> names_;
};

}  // namespace mw
