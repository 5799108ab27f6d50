#pragma once

#include <stdexcept>
#include <string>

namespace mw::packer {

// A failure of a package tool, with the text shown to the user on standard error.
class PackerError : public std::runtime_error {
 public:
  explicit PackerError(const std::string& message, bool shown = false)
      : std::runtime_error(message), shown_(shown) {}
  // Whether the person was shown the failure in a window already.
  bool shown() const { return shown_; }

 private:
  bool shown_ = false;
};

// The package was asked to end (Ctrl-C, a logout, kill) while it worked: it ends quietly,
// with no window, as its player ends.
class InterruptedError : public PackerError {
 public:
  InterruptedError() : PackerError("interrupted") {}
};

// The folder being unpacked into has no room for the files (no space, over quota): the
// package itself may be sound, and another folder may do.
class NoRoomError : public PackerError {
 public:
  using PackerError::PackerError;
};

// The text of errno as "what: reason".
std::string ErrnoText(const std::string& what, int error_number);

// Throws the failure of a write as "what: reason": NoRoomError for a full disk or quota,
// PackerError for anything else.
[[noreturn]] void ThrowWriteError(const std::string& what, int error_number);

}  // namespace mw::packer
