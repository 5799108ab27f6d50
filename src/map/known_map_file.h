#pragma once
// What the editor knows of its map's file on disk: what it last read there as a map or wrote
// there, so that a save never writes, unasked, over a file that another program changed
// meanwhile, or over a file that never opened as a map.

#include <cstdint>
#include <string>

namespace mw {

// Why saving to a file would write over something the editor does not know.
enum class UnknownContent {
  None,        // nothing there, or what the editor read or wrote there last
  ChangedSince,  // the editor's map file, changed since the editor read or wrote it
  NeverOpened,   // a file that did not open as a map here
};

class KnownMapFile {
 public:
  // The file at `path` was just read as a map, or written: its present content is known.
  void Know(const std::string& path);
  // Nothing is known of any file (a load that failed, a new map).
  void Forget();
  // What saving to `path` would write over.
  UnknownContent Over(const std::string& path) const;

 private:
  // Present and size and hash of the file's content; not present for no regular file
  // that can be read.
  struct Fingerprint {
    bool present = false;
    std::uint64_t size = 0;
    std::uint64_t hash = 0;
    bool operator==(const Fingerprint&) const = default;
  };
  static Fingerprint Of(const std::string& path);

  std::string path_;  // empty when nothing is known
  Fingerprint known_;
};

}  // namespace mw
