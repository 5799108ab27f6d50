#pragma once
// What the file behind a clip text is: there or not, a clip or not, readable or not.

#include <sys/types.h>

#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <unordered_map>

namespace mw {

class MoviePlayer;

// The state of one clip file as the map check finds it.
enum class FileState { Fine, NoFile, Missing, Unreadable, NotAClip, BadPhoto, BadMovie };

// How deep a probe looks: at the file only, or at its content too.
enum class ProbeDepth { Presence, Content };

// What probing one clip text gave.
struct FileVerdict {
  FileState state = FileState::Fine;
  std::string detail;  // the decoder's or the system's own words, where there are any
};

// A clip text that names no file: "" or the single digit "0".
bool NamesNoFile(const std::string& clipText);

// Whether the extension of `path` is one of a photo or a movie clip.
bool HasClipExtension(const std::string& path);

// Probes clip files the way the editor opens them (the text as a path from the current
// directory), each distinct text once: a photo by its JPEG header only, a movie by
// opening it with the movie back-end.
class ClipProber {
 public:
  explicit ClipProber(ProbeDepth depth = ProbeDepth::Content);
  ~ClipProber();
  ClipProber(const ClipProber&) = delete;
  ClipProber& operator=(const ClipProber&) = delete;

  // The verdict on `clipText`, probed on its first use and remembered afterwards.
  const FileVerdict& Probe(const std::string& clipText);
  // How many distinct texts were probed.
  std::size_t ProbedCount() const { return verdicts_.size(); }

 private:
  // One file on disk, read as a photo or as a movie.
  struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    bool photo = false;
    friend bool operator<(const FileIdentity& a, const FileIdentity& b) {
      return std::tie(a.device, a.inode, a.photo) < std::tie(b.device, b.inode, b.photo);
    }
  };

  FileVerdict ProbeFile(const std::string& path);
  FileVerdict ProbePhoto(const std::string& path);
  FileVerdict ProbeMovie(const std::string& path);

  ProbeDepth depth_;
  std::unordered_map<std::string, FileVerdict> verdicts_;
  std::map<FileIdentity, FileVerdict> contentVerdicts_;
  std::unique_ptr<MoviePlayer> movies_;
};

}  // namespace mw
