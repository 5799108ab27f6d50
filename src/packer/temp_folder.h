#pragma once

#include <cstdint>
#include <string>

namespace mw::packer {

// Makes a fresh folder of mode 0700 with a unique name, from which a program can be started,
// and returns its path: under $TMPDIR (or /tmp), or where that is unwritable, mounted noexec
// or has less than room_needed bytes free, under $XDG_RUNTIME_DIR, else in the runtime cache
// folder. When no place has the room, the first that can run programs is taken (unpacking
// then says how much is missing). Throws PackerError when no place can run programs.
std::string MakePrivateTempFolder(std::uint64_t room_needed = 0);

// Removes path and everything below it without following links. Returns false (with the
// reason in *error when given) when something could not be removed.
bool RemoveTree(const std::string& path, std::string* error = nullptr);

// A folder that is removed with everything in it when the owner goes out of scope.
class OwnedFolder {
 public:
  explicit OwnedFolder(std::string path) : path_(std::move(path)) {}
  ~OwnedFolder();
  OwnedFolder(const OwnedFolder&) = delete;
  OwnedFolder& operator=(const OwnedFolder&) = delete;

  const std::string& path() const { return path_; }
  // Keeps the folder: it is no longer removed at the end.
  void Keep() { path_.clear(); }

 private:
  std::string path_;
};

}  // namespace mw::packer
